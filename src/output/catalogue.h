// Reading back what a run wrote: the runs of a catalogue, and the columns of its records.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

struct Settings;

// One run of a catalogue: its header, its records and what its end says of them.
struct CatalogueRun {
  std::string started_line;          // "Started ...", without the line end
  std::string command_line;          // the echoed command line; empty when none was echoed
  std::vector<std::string> records;  // every record line, without its line end
  int auto_width = 0;                // the name width of an "AUTOWIDTH" line; 0 when none
};

// The runs of a catalogue in file order. A run begins with its header (an empty line, the
// "Started" line, the command-line line, an empty line); its records run up to the first
// empty line, which begins its summary. Text before the first header belongs to no run. Line
// ends of either platform are accepted.
std::vector<CatalogueRun> read_catalogue(const std::string& text);

// The echoed command line split back into its words. The header writes every word followed
// by one space, so a word that held a space comes back as several: the caller has to find
// out from the records whether the words still describe them.
std::vector<std::string> command_words(const std::string& command_line);

enum class ColumnKind { kComment, kName, kDigest, kSize, kTime, kAccessTime, kZone, kShortName };

// One column of a record: its characters, the delimiter that ends it included.
struct Column {
  ColumnKind kind = ColumnKind::kName;
  std::size_t start = 0;
  std::size_t length = 0;
  std::size_t name_offset = 0;  // kName: spaces written before the name itself
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
// The record without its last-access columns: the part that reading the file leaves alone.
std::string without_access_columns(const std::string& record, const std::vector<Column>& columns);
// True when a digest column shows a marker (a file that could not be read) in place of a
// digest.
bool shows_digest_marker(const std::string& record, const std::vector<Column>& columns);
