#include "output/file_times.h"

#include <gtest/gtest.h>

#include "output/fixed_width.h"
#include "run/settings.h"
#include "support/record_platform.h"

namespace {

constexpr std::int64_t kWrite = 1104673510;     // 2005-01-02 13:45:10 UTC
constexpr std::int64_t kAccess = 1104537598;    // 2004-12-31 23:59:58 UTC
constexpr std::int64_t kCreation = 1057298704;  // 2003-07-04 06:05:04 UTC

// The time columns as a record of `kind` lays them out, and its zone column.
std::string time_columns(RecordKind kind, const FileTimes& times) {
  std::string out;
  FixedWidthRenderer(kind, &out).times(times);
  return out;
}
std::string zone_column() {
  std::string out;
  FixedWidthRenderer(RecordKind::kFile, &out).zone();
  return out;
}

class FileTimesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    create_settings();
    apply_defaults();
    platform.zone = ZoneInfo{"Pacific Standard Time", "Pacific Daylight Time", 8 * 3600, true};
    set_platform(&platform);
  }
  void TearDown() override { set_platform(nullptr); }

  FileTimes converted(int zulu) {
    FileTimes times;
    EXPECT_EQ(convert_file_times(file_time_of(kCreation), file_time_of(kAccess),
                                 file_time_of(kWrite), &times, zulu),
              0);
    return times;
  }

  RecordPlatform platform;
};

void expect_stamp(const Stamp& s, int month, int day, int year, int hour, int minute, int second) {
  EXPECT_EQ(s.month, month);
  EXPECT_EQ(s.day, day);
  EXPECT_EQ(s.year, year);
  EXPECT_EQ(s.hour, hour);
  EXPECT_EQ(s.minute, minute);
  EXPECT_EQ(s.second, second);
}

TEST_F(FileTimesTest, TimesByHandleConvertTheEntryAsItIsNow) {
  DirEntry now;
  now.creation = file_time_of(kCreation);
  now.last_access = file_time_of(kAccess);
  now.last_write = file_time_of(kWrite);
  platform.add_file("/data/a.txt", now);
  platform.oem_mode = true;
  FileTimes times;
  ASSERT_EQ(times_by_handle(Directory{"/data/"}, "a.txt", &times, 1), 0);
  EXPECT_FALSE(platform.oem_mode);  // names are looked up in the ANSI code page
  EXPECT_EQ(times.raw_last_write, file_time_of(kWrite));
  expect_stamp(times.last_access, 12, 31, 2004, 23, 59, 58);

  FileTimes untouched;
  untouched.last_write.year = 2020;
  EXPECT_EQ(times_by_handle(Directory{"/data/"}, "missing.txt", &untouched, 1), 1);
  EXPECT_EQ(untouched.last_write.year, 2020);  // left as it was
}

TEST_F(FileTimesTest, ConvertsEachStampToLocalTimeOrUtcAndKeepsTheRawTimes) {
  FileTimes local = converted(0);
  expect_stamp(local.last_write, 1, 2, 2005, 5, 45, 10);
  expect_stamp(local.last_access, 12, 31, 2004, 15, 59, 58);
  expect_stamp(local.creation, 7, 3, 2003, 22, 5, 4);
  EXPECT_EQ(local.raw_creation, file_time_of(kCreation));
  EXPECT_EQ(local.raw_last_access, file_time_of(kAccess));
  EXPECT_EQ(local.raw_last_write, file_time_of(kWrite));

  FileTimes utc = converted(1);
  expect_stamp(utc.last_write, 1, 2, 2005, 13, 45, 10);
  expect_stamp(utc.last_access, 12, 31, 2004, 23, 59, 58);
  expect_stamp(utc.creation, 7, 4, 2003, 6, 5, 4);
}

TEST_F(FileTimesTest, UnsetAndUnconvertibleStampsShowAsZeroDateIn1980) {
  FileTimes times;
  // 0 (no birth time kept) and a moment in 1601 both mean "never set".
  const FileTime in_1601 = 5 * kFileTimeTicksPerSecond * 86400;
  EXPECT_EQ(convert_file_times(0, in_1601, file_time_of(kWrite), &times, 1), 0);
  expect_stamp(times.creation, 0, 0, 1980, 0, 0, 0);
  expect_stamp(times.last_access, 0, 0, 1980, 0, 0, 0);
  expect_stamp(times.last_write, 1, 2, 2005, 13, 45, 10);
}

TEST_F(FileTimesTest, ReportsFailureOnlyWhenNoStampConverts) {
  platform.calendar_fails = true;
  FileTimes times;
  times.last_write.year = 2020;
  EXPECT_EQ(convert_file_times(file_time_of(kCreation), file_time_of(kAccess), file_time_of(kWrite),
                               &times, 0),
            1);
  // A stamp that cannot be converted must not keep or borrow another date.
  expect_stamp(times.last_write, 0, 0, 1980, 0, 0, 0);
  expect_stamp(times.creation, 0, 0, 1980, 0, 0, 0);
  // With one stamp unset the call still counts as converted.
  EXPECT_EQ(convert_file_times(0, file_time_of(kAccess), file_time_of(kWrite), &times, 0), 0);
}

