#include "select/walk.h"
DirEntry current_entry;
void walk_directory(const std::string&) {}
void scan_directory_files(const std::string&) {}
bool is_excluded(const std::string&) { return false; }
bool abort_key_pressed() { return false; }
void erase_progress(int) {}
bool fallback_lookup(const std::string&, const std::string&, DirEntry*) { return false; }
