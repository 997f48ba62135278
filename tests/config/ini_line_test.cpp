#include "config/ini_line.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "output/accounting_log.h"
#include "run/settings.h"
#include "support/rooted_path.h"
#include "support/scripted_platform.h"
#include "support/temp_dir.h"

namespace {

class IniLine : public testing::Test {
 protected:
  void SetUp() override {
    reset_settings();
    dir.mkdir("cwd");
    platform.current = dir.at("cwd");
  }
  void TearDown() override { close_accounting_log(); }

  ScriptedPlatform platform;
  TempDir dir;
};

struct FieldCase {
  std::vector<std::string> lines;
  std::function<std::uint64_t()> field;
  std::uint64_t expected;
};

TEST_F(IniLine, SettingLinesSetTheirFields) {
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
      {{"DISPLACE=  -0abc"}, [] { return settings.start_offset; }, 0},
      {{"DISPLACE=300", "DISPLACE=  -12abc"}, [] { return settings.start_offset; }, 0},
      {{"DISPLACE=+300"}, [] { return settings.start_offset; }, 300},
      {{"DISPLACE=3000000000"}, [] { return settings.start_offset; }, 3000000000u},
      {{"DISPLACE= 18446744073709551615"},
       [] { return settings.start_offset; },
       18446744073709551615u},
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
      {{"WIDTH=32767"}, [] { return settings.name_width; }, 32767},
      {{"GREATER=1000"},
       [] { return settings.size_greater * 10000 + settings.size_greater_than.bytes; },
       11000},
      {{"GREATER=99999999999"}, [] { return settings.size_greater_than.bytes; }, 99999999999u},
      {{"LESSTHAN=4294967296"}, [] { return settings.size_less_than.bytes; }, 4294967296u},
      {{"LESSTHAN=5"},
       [] { return settings.size_less * 100 + settings.size_less_than.bytes; },
       105},
      // A stored negative limit keeps its meaning: every file is above -1 bytes, none below.
      {{"LESSTHAN=-1"},
       [] {
         return settings.size_less && settings.size_less_than == SizeLimit{true, 1};
       },
       1},
      {{"GREATER= -1"},
       [] {
         return settings.size_greater && settings.size_greater_than == SizeLimit{true, 1};
       },
       1},
      {{"OLDER=30"}, [] { return settings.date_filter * 100 + settings.older_days; }, 130},
      {{"YOUNGER=7"}, [] { return settings.date_filter * 100 + settings.newer_days; }, 107},
      {{"TIME=a"}, [] { return settings.time_kind; }, 'A'},
      {{"TIME="}, [] { return settings.time_kind; }, 'w'},
      {{"ZULU=OFF"}, [] { return settings.show_times * 10 + settings.zulu; }, 10},
      {{"ZULU=ON"}, [] { return settings.show_times * 10 + settings.zulu; }, 11},
      {{"ZULU=whatever"}, [] { return settings.show_times * 10 + settings.zulu; }, 10},
      {{"APPEND=ON"}, [] { return settings.append_output; }, 1},
      {{"AUTO=YES"}, [] { return settings.auto_width; }, 1},
      {{"STREAM=ON"}, [] { return settings.streams; }, 1},
      {{"IMMEDIATE=ON"}, [] { return settings.immediate; }, 1},
      {{"NAMEONLY=ON"}, [] { return settings.name_only; }, 1},
      {{"PAUSE=ON"}, [] { return settings.pause; }, 1},
      {{"NEWER=3"}, [] { return settings.date_filter * 100 + settings.newer_days; }, 103},
      {{"COLOUR=ON"}, [] { return settings.recurse + settings.streams + settings.pause; }, 0},
      // AUTO is tested before OUTPUT and occurs in the value: an AUTO line that changes nothing.
      {{"OUTPUT=/home/auto/list.txt"}, [] { return settings.output_target; }, 0},
      {{"OUTPUT=/home/auto/list.txt"}, [] { return settings.auto_width; }, 0},
      // PATH occurs in PATHONLY, which is tested first.
      {{"PATHONLY=ON"}, [] { return int(settings.search_paths.size()); }, 0},
  };
  for (const FieldCase& c : cases) {
    reset_settings();
    for (const std::string& line : c.lines) apply_configuration_line(line);
    EXPECT_EQ(c.field(), c.expected) << c.lines.back();
  }
}

