#include "driver/verify.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <set>

#include "config/completion.h"
#include "config/options.h"
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

constexpr char kLayoutAdvice[] =
    "A configuration file, or a word of the command line that held a space, may have shaped "
    "the records: give the options it was written with after the catalogue's name "
    "(tallysum --verify CATALOGUE -r -m ...).\n";

[[noreturn]] void refuse(const std::string& message) {
  std::fputs(message.c_str(), message_stream);
  terminate_run(kReadError);
}

[[noreturn]] void refuse_options(const std::string& message) {
  std::fprintf(message_stream, "%s\n", message.c_str());
  terminate_run(kIllegalOption);
}

std::string catalogue_problem(const std::string& shown, const std::string& why) {
  std::string text = "\nCatalogue " + shown + " cannot be verified: " + why;
  if (text.back() != '\n') text += "\n";
  return text;
}

std::string program_name() {
  return run.module_path.substr(run.module_path.rfind(kSeparator) + 1);
}

// The words of the options that shaped the records: those after the catalogue's name, else
// the ones its command line echoes.
std::vector<std::string> option_words(const VerifyRequest& request, const CatalogueHead& head,
                                      NameStyle style, const std::string& shown) {
  if (!request.record_options.empty()) {
    std::vector<std::string> words{run.module_path};
    words.insert(words.end(), request.record_options.begin(), request.record_options.end());
    return words;
  }
  if (head.command_line.empty()) {
    refuse(catalogue_problem(shown, head.has_header
                                        ? "its run header echoes no command line"
                                        : "it holds no run header (\"Started\" and a command "
                                          "line)") +
           "Give the options it was written with after its name: tallysum --verify " + shown +
           " -r -B ...\n");
  }
  return echoed_words(head.command_line, program_name(), style);
}

// The options read into a record of their own. A letter of the echoed line that would only
// show help is passed over, so that nothing of it can make the verification stop and ask;
// after the catalogue's name it is a mistake of the user's.
Settings record_settings(const VerifyRequest& request, const CatalogueHead& head, NameStyle style,
                         const std::string& shown) {
  Settings record = settings;
  const bool given = !request.record_options.empty();
  OptionOutcome outcome = parse_option_words(option_words(request, head, style, shown), &record);
  if (!outcome.ok() && given) refuse_options(outcome.problem);
  if (!outcome.ok()) {
    refuse(catalogue_problem(
               shown, "the command line it echoes cannot be read back: " + outcome.problem + "\n") +
           kLayoutAdvice);
  }
  if (given && !outcome.passed_over.empty()) {
    refuse_options("Option " + outcome.passed_over[0] + " has no meaning in a verification");
  }
  for (const std::string& letter : outcome.passed_over) {
    std::fprintf(message_stream, "Passed over %s of the catalogue's command line\n",
                 letter.c_str());
  }
  if (!request.run_options.empty()) {
    std::vector<std::string> jobs{run.module_path};
    jobs.insert(jobs.end(), request.run_options.begin(), request.run_options.end());
    outcome = parse_option_words(jobs, &record);
    if (!outcome.ok()) refuse_options(outcome.problem);
  }
  return record;
}

// The settings as the catalogue's run completed them, then made read-only: nothing is written,
// reset, paused for or asked.
void complete_as_the_run_did(const CatalogueHead& head, const std::string& shown) {
  if (settings.output_target == 0) settings.append_output = 0;
  complete_settings();
  // Only a counted run with an output file adjusts the width, and it wrote the width it found
  // at its end.
  if (settings.immediate != 0 || settings.output_target == 0) settings.auto_width = 0;
  if (settings.auto_width != 0) {
    if (head.auto_width <= 0) {
      refuse(catalogue_problem(shown,
                               "its run adjusted the name width (-M) and did not end, so "
                               "the width is not known") +
             "Write the catalogue again and let the run finish.\n");
    }
    settings.name_width = head.auto_width;
    settings.auto_width = 0;
  }
  if (settings.delimiter == '\n' || settings.delimiter == '\r') {
    refuse(catalogue_problem(shown, "its delimiter is a line end, which splits its records") +
           "Write the catalogue with another delimiter (-d).\n");
  }
  settings.output_target = 0;
  settings.append_output = 0;
  settings.reset_access_time = 0;
  settings.pause = 0;
  settings.silent = 0;
  settings.accounting_file = nullptr;
}

char name_separator(NameStyle style) {
  return style == NameStyle::kThisSystem ? kSeparator : '/';
}

bool is_absolute_name(const std::string& name, char separator) {
  return (!name.empty() && name[0] == separator) ||
         (name.size() > 2 && name[1] == ':' && name[2] == separator);
}

// A name that is a path as it stands: neither bare, nor shortened, nor cut by its column.
bool whole_path_name(const std::string& name, char separator) {
  const bool may_be_cut =
      settings.name_width > 8 && name.size() >= static_cast<std::size_t>(settings.name_width);
  return !settings.name_only && !may_be_cut && name.find("...") == std::string::npos &&
         is_absolute_name(name, separator);
}

