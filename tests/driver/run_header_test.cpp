#include "driver/run_header.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>

#include "config/settings.h"
#include "driver/run_state.h"
#include "output/destinations.h"
#include "support/captured_streams.h"
#include "support/record_platform.h"

namespace {

constexpr std::int64_t kNow = 315655435;  // Wed Jan 02 1980 10:03:55 UTC

class RunHeaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    create_settings();
    apply_defaults();
    run.argv = {"/usr/bin/tallysum", "-r", "/data"};
    platform.now = kNow;
    platform.zone = ZoneInfo{"Pacific Standard Time", "Pacific Daylight Time", 8 * 3600, true};
    set_platform(&platform);
  }
  void TearDown() override {
    set_platform(nullptr);
    if (settings.accounting_file != nullptr) std::fclose(settings.accounting_file);
    settings.accounting_file = nullptr;
  }

  RecordPlatform platform;
  CapturedStreams streams;
};

// What write_run_header sends to the real standard output.
std::string header_on_stdout() {
  std::FILE* scratch = std::tmpfile();
  std::fflush(stdout);
  const int saved = dup(STDOUT_FILENO);
  dup2(fileno(scratch), STDOUT_FILENO);
  std::FILE* previous = output_stream;
  output_stream = stdout;
  write_run_header();
  std::fflush(stdout);
  output_stream = previous;
  dup2(saved, STDOUT_FILENO);
  close(saved);
  std::string text = stream_text(scratch);
  std::fclose(scratch);
  return text;
}

TEST_F(RunHeaderTest, OutputFileHeaderNamesZoneAndCommandLine) {
  write_run_header();
  EXPECT_EQ(streams.output(),
            "\nStarted Wed Jan 02 10:03:55 1980 GMT, 02:03 Pacific Standard Time (PST/PDT:8*)\n"
            "/usr/bin/tallysum -r /data \n\n");
}

TEST_F(RunHeaderTest, ConsoleHeaderLeavesOutTheCommandLineUnlessStandardOutputIsNamed) {
  EXPECT_EQ(header_on_stdout(),
            "\nStarted Wed Jan 02 10:03:55 1980 GMT, 02:03 Pacific Standard Time (PST/PDT:8*)\n"
            "\n\n");
  // -o stdout: a listing redirected to a file says how it was made, as an output file does.
  settings.output_target = -1;
  EXPECT_EQ(header_on_stdout(),
            "\nStarted Wed Jan 02 10:03:55 1980 GMT, 02:03 Pacific Standard Time (PST/PDT:8*)\n"
            "/usr/bin/tallysum -r /data \n\n");
  EXPECT_EQ(streams.output(), "");
}

TEST_F(RunHeaderTest, ZoneWithoutDaylightRuleOrWithoutNameHasNoMarkAndNoNul) {
  platform.zone = ZoneInfo{"UTC", "", 0, false};
  write_run_header();
  const std::string header = streams.output();
  EXPECT_EQ(header,
            "\nStarted Wed Jan 02 10:03:55 1980 GMT, 10:03 UTC (UTC/:0)\n"
            "/usr/bin/tallysum -r /data \n\n");
  EXPECT_EQ(header.find('\0'), std::string::npos);

  CapturedStreams local;
  platform.zone = ZoneInfo{"", "", 0, false};
  write_run_header();
  EXPECT_EQ(local.output(),
            "\nStarted Wed Jan 02 10:03:55 1980 10:03  (/:0)\n/usr/bin/tallysum -r /data \n\n");
}

TEST_F(RunHeaderTest, AccountingLogGetsItsOwnForm) {
  settings.accounting_file = std::tmpfile();
  write_run_header();
  EXPECT_EQ(stream_text(settings.accounting_file),
            "\nStarted Wed Jan 02 10:03:55 1980 GMT, 02:03 Pacific Standard Time (PST/PDT:8*)\n"
            "/usr/bin/tallysum -r /data \n");

  std::FILE* log = std::tmpfile();
  std::fclose(settings.accounting_file);
  settings.accounting_file = log;
  platform.zone = ZoneInfo{"", "", 0, false};
  write_run_header();
  EXPECT_EQ(stream_text(log),
            "\nStarted Wed Jan 02 10:03:55 1980 Local Time: \n/usr/bin/tallysum -r /data \n");
}

TEST_F(RunHeaderTest, SilentWritesNothingAnywhere) {
  settings.silent = 1;
  settings.accounting_file = std::tmpfile();
  write_run_header();
  EXPECT_EQ(streams.output(), "");
  EXPECT_EQ(stream_text(settings.accounting_file), "");
}

using RunHeaderDeathTest = RunHeaderTest;

TEST_F(RunHeaderDeathTest, AClockThatCannotBeReadEndsTheRunUnsuccessfully) {
  platform.calendar_fails = true;
  EXPECT_EXIT(write_run_header(), ::testing::ExitedWithCode(kOtherExit),
              "Can't get timezone information");
}

}  // namespace