TEST_F(FileTimesTest, StandardColumnsFollowTheKindSelection) {
  const FileTimes times = converted(1);
  struct Case {
    int kind;
    int seconds;
    int year_first;
    char delimiter;
    const char* expected;
  };
  const Case cases[] = {
      {'w', 0, 0, ' ', "01/02/2005 13:45w "},
      {'W', 0, 0, ' ', "01/02/2005 13:45w "},
      {'w', 1, 0, ' ', "01/02/2005 13:45:10w "},
      {'w', 0, 1, ',', "2005/01/02,13:45w,"},
      {'c', 0, 0, ' ', "07/04/2003 06:05c "},
      {'C', 0, 0, ' ', "07/04/2003 06:05c "},
      {'a', 0, 0, ' ', "12/31/2004 23:59a "},
      {'A', 1, 0, ' ', "12/31/2004 23:59:58a "},
      {'3', 0, 1, ' ', "2003/07/04 06:05:04c 2005/01/02 13:45:10w 2004/12/31 23:59:58a "},
      {'3', 0, 0, ',', "07/04/2003,06:05:04c,01/02/2005,13:45:10w,12/31/2004,23:59:58a,"},
      {'m', 0, 0, ' ', ""},
      {'0', 0, 0, ' ', ""},
      {'x', 1, 0, ' ', ""},
  };
  for (const Case& c : cases) {
    settings.time_kind = c.kind;
    settings.time_seconds = c.seconds;
    settings.year_first_dates = c.year_first;
    settings.delimiter = c.delimiter;
    EXPECT_EQ(time_columns(RecordKind::kFile, times), c.expected) << static_cast<char>(c.kind);
  }
}

TEST_F(FileTimesTest, FixedColumnsAlwaysShowSecondsAndNeverPutTheYearFirst) {
  const FileTimes times = converted(1);
  settings.year_first_dates = 1;
  struct Case {
    int kind;
    const char* expected;
  };
  const Case cases[] = {
      {'w', "01/02/2005 13:45:10w "},
      {'m', "01/02/2005 13:45:10w "},
      {'W', ""},
      {'c', "07/04/2003 06:05:04c "},
      {'C', "07/04/2003 06:05:04c "},
      {'a', "12/31/2004 23:59:58a "},
      {'A', "12/31/2004 23:59:58a "},
      {'3', "07/04/2003 06:05:04c 01/02/2005 13:45:10w 12/31/2004 23:59:58a "},
      {'0', ""},
  };
  for (const Case& c : cases) {
    settings.time_kind = c.kind;
    EXPECT_EQ(time_columns(RecordKind::kFileStream, times), c.expected)
        << static_cast<char>(c.kind);
  }
  // A year past four digits widens both forms.
  FileTimes far;
  far.last_write = Stamp{12, 31, 30828, 23, 59, 59};
  settings.time_kind = 'w';
  EXPECT_EQ(time_columns(RecordKind::kFileStream, far), "12/31/30828 23:59:59w ");
  EXPECT_EQ(time_columns(RecordKind::kFile, far), "30828/12/31 23:59w ");
  // An unset stamp in the fixed form: the year is not padded.
  FileTimes unset;
  convert_file_times(0, 0, 0, &unset, 1);
  settings.time_kind = 'w';
  EXPECT_EQ(time_columns(RecordKind::kFileStream, unset), "00/00/1980 00:00:00w ");
}

TEST_F(FileTimesTest, ZoneColumnIsGmtUnderZuluElseTheAbbreviationInThree) {
  zone_abbreviation = "PST";
  EXPECT_EQ(zone_column(), "PST ");
  settings.delimiter = ',';
  zone_abbreviation = "Z";
  EXPECT_EQ(zone_column(), "  Z,");
  settings.zulu = 1;
  EXPECT_EQ(zone_column(), "GMT,");
}

TEST_F(FileTimesTest, ZoneAbbreviationTakesInitialsOrTheFirstThreeLetters) {
  const std::pair<const char*, const char*> cases[] = {
      {"Pacific Standard Time", "PST"},
      {"W. Europe Standard Time", "WES"},
      {"EST", "EST"},
      {"est", "EST"},
      {"Coordinated", "COO"},
      {"A", "A"},
      {"", "TZ0"},
      {"Central Europe", "CE"},
  };
  for (const auto& [name, expected] : cases) {
    platform.zone->standard_name = name;
    make_zone_abbreviation();
    EXPECT_EQ(zone_abbreviation, expected) << name;
  }
}

TEST_F(FileTimesTest, RunTimeTextsDescribeTheZoneAndTheMoment) {
  platform.now = 315655435;  // 1980-01-02 10:03:55 UTC
  RunTimeTexts texts;
  ASSERT_TRUE(run_time_texts(&texts));
  EXPECT_EQ(texts.local_text, "Wed Jan 02 02:03:55 1980");
  EXPECT_EQ(texts.gmt_text, "Wed Jan 02 10:03:55 1980");
  EXPECT_EQ(texts.standard_name, "Pacific Standard Time");
  EXPECT_EQ(texts.standard_abbreviation, "PST");
  EXPECT_EQ(texts.daylight_name, "Pacific Daylight Time");
  EXPECT_EQ(texts.daylight_abbreviation, "PDT");
  EXPECT_EQ(texts.has_daylight, 1);
  EXPECT_EQ(texts.offset_hours, 8);

  // No daylight rule: the flag is left as the caller set it and the abbreviation is empty.
  platform.zone = ZoneInfo{"cet", "cest", -5400, false};
  RunTimeTexts plain;
  ASSERT_TRUE(run_time_texts(&plain));
  EXPECT_EQ(plain.standard_abbreviation, "CET");
  EXPECT_EQ(plain.daylight_abbreviation, "");
  EXPECT_EQ(plain.has_daylight, 0);
  EXPECT_EQ(plain.offset_hours, -1);  // truncated, not rounded down

  // The daylight initials keep their case.
  platform.zone = ZoneInfo{"eastern standard time", "eastern daylight time", 5 * 3600, true};
  ASSERT_TRUE(run_time_texts(&plain));
  EXPECT_EQ(plain.standard_abbreviation, "EST");
  EXPECT_EQ(plain.daylight_abbreviation, "edt");

  platform.calendar_fails = true;
  EXPECT_FALSE(run_time_texts(&plain));
}

}  // namespace
