#include "driver/verify.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <set>

#include "config/completion.h"
#include "config/options.h"
#include "driver/catalogue_side.h"
#include "driver/disk_records.h"
#include "driver/echoed_line.h"
#include "driver/record_merge.h"
#include "driver/startup.h"
#include "output/catalogue.h"
#include "output/catalogue_reader.h"
#include "output/file_record.h"
#include "output/file_times.h"
#include "platform/platform.h"
#include "run/output_stream.h"
#include "run/run_state.h"
#include "run/settings.h"
#include "run/termination.h"
#include "run/text_format.h"
#include "select/path_lists.h"
#include "select/wildcard.h"

namespace {

// The records looked at before the walk: whether they fit the layout and lie where the
// verification looks.
constexpr std::size_t kFirstRecords = 32;

bool lies_under(const std::string& name, std::string dir, char separator) {
  if (dir.empty() || dir.back() != separator) dir += separator;
  return name.size() > dir.size() && same_name(name.substr(0, dir.size()), dir);
}

std::string search_paths_text() {
  std::string where;
  for (const std::string& path : settings.search_paths) where += ", " + printable_text(path);
  return where.substr(2);
}

std::string from_root_advice() {
  return "Verify it from the directory it was written in, or name that directory with "
         "--root DIR.\n";
}

// A relative search path that names no directory here is read as a file pattern: verified
// from inside the tree it names, "data" becomes a pattern of the current directory.
bool some_pattern_selects(const std::string& name, char separator) {
  const std::string base = name.substr(name.rfind(separator) + 1);
  return std::any_of(settings.file_patterns.begin(), settings.file_patterns.end(),
                     [&base](const std::string& pattern) { return wildcard_match(pattern, base); });
}

// A catalogue verified from the wrong directory would report its records missing and walk
// whatever lies here. A record that names a whole path outside every search path, or one
// that no file pattern selects, can never be met by the walk, so one such record is enough
// to stop.
void check_record_lies_here(const MergeRecord& record, std::size_t number, NameStyle style,
                            const std::string& shown) {
  const char separator = name_separator(style);
  const std::string& name = record.facts.name;
  if (!whole_path_name(name, separator, settings)) return;
  const bool under_a_search_path = std::any_of(
      settings.search_paths.begin(), settings.search_paths.end(), [&](const std::string& path) {
        return lies_under(name, style == NameStyle::kThisSystem ? path : neutral_name(path),
                          separator);
      });
  std::string why;
  if (!under_a_search_path) {
    why = "lies outside the directories this verification walks (" + search_paths_text() + ")";
  } else if (!some_pattern_selects(name, separator)) {
    std::string patterns;
    for (std::size_t i = 0; i < settings.file_patterns.size() && i < 3; ++i) {
      patterns += ", " + settings.file_patterns[i];
    }
    if (settings.file_patterns.size() > 3) patterns += ", ...";
    why = "is not selected by the file patterns this verification reads (" +
          printable_text(patterns.substr(2)) + ")";
  } else {
    return;
  }
  refuse(
      catalogue_problem(shown, "its record " + std::to_string(number) + ", " + name + ", " + why) +
      from_root_advice());
}

// Bare names of a walk without recursion lie right in the search paths: when none of the
// first ones is there, the verification looks in the wrong place.
void check_bare_names_lie_here(const std::deque<MergeRecord>& first, const std::string& shown) {
  if (!settings.name_only || settings.recurse != 0 || first.empty()) return;
  for (const MergeRecord& record : first) {
    for (std::string path : settings.search_paths) {
      if (path.back() != kSeparator) path += kSeparator;
      DirEntry facts;
      if (os().path_facts(path + record.facts.name, &facts)) return;
    }
  }
  refuse(catalogue_problem(shown, "none of its first " + std::to_string(first.size()) +
                                      " records can be found where this verification looks (" +
                                      search_paths_text() + ")") +
         from_root_advice());
}

// The zone column is compared once, not per record: a catalogue of another system names the
// same zone its own way, and one of another zone shows other local times for the same
// instants.
DiskView disk_view(NameStyle style, const CatalogueHead& head,
                   const std::deque<MergeRecord>& first) {
  DiskView view;
  view.style = style;
  std::string theirs;
  for (const MergeRecord& record : first) {
    if (!record.facts.zone.empty()) theirs = record.facts.zone;
  }
  const std::string ours = zone_text();
  if (theirs.empty() || theirs == ours || settings.zulu) return view;
  long offset = 0;
  bool daylight = false;
  const ZoneInfo zone = os().zone_info();
  if (header_zone(head.started_line, &offset, &daylight) &&
      (offset != zone.offset_seconds || daylight != zone.has_daylight)) {
    view.other_zone = true;
    view.zone_offset_seconds = offset;
    std::fprintf(message_stream,
                 "Zone: the catalogue's records say %s, this system's %s; its times are "
                 "compared as the instants they name at its zone's standard offset (%ld hours "
                 "west of Greenwich)\n",
                 printable_text(theirs).c_str(), ours.c_str(), offset / 3600);
  } else {
    std::fprintf(message_stream,
                 "Zone: the catalogue's records say %s, this system's %s: the same zone, "
                 "its times compared as they stand\n",
                 printable_text(theirs).c_str(), ours.c_str());
  }
  return view;
}

// The catalogue's files, and the output file its run wrote, may lie in the tree they list:
// their records were taken while they were being written, and are no evidence of a change.
std::vector<std::string> own_files(const std::vector<std::string>& catalogues) {
  std::vector<std::string> own = catalogues;
  if (!settings.output_path.empty()) own.push_back(settings.output_path);
  return own;
}

std::set<std::string> own_names(const std::vector<std::string>& own, NameStyle style) {
  std::set<std::string> names;
  for (const std::string& path : own) {
    const std::size_t cut = path.rfind(kSeparator);
    if (cut == std::string::npos) continue;
    DirEntry entry;
    entry.name = path.substr(cut + 1);
    std::string name = file_record_name(Directory{path.substr(0, cut + 1), nullptr}, entry);
    name.erase(name.find_last_not_of(' ') + 1);
    names.insert(style == NameStyle::kThisSystem ? name : neutral_name(name));
  }
  return names;
}

void enter_root(const std::string& root, const std::string& shown) {
  if (root.empty() || os().change_directory(root)) return;
  refuse(catalogue_problem(
      shown, "the directory " + printable_text(root) + " given with --root cannot be entered"));
}

// One file at a time, or with workers as a catalogue's run reads them.
void walk_disk(DiskRecords& records) {
  WorkPool* workers = run_workers();
  if (workers == nullptr) {
    DiskSink sink(records);
    walk_all_search_paths(sink);
    return;
  }
  // Never destroyed, as the workers.
  static OrderedDiskSink* sink = new OrderedDiskSink(records, *workers, ordered_window(*workers));
  walk_all_search_paths(*sink);
  sink->finish();
}

void advise_whole_names(const DiskRecords& records) {
  if (!records.names_shortened()) return;
  const std::size_t width = std::max<std::size_t>(records.longest_path(), 9);
  std::fprintf(message_stream,
               "Names were shortened to fit their column, so records were matched by their "
               "shortened names: write the catalogue with -w %zu, which fits the longest path "
               "this verification met, to compare whole names\n",
               std::min<std::size_t>(width, kWidestNameColumn));
}

}  // namespace

