#include "config/options.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <filesystem>

#include "config/verify_request.h"
#include "output/accounting_log.h"
#include "select/filters.h"
#include "support/c_library.h"
#include "support/captured_streams.h"
#include "support/death_test.h"
#include "support/rooted_path.h"
#include "support/scripted_platform.h"
#include "support/temp_dir.h"

namespace {

// For death tests: standard output joins standard error, where the matcher looks.
void parse_in_child(const std::vector<std::string>& args) {
  join_output_to_errors();
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  parse_args(args);
}

using S = Settings;
struct LetterCase {
  std::vector<std::string> args;
  std::vector<std::pair<int S::*, int>> expected;
  // Offsets, which take the whole 64-bit range.
  std::vector<std::pair<std::uint64_t S::*, std::uint64_t>> wide = {};
  // Size limits, which keep their sign.
  std::vector<std::pair<SizeLimit S::*, SizeLimit>> limits = {};
};

class Options : public testing::Test {
 protected:
  void SetUp() override { reset_settings(); }
  ScriptedPlatform platform;
};

TEST_F(Options, LettersSetTheirFields) {
  const LetterCase cases[] = {
      {{"-rS"}, {{&S::recurse, 1}, {&S::streams, 1}}},
      {{"+rS"}, {{&S::recurse, 1}, {&S::streams, 1}}},
      {{"-r", "-r", "-S", "-S"}, {{&S::recurse, 0}, {&S::streams, 0}}},
      {{"-r", "+r", "-m", "+m"}, {{&S::recurse, 1}, {&S::show_times, 1}}},
      {{"-n", "+n", "-N", "-P"}, {{&S::name_only, 0}, {&S::path_only, 0}, {&S::pause, 1}}},
      {{"-N", "-N", "-a"}, {{&S::path_only, 1}, {&S::append_output, 1}}},
      {{"+N", "-a", "+a"}, {{&S::path_only, 0}, {&S::append_output, 0}}},
      {{"-iMRUXZbv", "-v9"},
       {{&S::immediate, 1},
        {&S::auto_width, 1},
        {&S::reset_access_time, 1},
        {&S::lower_case_hex, 1},
        {&S::exclude_case_sensitive, 1},
        {&S::zulu, 1},
        {&S::silent, 2}},
       {{&S::start_offset, 512}}},
      {{"-M", "-w5", "-I", "-z"}, {{&S::auto_width, 0}, {&S::immediate, 1}, {&S::zulu, 1}}},
      // Digests: later options override earlier ones; SHA-2 adds its column, drops CRC-32.
      {{"-256"}, {{&S::md5, 1}, {&S::sha256, 1}}},
      {{"-s", "-256"}, {{&S::md5, 0}, {&S::sha1, 1}, {&S::sha256, 1}}},
      {{"-256", "-c"}, {{&S::crc32, 1}, {&S::sha256, 1}, {&S::md5, 0}}},
      {{"-c", "-256"}, {{&S::crc32, 0}, {&S::sha256, 1}, {&S::md5, 0}}},
      {{"-B", "-512"}, {{&S::md5, 1}, {&S::sha1, 1}, {&S::sha512, 1}}},
      {{"-c", "-h"}, {{&S::md5, 1}, {&S::crc32, 0}, {&S::sha1, 0}}},
      {{"-c", "-2", "-25", "-2560"}, {{&S::crc32, 0}, {&S::sha256, 0}}},
      {{"-c", "-389"}, {{&S::crc32, 0}, {&S::sha384, 1}}},
      {{"-3", "-5120", "-256r"},
       {{&S::sha384, 0}, {&S::sha512, 0}, {&S::sha256, 0}, {&S::recurse, 0}}},
      {{"-88"}, {{&S::dos_name, 1}}},
      {{"-8830r"}, {{&S::dos_name, 1}, {&S::recurse, 0}}},
      {{"-8r"}, {{&S::dos_name, 1}, {&S::recurse, 1}}},
      {{"-A"}, {{&S::name_after_digest, 1}}},
      {{"-A3"}, {{&S::name_after_digest, 3}}},
      {{"-AU"}, {{&S::name_after_digest, 0}, {&S::lower_case_hex, 0}}},
      {{"-A", "-U"}, {{&S::name_after_digest, 1}, {&S::lower_case_hex, 1}}},
      // Widths: -w counts 1, -W 2, +w resets; 0 means the full path.
      {{"-w", "0"}, {{&S::name_width, 260}, {&S::name_only_width, 0}}},
      {{"-w40", "-W30"}, {{&S::width_mode, 4}, {&S::name_width, 30}, {&S::name_only_width, 30}}},
      {{"-w", "-5"}, {{&S::name_width, 260}, {&S::width_mode, 2}}},
      {{"-N", "-w40", "+w"}, {{&S::width_mode, 1}, {&S::name_width, 40}}},
      // The widest name column is 32,767; beyond it the run ends (below).
      {{"-w32767"}, {{&S::name_width, 32767}, {&S::name_only_width, 32767}}},
      {{"-W", "32767", "-A32767"}, {{&S::name_width, 32767}, {&S::name_after_digest, 32767}}},
      // Times.
      {{"-t3r"}, {{&S::time_kind, '3'}, {&S::recurse, 1}, {&S::show_times, 1}}},
      {{"-tC"}, {{&S::time_kind, 'c'}, {&S::time_seconds, 1}}},
      {{"-tc"}, {{&S::time_kind, 'c'}, {&S::time_seconds, 0}}},
      {{"-T3"}, {{&S::time_kind, '3'}, {&S::year_first_dates, 1}}},
      {{"-t", "abc"}, {{&S::time_kind, 'a'}, {&S::show_times, 1}}},
      {{"-Z", "-t0"}, {{&S::zulu, 0}, {&S::show_times, 0}, {&S::time_kind, '0'}}},
      {{"-t0", "-z"}, {{&S::zulu, 1}, {&S::show_times, 1}, {&S::time_kind, 'w'}}},
      {{"-ta", "+t"}, {{&S::show_times, 0}, {&S::time_kind, 'w'}}},
      // Digest ranges.
      {{"-D100,200c"}, {{&S::end_is_count, 1}}, {{&S::start_offset, 100}, {&S::end_offset, 300}}},
      {{"-D", "100,200"}, {}, {{&S::start_offset, 100}, {&S::end_offset, 200}}},
      {{"-D100,200c", "-D50"}, {}, {{&S::start_offset, 50}, {&S::end_offset, 300}}},
      {{"-D5,10c", "-D1,10"}, {{&S::end_is_count, 1}}, {{&S::end_offset, 11}}},
      {{"-D5,10c", "-D1,10O"}, {{&S::end_is_count, 0}}, {{&S::end_offset, 10}}},
      // Offsets past 2 and 4 GiB are kept exactly, up to the last 64-bit one.
      {{"-D2147483647,5c"}, {}, {{&S::end_offset, 2147483652u}}},
      {{"-D3000000000,100c"}, {}, {{&S::start_offset, 3000000000u}, {&S::end_offset, 3000000100u}}},
      {{"-D2147483000,2147484000"},
       {},
       {{&S::start_offset, 2147483000u}, {&S::end_offset, 2147484000u}}},
      {{"-D4294967200", "-c"}, {}, {{&S::start_offset, 4294967200u}}},
      {{"-D18446744073709551614,1c"}, {}, {{&S::end_offset, 18446744073709551615u}}},
      {{"-D18446744073709551615,0c"}, {}, {{&S::start_offset, 18446744073709551615u}}},
      // A start below 0 is 0, and so is an end.
      {{"-D5,10", "-D-5,-1"}, {}, {{&S::start_offset, 0}, {&S::end_offset, 0}}},
      // Sizes, ages, output.
      {{"-G", "100", "-L200"},
       {{&S::size_less, 1}},
       {},
       {{&S::size_greater_than, {false, 100}}, {&S::size_less_than, {false, 200}}}},
      {{"-G3000000000", "-L", "18446744073709551615"},
       {{&S::size_greater, 1}},
       {},
       {{&S::size_greater_than, {false, 3000000000u}},
        {&S::size_less_than, {false, 18446744073709551615u}}}},
      // A limit attached with a minus sign keeps it.
      {{"-L-1", "-G-20"},
       {{&S::size_less, 1}, {&S::size_greater, 1}},
       {},
       {{&S::size_less_than, {true, 1}}, {&S::size_greater_than, {true, 20}}}},
      {{"-g", "5"},
       {{&S::date_filter, 1}, {&S::older_given, 1}, {&S::older_days, 5}, {&S::newer_days, 8000}}},
      {{"-l1"}, {{&S::newer_given, 1}, {&S::newer_days, 1}}},
      {{"-O", "list.txt", "-o", "stdout"}, {{&S::output_target, -1}, {&S::append_output, 0}}},
      {{"-O", "list.txt"}, {{&S::output_target, 1}, {&S::append_output, 1}}},
      {{"-olist.txt", "+o"}, {{&S::output_target, 0}, {&S::append_output, 0}}},
      {{"-qr"}, {{&S::attribute_filter, 1}, {&S::recurse, 1}}},
      // After "-.ini" the next argument is options whatever it begins with.
      {{"-.ini", "xr"}, {{&S::recurse, 1}}},
      {{"-.INI", "+r", "-r", "-.ini"}, {{&S::recurse, 0}}},
  };
  for (const LetterCase& c : cases) {
    reset_settings();
    parse_args(c.args);
    for (const auto& [field, value] : c.expected) EXPECT_EQ(settings.*field, value) << c.args[0];
    for (const auto& [field, value] : c.wide) EXPECT_EQ(settings.*field, value) << c.args[0];
    for (const auto& [field, value] : c.limits) EXPECT_EQ(settings.*field, value) << c.args[0];
  }
}

TEST_F(Options, DelimitersAndAttributeMasks) {
  const std::pair<std::vector<std::string>, char> delimiters[] = {
      {{"-d44"}, ','},      {{"-d,"}, ','}, {{"-d", "9"}, '9'},
      {{"-d", "09"}, '\t'}, {{"-d-"}, '-'}, {{"-d300"}, ','},
  };
  for (const auto& [args, expected] : delimiters) {
    reset_settings();
    parse_args(args);
    EXPECT_EQ(settings.delimiter, expected) << args[0];
  }
  const std::tuple<const char*, std::uint32_t, std::uint32_t> masks[] = {
      {"-q-rh", 0, 0x3},   {"-q+aS", 0x24, 0},    {"-q-E", 0, 0x4000},
      {"-q-n", 0, 0x4023}, {"-q+ar0", 0, 0x4023}, {"-q+rzr", 0x1, 0},
  };
  for (const auto& [arg, plus, minus] : masks) {
    reset_settings();
    parse_args({arg});
    EXPECT_EQ(settings.attr_masks.plus, plus) << arg;
    EXPECT_EQ(settings.attr_masks.minus, minus) << arg;
  }
}

TEST_F(Options, ListsPathsAndTexts) {
  platform.current = rooted_path("home/auditor");
  parse_args({"*.c", rooted_path("abs/dir"), "-f", "*.c", "*.h", "-x", "*.tmp", "Old*.Bak", "+r",
              "-p", rooted_path("data"), "-C", "audit run", "-o", "list.txt"});
  EXPECT_FALSE(settings.search_paths.empty());
  const auto& patterns = settings.file_patterns;
  EXPECT_NE(std::find(patterns.begin(), patterns.end(), "*.h"), patterns.end());
  EXPECT_EQ(settings.exclude_patterns, (std::vector<std::string>{"*.TMP", "OLD*.BAK"}));
  EXPECT_EQ(settings.recurse, 1);
  EXPECT_EQ(settings.search_paths.back(), rooted_path("data"));
  EXPECT_EQ(settings.comment_text, "audit run");
  EXPECT_EQ(settings.output_path, rooted_path("home/auditor/list.txt"));
  // -x replaces the configuration file's list; -X before it keeps the case.
  reset_settings();
  settings.exclude_patterns = {"FROM.INI"};
  parse_args({"-X", "-x", "*.tmp", "-Cnote"});
  EXPECT_EQ(settings.exclude_patterns, (std::vector<std::string>{"*.tmp"}));
  EXPECT_EQ(settings.comment_text, "note");
  // A plus argument ends the list without being taken for a missing one.
  reset_settings();
  settings.exclude_patterns = {"FROM.INI"};
  parse_args({"-x", "+r"});
  EXPECT_TRUE(settings.exclude_patterns.empty());
  EXPECT_EQ(settings.exclude_given, 1);
  EXPECT_EQ(settings.recurse, 1);
  // Every option prefix of the system ends a list and begins an option of its own.
  for (const char* prefix = kOptionPrefixes; *prefix != '\0'; ++prefix) {
    reset_settings();
    const std::string option = std::string(1, *prefix) + "r";
    parse_args({"-f", "*.c", option, "-x", "*.tmp", option});
    EXPECT_EQ(settings.recurse, *prefix == '+' ? 1 : 0) << option;  // set, or toggled twice
    EXPECT_EQ(settings.exclude_patterns, (std::vector<std::string>{"*.TMP"})) << option;
    EXPECT_EQ(std::count(settings.file_patterns.begin(), settings.file_patterns.end(), option), 0);
  }
}

// '/' begins an option only where the system reads it so, and never makes a value missing:
// only '-' does.
TEST_F(Options, ASlashBeginsAnOptionOnlyWhereItIsAPrefix) {
  parse_args({"-d", "/", "-C", "/r"});
  EXPECT_EQ(settings.delimiter, '/');
  EXPECT_EQ(settings.comment_text, "/r");
  EXPECT_EQ(settings.recurse, 0);
  reset_settings();
  const bool begins_option = std::strchr(kOptionPrefixes, '/') != nullptr;
  parse_args({"-x", "*.tmp", "/rS"});
  EXPECT_EQ(settings.recurse, begins_option ? 1 : 0);
  EXPECT_EQ(settings.streams, begins_option ? 1 : 0);
  const std::vector<std::string> patterns =
      begins_option ? std::vector<std::string>{"*.TMP"} : std::vector<std::string>{"*.TMP", "/RS"};
  EXPECT_EQ(settings.exclude_patterns, patterns);
}

TEST_F(Options, DateArgumentsSetDaysAndInstants) {
  platform.now = ScriptedPlatform::local_seconds(2006, 2, 5, 15, 0);
  parse_args({"-l", "10-20-2005w", "-g02-01-2006ac"});
  EXPECT_EQ(settings.newer_days, 108);
  EXPECT_EQ(settings.older_days, 4);
  EXPECT_EQ(settings.newer_date, ScriptedPlatform::local_file_time(2005, 10, 20));
  EXPECT_EQ(settings.older_date, ScriptedPlatform::local_file_time(2006, 2, 1));
  const auto& chosen = settings.date_test_times;
  EXPECT_EQ(chosen.write + chosen.access + chosen.creation, 3);
  // Two-digit years mean the same year to the day count and to the instant.
  reset_settings();
  parse_args({"-l", "10-20-05a"});
  EXPECT_EQ(settings.newer_days, 108);
  EXPECT_EQ(settings.newer_date, ScriptedPlatform::local_file_time(2005, 10, 20));
  // Every layout names its own calendar day, for -l and -g alike.
  const int to_today = day_number(2, 5, 2006) - day_number(3, 7, 2005);
  for (const char* date : {"2005-03-07", "03/07/05", "3-7-2005", "2005\\3\\7"}) {
    reset_settings();
    parse_args({"-l", date, "-g", date});
    EXPECT_EQ(settings.newer_days, to_today) << date;
    EXPECT_EQ(settings.older_days, to_today) << date;
    EXPECT_EQ(settings.older_date, ScriptedPlatform::local_file_time(2005, 3, 7)) << date;
    EXPECT_EQ(settings.newer_date, settings.older_date) << date;
  }
  // Impossible dates roll over, and the layouts without separators read as their rows say.
  const std::pair<std::string, std::array<int, 3>> rolled[] = {
      {"02-30-2005", {3, 2, 2005}},   {"13-01-2005", {1, 1, 2006}}, {"2005-13-07", {1, 7, 2006}},
      {"00-10-2005", {12, 10, 2004}}, {"20050301-", {3, 1, 2005}},  {"030105-", {3, 1, 2005}},
      {"03012005-", {3, 1, 2005}},    {"991020-", {10, 20, 1999}},  {"050301/", {5, 3, 2001}},
  };
  for (const auto& [date, day] : rolled) {
    reset_settings();
    parse_args({"-l", date + "w", "-g", date});
    const int days = day_number(2, 5, 2006) - day_number(day[0], day[1], day[2]);
    EXPECT_EQ(settings.newer_date, ScriptedPlatform::local_file_time(day[2], day[0], day[1]))
        << date;
    EXPECT_EQ(settings.older_days, days) << date;
  }
}

TEST_F(Options, AccountingLogOverriddenByOption) {
  TempDir dir;
  platform.current = dir.path();
  settings.accounting_file =
      native_platform().open_output(dir.at("first.log"), OutputMode::kAppend, nullptr);
  settings.accounting_path = dir.at("first.log");
  ASSERT_NE(settings.accounting_file, nullptr);
  parse_args({"-1", "second.log"});
  EXPECT_EQ(read_file(dir.at("first.log")),
            as_written("This file closed.\nAccounting file overridden by option -1 file pointing "
                       "to " +
                       dir.at("second.log") + "\n"));
  parse_args({"+1"});
  EXPECT_EQ(settings.accounting_file, nullptr);
}

TEST_F(Options, SyntaxErrorsEndWithStatusFive) {
  const std::string help = "^Option -. needs a value\n.*-p \\+ path\\(s\\)";
  const std::string not_option_then_help =
      "^Option -. needs a value, not another option\n.*-p \\+ path\\(s\\)";
  const std::string separator(1, kSeparator);
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"-r", "*.c"},
       "^\nThere appears to be an extra or eroneous item \"\\*\\.c\"\n"
       "at the end of the command line\nPlease check your syntax"},
      {{"-r", rooted_path("abs/dir")},
       "eroneous item \"" + pattern_literal(rooted_path("abs/dir")) + "\""},
      {{"-f", "*.c", "sub" + separator + "*.c"},
       "^Can't have a " + pattern_literal(separator) + " in the file type option\n"},
      {{"-x", "-r"}, "^\n+.*TALLYSUM.*-p \\+ path\\(s\\)"},
      {{"-x"}, "-p \\+ path\\(s\\)"},
      {{"-1"}, help},
      {{"-1", "-r"}, not_option_then_help},
      {{"-C", "-r"}, not_option_then_help},
      {{"-g"}, help},
      {{"-l"}, help},
      {{"-?"}, "-p \\+ path\\(s\\)"},
      {{"-@"}, "warranty"},
      {{"-D"}, "^Option -D needs a value\n"},
      {{"-D", "-5"}, "^Option -D needs a value, not another option\n"},
      {{"-G"}, "^Option -G needs a value\n"},
      {{"-L", "-1"}, "^Option -L needs a value, not another option\n"},
      {{"-o"}, "^Option -o needs a value\n"},
      {{"-O", "-r"}, "^Option -O needs a value, not another option\n"},
      {{"-t"}, "^Option -t needs a value\n"},
      {{"-w"}, "^Option -w needs a value\n"},
      {{"-d"}, "^Option -d needs a value\n"},
      {{"-d", "-x"}, "^Option -d needs a value, not another option\n"},
      {{"-d", ""}, "^Option -d needs a value\n"},
      // Numbers a setting cannot hold are refused, never clamped or wrapped.
      {{"-D18446744073709551616"},
       "^Option -D needs a value no greater than 18446744073709551615\n"},
      {{"-D0,99999999999999999999o"},
       "^Option -D needs a value no greater than 18446744073709551615\n"},
      {{"-D18446744073709551615,1c"},
       "^Option -D needs a start plus count no greater than 18446744073709551615\n"},
      {{"-G", "99999999999999999999"},
       "^Option -G needs a value no greater than 18446744073709551615\n"},
      {{"-L18446744073709551616"},
       "^Option -L needs a value no greater than 18446744073709551615\n"},
      {{"-G-18446744073709551616"},
       "^Option -G needs a value no greater than 18446744073709551615\n"},
      {{"-w32768"}, "^Option -w needs a value no greater than 32767\n"},
      {{"-W", "2147483647"}, "^Option -W needs a value no greater than 32767\n"},
      {{"-w", "99999999999"}, "^Option -w needs a value no greater than 32767\n"},
      {{"-A32768"}, "^Option -A needs a value no greater than 32767\n"},
      // A date no layout can read ends the run rather than silently filter out every file.
      {{"-l", "1O-20-2005"}, "^Option -l needs a date such as mm-dd-yyyy, not \"1O-20-2005\"\n"},
      {{"-g", "2005-1x-07"}, "^Option -g needs a date such as mm-dd-yyyy, not \"2005-1x-07\"\n"},
      {{"-l", "a1-2-3"}, "^Option -l needs a date such as mm-dd-yyyy, not \"a1-2-3\"\n"},
      {{"-g", "5-"}, "^Option -g needs a date"},
      {{"-l", "-5"}, "^Option -l needs a date"},
      // An argument beginning with "--" is a long option and never a value.
      {{"--bogus"}, "^Unknown option --bogus\n"},
      {{"*.c", "--"}, "^Unknown option --\n"},
      {{"-r", "--verify", "list.txt"}, "^--verify must be the first argument"},
      {{"-.ini", "--verify"}, "^--verify must be the first argument"},
      {{"-w", "--jobs"}, "^Option -w needs a value\n"},
      {{"-t", "--x"}, "^Option -t needs a value\n"},
      {{"-g", "--x"}, "^Option -g needs a value\n"},
  };
  for (const auto& [args, message] : cases) {
    EXPECT_EXIT(parse_in_child(args), testing::ExitedWithCode(5), ContainsPattern(message))
        << args[0];
  }
}

