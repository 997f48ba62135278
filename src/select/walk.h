// The directory walk: search paths and patterns into calls of the file record writer.
#pragma once

#include <string>

#include "platform/platform.h"

// `dir` is a full directory path ending in the separator.
void walk_directory(const std::string& dir);
// Searches `dir` once per file pattern, up to a pattern beginning with "-".
void scan_directory_files(const std::string& dir);
// True when the bare file name matches an exclusion pattern.
bool is_excluded(const std::string& name);
// Polls the keyboard: true for Esc or a typed Ctrl-C; any other key is consumed.
bool abort_key_pressed();
// Removes `n` characters of progress text from the console.
void erase_progress(int n);
// For a file whose name does not survive the direct lookup: searches the path with every
// byte above 128 made a wildcard and leaves in `entry` the entry named exactly `name`, or the
// last one seen. False only when the search cannot start.
bool fallback_lookup(const std::string& path, const std::string& name, DirEntry* entry);

// The directory entry under examination; the stream records take the short name from it.
extern DirEntry current_entry;

// Where the main pass hands each selected file: write_file_record, unless a test records the
// calls instead.
using FileSink = void (*)(const std::string& directory, const std::string& name);
extern FileSink file_sink;
