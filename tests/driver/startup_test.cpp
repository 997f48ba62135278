#include "driver/startup.h"

#include <gtest/gtest.h>

#include <string>

#include "run/settings.h"

namespace {

// The width bound and the first length estimate, from the name column and the record's parts.
TEST(Startup, RecordWidthAndLengthEstimateFollowTheChosenColumns) {
  struct Case {
    const char* what;
    int name_only;
    int comment_given;
    const char* comment;
    int path_only;
    int time_kind;
    int show_times;
    int width;
    int length;
  } cases[] = {
      // name_width 30, name_only_width 12 below
      {"full names, digest only", 0, 0, "", 1, 'w', 0, 70, 86},
      {"bare names, digest only", 1, 0, "", 1, 'w', 0, 52, 68},
      {"comment counted only when given once", 0, 1, "abcd", 0, 'w', 0, 70, 78},
      {"comment flag other than 1 adds nothing", 0, 2, "abcd", 0, 'w', 0, 70, 74},
      {"all three times", 0, 0, "", 1, '3', 1, 70, 144},
      {"one time", 0, 0, "", 1, 'w', 1, 70, 108},
      {"times without the digest-only form add nothing", 0, 0, "", 0, '3', 1, 70, 74},
  };
  for (const Case& c : cases) {
    create_settings();
    apply_defaults();
    settings.name_width = 30;
    settings.name_only_width = 12;
    settings.name_only = c.name_only;
    settings.comment_given = c.comment_given;
    settings.comment_text = c.comment;
    settings.path_only = c.path_only;
    settings.time_kind = c.time_kind;
    settings.show_times = c.show_times;
    EXPECT_EQ(compute_record_width(), c.width) << c.what;
    EXPECT_EQ(estimate_record_length(), c.length) << c.what;
  }
}

TEST(Startup, CompletionShowsSizeWithTimesAndBareNamesWithoutRecursion) {
  struct Case {
    int show_times;
    int recurse;
    int path_only;
    int name_only;
  } cases[] = {
      {0, 0, 1, 1},
      {1, 0, 0, 1},
      {0, 1, 1, 0},
      {1, 1, 0, 0},
  };
  for (const Case& c : cases) {
    create_settings();
    apply_defaults();
    settings.show_times = c.show_times;
    settings.recurse = c.recurse;
    open_output_and_complete();
    EXPECT_EQ(settings.path_only, c.path_only) << c.show_times << c.recurse;
    EXPECT_EQ(settings.name_only, c.name_only) << c.show_times << c.recurse;
  }
}

}  // namespace