TEST_F(Options, HelpAtEndOfInputStopsAtTheFirstPrompt) {
  EXPECT_EXIT(parse_in_child({"-?"}), testing::ExitedWithCode(5),
              ContainsPattern("TALLYSUM.*-p \\+ path.*SILENT=ON\n\n +RETURN TO CONTINUE, \\^C or "
                              "x==exit$"));
}

// Answered wherever they stand, before the environment's log is opened or another letter read.
TEST_F(Options, HelpAndVersionAnswerOnStandardOutputAndEndWithStatusZero) {
  TempDir dir{kSharedWithDeathTests};
  set_environment("ACCT", dir.at("environment.log").c_str());
  EXPECT_EXIT(parse_in_child({"-k", "--help", "-?"}), testing::ExitedWithCode(0),
              ContainsPattern("^Usage: tallysum .*\nSelection .*\nDigests .*\nColumns .*"
                              "\nOutput .*\nLong options\n  --jobs N .*\n  --format .*"
                              "\n  --verify CATALOGUE .*\n  --compare OLD NEW .*"
                              "\n    --root DIR .*\n    --log FILE .*"
                              "\n  --help, --version .*\nExamples\n.* -o list.txt .*"
                              "\n  tallysum --verify list.txt .*\n  tallysum --compare OLD.TXT "
                              "NEW.TXT .*\n.*Manual: [^\n]+\n$"));
  // One screen: at most 24 lines of at most 80 columns.
  EXPECT_EXIT(parse_in_child({"--help"}), testing::ExitedWithCode(0),
              ContainsPattern("^([^\n]{1,80}\n){10,24}$"));
  EXPECT_EXIT(parse_in_child({"-r", "--version"}), testing::ExitedWithCode(0),
              ContainsPattern("^tallysum [0-9]{2}(\\.[0-9]{2}){4}\nBuild: (Linux|Windows) "
                              "(x86_64|i686)\nDigest kernels: MD5 [a-z0-9-]+, SHA-1 [a-z0-9-]+, "
                              "SHA-256 [a-z0-9-]+, SHA-384/512 [a-z0-9-]+, CRC-32 [a-z0-9-]+\n$"));
  set_environment("ACCT", nullptr);
  EXPECT_FALSE(std::filesystem::exists(dir.at("environment.log")));
}

