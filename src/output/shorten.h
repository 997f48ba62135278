// The two ways of fitting a path into the name column. Both treat the platform separator as
// the only separator, work on bytes and never modify their input.
#pragma once

#include <string>

// Keeps the first two characters and the tail: /h/.../Report/final.doc. A path no longer than
// `width`, or any path when `width` is below 8, comes back unchanged. When no separator lies
// in the tail that fits, the last component is kept whole and the result may be longer than
// `width`; the name column's precision then cuts it.
std::string shorten_keep_tail(const std::string& path, int width);

// Keeps the head and the last component: /home/data/Proj.../final.doc, `width` characters in
// all. A path no longer than `width`, or any path when `width` is below 11, comes back
// unchanged. When the last component alone is too long, the result is the whole path, "..."
// and the last component, so the name column shows the path's first `width` characters.
std::string shorten_keep_head(const std::string& path, int width);