// The directory a catalogue record's name places it in, when the name is a whole path of a
// file; empty for a bare, shortened or cut name and for a stream's.
std::string directory_of_name(const std::string& name, char separator) {
  if (!whole_path_name(name, separator)) return "";
  const std::size_t cut = name.rfind(separator);
  if (name.find(':', cut) != std::string::npos) return "";
  return name.substr(0, cut + 1);
}

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
  if (!whole_path_name(name, separator)) return;
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

// The catalogue's records, one at a time, with the first few read ahead.
class CatalogueRecords {
 public:
  CatalogueRecords(CatalogueReader& reader, NameStyle style, std::set<std::string> left_out,
                   std::string shown)
      : reader_(reader),
        style_(style),
        left_out_(std::move(left_out)),
        shown_(std::move(shown)),
        layouts_(settings) {}

  bool next(MergeRecord* record) {
    if (ahead_.empty()) return read(record);
    *record = std::move(ahead_.front());
    ahead_.pop_front();
    return true;
  }
  const std::deque<MergeRecord>& read_ahead(std::size_t count) {
    MergeRecord record;
    while (ahead_.size() < count && read(&record)) ahead_.push_back(std::move(record));
    return ahead_;
  }

 private:
  bool read(MergeRecord* record) {
    std::string problem;
    for (;;) {
      if (!reader_.next_record(&line_, &problem)) {
        if (!problem.empty()) refuse(catalogue_problem(shown_, problem));
        return false;
      }
      number_ += 1;
      if (!layouts_.read(line_, &record->facts)) {
        refuse(catalogue_problem(shown_, "record " + std::to_string(number_) +
                                             " does not fit the layout its options give "
                                             "records\n") +
               kLayoutAdvice);
      }
      if (style_ != NameStyle::kThisSystem) {
        record->facts.name = neutral_name(record->facts.name);
      }
      if (left_out_.count(record->facts.name) != 0) continue;
      check_record_lies_here(*record, number_, style_, shown_);
      record->directory = directory_of_name(record->facts.name, name_separator(style_));
      record->file = true;
      return true;
    }
  }

  CatalogueReader& reader_;
  const NameStyle style_;
  const std::set<std::string> left_out_;
  const std::string shown_;
  const RecordLayouts layouts_;
  std::string line_;
  std::size_t number_ = 0;
  std::deque<MergeRecord> ahead_;
};

// Whether the walk reaches a directory twice: a search path given twice, or one below another.
bool paths_overlap() {
  std::set<std::string> seen;
  for (std::string path : settings.search_paths) {
    if (kNamesIgnoreCase) path = upper_case_ascii(path);
    if (path.empty() || path.back() != kSeparator) path += kSeparator;
    if (!seen.insert(path).second) return true;
  }
  for (const std::string& path : seen) {
    for (std::size_t cut = path.find(kSeparator); cut + 1 < path.size();
         cut = path.find(kSeparator, cut + 1)) {
      if (seen.count(path.substr(0, cut + 1)) != 0) return true;
    }
  }
  return false;
}

// "(EST/EDT:5*)" at the end of the "Started" line: the writer's standard offset in hours west
// of Greenwich, and whether its zone had a daylight rule.
bool header_zone(const std::string& started, long* offset_seconds, bool* daylight) {
  const std::size_t colon = started.rfind(':');
  const std::size_t close = started.rfind(')');
  if (colon == std::string::npos || close == std::string::npos || close < colon) return false;
  char* end = nullptr;
  const std::string hours = started.substr(colon + 1, close - colon - 1);
  const long value = std::strtol(hours.c_str(), &end, 10);
  if (end == hours.c_str()) return false;
  *offset_seconds = value * 3600;
  *daylight = *end == '*';
  return true;
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
  if (head.earlier_runs > 0) {
    std::fprintf(message_stream, "Skipped %zu earlier run%s of %s: verifying its last run\n",
                 head.earlier_runs, head.earlier_runs == 1 ? "" : "s", shown.c_str());
  }
  enter_root(request.root, shown);
  const std::vector<std::string> echoed = command_words(head.command_line);
  const NameStyle style = echoed.empty() ? NameStyle::kThisSystem : name_style_of(echoed[0]);
  settings = record_settings(request, head, style, shown);
  complete_as_the_run_did(head, shown);
  prepare_search();
  run.counting_pass = 0;

  const std::vector<std::string> own = own_files(paths);
  CatalogueRecords catalogue(reader, style, own_names(own, style), shown);
  const std::deque<MergeRecord>& first = catalogue.read_ahead(kFirstRecords);
  check_bare_names_lie_here(first, shown);
  const DiskView view = disk_view(style, head, first);

  RecordMerge merge([&catalogue](MergeRecord* record) { return catalogue.next(record); },
                    [](const std::string& line) { write_output(line + "\n"); }, !paths_overlap());
  DiskRecords records(view, own, merge);
  walk_disk(records);
  merge.finish();
  flush_output();
  std::fprintf(message_stream, "%s\n", tally_line(merge.tally()).c_str());
  advise_whole_names(records);
  end_run_at_once(merge.tally().differs() ? kDifferencesFound : kNormalExit);
}
