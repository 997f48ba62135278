#include "config/options.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <utility>
#include <vector>

#include "config/help.h"
#include "config/settings.h"
#include "output/destinations.h"
#include "select/filters.h"
#include "support/scripted_platform.h"

namespace {

const char* const kProgram = "/nonexistent-tallysum-test/tallysum";

void parse(const std::vector<std::string>& args) {
  std::vector<std::string> words{kProgram};
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  parse_command_line(static_cast<int>(words.size()), argv.data());
}

// For death tests: standard output joins standard error, where the matcher looks.
void parse_in_child(const std::vector<std::string>& args) {
  dup2(STDERR_FILENO, STDOUT_FILENO);
  parse(args);
}

using Field = int Settings::*;
struct LetterCase {
  std::vector<std::string> args;
  std::vector<std::pair<Field, int>> expected;
};

class Options : public testing::Test {
 protected:
  void SetUp() override { reset_settings(); }
  ScriptedPlatform platform;
};

TEST_F(Options, LettersSetTheirFields) {
  const LetterCase cases[] = {
      {{"-rS"}, {{&Settings::recurse, 1}, {&Settings::streams, 1}}},
      {{"+rS"}, {{&Settings::recurse, 1}, {&Settings::streams, 1}}},
      {{"-r", "-r"}, {{&Settings::recurse, 0}}},
      {{"-r", "+r"}, {{&Settings::recurse, 1}}},
      {{"-m"}, {{&Settings::show_times, 1}}},
      {{"-m", "+m"}, {{&Settings::show_times, 1}}},
      {{"-n"}, {{&Settings::name_only, 1}}},
      {{"-n", "+n"}, {{&Settings::name_only, 0}}},
      {{"-N"}, {{&Settings::path_only, 0}}},
      {{"-N", "-N"}, {{&Settings::path_only, 1}}},
      {{"+N"}, {{&Settings::path_only, 0}}},
      {{"-S", "-S"}, {{&Settings::streams, 0}}},
      {{"-P"}, {{&Settings::pause, 1}}},
      {{"-a"}, {{&Settings::append_output, 1}}},
      {{"-a", "+a"}, {{&Settings::append_output, 0}}},
      {{"-iMRUX"},
       {{&Settings::immediate, 1},
        {&Settings::auto_width, 1},
        {&Settings::reset_access_time, 1},
        {&Settings::lower_case_hex, 1},
        {&Settings::exclude_case_sensitive, 1}}},
      {{"-M", "-w5"}, {{&Settings::auto_width, 0}}},
      {{"-I"}, {{&Settings::immediate, 1}}},
      {{"-Z"}, {{&Settings::zulu, 1}}},
      {{"-v", "-vv"}, {{&Settings::silent, 3}}},
      {{"-9"}, {{&Settings::md5, 1}, {&Settings::recurse, 0}}},
      {{"-b"}, {{&Settings::start_offset, 512}}},
      // Digest selection: later options override earlier ones.
      {{"-256"}, {{&Settings::md5, 1}, {&Settings::sha256, 1}, {&Settings::crc32, 0}}},
      {{"-s", "-256"}, {{&Settings::md5, 0}, {&Settings::sha1, 1}, {&Settings::sha256, 1}}},
      {{"-256", "-c"}, {{&Settings::crc32, 1}, {&Settings::sha256, 1}, {&Settings::md5, 0}}},
      {{"-c", "-256"}, {{&Settings::crc32, 0}, {&Settings::sha256, 1}, {&Settings::md5, 0}}},
      {{"-B", "-512"}, {{&Settings::md5, 1}, {&Settings::sha1, 1}, {&Settings::sha512, 1}}},
      {{"-c", "-h"}, {{&Settings::md5, 1}, {&Settings::crc32, 0}, {&Settings::sha1, 0}}},
      {{"-c", "-2"}, {{&Settings::crc32, 0}, {&Settings::sha256, 0}}},
      {{"-c", "-25"}, {{&Settings::crc32, 0}, {&Settings::sha256, 0}}},
      {{"-c", "-2560"}, {{&Settings::crc32, 0}, {&Settings::sha256, 0}}},
      {{"-c", "-389"}, {{&Settings::crc32, 0}, {&Settings::sha384, 1}}},
      {{"-c", "-3"}, {{&Settings::crc32, 0}, {&Settings::sha384, 0}}},
      {{"-5120"}, {{&Settings::sha512, 0}}},
      {{"-256r"}, {{&Settings::sha256, 0}, {&Settings::recurse, 0}}},
      // -8 and its long forms.
      {{"-88"}, {{&Settings::dos_name, 1}}},
      {{"-8830r"}, {{&Settings::dos_name, 1}, {&Settings::recurse, 0}}},
      {{"-8r"}, {{&Settings::dos_name, 1}, {&Settings::recurse, 1}}},
      // -A takes everything attached as its number.
      {{"-A"}, {{&Settings::name_after_digest, 1}}},
      {{"-A3"}, {{&Settings::name_after_digest, 3}}},
      {{"-AU"}, {{&Settings::name_after_digest, 0}, {&Settings::lower_case_hex, 0}}},
      {{"-A", "-U"}, {{&Settings::name_after_digest, 1}, {&Settings::lower_case_hex, 1}}},
      // Widths.
      {{"-w", "0"}, {{&Settings::name_width, 260}, {&Settings::name_only_width, 0}}},
      {{"-w40", "-W30"}, {{&Settings::width_mode, 4}, {&Settings::name_width, 30}}},
      {{"-w", "-5"}, {{&Settings::name_width, 260}, {&Settings::width_mode, 2}}},
      {{"-N", "-w40", "+w"}, {{&Settings::width_mode, 1}, {&Settings::name_width, 40}}},
      {{"+w"}, {{&Settings::width_mode, 2}, {&Settings::name_width, 25}}},
      {{"-w99999999999"}, {{&Settings::name_width, 2147483647}}},
      // Times.
      {{"-t3r"}, {{&Settings::time_kind, '3'}, {&Settings::recurse, 1}, {&Settings::show_times, 1}}},
      {{"-tC"}, {{&Settings::time_kind, 'c'}, {&Settings::time_seconds, 1}}},
      {{"-tc"}, {{&Settings::time_kind, 'c'}, {&Settings::time_seconds, 0}}},
      {{"-T3"}, {{&Settings::time_kind, '3'}, {&Settings::year_first_dates, 1}}},
      {{"-t", "abc"}, {{&Settings::time_kind, 'a'}, {&Settings::show_times, 1}}},
      {{"-tx"}, {{&Settings::time_kind, 'x'}}},
      {{"-Z", "-t0"}, {{&Settings::zulu, 0}, {&Settings::show_times, 0}, {&Settings::time_kind, '0'}}},
      {{"-t0", "-z"}, {{&Settings::zulu, 1}, {&Settings::show_times, 1}, {&Settings::time_kind, 'w'}}},
      {{"-ta", "+t"}, {{&Settings::show_times, 0}, {&Settings::time_kind, 'w'}}},
      // Ranges.
      {{"-D100,200c"}, {{&Settings::start_offset, 100}, {&Settings::end_offset, 300}, {&Settings::end_is_count, 1}}},
      {{"-D", "100,200"}, {{&Settings::start_offset, 100}, {&Settings::end_offset, 200}}},
      {{"-D100,200c", "-D50"}, {{&Settings::start_offset, 50}, {&Settings::end_offset, 300}}},
      {{"-D5,10c", "-D1,10"}, {{&Settings::end_offset, 11}, {&Settings::end_is_count, 1}}},
      {{"-D5,10c", "-D1,10O"}, {{&Settings::end_offset, 10}, {&Settings::end_is_count, 0}}},
      {{"-D0,200x"}, {{&Settings::end_offset, 200}, {&Settings::end_is_count, 0}}},
      {{"-D2147483647,5c"}, {{&Settings::end_offset, 2147483647}}},
      // Sizes and ages.
      {{"-G", "100", "-L200"}, {{&Settings::size_greater, 1}, {&Settings::size_greater_than, 100}, {&Settings::size_less, 1}, {&Settings::size_less_than, 200}}},
      {{"-g", "5"}, {{&Settings::date_filter, 1}, {&Settings::older_given, 1}, {&Settings::older_days, 5}, {&Settings::newer_days, 8000}}},
      {{"-l1"}, {{&Settings::date_filter, 1}, {&Settings::newer_given, 1}, {&Settings::newer_days, 1}}},
      // Output.
      {{"-o", "stdout"}, {{&Settings::output_target, -1}, {&Settings::append_output, 0}}},
      {{"-O", "STDOUT"}, {{&Settings::output_target, -1}, {&Settings::append_output, 0}}},
      {{"-O", "list.txt"}, {{&Settings::output_target, 1}, {&Settings::append_output, 1}}},
      {{"-olist.txt", "+o"}, {{&Settings::output_target, 0}, {&Settings::append_output, 0}}},
      {{"+O"}, {{&Settings::output_target, 0}, {&Settings::append_output, 0}}},
      // Attribute masks.
      {{"-q"}, {{&Settings::attribute_filter, 1}}},
      {{"-qr"}, {{&Settings::attribute_filter, 1}, {&Settings::recurse, 1}}},
      // Toggles flip what the earlier sources left.
      {{"-.ini", "xr"}, {{&Settings::recurse, 1}}},
      {{"-.INI", "+r"}, {{&Settings::recurse, 1}}},
      {{"-r", "-.ini"}, {{&Settings::recurse, 1}}},
  };
  for (const LetterCase& c : cases) {
    reset_settings();
    parse(c.args);
    std::string shown;
    for (const std::string& a : c.args) shown += a + " ";
    for (const auto& [field, value] : c.expected) {
      EXPECT_EQ(settings.*field, value) << shown;
    }
  }
}

TEST_F(Options, DelimiterIsACharacterOrACode) {
  const std::pair<std::vector<std::string>, char> cases[] = {
      {{"-d44"}, ','}, {{"-d,"}, ','}, {{"-d", "9"}, '9'}, {{"-d", "09"}, '\t'},
      {{"-d-"}, '-'},  {{"-d|"}, '|'}, {{"-d300"}, ','},   {{"-dx", "-r"}, 'x'},
  };
  for (const auto& [args, expected] : cases) {
    reset_settings();
    parse(args);
    EXPECT_EQ(settings.delimiter, expected) << args[0];
  }
}

TEST_F(Options, AttributeMasksCollectLetters) {
  struct Case {
    const char* arg;
    std::uint32_t plus;
    std::uint32_t minus;
  };
  const Case cases[] = {
      {"-q-rh", 0, 0x3},           {"-q+aS", 0x24, 0},       {"-q-E", 0, 0x4000},
      {"-q-0", 0, 0x4023},         {"-q-n", 0, 0x4023},      {"-q+ar0", 0, 0x4023},
      {"-q+rzr", 0x1, 0},          {"-q-r", 0, 0x1},
  };
  for (const Case& c : cases) {
    reset_settings();
    parse({c.arg});
    EXPECT_EQ(settings.attribute_filter, 1) << c.arg;
    EXPECT_EQ(settings.attr_masks.plus, c.plus) << c.arg;
    EXPECT_EQ(settings.attr_masks.minus, c.minus) << c.arg;
  }
}

TEST_F(Options, ListsAndTextValues) {
  parse({"-f", "*.c", "*.h", "-x", "*.tmp", "Old*.Bak", "-r", "-p", "/data", "/srv/x", "-C",
         "audit run"});
  EXPECT_EQ(settings.file_patterns, (std::vector<std::string>{"*.c", "*.h"}));
  EXPECT_EQ(settings.exclude_patterns, (std::vector<std::string>{"*.TMP", "OLD*.BAK"}));
  EXPECT_EQ(settings.exclude_given, 1);
  EXPECT_EQ(settings.recurse, 1);
  EXPECT_EQ(settings.search_paths, (std::vector<std::string>{"/data", "/srv/x"}));
  EXPECT_EQ(settings.comment_given, 1);
  EXPECT_EQ(settings.comment_text, "audit run");

  reset_settings();
  settings.exclude_patterns = {"FROM.INI"};
  parse({"-X", "-x", "*.tmp", "-Cnote"});
  EXPECT_EQ(settings.exclude_patterns, (std::vector<std::string>{"*.tmp"}));
  EXPECT_EQ(settings.comment_text, "note");

  // A list ends at an argument beginning with '+' too.
  reset_settings();
  parse({"-f", "*.c", "+r"});
  EXPECT_EQ(settings.file_patterns, (std::vector<std::string>{"*.c"}));
  EXPECT_EQ(settings.recurse, 1);
}

TEST_F(Options, BareArgumentsOnlyBeforeTheFirstOption) {
  parse({"*.c", "/abs/dir", "-r"});
  EXPECT_EQ(settings.recurse, 1);
  EXPECT_FALSE(settings.search_paths.empty());
  EXPECT_EXIT(parse_in_child({"-r", "*.c"}), testing::ExitedWithCode(5),
              "extra or eroneous item \"\\*\\.c\"\nat the end of the command line\n"
              "Please check your syntax");
  EXPECT_EXIT(parse_in_child({"-r", "/abs/dir"}), testing::ExitedWithCode(5),
              "eroneous item \"/abs/dir\"");
}

TEST_F(Options, OutputPathIsAbsoluteAndDateNamed) {
  platform.directory = "/home/auditor";
  parse({"-o", "list.txt"});
  EXPECT_EQ(settings.output_path, "/home/auditor/list.txt");
  EXPECT_EQ(settings.output_drive, '/' - 'A');
  reset_settings();
  parse({"-O/var/out.txt"});
  EXPECT_EQ(settings.output_path, "/var/out.txt");
  EXPECT_EQ(settings.append_output, 1);
}

TEST_F(Options, DateArgumentsSetDaysAndInstants) {
  platform.now = ScriptedPlatform::local_seconds(2006, 2, 5, 15, 0);
  parse({"-l", "10-20-2005w", "-g02-01-2006ac"});
  EXPECT_EQ(settings.newer_days, 108);
  EXPECT_EQ(settings.older_days, 4);
  EXPECT_EQ(settings.newer_date, ScriptedPlatform::local_file_time(2005, 10, 20));
  EXPECT_EQ(settings.older_date, ScriptedPlatform::local_file_time(2006, 2, 1));
  EXPECT_EQ(settings.date_test_times.write, 1);
  EXPECT_EQ(settings.date_test_times.access, 1);
  EXPECT_EQ(settings.date_test_times.creation, 1);
  EXPECT_EQ(settings.older_given + settings.newer_given + settings.date_filter, 3);

  // Two-digit years: the day count reads 2005, the instant 1905, which cannot be converted.
  reset_settings();
  parse({"-l", "10-20-05a"});
  EXPECT_EQ(settings.newer_days, 108);
  EXPECT_EQ(settings.newer_date, (kEpochDifferenceSeconds - 1) * kFileTimeTicksPerSecond);
}

TEST_F(Options, AccountingLogFromEnvironmentAndOptions) {
  // The log itself is another piece's; here the parser must leave no log open after +1 and
  // must not crash when a log cannot be opened.
  parse({"+1", "-r"});
  EXPECT_EQ(settings.accounting_file, nullptr);
  EXPECT_EQ(settings.recurse, 1);
}

TEST_F(Options, SyntaxErrorsEndWithStatusFive) {
  struct Case {
    std::vector<std::string> args;
    const char* message;
  };
  const Case cases[] = {
      {{"-f", "sub/*.c"}, "Can't have a / in the file type option\n"},
      {{"-x", "-r"}, "-p \\+ path\\(s\\)"},
      {{"-x"}, "-p \\+ path\\(s\\)"},
      {{"-1"}, "-p \\+ path\\(s\\)"},
      {{"-1", "-r"}, "-p \\+ path\\(s\\)"},
      {{"-C", "-r"}, "-p \\+ path\\(s\\)"},
      {{"-g"}, "-p \\+ path\\(s\\)"},
      {{"-l"}, "-p \\+ path\\(s\\)"},
      {{"-?"}, "-p \\+ path\\(s\\)"},
      {{"-D"}, "Option -D needs a value"},
      {{"-D", "-5"}, "Option -D needs a value"},
      {{"-G"}, "Option -G needs a value"},
      {{"-L", "-1"}, "Option -L needs a value"},
      {{"-o"}, "Option -o needs a value"},
      {{"-O", "-r"}, "Option -O needs a value"},
      {{"-t"}, "Option -t needs a value"},
      {{"-w"}, "Option -w needs a value"},
      {{"-d"}, "Option -d needs a value"},
      {{"-d", "-x"}, "Option -d needs a value"},
      {{"-d", ""}, "Option -d needs a value"},
      {{"-@"}, "warranty"},
  };
  for (const Case& c : cases) {
    EXPECT_EXIT(parse_in_child(c.args), testing::ExitedWithCode(5), c.message) << c.args[0];
  }
}

TEST_F(Options, ValueErrorsWithoutHelpShowNoHelp) {
  EXPECT_EXIT(
      {
        parse_in_child({"-G"});
      },
      testing::ExitedWithCode(5), "^Option -G needs a value\n");
}

TEST_F(Options, HelpAtEndOfInputStopsAtTheFirstPrompt) {
  // The first page carries the banner and the first groups without a prompt; the prompt of
  // the second page meets the end of input and ends the run.
  EXPECT_EXIT(parse_in_child({"-?"}), testing::ExitedWithCode(5),
              "TALLYSUM.*-p \\+ path.*SILENT=ON\n\n +RETURN TO CONTINUE, \\^C or x==exit$");
}

TEST_F(Options, UnknownLetterAsksForTheTextScreen) {
  // No help file: the text screen, then status 5.
  EXPECT_EXIT(parse_in_child({"-k"}), testing::ExitedWithCode(5),
              "Wait for help to appear\n.*-p \\+ path");
  // A help file, and the reader declines the text screen.
  platform.help_file = "/usr/share/man/man1/tallysum.1";
  platform.keys = {'n'};
  EXPECT_EXIT(parse_in_child({"-k"}), testing::ExitedWithCode(5),
              "Wait for help to appear\n\nDO YOU WISH TO SEE A DOS HELP SCREEN ALSO  "
              "\\(Y/N\\)\\? \n");
  // The reader accepts: the screen is shown and parsing goes on with the next letter.
  platform.keys = {'y'};
  for (int i = 0; i < 40; ++i) platform.keys.push_back('\n');
  MessageCapture capture;
  parse({"-kr"});
  EXPECT_EQ(settings.recurse, 1);
  EXPECT_EQ(platform.shown, (std::vector<std::string>{"/usr/share/man/man1/tallysum.1"}));
  EXPECT_NE(capture.text().find("-lg samples:"), std::string::npos);
}

TEST(OptionNumber, DigitsOnlySaturating) {
  EXPECT_EQ(read_option_number("123abc"), 123);
  EXPECT_EQ(read_option_number("abc"), 0);
  EXPECT_EQ(read_option_number("-5"), 0);
  EXPECT_EQ(read_option_number(""), 0);
  EXPECT_EQ(read_option_number("2147483647"), 2147483647);
  EXPECT_EQ(read_option_number("2147483648"), 2147483647);
  EXPECT_EQ(read_option_number("99999999999999999999999"), 2147483647);
}

}  // namespace