TEST_F(Options, UnknownLetterAsksForTheTextScreen) {
  EXPECT_EXIT(parse_in_child({"-k"}), testing::ExitedWithCode(5),
              ContainsPattern("^Wait for help to appear\n.*-p \\+ path"));
  platform.help_file = "/opt/tallysum/tallysum.1";
  platform.keys = {'n'};
  EXPECT_EXIT(
      parse_in_child({"-k"}), testing::ExitedWithCode(5),
      ContainsPattern("^Wait for help to appear\n\nDO YOU WISH TO SEE A DOS HELP SCREEN ALSO  "
                      "\\(Y/N\\)\\? \n"));
  // Accepted: the screen is shown and parsing goes on with the next letter.
  platform.keys = {'y'};
  platform.keys.resize(40, '\r');
  CapturedStreams capture;
  parse_args({"-kr"});
  EXPECT_EQ(settings.recurse, 1);
  EXPECT_EQ(platform.shown, (std::vector<std::string>{"/opt/tallysum/tallysum.1"}));
  EXPECT_NE(capture.messages().find("-lg samples:"), std::string::npos);
}

// The words after the program path, as main hands them over.
std::vector<char*> words_of(std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (std::string& word : args) argv.push_back(word.data());
  argv.push_back(nullptr);
  return argv;
}

