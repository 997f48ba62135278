// The records of a file's named streams.
#pragma once

#include <string>

// Writes one record for each named stream of the file at `full_path` (bare name `name`),
// right below the file's own record, and adds the number of streams to stream_count. Each
// record counts in file_count and byte_total like a file.
void list_file_streams(const std::string& full_path, const std::string& name);

// The digest text of a file's stream: MD5 over the run's byte range, else CRC-32, else SHA-1
// from the start offset; when only SHA-2 kinds are chosen, the first of them. Empty when no
// digest is chosen at all.
std::string stream_digest(const std::string& stream_path);
