#include "driver/verify.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "config/completion.h"
#include "config/options.h"
#include "driver/startup.h"
#include "output/catalogue.h"
#include "output/file_record.h"
#include "output/file_times.h"
#include "output/stream_record.h"
#include "platform/platform.h"
#include "platform/text_file.h"
#include "run/output_stream.h"
#include "run/run_state.h"
#include "run/settings.h"
#include "run/termination.h"
#include "run/text_format.h"
#include "select/path_lists.h"
#include "select/walk.h"

namespace {

constexpr char kKeepNamesWhole[] =
    "Write the catalogue with a name width that keeps names whole (-w 0), and verify that "
    "one.\n";

constexpr char kLayoutAdvice[] =
    "A configuration file, or a word of the command line that held a space, may have shaped "
    "the records: write the catalogue again without either, and verify that one.\n";

const char* kind_text(RecordOutcome outcome) {
  switch (outcome) {
    case RecordOutcome::kChanged:
      return "CHANGED";
    case RecordOutcome::kMissing:
      return "MISSING";
    case RecordOutcome::kNew:
      return "NEW";
    case RecordOutcome::kUnreadable:
      return "UNREADABLE";
    default:
      return "UNCHANGED";
  }
}

[[noreturn]] void refuse(const std::string& message) {
  std::fputs(message.c_str(), message_stream);
  terminate_run(kReadError);
}

std::string catalogue_problem(const std::string& path, const std::string& why) {
  std::string text;
  append_format(&text, "\nCatalogue %s cannot be verified: %s", printable_text(path).c_str(),
                why.c_str());
  if (text.back() != '\n') text += "\n";
  return text;
}

const CatalogueRun& last_run(const std::string& path, const std::vector<CatalogueRun>& runs) {
  if (runs.empty()) {
    refuse(catalogue_problem(path, "it holds no run header (\"Started\" and a command line)") +
           "Write it with -o FILE or -O FILE, and without -v.\n");
  }
  if (runs.size() > 1) {
    std::fprintf(message_stream, "Skipped %zu earlier run%s of %s: verifying its last run\n",
                 runs.size() - 1, runs.size() == 2 ? "" : "s", printable_text(path).c_str());
  }
  const CatalogueRun& run = runs.back();
  if (run.command_line.empty()) {
    refuse(catalogue_problem(path, "its run header echoes no command line") +
           "A run writes its command line with -o FILE or -O FILE, not on standard output.\n");
  }
  return run;
}

bool names_something(const std::string& word) {
  DirEntry facts;
  if (os().path_facts(word, &facts)) return true;
  std::size_t cut = word.rfind(kSeparator);
  if (word.find_first_of("*?") == std::string::npos || cut == std::string::npos) return false;
  return os().is_directory(word.substr(0, cut == 0 ? 1 : cut));
}

bool ends_with_name(const std::string& word, const std::string& name) {
  return !name.empty() && word.size() >= name.size() &&
         same_name(word.substr(word.size() - name.size()), name);
}

// The options of the run that wrote the catalogue, applied to the settings: its words alone
// decide. An option that would write anything is neutralised.
void apply_catalogue_options(const std::string& path, const CatalogueRun& catalogue_run) {
  std::string program = run.module_path.substr(run.module_path.rfind(kSeparator) + 1);
  std::vector<std::string> words = echoed_words(catalogue_run.command_line, program);
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  reroute_option_errors(
      kReadError,
      catalogue_problem(path, "the command line it echoes cannot be read back") +
          "A word that held a space comes back as several: write the catalogue again with "
          "paths, patterns and comments free of spaces.\n");
  parse_echoed_command_line(static_cast<int>(words.size()), argv.data());
  complete_settings();
  reroute_option_errors(kIllegalOption, "");

  // As the run did: only a counted run with an output file adjusts the width, and it wrote
  // the width it found at its end.
  if (settings.immediate != 0 || settings.output_target == 0) settings.auto_width = 0;
  if (settings.auto_width != 0) {
    if (catalogue_run.auto_width <= 0) {
      refuse(catalogue_problem(path,
                               "its run adjusted the name width (-M) and did not end, so "
                               "the width is not known") +
             "Write the catalogue again and let the run finish.\n");
    }
    settings.name_width = catalogue_run.auto_width;
    settings.auto_width = 0;
  }
  if (settings.delimiter == '\n' || settings.delimiter == '\r') {
    refuse(catalogue_problem(path, "its delimiter is a line end, which splits its records") +
           "Write the catalogue with another delimiter (-d).\n");
  }
  settings.output_target = 0;
  settings.append_output = 0;
  settings.pause = 0;
  settings.silent = 0;
}

// The catalogue, and the file its run was writing, may lie in the tree they list: their
// records were taken while they were being written, and are no evidence of a change.
std::vector<std::string> own_files;
std::vector<std::string>* own_records = nullptr;
std::vector<std::string>* listed_records = nullptr;

// The record writers, with the records of the catalogue's own files set aside.
class CollectingWriters : public WalkSink {
 public:
  void file(const Directory& dir, const DirEntry& entry) override {
    const bool own =
        std::find(own_files.begin(), own_files.end(), dir.path + entry.name) != own_files.end();
    if (own) collect_output_in(own_records);
    write_file_record(dir, entry);
    if (own) collect_output_in(listed_records);
  }
  void directory_streams(const Directory& parent, const std::string& name, const std::string& path,
                         int n) override {
    list_directory_streams(n, parent, name, path);
  }
};

// The selection of the catalogue's run made again, its records collected instead of written;
// those of the catalogue's own files go to `own`.
std::vector<std::string> repeat_selection(std::vector<std::string>* own) {
  if (settings.search_paths.empty()) add_search_path(os().current_directory());
  run.record_width = compute_record_width();
  counters.record_length = estimate_record_length();
  run.volume_kind = settings.search_paths.empty() ? 1 : os().volume_kind(settings.search_paths[0]);
  run.counting_pass = 0;
  std::vector<std::string> records;
  own_records = own;
  listed_records = &records;
  CollectingWriters writers;
  collect_output_in(&records);
  walk_all_search_paths(writers);
  collect_output_in(nullptr);
  check_interrupt();
  return records;
}

}  // namespace

