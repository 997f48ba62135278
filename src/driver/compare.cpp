#include "driver/compare.h"

#include <algorithm>
#include <cstdio>
#include <deque>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "driver/catalogue_side.h"
#include "driver/record_merge.h"
#include "output/file_record.h"
#include "output/file_times.h"
#include "platform/platform.h"
#include "run/output_stream.h"
#include "run/run_state.h"
#include "run/settings.h"
#include "run/termination.h"
#include "run/text_format.h"
#include "select/path_lists.h"

namespace {

// The columns a catalogue's records hold, by the names a CHANGED line gives them.
struct Held {
  std::vector<std::string> digests;
  std::string stamps;  // 'c', 'w'
  bool size = false;
  bool short_name = false;
};

Held held_by(const Settings& s) {
  Held held;
  const DigestRequest kinds = file_digest_request(s);
  for (DigestKind kind : kAllDigestKinds) {
    if (wants(kinds, kind)) held.digests.push_back(digest_kind(kind).name);
  }
  if (s.path_only) return held;
  held.size = true;
  held.short_name = s.dos_name != 0;
  for (const char* letter = selected_stamps(s.time_kind, false); *letter; ++letter) {
    if (*letter != 'a') held.stamps += *letter;
  }
  return held;
}

const char* stamp_column_name(char letter) {
  return letter == 'c' ? "creation" : "last write";
}

// What `one` holds and `other` does not, by name.
std::vector<std::string> only_in(const Held& one, const Held& other) {
  std::vector<std::string> names;
  if (one.size && !other.size) names.push_back("size");
  for (char letter : one.stamps) {
    if (other.stamps.find(letter) == std::string::npos) names.push_back(stamp_column_name(letter));
  }
  if (one.short_name && !other.short_name) names.push_back("short name");
  for (const std::string& kind : one.digests) {
    if (std::find(other.digests.begin(), other.digests.end(), kind) == other.digests.end()) {
      names.push_back(kind);
    }
  }
  return names;
}

Held in_both(const Held& a, const Held& b) {
  Held both;
  for (const std::string& kind : a.digests) {
    if (std::find(b.digests.begin(), b.digests.end(), kind) != b.digests.end()) {
      both.digests.push_back(kind);
    }
  }
  for (char letter : a.stamps) {
    if (b.stamps.find(letter) != std::string::npos) both.stamps += letter;
  }
  both.size = a.size && b.size;
  both.short_name = a.short_name && b.short_name;
  return both;
}

// A record cut down to the columns both catalogues hold, so that only those are compared.
void keep_only(const Held& both, RecordFacts* facts) {
  std::erase_if(facts->digests, [&both](const DigestColumn& d) {
    return std::find(both.digests.begin(), both.digests.end(), d.kind) == both.digests.end();
  });
  std::erase_if(facts->stamps, [&both](const StampColumn& s) {
    return both.stamps.find(s.letter) == std::string::npos;
  });
  if (!both.size) facts->has_size = false, facts->size = 0;
  if (!both.short_name) facts->has_short_name = false, facts->short_name.clear();
}

std::string joined(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
  return text;
}

// One catalogue: its reader, the settings its records were written with, its records.
struct Side {
  std::string shown;
  CatalogueReader reader;
  CatalogueHead head;
  Settings written_with;
  NameStyle style = NameStyle::kThisSystem;
  std::unique_ptr<CatalogueRecords> records;
  bool altered = false;  // since its log entry was written
  long to_utc = 0;       // seconds its times are moved by to name UTC
};

void open_side(const VerifyRequest& request, std::size_t index, Side* side) {
  side->shown = printable_text(request.catalogues[index]);
  std::string problem;
  const std::string path = absolute_path(request.catalogues[index]);
  if (!side->reader.open({path}, &problem)) {
    refuse(catalogue_problem(side->shown, problem));
  }
  side->head = side->reader.head();
  side->altered = catalogue_altered(request.log, side->head, {path}, " (" + side->shown + ")");
  if (side->head.earlier_runs > 0) {
    std::fprintf(message_stream, "Skipped %zu earlier run%s of %s: comparing its last run\n",
                 side->head.earlier_runs, side->head.earlier_runs == 1 ? "" : "s",
                 side->shown.c_str());
  }
  side->style = catalogue_name_style(side->head);
  const Settings defaults = settings;
  read_catalogue_settings(request.record_options, {}, side->head, side->style, side->shown, true);
  side->written_with = settings;
  settings = defaults;
}

[[noreturn]] void cannot_match(const Side& old_side, const Side& new_side, const std::string& why) {
  std::fprintf(message_stream, "\nCatalogues %s and %s cannot be compared: %s\n",
               old_side.shown.c_str(), new_side.shown.c_str(), why.c_str());
  terminate_run(kReadError);
}

// Matching is by name: both catalogues must show names the same way, and where both hold
// digests, a kind in common.
Held columns_to_compare(const Side& old_side, const Side& new_side) {
  const Settings& a = old_side.written_with;
  const Settings& b = new_side.written_with;
  // A data record always shows the whole path.
  const bool a_bare = a.name_only != 0 && a.record_format == RecordFormat::kFixedWidth;
  const bool b_bare = b.name_only != 0 && b.record_format == RecordFormat::kFixedWidth;
  if (a_bare != b_bare) {
    cannot_match(old_side, new_side, "one shows bare names and the other paths (-n)");
  }
  const Held old_held = held_by(a);
  const Held new_held = held_by(b);
  const Held both = in_both(old_held, new_held);
  if (both.digests.empty() && !old_held.digests.empty() && !new_held.digests.empty()) {
    const std::string kinds = joined(old_held.digests) + " against " + joined(new_held.digests);
    cannot_match(old_side, new_side, "they hold no digest kind in common (" + kinds + ")");
  }
  for (const Side* side : {&old_side, &new_side}) {
    const std::vector<std::string> left_out =
        only_in(side == &old_side ? old_held : new_held, side == &old_side ? new_held : old_held);
    if (left_out.empty()) continue;
    std::fprintf(message_stream, "Left out of the comparison, held only by %s: %s\n",
                 side->shown.c_str(), joined(left_out).c_str());
  }
  return both;
}

// Names of the other system compare in the form both share; so do the directories the merge
// places records in.
NameStyle compared_style(const Side& a, const Side& b) {
  if (a.style == b.style) return NameStyle::kThisSystem;
  return a.style == NameStyle::kThisSystem ? b.style : a.style;
}

// The offset west of Greenwich a catalogue's times are local at: a data catalogue's and a
// UTC one's name instants already; a fixed-width one's header says its writer's standard
// offset. False when it does not tell.
bool written_offset(const Side& side, long* offset, bool* daylight) {
  *offset = 0;
  *daylight = false;
  const Settings& s = side.written_with;
  if (s.record_format != RecordFormat::kFixedWidth || s.zulu != 0) return true;
  return header_zone(side.head.started_line, offset, daylight);
}

// Catalogues written in two zones show other local times for the same instants: each side's
// times are then taken to UTC at its zone's standard offset, and that is said once.
void align_zones(Side* old_side, Side* new_side, const Held& both) {
  long was = 0;
  long now = 0;
  bool was_daylight = false;
  bool now_daylight = false;
  if (both.stamps.empty() || !written_offset(*old_side, &was, &was_daylight) ||
      !written_offset(*new_side, &now, &now_daylight) ||
      (was == now && was_daylight == now_daylight)) {
    return;
  }
  old_side->to_utc = was;
  new_side->to_utc = now;
  std::fprintf(message_stream,
               "Zone: %s's times are local %ld hours west of Greenwich, %s's %ld; they are "
               "compared as the instants they name at those standard offsets\n",
               old_side->shown.c_str(), was / 3600, new_side->shown.c_str(), now / 3600);
}

// A record as compared: only the columns both hold, its times as instants where the zones
// differ.
void prepare(const Side& side, const Held& both, RecordFacts* facts) {
  keep_only(both, facts);
  if (side.to_utc == 0) return;
  for (StampColumn& column : facts->stamps) {
    if (!stamp_unset(column.stamp)) {
      column.stamp = stamp_at(stamp_seconds(column.stamp) + side.to_utc);
    }
  }
}

}  // namespace