TEST_F(Options, VerifyTakesItsCataloguesThenTheOptionsThatFollowThem) {
  struct Case {
    std::vector<std::string> args;
    bool verify;
    VerifyRequest expected;
  };
  const Case cases[] = {
      {{"/bin/tallysum", "--verify", "list.txt"}, true, {{"list.txt"}, "", {}, {}}},
      {{"/bin/tallysum", "--verify", "A", "B", "-r", "-p", "d", "--root", "/x", "--jobs", "2",
        "-B"},
       true,
       {{"A", "B"}, "/x", {"-r", "-p", "d", "-B"}, {"--jobs", "2"}}},
      {{"/bin/tallysum", "--verify", "A", "--root=/y", "--jobs=3", "--other"},
       true,
       {{"A"}, "/y", {"--other"}, {"--jobs=3"}}},
      {{"/bin/tallysum", "--compare", "old", "new", "-m", "--log", "runs.log"},
       true,
       {{"old", "new"}, "", {"-m"}, {}, "runs.log", true}},
      {{"/bin/tallysum", "-r"}, false, {}},
      {{"/bin/tallysum", "-r", "--verify", "list.txt"}, false, {}},  // parse_command_line's error
      {{"/bin/tallysum"}, false, {}},
  };
  for (Case c : cases) {
    VerifyRequest found;
    std::vector<char*> argv = words_of(c.args);
    ASSERT_EQ(verify_requested(static_cast<int>(c.args.size()), argv.data(), &found), c.verify)
        << c.args.back();
    EXPECT_EQ(found.catalogues, c.expected.catalogues);
    EXPECT_EQ(found.root, c.expected.root);
    EXPECT_EQ(found.record_options, c.expected.record_options);
    EXPECT_EQ(found.run_options, c.expected.run_options);
    EXPECT_EQ(found.compare, c.expected.compare) << c.args[1];
    EXPECT_EQ(found.log, c.expected.log) << c.args.back();
  }
  const std::pair<std::vector<std::string>, const char*> refused[] = {
      {{"/bin/tallysum", "--verify"}, "^No catalogue to verify\nUsage: --verify CATALOGUE"},
      {{"/bin/tallysum", "--verify", "-r"}, "^No catalogue to verify"},
      {{"/bin/tallysum", "--verify", ""}, "^A catalogue's name is empty"},
      {{"/bin/tallysum", "--verify", "a", "--root"}, "^Option --root needs a directory"},
      {{"/bin/tallysum", "--compare", "old"}, "^--compare takes two catalogues"},
      {{"/bin/tallysum", "--compare", "a", "b", "c"}, "^--compare takes two catalogues"},
      {{"/bin/tallysum", "--compare", "a", "b", "--root", "/x"}, "^--compare reads no disk"},
      {{"/bin/tallysum", "--verify", "a", "--log"}, "^Option --log needs the accounting log"},
  };
  for (auto [args, message] : refused) {
    std::vector<char*> argv = words_of(args);
    VerifyRequest found;
    EXPECT_EXIT(verify_requested(static_cast<int>(args.size()), argv.data(), &found),
                testing::ExitedWithCode(5), ContainsPattern(message))
        << args.back();
  }
}