std::vector<std::string> echoed_words(const std::string& command_line,
                                      const std::string& program_name) {
  std::vector<std::string> split = command_words(command_line);
  std::vector<std::string> words;
  for (std::size_t i = 0; i < split.size(); ++i) {
    std::string word = split[i];
    const bool program = i == 0;
    if (!begins_option(word.c_str()) && !names_something(word) &&
        !(program && ends_with_name(word, program_name))) {
      std::string joined = word;
      for (std::size_t k = i + 1; k < split.size() && !begins_option(split[k].c_str()); ++k) {
        joined += " " + split[k];
        if (names_something(joined) || (program && ends_with_name(joined, program_name))) {
          word = joined;
          i = k;
          break;
        }
      }
    }
    words.push_back(word);
  }
  return words;
}

bool RecordComparison::index_catalogue(const std::vector<std::string>& records,
                                       std::string* problem) {
  std::vector<Column> columns;
  known_.reserve(records.size());
  by_name_.reserve(records.size());
  for (const std::string& record : records) {
    check_interrupt();
    if (!split_any_record(record, settings, &columns)) {
      *problem = "record " + std::to_string(known_.size() + 1) +
                 " does not fit the layout its command line gives records\n" + kLayoutAdvice;
      return false;
    }
    Known known{record_name(record, columns), without_access_columns(record, columns)};
    if (!by_name_.try_emplace(known.name, Slot{known_.size()}).second) {
      *problem = "two records show the name \"" + known.name +
                 "\", so they cannot be told apart\n" + kKeepNamesWhole;
      return false;
    }
    known_.push_back(std::move(known));
  }
  return true;
}

// The listing was made with these very settings; a record that fits no layout is still
// somebody's, and is matched under its whole text.
std::string RecordComparison::name_of(std::string* record, std::vector<Column>* columns) {
  if (!record->empty() && record->back() == '\n') record->pop_back();
  return split_any_record(*record, settings, columns) ? record_name(*record, *columns) : *record;
}