[[noreturn]] void run_verify(const VerifyRequest& request) {
  std::vector<std::string> paths;
  for (const std::string& name : request.catalogues) paths.push_back(absolute_path(name));
  const std::string shown = printable_text(request.catalogues[0]);
  CatalogueReader reader;
  std::string problem;
  if (!reader.open(paths, &problem)) refuse(catalogue_problem(shown, problem));
  const CatalogueHead& head = reader.head();
  const bool altered = catalogue_altered(request.log, head, paths, "");
  if (head.earlier_runs > 0) {
    std::fprintf(message_stream, "Skipped %zu earlier run%s of %s: verifying its last run\n",
                 head.earlier_runs, head.earlier_runs == 1 ? "" : "s", shown.c_str());
  }
  enter_root(request.root, shown);
  const NameStyle style = catalogue_name_style(head);
  read_catalogue_settings(request.record_options, request.run_options, head, style, shown, false);
  prepare_search();
  run.counting_pass = 0;

  const std::vector<std::string> own = own_files(paths);
  CatalogueRecords catalogue(reader, settings, style, own_names(own, style), shown,
                             [style, &shown](const MergeRecord& record, std::size_t number) {
                               check_record_lies_here(record, number, style, shown);
                             });
  const std::deque<MergeRecord>& first = catalogue.read_ahead(kFirstRecords);
  check_bare_names_lie_here(first, shown);
  const DiskView view = disk_view(style, head, first);

  RecordMerge merge([&catalogue](MergeRecord* record) { return catalogue.next(record); },
                    [](const std::string& line) { write_output(line + "\n"); },
                    !search_paths_overlap(settings));
  DiskRecords records(view, own, merge);
  walk_disk(records);
  merge.finish();
  flush_output();
  std::fprintf(message_stream, "%s\n", tally_line(merge.tally()).c_str());
  advise_whole_names(records);
  end_run_at_once(merge.tally().differs() || altered ? kDifferencesFound : kNormalExit);
}
