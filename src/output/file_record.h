// The file record: one line per selected file.
#pragma once

#include <string>

#include "digest/file_digest.h"
#include "platform/platform.h"

// Applies the filters to `entry` of `dir` as the walk listed it, counts it, pauses the screen
// when asked to, reads it once for every chosen digest, writes its record whole to the output
// stream and then lists its named streams. A file a filter rejects gives no output and is not
// counted; one that changes while it is read, or cannot be read, gets the markers of every
// chosen digest and one line on the message stream.
void write_file_record(const Directory& dir, const DirEntry& entry);

// 12 when the record width is 80 or more, else 24.
int page_length();

// What the settings ask of a file record's single pass: every chosen kind, from the start
// offset, MD5 up to the end offset.
DigestRequest file_digest_request();

// Says on the message stream what an outcome other than kDone means for `path`, and counts a
// file that could not be read. kInterrupted ends the run.
void report_digest_outcome(DigestOutcome outcome, const std::string& path);
