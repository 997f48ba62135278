// Named streams of files and directories, and the records of directories' streams.
#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"

// The stream table: the named streams of the latest count_streams.
extern std::vector<StreamEntry> stream_table;

void enable_backup_privileges();
// Fills the stream table with the named streams of `path`; 0 when it cannot be opened.
int count_streams(const std::string& path);
// One record for each of the first `n` entries of the stream table, for the directory at
// `path` (no trailing separator).
void list_directory_streams(int n, const std::string& path);
// The stream name cut at its second colon: ":summary:$DATA" gives ":summary".
std::string stream_path_suffix(const std::string& stream_name);