[[noreturn]] void run_compare(const VerifyRequest& request) {
  catalogues_are_compared();
  Side old_side;
  Side new_side;
  open_side(request, 0, &old_side);
  open_side(request, 1, &new_side);
  const bool altered = old_side.altered || new_side.altered;
  const Held both = columns_to_compare(old_side, new_side);
  const NameStyle style = compared_style(old_side, new_side);
  for (Side* side : {&old_side, &new_side}) {
    side->records = std::make_unique<CatalogueRecords>(
        side->reader, side->written_with, style == NameStyle::kThisSystem ? side->style : style,
        std::set<std::string>{}, side->shown);
  }
  align_zones(&old_side, &new_side, both);
  // Catalogues of two systems list a directory's entries in two orders.
  const bool by_directory = style == NameStyle::kThisSystem && old_side.style == new_side.style &&
                            !search_paths_overlap(old_side.written_with) &&
                            !search_paths_overlap(new_side.written_with);
  RecordMerge merge(
      [&old_side, &both](MergeRecord* record) {
        if (!old_side.records->next(record)) return false;
        prepare(old_side, both, &record->facts);
        return true;
      },
      [](const std::string& line) { write_output(line + "\n"); }, by_directory);
  MergeRecord record;
  while (new_side.records->next(&record)) {
    prepare(new_side, both, &record.facts);
    merge.add_newer(std::move(record));
  }
  merge.finish();
  flush_output();
  std::fprintf(message_stream, "%s\n", tally_line(merge.tally(), "Compared").c_str());
  end_run_at_once(merge.tally().differs() || altered ? kDifferencesFound : kNormalExit);
}
