#include "select/filters.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "config/options.h"
#include "config/settings.h"
#include "support/scripted_platform.h"

namespace {

void parse(std::vector<std::string> args) {
  args.insert(args.begin(), "/nonexistent-tallysum-test/tallysum");
  std::vector<char*> argv;
  for (std::string& word : args) argv.push_back(word.data());
  argv.push_back(nullptr);
  parse_command_line(static_cast<int>(args.size()), argv.data());
}

FileFacts written_at(FileTime when, std::int64_t size = 10) {
  FileFacts file;
  file.size = size;
  file.creation = file.last_access = file.last_write = when;
  file.path = "/data/file.txt";
  return file;
}

class Filters : public testing::Test {
 protected:
  void SetUp() override {
    reset_settings();
    platform.now = ScriptedPlatform::local_seconds(2006, 2, 5, 15, 0);
  }
  // A file written `days` whole days before today, at 10:00 local time.
  static FileFacts days_old(int days) {
    return written_at(ScriptedPlatform::local_file_time(2006, 2, 5 - days, 10, 0));
  }
  ScriptedPlatform platform{"EST5EDT"};
};

TEST(Calendar, DayOfYearFollowsTheLeapRule) {
  struct Case {
    int month, day, year, expected;
  };
  const Case cases[] = {
      {1, 1, 2005, 1},     {3, 1, 2004, 61},  {3, 1, 2005, 60}, {12, 31, 2000, 366},
      {12, 31, 1900, 365}, {2, 29, 2000, 60}, {0, 0, 2005, 0},  {12, 31, 2100, 365},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(day_of_year(c.month, c.day, c.year), c.expected)
        << c.month << "/" << c.day << "/" << c.year;
  }
}

TEST(Calendar, ImpossibleDayEndsWithStatusZero) {
  const int impossible[][3] = {{2, 30, 2005}, {2, 29, 1900}, {4, 31, 2006}, {0, 1, 2006},
                               {13, 1, 2006}, {-1, 1, 2006}};
  for (const auto& d : impossible) {
    std::string message = std::to_string(d[0]) + "/" + std::to_string(d[1]) + "/" +
                          std::to_string(d[2]) + " is not a valid date\n";
    EXPECT_EXIT(
        {
          dup2(STDERR_FILENO, STDOUT_FILENO);
          day_of_year(d[0], d[1], d[2]);
        },
        testing::ExitedWithCode(0), message);
  }
}

TEST(Calendar, DayNumbersCountDaysAcrossEveryYear) {
  EXPECT_EQ(day_number(1, 1, 1900), 19001);
  EXPECT_EQ(day_number(12, 31, 2021), day_number(1, 1, 1900) + 44559);
  // Consecutive days, inside and beyond the original table's years.
  const int next_days[][6] = {
      {12, 31, 1899, 1, 1, 1900}, {12, 31, 2021, 1, 1, 2022}, {2, 28, 2100, 3, 1, 2100},
      {2, 29, 2024, 3, 1, 2024},  {12, 31, 1601, 1, 1, 1602}, {12, 31, 2999, 1, 1, 3000},
  };
  for (const auto& d : next_days) {
    EXPECT_EQ(day_number(d[3], d[4], d[5]) - day_number(d[0], d[1], d[2]), 1) << d[2];
  }
  EXPECT_EQ(day_number(1, 1, 2001) - day_number(1, 1, 2000), 366);
  EXPECT_EQ(day_number(1, 1, 1901) - day_number(1, 1, 1900), 365);
  EXPECT_EQ(day_number(13, 1, 2005), 0);
  EXPECT_EQ(day_number(1, 32, 2005), 0);
}

TEST(DateText, LayoutTable) {
  struct Case {
    const char* text;
    int month, day, year;
  };
  const Case cases[] = {
      {"102005", 10, 20, 1905},      // mmddyy
      {"991020", 10, 20, 1999},      // yymmdd (v > 12)
      {"10202005", 10, 20, 2005},    // mmddyyyy
      {"20051020", 10, 20, 2005},    // yyyymmdd
      {"13102099", 13, 10, 2099},    // mmddyyyy up to v = 13
      {"99102012", 10, 20, 1999},    // yymmdd (v > 20)
      {"10200", 10, 20, 1900},       // length 5
      {"1020051", 10, 20, 1905},     // length 7
      {"99102 ", 10, 2, 1999},       // a blank sets length 6
      {"99102", 99, 10, 1902},       // while without it the length is 5
      {"10-20-05", 10, 20, 1905},    // mm-dd-yy
      {"99-10-20", 10, 20, 1999},    // yy-mm-dd
      {"10-20-051", 10, 20, 1905},   // length 9
      {"10-20-2005", 10, 20, 2005},  // mm-dd-yyyy
      {"13-20-2005", 13, 20, 2005},  // v = 13 stays month first
      {"2005-10-20", 10, 20, 2005},  // yyyy-mm-dd
      {"1/2/2005", 1, 2, 2005},      // digits at 2 and 4: unseparated, fields cut at '/'
      {"", 0, 0, 1900},
      {"x", 0, 0, 1900},
  };
  for (const Case& c : cases) {
    int month = -1, day = -1, year = -1;
    parse_date_layout(c.text, &month, &day, &year);
    EXPECT_EQ(month, c.month) << c.text;
    EXPECT_EQ(day, c.day) << c.text;
    EXPECT_EQ(year, c.year) << c.text;
  }
}

TEST(DateText, TimeLettersAccumulateAndCutTheText) {
  reset_settings();
  std::string text = "10-20-2005w";
  take_date_letters(&text);
  EXPECT_EQ(text, "10-20-2005");
  EXPECT_EQ(settings.date_test_times.write, 1);
  EXPECT_EQ(settings.date_test_times.access + settings.date_test_times.creation, 0);
  text = "12-05-2005Ca";
  take_date_letters(&text);
  EXPECT_EQ(text, "12-05-2005");
  EXPECT_EQ(settings.date_test_times.access, 1);
  EXPECT_EQ(settings.date_test_times.creation, 1);
  EXPECT_EQ(settings.date_test_times.write, 1);
  text = "a12-05-2005w";
  take_date_letters(&text);
  EXPECT_EQ(text, "");
  text = "12-05-2005";
  take_date_letters(&text);
  EXPECT_EQ(text, "12-05-2005");
}

TEST_F(Filters, DaysSinceDate) {
  struct Case {
    const char* text;
    std::uint32_t expected;
  };
  const Case cases[] = {
      {"10-20-2005", 108}, {"10/20/05", 108}, {"10-20-5", 108}, {"2-5-2006", 0},
      {"2-4-2006", 1},     {"7-1-2005", 219}, {"1-1-95", 4053},
  };
  for (const Case& c : cases) EXPECT_EQ(days_since_date(c.text), c.expected) << c.text;
  // A year outside 1970 to 2038 converts to -1: the count runs from one second before 1970.
  for (const char* text : {"12-31-1969", "1-1-2039", "1-1-1800"}) {
    EXPECT_EQ(days_since_date(text), static_cast<std::uint32_t>((platform.now + 1) / 86400))
        << text;
  }
  // Midnight of 1 January 1970 local (EST) is 18000 seconds after the epoch.
  EXPECT_EQ(days_since_date("1-1-1970"), static_cast<std::uint32_t>((platform.now - 18000) / 86400));
  // Text without numbers reads as month 0, day 0 of 2000, which rolls back to 30 November 1999.
  EXPECT_EQ(days_since_date("junk"), days_since_date("11-30-1999"));
  // The future wraps around in unsigned arithmetic instead of going negative.
  EXPECT_GT(days_since_date("12-31-2030"), 40000u);
}

TEST_F(Filters, DateToFileTimeIsLocalStandardMidnight) {
  EXPECT_EQ(date_to_file_time(1, 1, 1970), (kEpochDifferenceSeconds + 5 * 3600) * 10000000ULL);
  // Summer: standard time, so midnight EST is one in the morning EDT.
  EXPECT_EQ(date_to_file_time(7, 1, 2005), ScriptedPlatform::local_file_time(2005, 7, 1, 1));
  EXPECT_EQ(date_to_file_time(1, 1, 1969), (kEpochDifferenceSeconds - 1) * 10000000ULL);
  EXPECT_EQ(date_to_file_time(1, 1, 2039), (kEpochDifferenceSeconds - 1) * 10000000ULL);
  // Out-of-range fields roll over.
  EXPECT_EQ(date_to_file_time(13, 1, 2005), date_to_file_time(1, 1, 2006));
}

TEST_F(Filters, SizeBoundsAreInclusive) {
  struct Case {
    std::vector<std::string> args;
    std::vector<std::int64_t> pass, fail;
  };
  const Case cases[] = {
      {{"-G", "100", "-L", "100"}, {100}, {0, 99, 101}},
      {{"-L0"}, {0}, {1, 100}},
      {{"-G2147483647"}, {2147483647LL, 5000000000LL}, {2147483646LL}},
      {{}, {0, 5000000000LL}, {}},
  };
  for (const Case& c : cases) {
    reset_settings();
    parse(c.args);
    for (std::int64_t size : c.pass) EXPECT_TRUE(passes_filters(written_at(0, size))) << size;
    for (std::int64_t size : c.fail) EXPECT_FALSE(passes_filters(written_at(0, size))) << size;
  }
}

TEST_F(Filters, AgeInWholeDays) {
  struct Case {
    std::vector<std::string> args;
    std::vector<int> pass, fail;
  };
  const Case cases[] = {
      {{"-g", "5"}, {5, 6, 7999}, {0, 4, 8000}},
      {{"-l", "1"}, {0}, {1, 2}},
      // The lower bound 0 stays when only -l is given, so a file dated in the future (a
      // negative age) is never listed by age, and -l 0 lists nothing.
      {{"-l", "1"}, {}, {-1}},
      {{"-l0"}, {}, {-1, 0, 1}},
      {{"-g2", "-l4"}, {2, 3}, {1, 4}},
      {{"-g", "12-31-2030"}, {}, {0, 1, 100, 7999, -3}},
  };
  for (const Case& c : cases) {
    reset_settings();
    parse(c.args);
    for (int days : c.pass) EXPECT_TRUE(passes_filters(days_old(days))) << c.args[0] << days;
    for (int days : c.fail) EXPECT_FALSE(passes_filters(days_old(days))) << c.args[0] << days;
  }
}

TEST_F(Filters, AgeUsesTheTimeKindsStamp) {
  parse({"-l1", "-ta"});
  FileFacts file = days_old(10);
  file.last_access = days_old(0).last_access;
  EXPECT_TRUE(passes_filters(file));
  settings.time_kind = 'c';
  EXPECT_FALSE(passes_filters(file));
  settings.time_kind = '3';  // all three shown: the age comes from the last write
  EXPECT_FALSE(passes_filters(file));
  // A time never set dates as 0/0/1980.
  int age_1980 = day_number(2, 5, 2006) - day_number(0, 0, 1980);
  reset_settings();
  parse({"-g" + std::to_string(age_1980), "-l" + std::to_string(age_1980 + 1)});
  EXPECT_TRUE(passes_filters(written_at(0)));
  reset_settings();
  parse({"-g" + std::to_string(age_1980 + 1), "-l99999"});
  EXPECT_FALSE(passes_filters(written_at(0)));
}

TEST_F(Filters, DateWithTimeLettersTestsExactInstants) {
  FileFacts afternoon = written_at(ScriptedPlatform::local_file_time(2005, 10, 20, 14, 0));
  parse({"-l", "10-20-2005w"});
  EXPECT_TRUE(passes_filters(afternoon));
  reset_settings();
  parse({"-l", "10-20-2005"});
  EXPECT_FALSE(passes_filters(afternoon));

  // Local midnight itself is neither before nor after the boundary.
  FileFacts midnight = written_at(ScriptedPlatform::local_file_time(2005, 1, 1));
  FileFacts before = written_at(ScriptedPlatform::local_file_time(2004, 12, 31, 23, 59, 59));
  reset_settings();
  parse({"-g", "01-01-2005w"});
  EXPECT_FALSE(passes_filters(midnight));
  EXPECT_TRUE(passes_filters(before));
  reset_settings();
  parse({"-l", "01-01-2005w"});
  EXPECT_FALSE(passes_filters(midnight));
  EXPECT_FALSE(passes_filters(before));

  // Only the chosen stamps count; any one of them is enough.
  reset_settings();
  parse({"-g", "12-05-2005c"});
  FileFacts file = written_at(ScriptedPlatform::local_file_time(2006, 1, 1));
  EXPECT_FALSE(passes_filters(file));
  file.creation = ScriptedPlatform::local_file_time(2005, 6, 1);
  EXPECT_TRUE(passes_filters(file));
  // A creation time the file system never kept says nothing about the file's age.
  file.creation = 0;
  EXPECT_FALSE(passes_filters(file));
  reset_settings();
  parse({"-g", "12-05-2005wc"});
  EXPECT_FALSE(passes_filters(file));
  file.last_write = ScriptedPlatform::local_file_time(2005, 12, 4, 23);
  EXPECT_TRUE(passes_filters(file));
}

TEST_F(Filters, AttributeMasks) {
  struct Case {
    const char* arg;
    std::uint32_t attributes;
    bool passes;
  };
  const Case cases[] = {
      {"-q-h", kAttrHidden, false},         {"-q-h", kAttrNormal, true},
      {"-q+r", kAttrReadOnly, true},        {"-q+r", kAttrHidden, false},
      {"-q+rh", kAttrReadOnly, false},      {"-q+rh", kAttrReadOnly | kAttrHidden, true},
      {"-q+0", kAttrReadOnly, false},       {"-q+0", kAttrNormal, true},
      {"-q", kAttrHidden | kAttrReadOnly, true},
  };
  for (const Case& c : cases) {
    reset_settings();
    parse({c.arg});
    FileFacts file = written_at(0);
    file.attributes = c.attributes;
    EXPECT_EQ(passes_filters(file), c.passes) << c.arg << " " << c.attributes;
  }
}

TEST_F(Filters, AgeOfAFileThatVanishedIsUnknown) {
  EXPECT_EQ(file_age_days("/nonexistent-tallysum-test/gone.txt", 'w'), kAgeUnknown);
}

}  // namespace
