#include "select/path_lists.h"
#include "config/settings.h"
void add_path_argument(const std::string& text) { settings.search_paths.push_back(text); }
void add_search_path(const std::string& text) { settings.search_paths.push_back(text); }
void add_file_pattern(const std::string& text) { settings.file_patterns.push_back(text); }
