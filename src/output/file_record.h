// The file record: one line per selected file.
#pragma once

#include <string>

#include "digest/file_digest.h"
#include "platform/platform.h"
#include "run/settings.h"

// Takes the facts of the file `entry` names in `dir` when it gets to it (from the open file),
// applies the filters to them, pauses the screen when asked to, reads the file once for every
// chosen digest, puts its stamps back when asked to, counts it, writes its record whole to
// the output stream and then lists its named streams. A file a filter rejects is closed
// unread, gives no output and is not counted; one that changes while it is read, or cannot be
// read, gets the markers of every chosen digest and one line on the message stream.
void write_file_record(const Directory& dir, const DirEntry& entry);

// write_file_record in two halves, for a file read ahead of its record on another thread:
// whether the filters keep a file with these facts (the gate of its digest_file, with the
// request of file_digest_request()), and the record that digest gives, written in its turn.
// Together they write what write_file_record writes.
bool file_record_wanted(const Directory& dir, const DirEntry& facts);
void write_digested_record(const Directory& dir, const DigestResult& digest);

// False for the outcomes that leave a file out of the catalogue: vanished since the walk
// listed it, no regular file, turned away by a filter, or not to be looked at now.
bool gives_record(DigestOutcome outcome);

// What the name column of `entry`'s record shows, without its padding and delimiter: the bare
// name under name_only, else the full path shortened to the name width and cut to it; the
// full path as it stands in a data record.
std::string file_record_name(const Directory& dir, const DirEntry& entry);

// A file this large takes long enough to read that the records before it should reach a
// terminal or pipe first.
constexpr std::int64_t kLongReadSize = 1 << 20;

// 12 when the record width is 80 or more, else 24.
int page_length();

// What the settings (the run's, unless others are named) ask of a file record's single pass:
// every chosen kind, from the start offset, MD5 up to the end offset.
DigestRequest file_digest_request(const Settings& s = settings);

// Says on the message stream what an outcome other than kDone means for `path`, and counts a
// file that could not be read. kInterrupted ends the run.
void report_digest_outcome(DigestOutcome outcome, const std::string& path);
