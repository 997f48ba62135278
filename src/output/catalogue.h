// Reading back what a run wrote: the columns of a catalogue's records and what they say.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "digest/file_digest.h"
#include "select/file_dates.h"

struct Settings;

enum class ColumnKind { kComment, kName, kDigest, kSize, kTime, kAccessTime, kZone, kShortName };

// One column of a record: its characters, the delimiter that ends it included.
struct Column {
  ColumnKind kind = ColumnKind::kName;
  std::size_t start = 0;
  std::size_t length = 0;
  std::size_t name_offset = 0;  // kName: spaces written before the name itself
  const char* label = "";       // kDigest: the digest's name ("MD5", "SHA-256")
  char stamp = 0;               // kTime, kAccessTime: 'c', 'w' or 'a'
  bool seconds = false;         // kTime, kAccessTime: the time of day shows seconds
  bool year_first = false;      // kTime, kAccessTime: the date is written year first
};

// The three record forms: a file's, a file stream's and a directory stream's.
enum class RecordForm { kFile, kFileStream, kDirectoryStream };

// The columns of `record` (without its line end) as a run with `settings` lays out records of
// `form`. False when the record does not fit that layout. Where a name column has no fixed
// width, the split is the one whose later columns all have their shape (digits where a size
// or a date stands, a digest or a marker of the digest's width).
bool split_record(const std::string& record, RecordForm form, const Settings& settings,
                  std::vector<Column>* columns);
// The first of the three forms, in the order file, file stream, directory stream, that the
// record fits.
bool split_any_record(const std::string& record, const Settings& settings,
                      std::vector<Column>* columns);

// The name column as the record shows it: without the spaces written before the name, the
// delimiter and the trailing blanks. Empty when the record has no name column.
std::string record_name(const std::string& record, const std::vector<Column>& columns);

// A time column's stamp.
struct StampColumn {
  char letter = 'w';  // 'c' creation, 'w' last write
  Stamp stamp;
  bool seconds = false;  // the column shows seconds
};
struct DigestColumn {
  const char* kind = "";  // "MD5", "SHA-1", "CRC-32", "SHA-256", "SHA-384", "SHA-512"
  std::string text;       // as shown, without the padding
};

// A record reduced to what a verification compares: what a catalogue's line says, or what
// the disk says now, in the layout of the same settings. The last-access stamps are left
// out: reading a file moves them.
struct RecordFacts {
  // The name column's text as written: without its padding and delimiter, in the escaped
  // form where the line was escaped.
  std::string name;
  std::vector<DigestColumn> digests;
  bool has_size = false;
  std::int64_t size = 0;
  std::vector<StampColumn> stamps;
  std::string zone;        // the zone column without its padding; empty when there is none
  std::string short_name;  // the short-name column without its padding
  bool has_short_name = false;
};

// The facts of a catalogue's line as a run with `settings` writes records, in whichever of
// the three forms it fits. A line that begins with '\' is read as an escaped record when the
// rest of it fits and its name column unescapes cleanly, and as it stands otherwise. False
// when the line fits no form.
bool read_record(const std::string& line, const Settings& settings, RecordFacts* facts);

// What the disk says of a file now: the values its record would show.
struct ShownValues {
  std::string name;  // as the name column shows it, without padding
  const DigestTexts* digests = nullptr;
  std::int64_t size = 0;
  const FileTimes* times = nullptr;  // converted as the record converts them
  std::string zone;                  // the zone column's text
  std::string short_name;            // the short-name column's text
};

// The layouts of the three record forms under one run's settings, made once for the many
// records read or compared with them.
class RecordLayouts {
 public:
  // Data records (--format csv or json) are read by `data_columns`, a CSV catalogue's header
  // row; empty: the columns the settings give.
  explicit RecordLayouts(const Settings& settings, std::vector<std::string> data_columns = {});
  ~RecordLayouts();
  RecordLayouts(const RecordLayouts&) = delete;
  RecordLayouts& operator=(const RecordLayouts&) = delete;
  // As read_record.
  bool read(const std::string& line, RecordFacts* facts) const;
  // The facts of a file record showing `values`: what read() gives for the line such a
  // record would be, without making the line.
  void file_facts(const ShownValues& values, RecordFacts* facts) const;
  // Whether a file record shows a time column other than the last access.
  bool shows_times() const;

 private:
  struct Forms;
  void data_facts(const ShownValues& values, RecordFacts* facts) const;
  friend bool split_any_record(const std::string&, const Settings&, std::vector<Column>*);
  std::unique_ptr<Forms> forms_;
  mutable std::vector<Column> columns_;  // reused from record to record
};

// True when the name column's text is a clean escaped name: every '\' begins "\\", "\n",
// "\t", "\r" or "\x" with two upper-case hexadecimal digits.
bool unescapes_cleanly(const std::string& text);
// True when a digest text is a marker (a file that could not be read), not a digest.
bool is_digest_marker(const std::string& text);
