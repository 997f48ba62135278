// The two ways of fitting a path into the name column.
#pragma once

#include <string>

// Keeps the first two characters and the tail: C:\...\Report\final.doc.
std::string shorten_keep_tail(const std::string& path, int width);
// Keeps the head and the last component: C:\Data\Proj...\final.doc.
std::string shorten_keep_head(const std::string& path, int width);
