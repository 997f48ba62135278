#include "run/run_state.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

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

}  // namespace