TEST_F(IniLine, NumbersASettingCannotHoldAreRefusedNamingTheKey) {
  const std::pair<const char*, const char*> cases[] = {
      {"DISPLACE=18446744073709551616",
       "Key DISPLACE needs a value no greater than 18446744073709551615"},
      {"greater=99999999999999999999",
       "Key GREATER needs a value no greater than 18446744073709551615"},
      {"LESSTHAN=-18446744073709551616",
       "Key LESSTHAN needs a value no greater than 18446744073709551615"},
      {"WIDTH=32768", "Key WIDTH needs a value no greater than 32767"},
      {"WIDTH=99999999999", "Key WIDTH needs a value no greater than 32767"},
  };
  for (const auto& [line, message] : cases) {
    reset_settings();
    apply_configuration_line("DISPLACE=7");
    EXPECT_EQ(apply_configuration_line(line), message);
    // The refused line leaves every setting as it was.
    EXPECT_EQ(settings.start_offset, 7u) << line;
    EXPECT_EQ(settings.size_greater + settings.size_less, 0) << line;
    EXPECT_EQ(settings.name_width * 10 + settings.width_mode, 251) << line;
  }
  EXPECT_EQ(apply_configuration_line("WIDTH=40"), "");
  EXPECT_EQ(apply_configuration_line("GREATER=18446744073709551615"), "");
  EXPECT_EQ(settings.size_greater_than.bytes, 18446744073709551615u);
}

TEST_F(IniLine, NamesKeepTheirCaseAndPatternsAreUpperCased) {
  apply_configuration_line("Path=" + rooted_path("Data/Mixed Case"));
  apply_configuration_line("PATH=relative/Dir   ");
  apply_configuration_line("PATH=");
  apply_configuration_line("file=*.c");
  apply_configuration_line("FILE=");
  apply_configuration_line("exclude=*.tmp");
  apply_configuration_line("Output=Lists/Today.txt ");
  EXPECT_EQ(settings.search_paths,
            (std::vector<std::string>{rooted_path("Data/Mixed Case"), dir.at("cwd/relative/Dir")}));
  EXPECT_EQ(settings.file_patterns, std::vector<std::string>{"*.C"});
  EXPECT_EQ(settings.exclude_patterns, std::vector<std::string>{"*.TMP"});
  EXPECT_EQ(settings.exclude_given, 1);
  EXPECT_EQ(settings.output_target, 1);
  EXPECT_EQ(settings.output_path, dir.at("cwd/Lists/Today.txt"));

  reset_settings();
  apply_configuration_line("OUTPUT=");
  apply_configuration_line("EXCLUDE=  ");
  EXPECT_EQ(settings.output_target, 0);
  EXPECT_EQ(settings.exclude_given, 0);
  EXPECT_TRUE(settings.exclude_patterns.empty());
}

TEST_F(IniLine, ADelimiterLineIsAlsoAnExcludeLine) {
  apply_configuration_line("DELIMITER=,EXCLUDE");
  EXPECT_EQ(settings.delimiter, ',');
  EXPECT_EQ(settings.exclude_patterns, std::vector<std::string>{",EXCLUDE"});
  reset_settings();
  apply_configuration_line("EXCLUDE=*.BAK DELIMITER");  // the delimiter rule wins the search
  EXPECT_EQ(settings.delimiter, '*');
  EXPECT_EQ(settings.exclude_patterns, std::vector<std::string>{"*.BAK DELIMITER"});
}

TEST_F(IniLine, AccountingKeysReplaceTheOpenLog) {
  const std::filesystem::path here = std::filesystem::current_path();
  std::filesystem::current_path(dir.at("cwd"));
  open_accounting_log(dir.at("first.log"));
  apply_configuration_line("ACCT=OFF");
  EXPECT_EQ(platform.locks.size(), 1u);
  apply_configuration_line("AcctIng=Second.Log");
  apply_configuration_line("acct=On");  // only the environment treats ON as the default log
  close_accounting_log();
  std::filesystem::current_path(here);

  std::string start = "\n" + std::string(59, '*') + "\n";
  EXPECT_EQ(read_file(dir.at("first.log")),
            as_written(start + "This file closed.\nAccounting file overridden by .ini file " +
                       "pointing to " + dir.at("cwd/Second.Log") + "\n"));
  EXPECT_EQ(read_file(dir.at("cwd/Second.Log")),
            as_written(start + "This file closed.\nAccounting file overridden by .ini file " +
                       "pointing to " + dir.at("cwd/On") + "\n"));
  EXPECT_EQ(read_file(dir.at("cwd/On")), as_written(start));
  EXPECT_EQ(platform.locks, (std::vector<std::string>{dir.at("first.log"), "Second.Log", "On"}));
  EXPECT_EQ(platform.releases, 3);
}

}  // namespace
