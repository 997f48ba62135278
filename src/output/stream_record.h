// The records of named streams: a file's streams right below the file's own record, and a
// directory's streams when the walk meets the directory.
#pragma once

#include <string>

#include "digest/file_digest.h"
#include "platform/platform.h"

// Writes one record for each named stream of `entry` in `dir`, right below the file's own
// record, and adds the number of streams to stream_count. Each record counts in file_count and
// byte_total like a file.
void list_file_streams(const Directory& dir, const DirEntry& entry);

// One record for each of the first `n` entries of the stream table, for the directory `name`
// of `parent` (empty: `parent` itself) whose full path without its separator is `path`.
// Counts each record in file_count and byte_total.
void list_directory_streams(int n, const Directory& parent, const std::string& name,
                            const std::string& path);

// One stream's record made and not written, without its line end: what it shows, the
// outcome of its digest, the stream's path as messages name it, and whether the carrier's
// stamps could not be put back.
struct StreamRecord {
  std::string text;
  DigestOutcome outcome = DigestOutcome::kDone;
  std::string path;
  bool reset_failed = false;
};
// The record of the stream `stream` of `file` in `dir`, as list_file_streams writes it.
StreamRecord file_stream_record(const Directory& dir, const DirEntry& file,
                                const StreamEntry& stream);
// The record of a stream of the directory `name` of `parent` (empty: `parent` itself), whose
// full path without its separator is `dir_path`, as list_directory_streams writes it.
StreamRecord directory_stream_record(const Directory& parent, const std::string& name,
                                     const std::string& dir_path, const StreamEntry& stream);

// The name column of a stream record: under name_only the owner's bare name and the stream
// suffix, padded to name_only_width and never cut; otherwise the shortened stream path in
// exactly name_width characters, so that a narrow column cuts it. Ends with the delimiter.
// The column comes first in its record, so an escaped name brings the line's escape mark.
std::string stream_name_column(const std::string& owner_name, const std::string& suffix,
                               const std::string& stream_path);
