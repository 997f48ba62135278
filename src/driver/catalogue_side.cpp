#include "driver/catalogue_side.h"

#include <cstdio>
#include <cstdlib>
#include <utility>

#include "config/completion.h"
#include "config/options.h"
#include "output/data_catalogue.h"
#include "output/log_entry.h"
#include "platform/platform.h"
#include "run/output_stream.h"
#include "run/run_state.h"
#include "run/termination.h"
#include "run/text_format.h"
#include "select/path_lists.h"

namespace {

constexpr char kLayoutAdvice[] =
    "A configuration file, or a word of the command line that held a space, may have shaped "
    "the records: give the options it was written with after the catalogue's name "
    "(tallysum --verify CATALOGUE -r -m ...).\n";

[[noreturn]] void refuse_options(const std::string& message) {
  std::fprintf(message_stream, "%s\n", message.c_str());
  terminate_run(kIllegalOption);
}

std::string program_name() {
  return run.module_path.substr(run.module_path.rfind(kSeparator) + 1);
}

std::vector<std::string> with_program(const std::vector<std::string>& words) {
  std::vector<std::string> all{run.module_path};
  all.insert(all.end(), words.begin(), words.end());
  return all;
}

// The words of the options that shaped the records: those after the catalogue's name, else
// the ones its command line echoes.
std::vector<std::string> option_words(const std::vector<std::string>& given,
                                      const CatalogueHead& head, NameStyle style,
                                      const std::string& shown) {
  if (!given.empty()) return with_program(given);
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
// show help is passed over, so that nothing of it can make the reading stop and ask; after
// the catalogue's name it is a mistake of the user's.
Settings record_settings(const std::vector<std::string>& given,
                         const std::vector<std::string>& run_options, const CatalogueHead& head,
                         NameStyle style, const std::string& shown) {
  Settings record = settings;
  OptionOutcome outcome = parse_option_words(option_words(given, head, style, shown), &record);
  if (head.format != RecordFormat::kFixedWidth) record.record_format = head.format;
  if (!outcome.ok() && !given.empty()) refuse_options(outcome.problem);
  if (!outcome.ok()) {
    refuse(catalogue_problem(
               shown, "the command line it echoes cannot be read back: " + outcome.problem + "\n") +
           kLayoutAdvice);
  }
  if (!given.empty() && !outcome.passed_over.empty()) {
    refuse_options("Option " + outcome.passed_over[0] + " has no meaning in a verification");
  }
  for (const std::string& letter : outcome.passed_over) {
    std::fprintf(message_stream, "Passed over %s of the catalogue's command line\n",
                 letter.c_str());
  }
  if (!run_options.empty()) {
    outcome = parse_option_words(with_program(run_options), &record);
    if (!outcome.ok()) refuse_options(outcome.problem);
  }
  return record;
}

// The settings as the catalogue's run completed them, then made read-only.
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

bool is_absolute_name(const std::string& name, char separator) {
  return (!name.empty() && name[0] == separator) ||
         (name.size() > 2 && name[1] == ':' && name[2] == separator);
}

// The directory a catalogue record's name places it in, when the name is a whole path of a
// file; empty for a bare, shortened or cut name and for a stream's.
std::string directory_of_name(const std::string& name, char separator, const Settings& s) {
  if (!whole_path_name(name, separator, s)) return "";
  const std::size_t cut = name.rfind(separator);
  if (name.find(':', cut) != std::string::npos) return "";
  return name.substr(0, cut + 1);
}

}  // namespace

void refuse(const std::string& message) {
  std::fputs(message.c_str(), message_stream);
  terminate_run(kReadError);
}

namespace {
const char* catalogue_use = "verified";
}  // namespace

void catalogues_are_compared() {
  catalogue_use = "compared";
}

std::string catalogue_problem(const std::string& shown, const std::string& why) {
  std::string text = "\nCatalogue " + shown + " cannot be " + catalogue_use + ": " + why;
  if (text.back() != '\n') text += "\n";
  return text;
}

namespace {

// A data catalogue's columns say how its records look, but not which directories its run
// walked nor how.
Settings data_settings(const std::vector<std::string>& given,
                       const std::vector<std::string>& run_options, const CatalogueHead& head,
                       bool columns_suffice, const std::string& shown) {
  if (!given.empty()) {
    return record_settings(given, run_options, head, NameStyle::kThisSystem, shown);
  }
  if (!columns_suffice) {
    refuse(catalogue_problem(shown,
                             "it holds data records, which do not say which "
                             "directories its run walked") +
           "Give the options it was written with after its name: tallysum --verify " + shown +
           " -r -m -p DIR ...\n");
  }
  Settings record = settings;
  settings_from_columns(head.columns, head.format, &record);
  return record;
}

}  // namespace

void read_catalogue_settings(const std::vector<std::string>& given,
                             const std::vector<std::string>& run_options, const CatalogueHead& head,
                             NameStyle style, const std::string& shown, bool columns_suffice) {
  settings = head.format == RecordFormat::kFixedWidth
                 ? record_settings(given, run_options, head, style, shown)
                 : data_settings(given, run_options, head, columns_suffice, shown);
  complete_as_the_run_did(head, shown);
}

bool catalogue_altered(const std::string& log, const CatalogueHead& head,
                       const std::vector<std::string>& paths, const std::string& label) {
  if (log.empty()) return false;
  LogVerdict verdict = LogVerdict::kNoEntry;
  std::string problem;
  if (!check_against_log(absolute_path(log), head.has_header ? head.started_line : "", paths,
                         &verdict, &problem)) {
    // A log that cannot be read holds no entry this can rely on.
    std::fprintf(message_stream, "%s\n", problem.c_str());
  }
  std::fprintf(message_stream, "%s%s\n", log_verdict_text(verdict), label.c_str());
  return verdict == LogVerdict::kAltered;
}

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

NameStyle catalogue_name_style(const CatalogueHead& head) {
  const std::vector<std::string> echoed = command_words(head.command_line);
  return echoed.empty() ? NameStyle::kThisSystem : name_style_of(echoed[0]);
}

char name_separator(NameStyle style) {
  return style == NameStyle::kThisSystem ? kSeparator : '/';
}

bool whole_path_name(const std::string& name, char separator, const Settings& s) {
  if (s.record_format != RecordFormat::kFixedWidth) return is_absolute_name(name, separator);
  const bool may_be_cut = s.name_width > 8 && name.size() >= static_cast<std::size_t>(s.name_width);
  return !s.name_only && !may_be_cut && name.find("...") == std::string::npos &&
         is_absolute_name(name, separator);
}

CatalogueRecords::CatalogueRecords(CatalogueReader& reader, const Settings& s, NameStyle style,
                                   std::set<std::string> left_out, std::string shown, Check check)
    : reader_(reader),
      settings_(s),
      style_(style),
      left_out_(std::move(left_out)),
      shown_(std::move(shown)),
      check_(std::move(check)),
      layouts_(s, reader.head().columns) {}

bool CatalogueRecords::next(MergeRecord* record) {
  if (ahead_.empty()) return read(record);
  *record = std::move(ahead_.front());
  ahead_.pop_front();
  return true;
}

const std::deque<MergeRecord>& CatalogueRecords::read_ahead(std::size_t count) {
  MergeRecord record;
  while (ahead_.size() < count && read(&record)) ahead_.push_back(std::move(record));
  return ahead_;
}

bool CatalogueRecords::read(MergeRecord* record) {
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
    if (style_ != NameStyle::kThisSystem) record->facts.name = neutral_name(record->facts.name);
    if (left_out_.count(record->facts.name) != 0) continue;
    if (check_) check_(*record, number_);
    record->directory = directory_of_name(record->facts.name, name_separator(style_), settings_);
    record->file = true;
    return true;
  }
}

bool search_paths_overlap(const Settings& s) {
  std::set<std::string> seen;
  for (std::string path : s.search_paths) {
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
