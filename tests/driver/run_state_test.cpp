#include "driver/run_state.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "driver/termination.h"

namespace {

TEST(FormatThousands, GroupsDigitsInThreesWithCommas) {
  const std::pair<std::int64_t, const char*> cases[] = {
      {0, "0"},
      {7, "7"},
      {999, "999"},
      {1000, "1,000"},
      {100000, "100,000"},
      {1234567, "1,234,567"},
      {-999, "-999"},
      {-1234, "-1,234"},
      {1234567890123, "1,234,567,890,123"},
      {std::numeric_limits<std::int64_t>::max(), "9,223,372,036,854,775,807"},
      {std::numeric_limits<std::int64_t>::min(), "-9,223,372,036,854,775,808"},
  };
  for (const auto& [value, expected] : cases) EXPECT_EQ(format_thousands(value), expected);
}

TEST(ExitReasons, EveryNumberHasItsText) {
  const std::pair<int, const char*> cases[] = {
      {0, "NORMAL_EXIT"},         {1, "USER_ABORTED"},   {2, "INPUT_FILE"},
      {3, "OUTPUT_FILE"},         {4, "PARAMATER_FILE"}, {5, "ILLEGAL or INCOMPLETE OPTION"},
      {6, "INSUFFICIENT MEMORY"}, {7, "OTHER_EXIT"},     {8, "WRITE_ERROR"},
      {10, "READ_ERROR"},
  };
  for (const auto& [reason, text] : cases) EXPECT_STREQ(exit_reason_text(reason), text);
}

TEST(Elapsed, SplitsSecondsIntoHoursMinutesAndSeconds) {
  struct Case {
    long long seconds;
    int hours, minutes, rest;
  };
  const Case cases[] = {
      {0, 0, 0, 0},      {59, 0, 0, 59},  {60, 0, 1, 0},
      {3599, 0, 59, 59}, {3725, 1, 2, 5}, {90061, 25, 1, 1},
  };
  for (const Case& c : cases) {
    const Elapsed e = split_elapsed(c.seconds);
    EXPECT_EQ(e.hours, c.hours) << c.seconds;
    EXPECT_EQ(e.minutes, c.minutes) << c.seconds;
    EXPECT_EQ(e.seconds, c.rest) << c.seconds;
  }
}

}  // namespace
