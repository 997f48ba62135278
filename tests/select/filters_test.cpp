#include "select/filters.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>

#include "support/rooted_path.h"
#include "support/scripted_platform.h"

namespace {

FileFacts written_at(FileTime when, std::int64_t size = 10) {
  FileFacts file;
  file.size = size;
  file.creation = file.last_access = file.last_write = when;
  return file;
}

// Files are judged on 5 February 2006 at 15:00 in a zone with daylight saving.
class Filters : public testing::Test {
 protected:
  void SetUp() override {
    reset_settings();
    platform.now = ScriptedPlatform::local_seconds(2006, 2, 5, 15, 0);
  }
  // A file written `days` whole days before today, at 10:00.
  static FileFacts days_old(int days) {
    return written_at(ScriptedPlatform::local_file_time(2006, 2, 5 - days, 10, 0));
  }
  ScriptedPlatform platform{"EST5EDT"};
};

TEST(Calendar, DayOfYearAndDayNumbers) {
  const int days[][4] = {{1, 1, 2005, 1},     {3, 1, 2004, 61},    {3, 1, 2005, 60},
                         {12, 31, 2000, 366}, {12, 31, 1900, 365}, {0, 0, 2005, 0}};
  for (const auto& d : days) EXPECT_EQ(day_of_year(d[0], d[1], d[2]), d[3]) << d[2];
  EXPECT_EQ(day_number(1, 1, 1900), 19001);
  EXPECT_EQ(day_number(12, 31, 2021) - day_number(1, 1, 1900), 44559);
  // Consecutive days, inside and far beyond the years 1900 to 2021.
  const int next[][6] = {{12, 31, 1899, 1, 1, 1900}, {12, 31, 2021, 1, 1, 2022},
                         {2, 28, 2100, 3, 1, 2100},  {2, 28, 2024, 2, 29, 2024},
                         {12, 31, 1601, 1, 1, 1602}, {12, 31, 2999, 1, 1, 3000}};
  for (const auto& d : next)
    EXPECT_EQ(day_number(d[3], d[4], d[5]) - day_number(d[0], d[1], d[2]), 1);
  EXPECT_EQ(day_number(13, 1, 2005), 0);
  EXPECT_EQ(day_number(1, 32, 2005), 0);
}

// Clocks and file systems never give such a date; one that came anyway counts no day rather
// than end the run.
TEST(Calendar, ImpossibleDaysHaveNoDayNumber) {
  const int impossible[][3] = {{2, 30, 2005}, {2, 29, 1900}, {0, 1, 2006}, {13, 1, 2006}};
  for (const auto& d : impossible) {
    EXPECT_EQ(day_of_year(d[0], d[1], d[2]), -1) << d[0] << "/" << d[1];
    EXPECT_EQ(day_number(d[0], d[1], d[2]), 0) << d[0] << "/" << d[1];
  }
}

TEST(DateText, LayoutTable) {
  struct Case {
    const char* text;
    int month, day, year;  // month -1: the text is not a date
  };
  const Case cases[] = {
      {"102005", 10, 20, 2005},
      {"991020", 10, 20, 1999},
      {"10202005", 10, 20, 2005},
      {"20051020", 10, 20, 2005},
      {"10-20-05", 10, 20, 2005},
      {"99-10-20", 10, 20, 1999},
      {"10-20-2005", 10, 20, 2005},
      {"2005-10-20", 10, 20, 2005},
      {"2005-03-07", 3, 7, 2005},
      {"1/2/2005", 1, 2, 2005},
      // One-digit fields find the row of their two-digit form.
      {"2005-3-7", 3, 7, 2005},
      {"10-2-2005", 10, 2, 2005},
      {"2-5-06", 2, 5, 2006},
      {"10\\20/5", 10, 20, 2005},
      {" 12-31-99 ", 12, 31, 1999},
      // Two-digit year windows; a four-digit year below 1900 gains 1900 as well.
      {"1-1-00", 1, 1, 2000},
      {"1-1-10", 1, 1, 1910},
      {"1-1-0100", 1, 1, 2000},
      {"02-29-2004", 2, 29, 2004},
      // Months and days out of range are kept for the conversions to roll over.
      {"13102099", 13, 10, 2099},
      {"13-20-2005", 13, 20, 2005},
      {"00-10-2005", 0, 10, 2005},
      {"02-30-2005", 2, 30, 2005},
      // Every row reads its own positions; whatever follows the last field is not read.
      {"20050301-", 3, 1, 2005},
      {"030105-", 3, 1, 2005},
      {"99102012", 10, 20, 1999},
      {"1020051", 10, 20, 2005},
      {"10-20-051", 10, 20, 2005},
      {"10-20-2005x", 10, 20, 2005},
      // Not dates: anything but digits where the layout has its fields, or too short a text.
      {"1O-20-2005", -1, -1, -1},
      {"10--20-2005", -1, -1, -1},
      {"20-10-2005", -1, -1, -1},
      {"99102", -1, -1, -1},
      {"10-20", -1, -1, -1},
      {"5-", -1, -1, -1},
      {"", -1, -1, -1},
  };
  for (const Case& c : cases) {
    int month = -1, day = -1, year = -1;
    EXPECT_EQ(parse_date_layout(c.text, &month, &day, &year), c.month != -1) << c.text;
    EXPECT_EQ(std::vector<int>({month, day, year}), std::vector<int>({c.month, c.day, c.year}))
        << c.text;
  }
}

TEST(DateText, TimeLettersAccumulateAndCutTheText) {
  reset_settings();
  const std::pair<const char*, const char*> cases[] = {{"10-20-2005w", "10-20-2005"},
                                                       {"12-05-2005Ca", "12-05-2005"},
                                                       {"a1-2-3", ""},
                                                       {"7-7-07", "7-7-07"}};
  for (const auto& [given, left] : cases) {
    std::string text = given;
    take_date_letters(&text);
    EXPECT_EQ(text, left);
  }
  const auto& chosen = settings.date_test_times;
  EXPECT_EQ(chosen.access + chosen.creation + chosen.write, 3);
}

TEST_F(Filters, DaysSinceDateAndItsInstant) {
  const std::pair<std::array<int, 3>, std::uint32_t> cases[] = {
      {{10, 20, 2005}, 108}, {{2, 5, 2006}, 0},     {{2, 4, 2006}, 1},    {{7, 1, 2005}, 219},
      {{1, 1, 1995}, 4053},  {{1, 1, 1970}, 13184}, {{1, 1, 2000}, 2227}, {{3, 7, 2005}, 335},
  };
  for (const auto& [date, days] : cases) {
    EXPECT_EQ(days_since_date(date[0], date[1], date[2]), days) << date[2];
    // Whole local days, so the calendar's own count agrees.
    EXPECT_EQ(days, day_number(2, 5, 2006) - day_number(date[0], date[1], date[2])) << date[2];
  }
  // Outside 1970 to 2038 the instant is -1, one second before 1970.
  for (int year : {1969, 2039, 1800, 1910}) {
    EXPECT_EQ(days_since_date(1, 1, year), static_cast<std::uint32_t>((platform.now + 1) / 86400));
  }
  EXPECT_EQ(days_since_date(0, 0, 2000), days_since_date(11, 30, 1999));  // rolls back
  EXPECT_GT(days_since_date(12, 31, 2030), 40000u);  // the future wraps, never negative
  // Local midnight as standard time: in July that is one in the morning by the clock.
  EXPECT_EQ(date_to_file_time(1, 1, 1970), (kEpochDifferenceSeconds + 5 * 3600) * 10000000);
  EXPECT_EQ(date_to_file_time(7, 1, 2005), ScriptedPlatform::local_file_time(2005, 7, 1, 1));
  EXPECT_EQ(date_to_file_time(1, 1, 2039), (kEpochDifferenceSeconds - 1) * 10000000);
  EXPECT_EQ(date_to_file_time(13, 1, 2005), date_to_file_time(1, 1, 2006));
}

struct FilterCase {
  std::vector<std::string> args;
  std::vector<std::int64_t> pass, fail;
};

TEST_F(Filters, SizeBoundsAreInclusive) {
  const FilterCase cases[] = {
      {{"-G", "100", "-L", "100"}, {100}, {0, 99, 101}},
      {{"-L0"}, {0}, {1}},
      {{"-G2147483647"}, {2147483647LL, 5000000000LL}, {2147483646LL}},
      // Limits beyond 2^31 and 2^32 are exact.
      {{"-G3000000000"}, {3000000000LL, 5000000000LL}, {2999999999LL, 2147483648LL, 0}},
      {{"-L", "3000000000"}, {0, 2147483648LL, 3000000000LL}, {3000000001LL, 4294967296LL}},
      {{"-G4294967296", "-L4294967297"}, {4294967296LL, 4294967297LL}, {4294967295LL, 1}},
      {{"-L18446744073709551615"}, {0, INT64_MAX}, {}},
      {{"-G18446744073709551615"}, {}, {0, INT64_MAX}},
      // Every file is at least -1 bytes long, and none is at most -1.
      {{"-G-1"}, {0, 1, INT64_MAX}, {}},
      {{"-L-1"}, {}, {0, 1}},
  };
  for (const FilterCase& c : cases) {
    reset_settings();
    parse_args(c.args);
    for (std::int64_t size : c.pass) EXPECT_TRUE(passes_filters(written_at(0, size))) << size;
    for (std::int64_t size : c.fail) EXPECT_FALSE(passes_filters(written_at(0, size))) << size;
  }
}

TEST_F(Filters, AgeInWholeDays) {
  const FilterCase cases[] = {
      {{"-g", "5"}, {5, 6, 7999}, {0, 4, 8000}},
      // The lower bound 0 stays with -l alone: a file dated in the future is never listed.
      {{"-l", "1"}, {0}, {-1, 1, 2}},
      {{"-l0"}, {}, {-1, 0, 1}},
      {{"-g", "12-31-2030"}, {}, {-3, 0, 100, 7999}},
      // A date year first is the same day to the age test as to the instant: 7 March 2005 is
      // 335 days before today, so a file of 10 March is newer and not older.
      {{"-l", "2005-03-07"}, {0, 332, 334}, {335, 340}},
      {{"-g", "2005-03-07"}, {335, 340}, {332, 334}},
      {{"-l", "2005-03-07", "-g", "2005-03-07"}, {}, {332, 335}},
  };
  for (const FilterCase& c : cases) {
    reset_settings();
    parse_args(c.args);
    for (auto days : c.pass) EXPECT_TRUE(passes_filters(days_old(days))) << c.args[0] << days;
    for (auto days : c.fail) EXPECT_FALSE(passes_filters(days_old(days))) << c.args[0] << days;
  }
}

TEST_F(Filters, AgeUsesTheTimeKindsStamp) {
  parse_args({"-l1", "-ta"});
  FileFacts file = days_old(10);
  file.last_access = days_old(0).last_access;
  EXPECT_TRUE(passes_filters(file));
  settings.time_kind = '3';  // all three shown: the age comes from the last write
  EXPECT_FALSE(passes_filters(file));
  // A time never set dates as 0/0/1980.
  int age = day_number(2, 5, 2006) - day_number(0, 0, 1980);
  reset_settings();
  parse_args({"-g" + std::to_string(age), "-l" + std::to_string(age + 1)});
  EXPECT_TRUE(passes_filters(written_at(0)));
  settings.older_days = age + 1;
  EXPECT_FALSE(passes_filters(written_at(0)));
}

TEST_F(Filters, DateWithTimeLettersTestsExactInstants) {
  FileFacts afternoon = written_at(ScriptedPlatform::local_file_time(2005, 10, 20, 14, 0));
  parse_args({"-l", "10-20-2005w"});
  EXPECT_TRUE(passes_filters(afternoon));
  reset_settings();
  parse_args({"-l", "10-20-2005"});  // by age: that day is exactly as old as the limit
  EXPECT_FALSE(passes_filters(afternoon));
  // Midnight itself is neither before nor after the boundary.
  FileFacts midnight = written_at(ScriptedPlatform::local_file_time(2005, 1, 1));
  FileFacts before = written_at(ScriptedPlatform::local_file_time(2004, 12, 31, 23, 59, 59));
  for (const char* option : {"-g", "-l"}) {
    reset_settings();
    parse_args({option, "01-01-2005w"});
    EXPECT_FALSE(passes_filters(midnight)) << option;
    EXPECT_EQ(passes_filters(before), option[1] == 'g') << option;
  }
  // Only the chosen stamps count, any one suffices, and an unset one never does.
  reset_settings();
  parse_args({"-g", "12-05-2005wc"});
  FileFacts file = written_at(ScriptedPlatform::local_file_time(2006, 1, 1));
  file.last_access = ScriptedPlatform::local_file_time(2005, 1, 1);
  EXPECT_FALSE(passes_filters(file));
  file.creation = ScriptedPlatform::local_file_time(2005, 6, 1);
  EXPECT_TRUE(passes_filters(file));
  file.creation = 0;
  EXPECT_FALSE(passes_filters(file));
}

TEST_F(Filters, AttributeMasks) {
  const std::tuple<const char*, std::uint32_t, bool> cases[] = {
      {"-q-h", kAttrHidden, false},    {"-q-h", kAttrNormal, true},
      {"-q+rh", kAttrReadOnly, false}, {"-q+rh", kAttrReadOnly | kAttrHidden, true},
      {"-q+0", kAttrReadOnly, false},  {"-q", kAttrHidden | kAttrReadOnly, true},
  };
  for (const auto& [arg, attributes, passes] : cases) {
    reset_settings();
    parse_args({arg});
    FileFacts file = written_at(0);
    file.attributes = attributes;
    EXPECT_EQ(passes_filters(file), passes) << arg << " " << attributes;
  }
}

TEST_F(Filters, AgeOfAFileThatVanishedIsUnknown) {
  EXPECT_EQ(file_age_days(rooted_path("nonexistent-tallysum-test/gone.txt"), 'w'), kAgeUnknown);
}

}  // namespace
