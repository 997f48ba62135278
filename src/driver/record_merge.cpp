#include "driver/record_merge.h"

#include <algorithm>
#include <cctype>
#include <utility>

#include "run/termination.h"
#include "run/text_format.h"

namespace {

bool same_ignoring_case(const std::string& a, const std::string& b) {
  if (a == b) return true;
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

bool same_stamp(const StampColumn& a, const StampColumn& b) {
  const Stamp& x = a.stamp;
  const Stamp& y = b.stamp;
  return x.year == y.year && x.month == y.month && x.day == y.day && x.hour == y.hour &&
         x.minute == y.minute && (!(a.seconds && b.seconds) || x.second == y.second);
}

bool strictly_below(const std::string& directory, const std::string& above) {
  return !above.empty() && directory.size() > above.size() &&
         directory.compare(0, above.size(), above) == 0;
}

const char* stamp_name(char letter) {
  return letter == 'c' ? "creation" : "last write";
}

bool shows_marker(const RecordFacts& facts) {
  return std::any_of(facts.digests.begin(), facts.digests.end(),
                     [](const DigestColumn& d) { return is_digest_marker(d.text); });
}

}  // namespace

std::string tally_line(const VerifyTally& t, const char* verb) {
  std::string line;
  append_format(&line,
                "%s %zu records: %zu unchanged, %zu changed, %zu missing, %zu new, "
                "%zu unreadable",
                verb, t.unchanged + t.changed + t.missing + t.added + t.unreadable, t.unchanged,
                t.changed, t.missing, t.added, t.unreadable);
  return line;
}

std::vector<std::string> differing_columns(const RecordFacts& was, const RecordFacts& now) {
  std::vector<std::string> names;
  if (was.has_size != now.has_size || was.size != now.size) names.push_back("size");
  for (std::size_t i = 0; i < std::max(was.stamps.size(), now.stamps.size()); ++i) {
    const StampColumn& one = i < was.stamps.size() ? was.stamps[i] : now.stamps[i];
    if (i >= was.stamps.size() || i >= now.stamps.size() ||
        !same_stamp(was.stamps[i], now.stamps[i])) {
      names.push_back(stamp_name(one.letter));
    }
  }
  if (was.has_short_name != now.has_short_name || was.short_name != now.short_name) {
    names.push_back("short name");
  }
  for (std::size_t i = 0; i < std::max(was.digests.size(), now.digests.size()); ++i) {
    const DigestColumn& one = i < was.digests.size() ? was.digests[i] : now.digests[i];
    if (i >= was.digests.size() || i >= now.digests.size() ||
        !same_ignoring_case(was.digests[i].text, now.digests[i].text)) {
      names.push_back(one.kind);
    }
  }
  return names;
}

RecordMerge::RecordMerge(NextOlder next_older, Report report, bool by_directory)
    : next_older_(std::move(next_older)), report_(std::move(report)), by_directory_(by_directory) {}

// The older side is taken along so that both have as many records in play (taken and not
// decided as unmatched): after a run of missing or new records it catches up at once, and
// what waits stays what is out of step.
void RecordMerge::add_newer(MergeRecord record) {
  check_interrupt();
  in_play_[kNewer] += 1;
  if (in_step(record)) return;
  take(kNewer, std::move(record));
  MergeRecord older;
  while (!older_ended_ && in_play_[kOlder] < in_play_[kNewer]) {
    if (!next_older_(&older)) {
      older_ended();
      break;
    }
    in_play_[kOlder] += 1;
    take(kOlder, std::move(older));
  }
}

void RecordMerge::finish() {
  newer_ended_ = true;
  MergeRecord older;
  while (!older_ended_ && next_older_(&older)) {
    check_interrupt();
    take(kOlder, std::move(older));
  }
  older_ended();
  // What is left, in the order it came: each list is in that order already.
  auto older_at = waiting_[kOlder].begin();
  auto newer_at = waiting_[kNewer].begin();
  while (older_at != waiting_[kOlder].end() || newer_at != waiting_[kNewer].end()) {
    if (newer_at == waiting_[kNewer].end() ||
        (older_at != waiting_[kOlder].end() && older_at->arrival < newer_at->arrival)) {
      decide(kOlder, (older_at++)->record);
    } else {
      decide(kNewer, (newer_at++)->record);
    }
  }
  for (Side side : {kOlder, kNewer}) {
    waiting_[side].clear();
    by_name_[side].clear();
    by_directory_map_[side].clear();
  }
}

// While nothing waits, the next older record is usually the counterpart: compared at once,
// neither is held.
bool RecordMerge::in_step(MergeRecord& record) {
  if (older_ended_ || !waiting_[kOlder].empty() || !waiting_[kNewer].empty()) return false;
  if (in_play_[kOlder] >= in_play_[kNewer]) return false;
  if (!next_older_(&step_)) {
    older_ended();
    return false;
  }
  in_play_[kOlder] += 1;
  if (step_.facts.name != record.facts.name) {
    take(kNewer, std::move(record));
    take(kOlder, std::move(step_));
    return true;
  }
  note_directory(kNewer, record);
  note_directory(kOlder, step_);
  compare(step_, record);
  return true;
}

void RecordMerge::note_directory(Side side, const MergeRecord& record) {
  if (by_directory_ && record.file && !record.directory.empty() &&
      record.directory != current_[side]) {
    moved(side, record.directory);
  }
}

// Nothing the newer side holds can find its counterpart now: it is new, in the order it came.
void RecordMerge::older_ended() {
  older_ended_ = true;
  while (!waiting_[kNewer].empty()) {
    WaitingList::iterator at = waiting_[kNewer].begin();
    by_name_[kNewer].erase(at->record.facts.name);
    decide(kNewer, at->record);
    unwait(kNewer, at);
  }
}

void RecordMerge::take(Side side, MergeRecord record) {
  note_directory(side, record);
  const Side other = side == kOlder ? kNewer : kOlder;
  auto found = by_name_[other].find(record.facts.name);
  if (found != by_name_[other].end()) {
    WaitingList::iterator at = found->second.front();
    found->second.pop_front();
    if (found->second.empty()) by_name_[other].erase(found);
    MergeRecord counterpart = std::move(at->record);
    unwait(other, at);
    if (side == kOlder) {
      compare(record, counterpart);
    } else {
      compare(counterpart, record);
    }
    return;
  }
  // No counterpart can come any more: the other side has ended, or it has gone on to the
  // files of a directory above this record's, which come after everything below them.
  if (other == kOlder ? older_ended_ : newer_ended_) return decide(side, record);
  if (by_directory_ && !record.directory.empty() &&
      strictly_below(record.directory, current_[other])) {
    return decide(side, record);
  }
  wait(side, std::move(record));
}

void RecordMerge::compare(const MergeRecord& was, const MergeRecord& now) {
  if (shows_marker(now.facts)) {
    tally_.unreadable += 1;
    report_("UNREADABLE " + was.facts.name);
    return;
  }
  const std::vector<std::string> columns = differing_columns(was.facts, now.facts);
  if (columns.empty()) {
    tally_.unchanged += 1;
    return;
  }
  std::string line = "CHANGED " + was.facts.name + " (";
  for (std::size_t i = 0; i < columns.size(); ++i) line += (i == 0 ? "" : ", ") + columns[i];
  tally_.changed += 1;
  report_(line + ")");
}

void RecordMerge::wait(Side side, MergeRecord record) {
  WaitingList& list = waiting_[side];
  list.push_back(Waiting{std::move(record), arrivals_++, false, {}});
  WaitingList::iterator at = std::prev(list.end());
  by_name_[side][at->record.facts.name].push_back(at);
  if (by_directory_ && !at->record.directory.empty()) {
    at->placed = true;
    at->in_directory = by_directory_map_[side].emplace(at->record.directory, at);
  }
}

void RecordMerge::unwait(Side side, WaitingList::iterator at) {
  if (at->placed) by_directory_map_[side].erase(at->in_directory);
  waiting_[side].erase(at);
}

void RecordMerge::moved(Side side, const std::string& directory) {
  const Side other = side == kOlder ? kNewer : kOlder;
  if (!current_[side].empty()) decide_in(other, current_[side], true);
  decide_in(other, directory, false);
  current_[side] = directory;
}

void RecordMerge::decide_in(Side side, const std::string& directory, bool include_itself) {
  DirectoryMap& map = by_directory_map_[side];
  std::vector<WaitingList::iterator> passed;
  for (auto at = map.lower_bound(directory);
       at != map.end() && at->first.compare(0, directory.size(), directory) == 0; ++at) {
    if (include_itself || at->first.size() != directory.size()) passed.push_back(at->second);
  }
  std::sort(passed.begin(), passed.end(),
            [](const auto& a, const auto& b) { return a->arrival < b->arrival; });
  for (WaitingList::iterator at : passed) {
    auto named = by_name_[side].find(at->record.facts.name);
    named->second.erase(std::find(named->second.begin(), named->second.end(), at));
    if (named->second.empty()) by_name_[side].erase(named);
    decide(side, at->record);
    unwait(side, at);
  }
}

void RecordMerge::decide(Side side, const MergeRecord& record) {
  in_play_[side] -= 1;
  if (side == kOlder) {
    tally_.missing += 1;
    report_("MISSING " + record.facts.name);
  } else {
    tally_.added += 1;
    report_("NEW " + record.facts.name);
  }
}
