#include "run/settings.h"

#include <gtest/gtest.h>

#include <cstdlib>

TEST(Settings, EnvironmentSwitchFindsOnAnywhereAfterUpperCasing) {
  EXPECT_TRUE(environment_switch_on("on"));
  EXPECT_TRUE(environment_switch_on("monsoon"));
  EXPECT_TRUE(environment_switch_on("CONFIRM"));
  EXPECT_FALSE(environment_switch_on("off"));
  EXPECT_FALSE(environment_switch_on("yes"));
  EXPECT_FALSE(environment_switch_on(""));
  EXPECT_FALSE(environment_switch_on(nullptr));
}
