// Verifying a catalogue: its last run's selection made again and each record compared with
// the one the disk gives now.
#pragma once

#include <cstddef>
#include <string>
#include <unordered_map>
#include <vector>

#include "output/catalogue.h"

// What became of a record of the catalogue, or of one found only now.
// kLeftOut: a record of a file the comparison must not judge (the catalogue itself).
enum class RecordOutcome { kUnchanged, kChanged, kMissing, kNew, kUnreadable, kLeftOut };

struct VerifyTally {
  std::size_t unchanged = 0;
  std::size_t changed = 0;
  std::size_t missing = 0;
  std::size_t added = 0;
  std::size_t unreadable = 0;
};

// The comparison of one catalogue run with the records of the repeated listing.
class RecordComparison {
 public:
  // Indexes the catalogue's records by their name. False, with `problem` saying why, when a
  // record does not fit the layout of the settings or two records show the same name.
  bool index_catalogue(const std::vector<std::string>& records, std::string* problem);
  // Compares one record of the repeated listing (its line end may be there) with the
  // catalogue's record of the same name: one hash look-up. False, with `problem`, when the
  // listing shows a name twice.
  bool compare(std::string record, std::string* problem);
  // Takes the name of a record of the repeated listing out of the comparison: neither its
  // catalogue record nor itself is reported or counted.
  void leave_out(std::string record);
  // One "KIND NAME" line for each difference: catalogue order, then the new records in the
  // order they were found.
  std::vector<std::string> difference_lines() const;
  VerifyTally tally() const;

 private:
  // The record without its line end, its columns, and its name.
  static std::string name_of(std::string* record, std::vector<Column>* columns);

  struct Known {
    std::string name;
    std::string compared;  // the record without its last-access columns
    RecordOutcome outcome = RecordOutcome::kMissing;
  };
  // Where a name leads: a catalogue record, or a record found only now.
  struct Slot {
    std::size_t index = 0;
    bool seen_now = false;
    bool added = false;
  };
  std::vector<Known> known_;
  std::vector<std::string> added_;
  std::unordered_map<std::string, Slot> by_name_;
};

// "Verified N records: A unchanged, B changed, C missing, D new, E unreadable"
std::string tally_line(const VerifyTally& tally);

// The words of an echoed command line, split at its spaces, with the words that held a space
// made whole again where the disk can tell: a run of pieces that name nothing on the disk
// becomes one word where their joining names a file or directory (or, with wildcards, a
// pattern in an existing directory). Words 0.. are the program's path, which is made whole
// also where it ends in `program_name` (the running program's file name), since the disk
// being verified need not hold the program. Patterns and comments stay as they were split.
std::vector<std::string> echoed_words(const std::string& command_line,
                                      const std::string& program_name);

// `tallysum --verify CATALOGUE`: repeats the selection of the catalogue's last run from the
// current directory with the options its command line echoes, writing nothing, and reports
// each difference on standard output and the tally on standard error. Ends the process: 0
// when nothing differs, 1 when something does, 10 when the catalogue cannot be verified, 2 on
// Ctrl-C.
[[noreturn]] void run_verify(const std::string& catalogue_path);
