// Reading a catalogue a piece at a time: the head of its last run, then that run's records one
// by one, across the files of a catalogue continued over removable disks. Nothing of it is
// held but the line being read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "run/settings.h"

// What the header of a catalogue's last run and the end of that run say.
struct CatalogueHead {
  bool has_header = false;   // false: the file holds no run header, only records
  std::string started_line;  // "Started ...", without the line end
  std::string command_line;  // the echoed command line; empty when none was echoed
  std::size_t earlier_runs = 0;
  int auto_width = 0;  // the name width of an "AUTOWIDTH" line; 0 when none
  // Data records (--format csv or json): the form, and the columns of the CSV header row or
  // the keys of the first JSON object.
  RecordFormat format = RecordFormat::kFixedWidth;
  std::vector<std::string> columns;
};

class CatalogueReader {
 public:
  CatalogueReader();
  ~CatalogueReader();
  CatalogueReader(const CatalogueReader&) = delete;
  CatalogueReader& operator=(const CatalogueReader&) = delete;

  // Opens the files of a catalogue: one, or one per disk in the order they were written. A
  // run begins with its header (an empty line, the "Started" line, the command-line line, an
  // empty line) and its records run up to the first empty line, which begins its summary;
  // text before the first header belongs to no run, and a file without any header is read as
  // records from its start. The last run of the first file is read; it goes on in the next
  // file when its records end with the continuation line of a full disk. A file that begins
  // with a CSV header row or a JSON object holds data records only, read from its start (the
  // header row passed over). False, with `problem`, when a file cannot be read or the files
  // do not continue one another.
  bool open(const std::vector<std::string>& paths, std::string* problem);
  const CatalogueHead& head() const { return head_; }
  // The next record of the run, without its line end (either platform's); false after the
  // last one, or when a file could not be read (then `problem` says so). A CSV record whose
  // quoted field holds a line end is read whole, over its lines.
  bool next_record(std::string* line, std::string* problem);

 private:
  class Lines;
  bool prescan_first(std::string* problem);
  bool prescan_continuation(std::size_t index, std::string* problem);
  bool open_records(std::size_t index, std::uint64_t offset, std::string* problem);
  bool next_line(std::string* line, std::string* problem);

  std::vector<std::string> paths_;
  CatalogueHead head_;
  std::uint64_t records_offset_ = 0;  // in the first file
  std::size_t file_ = 0;              // the file being read
  std::unique_ptr<Lines> lines_;
};

// The echoed command line split back into its words. The header writes every word followed
// by one space, so a word that held a space comes back as several.
std::vector<std::string> command_words(const std::string& command_line);
