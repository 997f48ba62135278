#include "config/ini_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <functional>
#include <string>
#include <vector>

#include "config/settings.h"
#include "driver/run_state.h"
#include "output/accounting_log.h"
#include "support/config_output_platform.h"
#include "support/temp_dir.h"

namespace {

void fresh_settings() {
  create_settings();
  apply_environment();
  apply_defaults();
}

class IniFile : public testing::Test {
 protected:
  void SetUp() override {
    fresh_settings();
    run = RunState{};
    dir.mkdir("cwd");
    dir.mkdir("bin");
    platform.current = dir.at("cwd");
    run.module_path = dir.at("bin/tallysum");
  }
  void TearDown() override { close_accounting_log(); }

  // Reads the configuration as a run of the program at run.module_path with `args` would.
  void read_with(std::vector<std::string> args = {}) {
    args.insert(args.begin(), run.module_path);
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    read_configuration_file(static_cast<int>(args.size()), argv.data());
  }

  ConfigOutputPlatform platform;
  TempDir dir;
};

struct FieldCase {
  std::vector<std::string> lines;
  std::function<int()> field;
  int expected;
};

TEST_F(IniFile, SettingLinesSetTheirFields) {
  const FieldCase cases[] = {
      {{"recurse=on"}, [] { return settings.recurse; }, 1},
      {{"RECURSE=ON", "RECURSE=OFF"}, [] { return settings.recurse; }, 0},
      {{"RECURSE=ONOFF"}, [] { return settings.recurse; }, 0},  // on first, then off
      {{"RECURSE=ON", "RECURSE=maybe"}, [] { return settings.recurse; }, 1},
      {{"RECURSE ON"}, [] { return settings.recurse; }, 0},    // no '='
      {{"; RECURSE=ON"}, [] { return settings.recurse; }, 0},  // comment
      {{"[RECURSE=ON]"}, [] { return settings.recurse; }, 0},  // section header
      {{"  Recurse = On"}, [] { return settings.recurse; }, 1},
      {{"PATHONLY=OFF"}, [] { return settings.path_only; }, 0},
      {{"CRC=ON"}, [] { return settings.crc32 * 10 + settings.md5; }, 11},
      {{"SHA=ON"}, [] { return settings.sha1 * 10 + settings.md5; }, 11},
      {{"HASH=OFF"}, [] { return settings.md5; }, 0},
      {{"NO_COUNT=YES"}, [] { return settings.immediate; }, 1},
      {{"8.3=ON"}, [] { return settings.dos_name; }, 1},
      {{"MILITARY=ON"}, [] { return settings.show_times; }, 1},
      {{"RESET=ON"}, [] { return settings.reset_access_time; }, 1},
      {{"SILENT=ON", "SILENT=OFF"}, [] { return settings.silent; }, 0},
      {{"ALL_HT=ON"}, [] { return settings.all_hash_times; }, 1},
      {{"HASH=OFF", "ALL_HT=ON"}, [] { return settings.md5; }, 1},
      {{"ALL_HT=ON"}, [] { return settings.time_kind; }, '3'},
      {{"ALL_HT=ON", "ALL_HT=OFF"}, [] { return settings.all_hash_times; }, 0},
      {{"ALL_HT=ON", "ALL_HT=OFF"}, [] { return settings.show_times; }, 1},
      {{"ALLTIMES=yes"}, [] { return settings.time_kind; }, '3'},
      {{"ALL_TIMES=ON", "ALL_TIMES=OFF"}, [] { return settings.show_times; }, 1},
      {{"DISPLACE=  -12abc"}, [] { return settings.start_offset; }, -12},
      {{"DISPLACE=+300"}, [] { return settings.start_offset; }, 300},
      {{"DISPLACE=300", "DISPLACE=OFF"}, [] { return settings.start_offset; }, 0},
      {{"DISPLACE=x12"}, [] { return settings.start_offset; }, 0},
      {{"FDI=ON"}, [] { return settings.start_offset; }, 512},
      {{"FDI=ON", "FDI=OFF"}, [] { return settings.start_offset; }, 0},
      {{"DELIMITER=44"}, [] { return int(settings.delimiter); }, '4'},
      {{"DELIMETER=;"}, [] { return int(settings.delimiter); }, ';'},
      {{"DELIMITER=x"}, [] { return int(settings.delimiter); }, 'X'},
      {{"DELIMITER=OFF"}, [] { return int(settings.delimiter); }, ' '},
      {{"DELIMITER="}, [] { return int(settings.delimiter); }, ' '},  // no NUL delimiter
      {{"WIDTH=0"}, [] { return settings.name_width; }, 0},
      {{"WIDTH=0"}, [] { return settings.name_only_width; }, 25},
      {{"WIDTH=40", "WIDTH=30"}, [] { return settings.width_mode; }, 3},
      {{"GREATER=1000"},
       [] { return settings.size_greater * 10000 + settings.size_greater_than; },
       11000},
      {{"GREATER=99999999999"}, [] { return settings.size_greater_than; }, INT_MAX},
      {{"LESSTHAN=-99999999999"}, [] { return settings.size_less_than; }, INT_MIN},
      {{"LESSTHAN=5"}, [] { return settings.size_less * 100 + settings.size_less_than; }, 105},
      {{"OLDER=30"}, [] { return settings.date_filter * 100 + settings.older_days; }, 130},
      {{"YOUNGER=7"}, [] { return settings.date_filter * 100 + settings.newer_days; }, 107},
      {{"TIME=a"}, [] { return settings.time_kind; }, 'A'},
      {{"TIME="}, [] { return settings.time_kind; }, 'w'},
      {{"ZULU=OFF"}, [] { return settings.show_times * 10 + settings.zulu; }, 10},
      {{"ZULU=ON"}, [] { return settings.show_times * 10 + settings.zulu; }, 11},
      {{"ZULU=whatever"}, [] { return settings.show_times * 10 + settings.zulu; }, 10},
      {{"COLOUR=ON"}, [] { return settings.recurse + settings.streams + settings.pause; }, 0},
      // AUTO is tested before OUTPUT and occurs in the value: an AUTO line that changes nothing.
      {{"OUTPUT=/home/auto/list.txt"}, [] { return settings.output_target; }, 0},
      {{"OUTPUT=/home/auto/list.txt"}, [] { return settings.auto_width; }, 0},
      // PATH occurs in PATHONLY, which is tested first.
      {{"PATHONLY=ON"}, [] { return int(settings.search_paths.size()); }, 0},
  };
  for (const FieldCase& c : cases) {
    fresh_settings();
    for (const std::string& line : c.lines) apply_configuration_line(line);
    EXPECT_EQ(c.field(), c.expected) << c.lines.back();
  }
}

TEST_F(IniFile, NamesKeepTheirCaseAndPatternsAreUpperCased) {
  apply_configuration_line("Path=/Data/Mixed Case");
  apply_configuration_line("PATH=relative/Dir   ");
  apply_configuration_line("PATH=");
  apply_configuration_line("file=*.c");
  apply_configuration_line("FILE=");
  apply_configuration_line("exclude=*.tmp");
  apply_configuration_line("Output=Lists/Today.txt ");
  EXPECT_EQ(settings.search_paths,
            (std::vector<std::string>{"/Data/Mixed Case", dir.at("cwd/relative/Dir")}));
  EXPECT_EQ(settings.file_patterns, std::vector<std::string>{"*.C"});
  EXPECT_EQ(settings.exclude_patterns, std::vector<std::string>{"*.TMP"});
  EXPECT_EQ(settings.exclude_given, 1);
  EXPECT_EQ(settings.output_target, 1);
  EXPECT_EQ(settings.output_path, dir.at("cwd/Lists/Today.txt"));

  fresh_settings();
  apply_configuration_line("OUTPUT=");
  apply_configuration_line("EXCLUDE=  ");
  EXPECT_EQ(settings.output_target, 0);
  EXPECT_EQ(settings.exclude_given, 0);
  EXPECT_TRUE(settings.exclude_patterns.empty());
}

TEST_F(IniFile, ADelimiterLineIsAlsoAnExcludeLine) {
  apply_configuration_line("DELIMITER=,EXCLUDE");
  EXPECT_EQ(settings.delimiter, ',');
  EXPECT_EQ(settings.exclude_patterns, std::vector<std::string>{",EXCLUDE"});
  fresh_settings();
  apply_configuration_line("EXCLUDE=*.BAK DELIMITER");  // the delimiter rule wins the search
  EXPECT_EQ(settings.delimiter, '*');
  EXPECT_EQ(settings.exclude_patterns, std::vector<std::string>{"*.BAK DELIMITER"});
}

TEST_F(IniFile, TheProgramsOwnFileIsReadWholeAndTheSharedOneNotAtAll) {
  dir.write("cwd/tallysum.ini", "RECURSE=ON\n[OTHER]\nSTREAM=ON\n; PAUSE=ON\n");
  dir.write("cwd/KELDRAIN.INI", "[TALLYSUM]\nPAUSE=ON\n");
  read_with();
  EXPECT_EQ(settings.recurse, 1);
  EXPECT_EQ(settings.streams, 1);
  EXPECT_EQ(settings.pause, 0);
}

TEST_F(IniFile, CandidatesAreTriedInOrderAndFoundWithoutRegardToCase) {
  struct Case {
    std::vector<std::pair<std::string, std::string>> files;
    std::string program;
    std::string expected;  // the file found, relative to the test directory
    bool section_only;
  } cases[] = {
      {{{"cwd/TALLYSUM.INI", ""}, {"bin/tallysum.ini", ""}},
       "bin/tallysum",
       "cwd/TALLYSUM.INI",
       false},
      {{{"bin/Tallysum.Ini", ""}, {"cwd/keldrain.ini", ""}},
       "bin/tallysum",
       "bin/Tallysum.Ini",
       false},
      {{{"cwd/keldrain.ini", ""}, {"bin/KELDRAIN.INI", ""}},
       "bin/tallysum",
       "cwd/keldrain.ini",
       true},
      {{{"bin/KELDRAIN.INI", ""}, {"cwd/tallysum.ini", ""}}, "bin/ts", "bin/KELDRAIN.INI", true},
      {{{"cwd/tallysum.ini", ""}}, "bin/ts.bin", "cwd/tallysum.ini", false},
      {{{"bin/TALLYSUM.ini", ""}}, "bin/ts", "bin/TALLYSUM.ini", false},
      {{}, "bin/tallysum", "", false},
  };
  for (const Case& c : cases) {
    TempDir place;
    place.mkdir("cwd");
    place.mkdir("bin");
    for (const auto& [name, content] : c.files) place.write(name, content);
    platform.current = place.at("cwd");
    ConfigurationFile found;
    bool exists = find_configuration_file(place.at(c.program), &found);
    EXPECT_EQ(exists, !c.expected.empty()) << c.program;
    if (!exists) continue;
    EXPECT_EQ(found.path, place.at(c.expected));
    EXPECT_EQ(found.section_only, c.section_only) << c.expected;
  }
  EXPECT_EQ(program_name("/usr/bin/tallysum"), "tallysum");
  EXPECT_EQ(program_name("/opt/x.y/Prog.exe"), "Prog");
  EXPECT_EQ(program_name("tallysum"), "tallysum");
}

TEST_F(IniFile, TheSharedFileAppliesOnlyTheProgramsSection) {
  struct Case {
    std::string program;
    std::string text;
    int recurse, streams, pause;
  } cases[] = {
      {"tallysum", "RECURSE=ON\n[TALLYSUM]\nSTREAM=ON\n[NEXT]\nPAUSE=ON\n", 0, 1, 0},
      {"tallysum", "[tallysum] comment\r\nstream=on\r\npause=on\r\n", 0, 1, 1},
      {"tallysum", "[OTHER]\nSTREAM=ON\n", 0, 0, 0},  // no section: nothing
      {"tallysum", "[TALLYSUM]\nSTREAM=ON\nPAUSE=ON [TALLYSUM]\nRECURSE=ON\n", 0, 1, 0},
      {"x", "[TALLYSUM]\nSTREAM=ON\n[X]\nRECURSE=ON\n", 1, 0, 0},
      {"tallysum", " [TALLYSUM]\nSTREAM=ON\n", 0, 0, 0},  // the header must begin the line
  };
  for (const Case& c : cases) {
    fresh_settings();
    dir.write("cwd/KELDRAIN.INI", c.text);
    run.module_path = dir.at("bin/" + c.program);
    read_with();
    EXPECT_EQ(settings.recurse, c.recurse) << c.text;
    EXPECT_EQ(settings.streams, c.streams) << c.text;
    EXPECT_EQ(settings.pause, c.pause) << c.text;
  }
}

TEST_F(IniFile, DashIniKeepsEveryFileUnread) {
  dir.write("cwd/tallysum.ini", "RECURSE=ON\n");
  for (const char* arg : {"-.ini", "-.INI", "-.Ini"}) {
    fresh_settings();
    read_with({"-r", arg, "-S"});
    EXPECT_EQ(settings.recurse, 0) << arg;
  }
  read_with({"-.in", "x-.ini"});
  EXPECT_EQ(settings.recurse, 1);
}

TEST_F(IniFile, LinesOfAnyLengthAreReadWholeWithTheirLineEndsRemoved) {
  std::string long_pattern = "FILE=" + std::string(300, 'X') + "RECURSE=ON";
  std::string long_path = "PATH=/" + std::string(100000, 'd');
  dir.write("cwd/tallysum.ini",
            long_pattern + "\r\n" + long_path + "\nOUTPUT=/out/List.txt\r\nSTREAM=ON");
  read_with();
  EXPECT_EQ(settings.recurse, 0);  // not a second setting cut off the long line
  ASSERT_EQ(settings.file_patterns.size(), 1u);
  EXPECT_EQ(settings.file_patterns[0], long_pattern.substr(5));
  ASSERT_EQ(settings.search_paths.size(), 1u);
  EXPECT_EQ(settings.search_paths[0], long_path.substr(5));
  EXPECT_EQ(settings.output_path, "/out/List.txt");
  EXPECT_EQ(settings.streams, 1);  // the last line needs no line end
}

TEST_F(IniFile, AnUnopenableFileIsReportedAndWaitedOn) {
  dir.mkdir("cwd/tallysum.ini");
  dir.write("bin/tallysum.ini", "RECURSE=ON\n");  // found second: never read
  platform.keys = {'\n'};
  testing::internal::CaptureStdout();
  read_with();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "\nCouldn't open .ini file\n");
  EXPECT_EQ(platform.key_reads, 1);
  EXPECT_EQ(settings.recurse, 0);

