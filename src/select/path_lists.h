// The search path and file pattern lists of the run settings.
#pragma once

#include <string>

// The directory part of a path, up to its last separator, which only a root keeps ("/",
// "C:\"): without it a root would name the current directory (of its drive). Empty when
// the path has no separator.
std::string directory_part(const std::string& path);
// Two names or paths compared as the file system compares them: without case where it
// ignores case.
bool same_name(const std::string& a, const std::string& b);
// The path made absolute against the current directory; as it stands when it cannot be.
std::string absolute_path(const std::string& path);
// A bare path argument: an existing directory becomes a search path; otherwise the directory
// part becomes a search path and the name part, when not empty, a file pattern.
void add_path_argument(const std::string& text);
// Made absolute; skipped when an entry equals it exactly (compared before one trailing
// separator is removed).
void add_search_path(const std::string& text);
// Skipped when an entry is exactly equal.
void add_file_pattern(const std::string& text);
