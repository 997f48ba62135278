// Two ordered streams of records compared as they come: the older side (a catalogue) and the
// newer side (the disk as the walk reaches it). Both come in the walk's order, so a record
// usually meets its counterpart at once; only what is out of step waits, by name, and a
// waiting record whose directory the other side has left behind is decided there and then.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <list>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

#include "output/catalogue.h"

// One record of either side.
struct MergeRecord {
  RecordFacts facts;
  // The directory the walk reaches it in, ending in the separator; empty when its name does
  // not tell (a bare or shortened name). A directory's own stream stands in that directory.
  std::string directory;
  // A file's own record: only these move a side from one directory to the next, since the
  // walk hands on a directory's files together and after everything below it.
  bool file = true;
};

struct VerifyTally {
  std::size_t unchanged = 0;
  std::size_t changed = 0;
  std::size_t missing = 0;
  std::size_t added = 0;
  std::size_t unreadable = 0;
  bool differs() const { return changed + missing + added + unreadable > 0; }
};

// "Verified N records: A unchanged, B changed, C missing, D new, E unreadable", with `verb`
// in place of "Verified".
std::string tally_line(const VerifyTally& tally, const char* verb = "Verified");

// The columns whose values differ, named as a CHANGED line names them: "size", "creation",
// "last write", "short name", then the digest kinds ("MD5", "SHA-256"). Digests compare
// without regard to case; a time compares to the precision its column shows.
std::vector<std::string> differing_columns(const RecordFacts& was, const RecordFacts& now);

class RecordMerge {
 public:
  // Gives the older side's next record; false when it has no more.
  using NextOlder = std::function<bool(MergeRecord*)>;
  // Takes one difference line: "CHANGED NAME (size, MD5)", "MISSING NAME", "NEW NAME",
  // "UNREADABLE NAME".
  using Report = std::function<void(const std::string&)>;

  // `by_directory`: the walk visits no directory twice, so a side that has left a directory
  // behind will not come back to it.
  RecordMerge(NextOlder next_older, Report report, bool by_directory);
  // One record of the newer side, in its order; one record of the older side is taken along.
  void add_newer(MergeRecord record);
  // The rest of the older side; whatever is still unmatched is then missing or new.
  void finish();
  const VerifyTally& tally() const { return tally_; }

 private:
  enum Side { kOlder = 0, kNewer = 1 };
  struct Waiting;
  using WaitingList = std::list<Waiting>;
  using DirectoryMap = std::multimap<std::string, WaitingList::iterator>;
  struct Waiting {
    MergeRecord record;
    std::uint64_t arrival = 0;
    bool placed = false;  // listed in the directory map
    DirectoryMap::iterator in_directory;
  };

  bool in_step(MergeRecord& record);
  void note_directory(Side side, const MergeRecord& record);
  void older_ended();
  void take(Side side, MergeRecord record);
  void compare(const MergeRecord& was, const MergeRecord& now);
  void wait(Side side, MergeRecord record);
  void unwait(Side side, WaitingList::iterator at);
  // The side has moved to `directory`: what waits on the other side in the directory it left
  // or below it, or strictly below the one it entered, has no counterpart coming.
  void moved(Side side, const std::string& directory);
  void decide_in(Side side, const std::string& directory, bool include_itself);
  void decide(Side side, const MergeRecord& record);

  NextOlder next_older_;
  Report report_;
  const bool by_directory_;
  bool older_ended_ = false;
  bool newer_ended_ = false;
  std::uint64_t arrivals_ = 0;
  VerifyTally tally_;
  WaitingList waiting_[2];
  std::unordered_map<std::string, std::deque<WaitingList::iterator>> by_name_[2];
  DirectoryMap by_directory_map_[2];
  std::string current_[2];
  std::int64_t in_play_[2] = {0, 0};
  MergeRecord step_;  // the older record taken in step with a newer one
};
