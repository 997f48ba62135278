// A catalogue as one side of a comparison: the options that shaped its records read back
// from its header (or from the words that follow its name), and its records handed on one at
// a time in the form the ordered merge takes. Shared by the verification against the disk
// and the comparison of two catalogues.
#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "driver/echoed_line.h"
#include "driver/record_merge.h"
#include "output/catalogue.h"
#include "output/catalogue_reader.h"
#include "run/settings.h"

// Says `message` on the message stream and ends the run with reason 10.
[[noreturn]] void refuse(const std::string& message);
// "\nCatalogue SHOWN cannot be verified: WHY\n", or "compared" once the run has said so.
std::string catalogue_problem(const std::string& shown, const std::string& why);
// The run compares two catalogues: problems say "cannot be compared".
void catalogues_are_compared();

// The settings the catalogue's run wrote its records with, completed as that run completed
// them and made read-only: nothing is written, reset, paused for or asked. `given`: the
// options that follow the catalogue's name, which stand in for its echoed command line;
// `run_options` (--jobs) shape the reading, not the records. Ends the run when they cannot be
// read. A data catalogue (CSV or JSON) echoes no command line: without `given`, its columns
// stand for the options when `columns_suffice` (no disk is walked), and it is refused
// otherwise. Works on the global settings and leaves the result there.
void read_catalogue_settings(const std::vector<std::string>& given,
                             const std::vector<std::string>& run_options, const CatalogueHead& head,
                             NameStyle style, const std::string& shown, bool columns_suffice);

// When `log` names the accounting log, says on the message stream whether the catalogue
// (its files `paths`) matches the entry of the run that wrote it, `label` after the verdict;
// true when it was altered since. A log that cannot be read is said so and has no entry.
bool catalogue_altered(const std::string& log, const CatalogueHead& head,
                       const std::vector<std::string>& paths, const std::string& label);

// "(EST/EDT:5*)" at the end of a "Started" line: the writer's standard offset in hours west
// of Greenwich, and whether its zone had a daylight rule. False when the line has none.
bool header_zone(const std::string& started, long* offset_seconds, bool* daylight);

// The name style of the catalogue's writer, as its echoed program path shows it.
NameStyle catalogue_name_style(const CatalogueHead& head);

char name_separator(NameStyle style);
// A name that is a path as it stands under `s`: neither bare, nor shortened, nor cut by its
// column.
bool whole_path_name(const std::string& name, char separator, const Settings& s);

// Whether a walk of `s`'s search paths reaches a directory twice: a search path given twice,
// or one below another.
bool search_paths_overlap(const Settings& s);

// The catalogue's records, one at a time, with the first few read ahead.
class CatalogueRecords {
 public:
  // Looks at each record before it is handed on (the verification's check that it lies
  // where the walk looks); may end the run.
  using Check = std::function<void(const MergeRecord&, std::size_t number)>;

  // `left_out`: names whose records are passed over. `s`: the settings the records were
  // written with.
  CatalogueRecords(CatalogueReader& reader, const Settings& s, NameStyle style,
                   std::set<std::string> left_out, std::string shown, Check check = nullptr);
  bool next(MergeRecord* record);
  const std::deque<MergeRecord>& read_ahead(std::size_t count);

 private:
  bool read(MergeRecord* record);

  CatalogueReader& reader_;
  const Settings settings_;
  const NameStyle style_;
  const std::set<std::string> left_out_;
  const std::string shown_;
  const Check check_;
  const RecordLayouts layouts_;
  std::string line_;
  std::size_t number_ = 0;
  std::deque<MergeRecord> ahead_;
};