  // End of input at the wait: the run still goes on.
  testing::internal::CaptureStdout();
  read_with();
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(platform.key_reads, 2);
}

TEST_F(IniFile, AccountingKeysReplaceTheOpenLog) {
  std::string here = std::filesystem::current_path().string();
  ASSERT_EQ(chdir(dir.at("cwd").c_str()), 0);
  settings.accounting_file = open_accounting_log(dir.at("first.log"));
  apply_configuration_line("ACCT=OFF");
  EXPECT_EQ(platform.locks.size(), 1u);
  apply_configuration_line("AcctIng=Second.Log");
  apply_configuration_line("acct=On");  // only the environment treats ON as the default log
  close_accounting_log();
  ASSERT_EQ(chdir(here.c_str()), 0);

  std::string start = "\n" + std::string(59, '*') + "\n";
  EXPECT_EQ(read_file(dir.at("first.log")),
            start + "This file closed.\nAccounting file overridden by .ini file pointing to " +
                dir.at("cwd/Second.Log") + "\n");
  EXPECT_EQ(read_file(dir.at("cwd/Second.Log")),
            start + "This file closed.\nAccounting file overridden by .ini file pointing to " +
                dir.at("cwd/On") + "\n");
  EXPECT_EQ(read_file(dir.at("cwd/On")), start);
  EXPECT_EQ(platform.locks, (std::vector<std::string>{dir.at("first.log"), "Second.Log", "On"}));
  EXPECT_EQ(platform.releases, 3);
}

}  // namespace