// A catalogue's words are read into a record of their own: nothing is opened, shown or asked,
// the run's own settings stay as they were, and a problem comes back instead of ending the run.
TEST_F(Options, QuietlyParsedWordsOpenNothingAskNothingAndEndNothing) {
  TempDir dir;
  platform.current = dir.path();
  set_environment("ACCT", dir.at("environment.log").c_str());
  Settings record = settings;
  CapturedStreams capture;
  OptionOutcome outcome =
      parse_option_words({"/bin/tallysum", dir.path(), "-r", "-1", dir.at("option.log"), "-O",
                          dir.at("list.txt"), "-?", "-Rk@P", "--jobs", "3"},
                         &record);
  set_environment("ACCT", nullptr);
  EXPECT_TRUE(outcome.ok()) << outcome.problem;
  EXPECT_EQ(outcome.passed_over, (std::vector<std::string>{"-?", "-k", "-@"}));
  EXPECT_EQ(record.accounting_file, nullptr);
  EXPECT_EQ(record.recurse, 1);
  EXPECT_EQ(record.reset_access_time, 1);
  EXPECT_EQ(record.pause, 1);
  EXPECT_EQ(record.output_target, 1);
  EXPECT_EQ(record.append_output, 1);
  EXPECT_EQ(record.jobs, 3);
  EXPECT_EQ(record.search_paths, std::vector<std::string>{dir.path()});
  EXPECT_EQ(settings.recurse, 0);
  EXPECT_TRUE(settings.search_paths.empty());
  EXPECT_TRUE(platform.shown.empty());
  EXPECT_EQ(capture.messages(), "");
  for (const char* name : {"environment.log", "option.log", "list.txt"}) {
    EXPECT_FALSE(std::filesystem::exists(dir.at(name))) << name;
  }

  const std::pair<std::vector<std::string>, const char*> problems[] = {
      {{"-r", "-x"}, "Option -x needs a list of patterns"},
      {{"-r", "extra"}, "There appears to be an extra or eroneous item \"extra\" at the end"},
      {{"-w"}, "Option -w needs a value"},
      {{"-G99999999999999999999"}, "Option -G needs a value no greater than"},
      {{"--jobs", "0"}, "Option --jobs needs a number of workers from 1 to 1024"},
      {{"--verify", "x"}, "--verify must be the first argument"},
      {{"--compare", "x", "y"}, "--compare must be the first argument"},
      {{"--format", "xml"}, "Option --format needs csv, json or fixed"},
      {{"--format"}, "Option --format needs csv, json or fixed"},
      {{"-l", "xx-yy"}, "Option -l needs a date such as mm-dd-yyyy, not \"xx-yy\""},
  };
  for (auto [words, problem] : problems) {
    words.insert(words.begin(), "/bin/tallysum");
    Settings other = settings;
    outcome = parse_option_words(words, &other);
    EXPECT_NE(outcome.problem.find(problem), std::string::npos) << words[1] << outcome.problem;
  }
  EXPECT_EQ(capture.messages(), "");
  // The ordinary parse still opens the log an option names.
  reset_settings();
  parse_args({"-1", dir.at("option.log")});
  EXPECT_NE(settings.accounting_file, nullptr);
  close_accounting_log();
}

}  // namespace
