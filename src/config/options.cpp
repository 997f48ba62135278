#include "config/options.h"

#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "config/completion.h"
#include "config/help.h"
#include "config/ini_file.h"
#include "config/long_options.h"
#include "config/usage.h"
#include "output/accounting_log.h"
#include "output/destinations.h"
#include "platform/platform.h"
#include "run/output_stream.h"
#include "run/settings.h"
#include "run/termination.h"
#include "run/text_format.h"
#include "select/filters.h"
#include "select/path_lists.h"

namespace {

constexpr int kFullWidth = 260;

// Where the parser stands: the argument being read and the letter within it.
struct Cursor {
  int argc = 0;
  char** argv = nullptr;
  int index = 0;
  std::string arg;
  std::size_t pos = 0;
};

// Which way a missing or unusable separate value ends the run.
enum class OnMissing { kHelp, kPlain };

bool begins_long_option(const char* text) {
  return is_long_option(text);
}

// A problem that ends a quiet parse: it unwinds the parse to parse_option_words, which
// returns it instead of ending the run.
struct OptionProblem {
  std::string text;
};

// Set while parse_option_words reads words into a record of the caller's: nothing is opened,
// shown or asked, letters that would only show help are passed over and noted here, and a
// problem is thrown instead of ending the run.
OptionOutcome* quiet_parse = nullptr;

bool equals_ignoring_case(const std::string& a, const char* b) {
  std::size_t i = 0;
  for (; i < a.size() && b[i] != '\0'; ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return i == a.size() && b[i] == '\0';
}

[[noreturn]] void help_then_exit() {
  show_help_screen();
  terminate_run(kIllegalOption);
}

// Every syntax error ends here: one line on the message stream (the help screen after it when
// asked) and reason 5, or, in a quiet parse, the line handed back to its caller.
[[noreturn]] void option_error(const std::string& text, OnMissing on_missing) {
  if (quiet_parse != nullptr) throw OptionProblem{text};
  std::fprintf(message_stream, "%s\n", text.c_str());
  if (on_missing == OnMissing::kHelp) help_then_exit();
  terminate_run(kIllegalOption);
}

std::string letter_text(const char* format, char letter) {
  std::string text;
  append_format(&text, format, letter);
  return text;
}

[[noreturn]] void value_missing(char letter, OnMissing on_missing) {
  option_error(letter_text("Option -%c needs a value", letter), on_missing);
}

// The value was there but began with '-': most likely the user left it out and this is the
// next option, so say that rather than only that a value is missing.
[[noreturn]] void value_is_option(char letter, OnMissing on_missing) {
  option_error(letter_text("Option -%c needs a value, not another option", letter), on_missing);
}

// A number the setting cannot hold is refused rather than cut down to one it can: a clamped
// offset, limit or width silently answers another question than the one asked.
[[noreturn]] void value_too_large(char letter, const std::string& largest) {
  option_error(letter_text("Option -%c needs a value no greater than ", letter) + largest,
               OnMissing::kPlain);
}

// A letter that only shows help or a notice: a quiet parse notes it and goes on.
bool passed_over(const Cursor& at) {
  if (quiet_parse == nullptr) return false;
  quiet_parse->passed_over.push_back(std::string("-") + at.arg[at.pos]);
  return true;
}

std::uint64_t byte_offset_value(char letter, const std::string& text) {
  std::uint64_t value = 0;
  if (!read_byte_offset(text.c_str(), &value)) {
    value_too_large(letter, std::to_string(kLargestByteCount));
  }
  return value;
}

SizeLimit size_limit_value(char letter, const std::string& text) {
  SizeLimit value;
  if (!read_size_limit(text.c_str(), &value)) {
    value_too_large(letter, std::to_string(kLargestByteCount));
  }
  return value;
}

int width_value(char letter, const std::string& text) {
  int value = read_option_number(text.c_str());
  if (value > kWidestNameColumn) value_too_large(letter, std::to_string(kWidestNameColumn));
  return value;
}

// The argument's first character is '+': some letters then mean "on" or "off", not "toggle".
bool plus_form(const Cursor& at) {
  return !at.arg.empty() && at.arg[0] == '+';
}

bool has_attached(const Cursor& at) {
  return at.pos + 1 < at.arg.size();
}

// The rest of the argument after the letter, which it consumes; otherwise the next argument.
// A next argument beginning with '-' counts as missing when `dash_is_missing`.
std::string take_value(Cursor& at, OnMissing on_missing, bool dash_is_missing) {
  char letter = at.arg[at.pos];
  if (has_attached(at)) {
    std::string value = at.arg.substr(at.pos + 1);
    at.pos = at.arg.size();
    return value;
  }
  if (at.index + 1 >= at.argc) value_missing(letter, on_missing);
  const char* next = at.argv[at.index + 1];
  if (begins_long_option(next)) value_missing(letter, on_missing);
  if (dash_is_missing && next[0] == '-') value_is_option(letter, on_missing);
  at.index += 1;
  return next;
}

// The bare arguments that follow, up to the next one that begins an option.
template <typename Add>
void take_list(Cursor& at, Add add) {
  while (at.index + 1 < at.argc && !begins_option(at.argv[at.index + 1])) {
    at.index += 1;
    add(std::string(at.argv[at.index]));
  }
}

void consume_rest(Cursor& at) {
  at.pos = at.arg.size();
}

void replace_accounting_log(Cursor& at) {
  if (at.pos > 0 && at.arg[at.pos - 1] == '+') {
    if (settings.accounting_file != nullptr) close_accounting_log();
    settings.accounting_file = nullptr;
    return;
  }
  std::string path = absolute_path(take_value(at, OnMissing::kHelp, true));
  if (quiet_parse != nullptr) return;
  if (settings.accounting_file != nullptr) {
    std::string note;
    append_format(&note, "Accounting file overridden by option -1 file pointing to %s\n",
                  path.c_str());
    hand_over_accounting_log(note);
  }
  open_accounting_log(path);
}

// -2, -3 and -5: only the exact digest sizes choose a digest, but each turns CRC-32 off.
void choose_sha2(Cursor& at) {
  std::string rest = at.arg.substr(at.pos);
  if (rest == "256") settings.sha256 = 1;
  if (rest.compare(0, 2, "38") == 0) settings.sha384 = 1;
  if (rest == "512") settings.sha512 = 1;
  settings.crc32 = 0;
  consume_rest(at);
}

void take_dos_name(Cursor& at) {
  settings.dos_name = 1;
  // The width digits of -88nn are accepted for old scripts; they change nothing.
  if (has_attached(at) && at.arg[at.pos + 1] == '8') consume_rest(at);
}

void take_name_after_digest(Cursor& at) {
  settings.name_after_digest = 1;
  if (!has_attached(at)) return;
  settings.name_after_digest = width_value('A', at.arg.substr(at.pos + 1));
  consume_rest(at);
}

void take_comment(Cursor& at) {
  settings.comment_text = take_value(at, OnMissing::kHelp, true);
  settings.comment_given = 1;
}

void take_range(Cursor& at) {
  std::string value = take_value(at, OnMissing::kPlain, true);
  settings.start_offset = byte_offset_value('D', value);
  std::size_t comma = value.find(',');
  if (comma == std::string::npos) return;
  settings.end_offset = byte_offset_value('D', value.substr(comma + 1));
  unsigned char last = static_cast<unsigned char>(value.back());
  if (std::isalpha(last)) {
    if (std::tolower(last) == 'o') settings.end_is_count = 0;
    if (std::tolower(last) == 'c') settings.end_is_count = 1;
  }
  if (settings.end_offset != 0 && settings.end_is_count == 1) {
    if (settings.end_offset > kLargestByteCount - settings.start_offset) {
      option_error(
          "Option -D needs a start plus count no greater than " + std::to_string(kLargestByteCount),
          OnMissing::kPlain);
    }
    settings.end_offset += settings.start_offset;
  }
}

void take_output(Cursor& at, bool append) {
  if (append) settings.append_output = 1;
  if (plus_form(at)) {
    settings.append_output = 0;
    settings.output_target = 0;
    return;
  }
  settings.output_target = 1;
  std::string value = take_value(at, OnMissing::kPlain, true);
  if (equals_ignoring_case(value, "stdout")) {
    settings.output_target = -1;
    settings.append_output = 0;
    return;
  }
  settings.output_path = absolute_path(value);
  std::string separator(1, kSeparator);
  if (settings.output_path.find(separator + "MMDD") != std::string::npos ||
      settings.output_path.find(separator + "YYMM") != std::string::npos) {
    expand_dated_path(&settings.output_path);
  }
}

void take_time_kind(Cursor& at, bool year_first) {
  if (year_first) settings.year_first_dates = 1;
  settings.time_kind = 'w';
  if (plus_form(at)) {
    settings.show_times = 0;
    return;
  }
  settings.show_times = 1;
  char kind;
  if (has_attached(at)) {
    at.pos += 1;
    kind = at.arg[at.pos];
  } else if (at.index + 1 < at.argc && at.argv[at.index + 1][0] != '\0' &&
             !begins_long_option(at.argv[at.index + 1])) {
    at.index += 1;
    kind = at.argv[at.index][0];
  } else {
    value_missing(at.arg[at.pos], OnMissing::kPlain);
  }
  settings.time_kind = static_cast<unsigned char>(kind);
  if (kind == '0') {
    settings.zulu = 0;
    settings.show_times = 0;
  }
  if (kind == 'A' || kind == 'C' || kind == 'W') {
    settings.time_kind = std::tolower(static_cast<unsigned char>(kind));
    settings.time_seconds = 1;
  }
}

void take_width(Cursor& at, bool narrow_form) {
  settings.width_mode += narrow_form ? 2 : 1;
  if (plus_form(at)) {
    settings.width_mode = 1;
    return;
  }
  char letter = at.arg[at.pos];
  settings.name_width = width_value(letter, take_value(at, OnMissing::kPlain, false));
  settings.name_only_width = settings.name_width;
  if (settings.name_width == 0) settings.name_width = kFullWidth;
}

void take_exclusions(Cursor& at) {
  settings.exclude_given = 1;
  settings.exclude_patterns.clear();
  // Only a minus-like option after -x is taken for a forgotten list; "+r" just ends an empty
  // one.
  if (at.index + 1 >= at.argc ||
      (begins_option(at.argv[at.index + 1]) && at.argv[at.index + 1][0] != '+')) {
    if (quiet_parse != nullptr) throw OptionProblem{"Option -x needs a list of patterns"};
    show_help_screen();
    end_run_at_once(kIllegalOption);
  }
  take_list(at, [](const std::string& pattern) {
    settings.exclude_patterns.push_back(
        settings.exclude_case_sensitive ? pattern : upper_case_ascii(pattern));
  });
}

void take_patterns(Cursor& at) {
  take_list(at, [](const std::string& pattern) {
    if (pattern.find(kSeparator) != std::string::npos) {
      option_error(letter_text("Can't have a %c in the file type option", kSeparator),
                   OnMissing::kPlain);
    }
    add_file_pattern(pattern);
  });
}

void take_delimiter(Cursor& at) {
  std::string value = take_value(at, OnMissing::kPlain, true);
  if (value.empty()) value_missing('d', OnMissing::kPlain);
  settings.delimiter =
      value.size() == 1 ? value[0] : static_cast<char>(read_option_number(value.c_str()) & 0xFF);
}

void take_age_or_date(Cursor& at, bool older) {
  std::string value = take_value(at, OnMissing::kHelp, false);
  settings.date_filter = 1;
  (older ? settings.older_given : settings.newer_given) = 1;
  int& days = older ? settings.older_days : settings.newer_days;
  if (value.find_first_of("-/\\") == std::string::npos) {
    days = read_option_number(value.c_str());
    return;
  }
  std::string date = value;
  take_date_letters(&date);
  int month = 0, day = 0, year = 0;
  // One reading serves both tests, so the age count and the instant name the same day.
  if (!parse_date_layout(date, &month, &day, &year)) {
    option_error(
        letter_text("Option -%c needs a date such as mm-dd-yyyy, not \"", older ? 'g' : 'l') +
            value + "\"",
        OnMissing::kPlain);
  }
  days = static_cast<int>(days_since_date(month, day, year));
  (older ? settings.older_date : settings.newer_date) = date_to_file_time(month, day, year);
}

std::uint32_t attribute_bit(char letter) {
  switch (std::tolower(static_cast<unsigned char>(letter))) {
    case 'a':
      return kAttrArchive;
    case 'e':
      return kAttrEncrypted;
    case 'h':
      return kAttrHidden;
    case 'r':
      return kAttrReadOnly;
    case 's':
      return kAttrSystem;
    default:
      return 0;
  }
}

constexpr std::uint32_t kNoSpecialAttributes =
    kAttrEncrypted | kAttrArchive | kAttrReadOnly | kAttrHidden;

void take_attribute_masks(Cursor& at) {
  settings.attribute_filter = 1;
  if (!has_attached(at)) return;
  char sign = at.arg[at.pos + 1];
  if (sign != '-' && sign != '+') return;
  for (std::size_t i = at.pos + 2; i < at.arg.size(); ++i) {
    char c = at.arg[i];
    if (c == '0' || c == 'N' || c == 'n') {
      if (sign == '+') settings.attr_masks.plus = 0;
      settings.attr_masks.minus = kNoSpecialAttributes;
    } else {
      (sign == '+' ? settings.attr_masks.plus : settings.attr_masks.minus) |= attribute_bit(c);
    }
  }
  consume_rest(at);
}

void unknown_letter(const Cursor& at) {
  if (passed_over(at)) return;
  std::fputs("Wait for help to appear\n", stdout);
  std::fflush(stdout);
  std::string program = at.argc > 0 ? at.argv[0] : "";
  if (!open_help_file(program)) help_then_exit();
  std::fputs("\nDO YOU WISH TO SEE A DOS HELP SCREEN ALSO  (Y/N)? ", message_stream);
  std::fflush(message_stream);
  int key = os().read_key();
  if (key == kKeyInterrupted) check_interrupt();
  if (key == 'Y' || key == 'y') {
    show_help_screen();
    return;
  }
  std::fputs("\n", message_stream);
  terminate_run(kIllegalOption);
}

void toggle(int& flag, const Cursor& at, int plus_value) {
  flag = plus_form(at) ? plus_value : flag ^ 1;
}

// Letters that neither take a value nor look at what follows them.
bool simple_letter(char letter, const Cursor& at) {
  switch (letter) {
    case '9':
      break;
    case 'B':
      settings.md5 = 1, settings.sha1 = 1, settings.crc32 = 0;
      break;
    case 'I':
    case 'i':
      settings.immediate = 1;
      break;
    case 'M':
      settings.auto_width = 1;
      break;
    case 'N':
      toggle(settings.path_only, at, 0);
      break;
    case 'P':
      settings.pause ^= 1;
      break;
    case 'R':
      settings.reset_access_time = 1;
      break;
    case 'S':
      toggle(settings.streams, at, 1);
      break;
    case 'U':
      settings.lower_case_hex = 1;
      break;
    case 'X':
      settings.exclude_case_sensitive = 1;
      break;
    case 'Z':
    case 'z':
      settings.zulu = 1;
      break;
    case 'a':
      settings.append_output = plus_form(at) ? 0 : 1;
      break;
    case 'b':
      settings.start_offset = 512;
      break;
    case 'c':
      settings.crc32 = 1, settings.md5 = 0, settings.sha1 = 0;
      break;
    case 'h':
      settings.md5 = 1, settings.crc32 = 0, settings.sha1 = 0;
      break;
    case 'm':
      toggle(settings.show_times, at, 1);
      break;
    case 'n':
      toggle(settings.name_only, at, 0);
      break;
    case 'r':
      toggle(settings.recurse, at, 1);
      break;
    case 's':
      settings.sha1 = 1, settings.md5 = 0, settings.crc32 = 0;
      break;
    case 'v':
      settings.silent += 1;
      break;
    default:
      return false;
  }
  return true;
}

void apply_letter(Cursor& at) {
  char letter = at.arg[at.pos];
  if (simple_letter(letter, at)) return;
  switch (letter) {
    case '1':
      replace_accounting_log(at);
      break;
    case '2':
    case '3':
    case '5':
      choose_sha2(at);
      break;
    case '8':
      take_dos_name(at);
      break;
    case '?':
      if (!passed_over(at)) help_then_exit();
      break;
    case '@':
      if (!passed_over(at)) write_sha2_notice();
      break;
    case 'A':
      take_name_after_digest(at);
      break;
    case 'C':
      take_comment(at);
      break;
    case 'D':
      take_range(at);
      break;
    case 'G':
      settings.size_greater = 1;
      settings.size_greater_than = size_limit_value('G', take_value(at, OnMissing::kPlain, true));
      break;
    case 'L':
      settings.size_less = 1;
      settings.size_less_than = size_limit_value('L', take_value(at, OnMissing::kPlain, true));
      break;
    case 'O':
    case 'o':
      take_output(at, letter == 'O');
      break;
    case 'T':
    case 't':
      take_time_kind(at, letter == 'T');
      break;
    case 'W':
    case 'w':
      take_width(at, letter == 'W');
      break;
    case 'x':
      take_exclusions(at);
      break;
    case 'd':
      take_delimiter(at);
      break;
    case 'f':
      take_patterns(at);
      break;
    case 'g':
    case 'l':
      take_age_or_date(at, letter == 'g');
      break;
    case 'p':
      take_list(at, add_search_path);
      break;
    case 'q':
      take_attribute_masks(at);
      break;
    default:
      unknown_letter(at);
      break;
  }
}

// Reads the letters of argv[index]; returns the index of the last argument it consumed.
int parse_option_argument(int argc, char** argv, int index) {
  Cursor at{argc, argv, index, argv[index], 1};
  while (at.pos < at.arg.size()) {
    apply_letter(at);
    at.pos += 1;
  }
  return at.index;
}

[[noreturn]] void extra_item(const char* item) {
  if (quiet_parse != nullptr) {
    throw OptionProblem{"There appears to be an extra or eroneous item \"" + std::string(item) +
                        "\" at the end of the command line"};
  }
  std::printf("\nThere appears to be an extra or eroneous item \"%s\"\n", item);
  std::fputs("at the end of the command line\n", stdout);
  std::fputs("Please check your syntax, and correct to problem.\n", stdout);
  std::fflush(stdout);  // before the summary that the message stream carries
  terminate_run(kIllegalOption);
}

void open_environment_log() {
  const char* value = std::getenv("ACCT");
  // An empty value is how many shells clear a variable: it names no log.
  if (value == nullptr || value[0] == '\0') return;
  open_accounting_log(equals_ignoring_case(value, "ON") ? kDefaultAccountingFile : value);
}

// --verify and --compare make runs of their own and stand only first; every other long option
// stands where the letters may.
int long_option(int argc, char** argv, int index) {
  for (const char* first_only : {kVerifyOption, kCompareOption}) {
    if (std::string(argv[index]) == first_only) {
      option_error(std::string(first_only) + " must be the first argument", OnMissing::kPlain);
    }
  }
  std::string problem;
  index = parse_long_option(argc, argv, index, &problem);
  if (!problem.empty()) option_error(problem, OnMissing::kPlain);
  return index;
}

void read_arguments(int argc, char** argv) {
  int i = 1;
  for (; i < argc && !begins_option(argv[i]); ++i) add_path_argument(argv[i]);
  for (; i < argc; ++i) {
    if (equals_ignoring_case(argv[i], "-.ini")) {
      if (++i >= argc) break;
      i = begins_long_option(argv[i]) ? long_option(argc, argv, i)
                                      : parse_option_argument(argc, argv, i);
    } else if (begins_long_option(argv[i])) {
      i = long_option(argc, argv, i);
    } else if (begins_option(argv[i])) {
      i = parse_option_argument(argc, argv, i);
    } else {
      extra_item(argv[i]);
    }
  }
  finish_command_line();
}

struct SignedCount {
  bool negative = false;
  std::uint64_t magnitude = 0;
};

bool read_signed_count(const char* text, SignedCount* count) {
  while (*text == ' ' || (*text >= '\t' && *text <= '\r')) ++text;
  const bool negative = *text == '-';
  if (*text == '-' || *text == '+') ++text;
  std::uint64_t magnitude = 0;
  for (; *text >= '0' && *text <= '9'; ++text) {
    unsigned digit = static_cast<unsigned>(*text - '0');
    if (magnitude > (kLargestByteCount - digit) / 10) return false;
    magnitude = magnitude * 10 + digit;
  }
  *count = SignedCount{negative, magnitude};
  return true;
}

bool configuration_suppressed(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (equals_ignoring_case(argv[i], "-.ini")) return true;
  }
  return false;
}

}  // namespace

