#include "driver/run_header.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "output/destinations.h"
#include "run/output_stream.h"
#include "run/run_state.h"
#include "run/settings.h"
#include "support/captured_streams.h"
#include "support/death_test.h"
#include "support/record_platform.h"
#include "support/temp_dir.h"

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
    if (settings.accounting_file != nullptr) os().close_output(settings.accounting_file);
    settings.accounting_file = nullptr;
  }

  // A log in the scratch directory, for the header to be written into.
  void open_log(const std::string& name) {
    if (settings.accounting_file != nullptr) os().close_output(settings.accounting_file);
    settings.accounting_path = dir.at(name);
    settings.accounting_file =
        os().open_output(settings.accounting_path, OutputMode::kCreate, nullptr);
  }

  // What write_run_header sends to the real standard output, written in a child process so
  // that this one keeps its output file.
  std::string header_on_stdout() {
    const std::string console = dir.at("console.txt");
    EXPECT_EXIT(
        {
          finish_output();
          if (std::freopen(console.c_str(), "w", stdout) == nullptr) std::exit(1);
          use_standard_output();
          write_run_header();
          flush_output();
          std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
    return read_file(console);
  }

  RecordPlatform platform;
  TempDir dir{kSharedWithDeathTests};
  CapturedStreams streams;
};

using RunHeaderDeathTest = RunHeaderTest;

TEST_F(RunHeaderTest, OutputFileHeaderNamesZoneAndCommandLine) {
  write_run_header();
  EXPECT_EQ(streams.output(),
            as_written(
                "\nStarted Wed Jan 02 10:03:55 1980 GMT, 02:03 Pacific Standard Time (PST/PDT:8*)\n"
                "/usr/bin/tallysum -r /data \n\n"));
}

TEST_F(RunHeaderDeathTest, ConsoleHeaderLeavesOutTheCommandLineEvenWhenStandardOutputIsNamed) {
  const std::string console = as_written(
      "\nStarted Wed Jan 02 10:03:55 1980 GMT, 02:03 Pacific Standard Time (PST/PDT:8*)\n"
      "\n\n");
  EXPECT_EQ(header_on_stdout(), console);
  // -o stdout: the header scripts read from the console, as the plain console run writes it.
  settings.output_target = -1;
  EXPECT_EQ(header_on_stdout(), console);
  EXPECT_EQ(streams.output(), "");
}

TEST_F(RunHeaderTest, ZoneWithoutDaylightRuleOrWithoutNameHasNoMarkAndNoNul) {
  platform.zone = ZoneInfo{"UTC", "", 0, false};
  write_run_header();
  const std::string header = streams.output();
  EXPECT_EQ(header, as_written("\nStarted Wed Jan 02 10:03:55 1980 GMT, 10:03 UTC (UTC/:0)\n"
                               "/usr/bin/tallysum -r /data \n\n"));
  EXPECT_EQ(header.find('\0'), std::string::npos);

  CapturedStreams local;
  platform.zone = ZoneInfo{"", "", 0, false};
  write_run_header();
  EXPECT_EQ(
      local.output(),
      as_written(
          "\nStarted Wed Jan 02 10:03:55 1980 10:03  (/:0)\n/usr/bin/tallysum -r /data \n\n"));
}

TEST_F(RunHeaderTest, AccountingLogGetsItsOwnForm) {
  open_log("log.txt");
  write_run_header();
  EXPECT_EQ(read_file(dir.at("log.txt")),
            as_written(
                "\nStarted Wed Jan 02 10:03:55 1980 GMT, 02:03 Pacific Standard Time (PST/PDT:8*)\n"
                "/usr/bin/tallysum -r /data \n"));

  open_log("log2.txt");
  platform.zone = ZoneInfo{"", "", 0, false};
  write_run_header();
  EXPECT_EQ(
      read_file(dir.at("log2.txt")),
      as_written("\nStarted Wed Jan 02 10:03:55 1980 Local Time: \n/usr/bin/tallysum -r /data \n"));
}

TEST_F(RunHeaderTest, SilentWritesNothingAnywhere) {
  settings.silent = 1;
  open_log("log.txt");
  write_run_header();
  EXPECT_EQ(streams.output(), "");
  EXPECT_EQ(read_file(dir.at("log.txt")), "");
}

// The caller ends the run: the header only says that it could not be written.
TEST_F(RunHeaderTest, AClockThatCannotBeReadWritesNoHeader) {
  platform.calendar_fails = true;
  open_log("log.txt");
  EXPECT_FALSE(write_run_header());
  EXPECT_EQ(streams.output(), "");
  EXPECT_EQ(read_file(dir.at("log.txt")), "");
}

}  // namespace
