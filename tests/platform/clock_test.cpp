#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/posix/posix_platform.h"

namespace {

// Sets TZ for one test and puts the previous value back.
class ZoneFor {
 public:
  explicit ZoneFor(const char* zone) {
    const char* old = std::getenv("TZ");
    had_ = old != nullptr;
    if (had_) saved_ = old;
    setenv("TZ", zone, 1);
    tzset();
  }
  ~ZoneFor() {
    if (had_)
      setenv("TZ", saved_.c_str(), 1);
    else
      unsetenv("TZ");
    tzset();
  }

 private:
  bool had_ = false;
  std::string saved_;
};

std::string text(const CalendarTime& t) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d w%d", t.year, t.month, t.day,
                t.hour, t.minute, t.second, t.weekday);
  return buffer;
}

}  // namespace

TEST(Clock, CalendarConversionsInAZoneWithDaylightTime) {
  ZoneFor zone("EST5EDT");
  PosixPlatform platform;
  struct Case {
    std::int64_t seconds;
    bool local;
    const char* expected;
  } cases[] = {
      {0, false, "1970-01-01 00:00:00 w4"},
      {0, true, "1969-12-31 19:00:00 w3"},
      {-86401, false, "1969-12-30 23:59:59 w2"},
      {1593576000, true, "2020-07-01 00:00:00 w3"},  // daylight time in July
  };
  for (const Case& c : cases) {
    CalendarTime out;
    ASSERT_TRUE(platform.to_calendar(c.seconds, c.local, &out)) << c.seconds;
    EXPECT_EQ(text(out), c.expected) << c.seconds;
  }
  CalendarTime out;
  EXPECT_FALSE(platform.to_calendar(INT64_MAX, false, &out));
  ZoneInfo info = platform.zone_info();
  EXPECT_EQ(info.standard_name + "/" + info.daylight_name, "EST/EDT");
  EXPECT_EQ(info.offset_seconds, 5 * 3600);
  EXPECT_TRUE(info.has_daylight);
  // Standard time even in summer, and out-of-range fields roll over.
  EXPECT_EQ(platform.local_standard_seconds(2020, 7, 1, 0, 0, 0), 1593579600);
  EXPECT_EQ(platform.local_standard_seconds(2020, 12, 32, 0, 0, 0),
            platform.local_standard_seconds(2021, 1, 1, 0, 0, 0));
}
