// Records as data for other tools, beside the fixed-width catalogue: CSV (one header row,
// fields quoted where they must be, RFC 4180) or JSON Lines (one object a record). Names are
// whole paths, never shortened; sizes in bytes; times in ISO 8601 with their offset from UTC
// to the 100 ns the file system keeps. The same columns in both, named alike.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "digest/file_digest.h"
#include "select/file_dates.h"

struct Settings;

// What one data record shows.
struct DataFields {
  std::string name;    // the file's (or the stream's carrier's) full path, as the system gives it
  std::string stream;  // the stream's name; empty for a file's own record
  const DigestTexts* digests = nullptr;  // a kind without text leaves its field empty
  std::int64_t size = 0;
  const FileTimes* times = nullptr;  // the raw stamps are written
  std::string short_name;
};

// Whether the run writes data records (--format csv or json) rather than fixed-width ones.
bool data_records();

// The names of the columns the settings choose, in their order: "name", "stream" (with named
// streams), the digest kinds ("md5", "sha1", "crc32", "sha256", "sha384", "sha512"), "size",
// the chosen stamps ("creation", "last_write", "last_access"), "short_name".
std::vector<std::string> data_columns();
// The same for records written with `s`.
std::vector<std::string> data_columns(const Settings& s);
// The digest kind a column is named for; false for a column that names none.
bool digest_column_kind(const std::string& column, DigestKind* kind);

// The CSV header row with its line end; empty for JSON Lines, whose records name their keys.
std::string data_header_row();

// One record without its line end.
std::string data_record(const DataFields& fields);

// A time as ISO 8601 with its UTC offset ("2005-10-20T14:03:07.1234567-04:00"), in local
// time or, with `zulu`, UTC ("+00:00"); empty for a time never set.
std::string iso_time(FileTime raw, bool zulu);

// The UTC date and time that an ISO 8601 text of iso_time names; false when the text is not
// of that form.
bool read_iso_time(const std::string& text, Stamp* utc);

// A field quoted as CSV needs it: within double quotes, its quotes doubled, when it holds a
// comma, a quote or a line end; as it stands otherwise.
std::string csv_field(const std::string& text);
// A JSON string with its quotes: '"', '\' and control characters escaped, valid UTF-8 as it
// stands, and any other byte as the character of the same number (\u00XX).
std::string json_string(const std::string& text);