bool read_byte_offset(const char* text, std::uint64_t* offset) {
  SignedCount count;
  if (!read_signed_count(text, &count)) return false;
  *offset = count.negative ? 0 : count.magnitude;
  return true;
}

bool read_size_limit(const char* text, SizeLimit* limit) {
  SignedCount count;
  if (!read_signed_count(text, &count)) return false;
  *limit = SizeLimit{count.negative && count.magnitude != 0, count.magnitude};
  return true;
}

int read_option_number(const char* text) {
  long long value = 0;
  for (; *text >= '0' && *text <= '9'; ++text) {
    value = value * 10 + (*text - '0');
    if (value > INT_MAX) return INT_MAX;
  }
  return static_cast<int>(value);
}

void parse_command_line(int argc, char** argv) {
  // Before the environment's log or a configuration file is opened: an answer leaves no trace.
  answer_help_or_version(argc, argv);
  open_environment_log();
  if (!configuration_suppressed(argc, argv)) {
    std::string refused = read_configuration_file(argc, argv);
    if (!refused.empty()) {
      std::fprintf(message_stream, "%s\n", refused.c_str());
      terminate_run(kIllegalOption);
    }
  }
  read_arguments(argc, argv);
}

bool begins_option(const char* text) {
  return text[0] != '\0' && std::strchr(kOptionPrefixes, text[0]) != nullptr;
}

OptionOutcome parse_option_words(const std::vector<std::string>& words, Settings* into) {
  std::vector<std::string> copy = words;
  std::vector<char*> argv;
  for (std::string& word : copy) argv.push_back(word.data());
  argv.push_back(nullptr);
  OptionOutcome outcome;
  // The letters and the path lists fill the one global record: `into` takes its place while
  // the words are read, and the run's own record is back before anything else can look.
  struct Lent {
    Settings* record;
    explicit Lent(Settings* r) : record(r) { std::swap(settings, *record); }
    ~Lent() {
      std::swap(settings, *record);
      quiet_parse = nullptr;
    }
  } lent(into);
  quiet_parse = &outcome;
  try {
    read_arguments(static_cast<int>(copy.size()), argv.data());
  } catch (const OptionProblem& problem) {
    outcome.problem = problem.text;
  }
  return outcome;
}