void RecordComparison::leave_out(std::string record) {
  std::vector<Column> columns;
  auto found = by_name_.find(name_of(&record, &columns));
  if (found == by_name_.end() || found->second.added) return;
  found->second.seen_now = true;
  known_[found->second.index].outcome = RecordOutcome::kLeftOut;
}

bool RecordComparison::compare(std::string record, std::string* problem) {
  check_interrupt();
  std::vector<Column> columns;
  std::string name = name_of(&record, &columns);
  auto [at, inserted] = by_name_.try_emplace(name, Slot{added_.size(), true, true});
  if (inserted) {
    added_.push_back(std::move(name));
    return true;
  }
  if (at->second.seen_now) {
    *problem = "the disk now gives two records the name \"" + name + "\"\n" + kKeepNamesWhole;
    return false;
  }
  at->second.seen_now = true;
  Known& known = known_[at->second.index];
  if (shows_digest_marker(record, columns)) {
    known.outcome = RecordOutcome::kUnreadable;
  } else {
    known.outcome = without_access_columns(record, columns) == known.compared
                        ? RecordOutcome::kUnchanged
                        : RecordOutcome::kChanged;
  }
  return true;
}

std::vector<std::string> RecordComparison::difference_lines() const {
  std::vector<std::string> lines;
  for (const Known& known : known_) {
    if (known.outcome == RecordOutcome::kUnchanged || known.outcome == RecordOutcome::kLeftOut) {
      continue;
    }
    lines.push_back(std::string(kind_text(known.outcome)) + " " + known.name);
  }
  for (const std::string& name : added_) lines.push_back("NEW " + name);
  return lines;
}

VerifyTally RecordComparison::tally() const {
  VerifyTally tally;
  for (const Known& known : known_) {
    switch (known.outcome) {
      case RecordOutcome::kUnchanged:
        ++tally.unchanged;
        break;
      case RecordOutcome::kChanged:
        ++tally.changed;
        break;
      case RecordOutcome::kUnreadable:
        ++tally.unreadable;
        break;
      case RecordOutcome::kLeftOut:
        break;
      default:
        ++tally.missing;
        break;
    }
  }
  tally.added = added_.size();
  return tally;
}

std::string tally_line(const VerifyTally& t) {
  std::string line;
  append_format(&line,
                "Verified %zu records: %zu unchanged, %zu changed, %zu missing, %zu new, "
                "%zu unreadable",
                t.unchanged + t.changed + t.missing + t.added + t.unreadable, t.unchanged,
                t.changed, t.missing, t.added, t.unreadable);
  return line;
}

[[noreturn]] void run_verify(const std::string& catalogue_path) {
  os().set_file_apis_ansi();
  counters.start_time = os().now_seconds();
  make_zone_abbreviation();
  apply_defaults();
  use_standard_output();
  message_stream = stderr;

  std::string text;
  if (!read_text_file(catalogue_path, &text)) {
    refuse(catalogue_problem(catalogue_path, "it cannot be opened or read"));
  }
  const std::vector<CatalogueRun> runs = read_catalogue(text);
  const CatalogueRun& catalogue_run = last_run(catalogue_path, runs);
  apply_catalogue_options(catalogue_path, catalogue_run);
  own_files = {absolute_path(catalogue_path)};
  if (!settings.output_path.empty()) own_files.push_back(settings.output_path);

  RecordComparison comparison;
  std::string problem;
  if (!comparison.index_catalogue(catalogue_run.records, &problem)) {
    refuse(catalogue_problem(catalogue_path, problem));
  }
  std::vector<std::string> own;
  for (const std::string& record : repeat_selection(&own)) {
    if (!comparison.compare(record, &problem)) {
      refuse(catalogue_problem(catalogue_path, problem));
    }
  }
  for (const std::string& record : own) comparison.leave_out(record);
  for (const std::string& line : comparison.difference_lines()) {
    std::printf("%s\n", line.c_str());
  }
  const VerifyTally tally = comparison.tally();
  std::fprintf(message_stream, "%s\n", tally_line(tally).c_str());
  const bool differs = tally.changed + tally.missing + tally.added + tally.unreadable > 0;
  std::fflush(stdout);
  std::fflush(message_stream);
  std::exit(differs ? 1 : 0);
}
