#include "run/termination.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "output/destinations.h"
#include "run/output_stream.h"
#include "run/run_state.h"
#include "run/settings.h"
#include "support/death_test.h"
#include "support/record_platform.h"
#include "support/temp_dir.h"

namespace {

using ::testing::AllOf;
using ::testing::ExitedWithCode;
using ::testing::HasSubstr;
using ::testing::Not;

class TerminationDeathTest : public ::testing::Test {
 protected:
  void SetUp() override {
    create_settings();
    apply_defaults();
    counters = RunCounters{};
    counters.start_time = 1000;
    platform.now = 1000 + 3725;
    platform.zone = ZoneInfo{"UTC", "", 0, false};
    set_platform(&platform);
    use_standard_output();
    message_stream = stderr;
  }
  void TearDown() override { set_platform(nullptr); }

  // Makes the run write to an output file in the scratch directory; called in the child of a
  // death test, so that the test process keeps its own output.
  void send_output_to(const std::string& path) {
    finish_output();
    use_output_file(os().open_output(path, OutputMode::kCreate, nullptr), path);
    settings.output_target = 1;
    settings.output_path = path;
  }
  // The accounting log of the run, likewise in the child.
  OutputHandle open_log(const std::string& path) {
    settings.accounting_file = os().open_output(path, OutputMode::kCreate, nullptr);
    settings.accounting_path = path;
    return settings.accounting_file;
  }

  RecordPlatform platform;
  TempDir dir{kSharedWithDeathTests};
};

// The device whose every write fails for want of room; Windows has none.
bool always_full_device_exists() {
  std::error_code error;
  return std::filesystem::exists("/dev/full", error);
}

int occurrences(const std::string& text, const std::string& part) {
  int count = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
    ++count;
  }
  return count;
}

TEST_F(TerminationDeathTest, ConsoleSummaryOfAnEmptyRunAndOfOneDirectory) {
  platform.now = 1000;
  EXPECT_EXIT(terminate_run(kNormalExit), ExitedWithCode(0),
              AllOf(HasSubstr("\n  0 directories, 0 files, 0 bytes: \n  Elapsed:  0 hrs. 0 mins."
                              " 0 secs.\n\n"),
                    Not(HasSubstr("Abnormal"))));

  counters.start_time = 0;  // never taken: the elapsed time counts from now
  counters.directory_count = 1;
  counters.file_count = 3;
  counters.byte_total = 1234567890123;
  EXPECT_EXIT(terminate_run(kNormalExit), ExitedWithCode(0),
              HasSubstr("\n  1 directory, 3 files, 1,234,567,890,123 bytes: \n  Elapsed:  0 hrs."));
}

TEST_F(TerminationDeathTest, AbnormalEndsNameTheirReasonAndExitWithItsNumber) {
  const std::pair<ExitReason, const char*> cases[] = {
      {kUserAborted, "USER_ABORTED"},
      {kInputFile, "INPUT_FILE"},
      {kOutputFile, "OUTPUT_FILE"},
      {kIllegalOption, "ILLEGAL or INCOMPLETE OPTION"},
      {kInsufficientMemory, "INSUFFICIENT MEMORY"},
  };
  for (const auto& [reason, text] : cases) {
    EXPECT_EXIT(terminate_run(reason), ExitedWithCode(reason),
                HasSubstr(std::string("\nAbnormal termination. Reason: ") + text + "\n\n"));
  }
}

TEST_F(TerminationDeathTest, FileSummaryGoesToTheOutputFileWithStreamLinesWhenAnyWereFound) {
  counters.directory_count = 2;
  counters.file_count = 5;
  counters.byte_total = 1000;
  settings.streams = 1;
  struct Case {
    int streams, dirs;
    std::string lines;
  };
  const Case cases[] = {
      {3, 1, " (Includes 3 Alternate Data Streams And 1 directories holding data streams)\n"},
      {0, 2, " (Includes 0 Alternate Data Streams And 2 directories holding data streams)\n"},
      {0, 0, ""},
  };
  const std::string path = dir.at("list.txt");
  for (const Case& c : cases) {
    counters.stream_count = c.streams;
    counters.stream_dir_count = c.dirs;
    EXPECT_EXIT(
        {
          send_output_to(path);
          terminate_run(kNormalExit);
        },
        ExitedWithCode(0),
        HasSubstr("\n  2 directories, 5 files, 1,000 bytes: \n  Elapsed:  1 hrs. 2 mins. "
                  "5 secs.\n\n"));
    EXPECT_EQ(read_file(path), as_written("\n  2 directories, 5 files, 1,000 bytes: \n" + c.lines +
                                          "  Elapsed:  1 hrs. 2 mins. 5 secs.\n\n"));
  }
}

TEST_F(TerminationDeathTest, SilentRunKeepsOnlyTheAutowidthLineAndTheLog) {
  const std::string path = dir.at("list.txt");
  const std::string log_path = dir.at("log.txt");
  settings.silent = 1;
  settings.auto_width = 1;
  settings.name_width = 40;
  counters.record_length = 69;
  counters.directory_count = 2;
  counters.file_count = 5;
  counters.byte_total = 1000;
  EXPECT_EXIT(
      {
        send_output_to(path);
        open_log(log_path);
        terminate_run(kNormalExit);
      },
      ExitedWithCode(0), Not(HasSubstr("directories")));
  EXPECT_EQ(read_file(path), as_written("\n AUTOWIDTH -Mw= 40"));
  EXPECT_EQ(
      read_file(log_path),
      as_written("  Name width adjusted to 40\n Record length 69\n  2 directories, 5 files, "
                 "1,000 bytes: \n\n\n  Finished: Thu Jan 01 01:18:45 1970\n  Elapsed:  1 "
                 "hrs. 2 mins. 5 secs.\n*****************************************************\n"));
}

TEST_F(TerminationDeathTest, ConsoleRunWritesNoFileSummaryButTheAutowidthLine) {
  settings.auto_width = 1;
  settings.name_width = 33;
  EXPECT_EXIT(
      {
        std::freopen(dir.at("console.txt").c_str(), "w", stdout);
        use_standard_output();
        terminate_run(kNormalExit);
      },
      ExitedWithCode(0), HasSubstr("0 directories"));
  EXPECT_EQ(read_file(dir.at("console.txt")), as_written("\n AUTOWIDTH -Mw= 33"));
}

TEST_F(TerminationDeathTest, OutputLostAtCloseEndsWithWriteErrorNotSuccess) {
  if (!always_full_device_exists()) GTEST_SKIP() << "no device here that is always full";
  settings.output_target = 1;
  settings.output_path = "/dev/full";
  EXPECT_EXIT(
      {
        use_output_file(os().open_output("/dev/full", OutputMode::kCreate, nullptr), "/dev/full");
        write_record("final.doc  0123456789ABCDEF0123456789ABCDEF \n", 1, 10);  // still gathered
        terminate_run(kNormalExit);
      },
      ExitedWithCode(kWriteError),
      AllOf(HasSubstr(std::string("Error writing output file /dev/full\n") + std::strerror(ENOSPC) +
                      "\n"),
            HasSubstr("Reason: WRITE_ERROR")));

  // The same on standard output.
  settings.output_target = 0;
  EXPECT_EXIT(
      {
        std::freopen("/dev/full", "w", stdout);
        use_standard_output();
        write_output("final.doc  0123456789ABCDEF0123456789ABCDEF \n");
        terminate_run(kNormalExit);
      },
      ExitedWithCode(kWriteError), HasSubstr("Reason: WRITE_ERROR"));
}

TEST_F(TerminationDeathTest, AFailingRecordWriteEndsTheRunOnceWithoutRecursing) {
  if (!always_full_device_exists()) GTEST_SKIP() << "no device here that is always full";
  settings.output_target = 1;
  settings.output_path = "/dev/full";
  EXPECT_EXIT(
      {
        use_output_file(os().open_output("/dev/full", OutputMode::kCreate, nullptr), "/dev/full");
        write_output("final.doc  0123456789ABCDEF0123456789ABCDEF \n");
        flush_output();
        std::exit(99);
      },
      ExitedWithCode(kWriteError), ::testing::Truly([](const std::string& err) {
        return occurrences(err, "Error writing output file /dev/full") == 1 &&
               occurrences(err, "Reason: WRITE_ERROR") == 1 &&
               occurrences(err, "0 directories") == 1;
      }));
}

TEST_F(TerminationDeathTest, SummariesSayHowManyCouldNotBeReadOnlyWhenAnyCouldNot) {
  const std::string path = dir.at("list.txt");
  const std::string log_path = dir.at("log.txt");
  counters.file_count = 4;
  for (int unreadable : {0, 3}) {
    counters.unreadable_count = unreadable;
    const std::string line = "4 files, 0 bytes: \n  3 could not be read\n";
    const ::testing::Matcher<const std::string&> console =
        unreadable > 0 ? ::testing::Matcher<const std::string&>(HasSubstr(line + "  Elapsed: "))
                       : Not(HasSubstr("could not be read"));
    EXPECT_EXIT(
        {
          send_output_to(path);
          open_log(log_path);
          terminate_run(kNormalExit);
        },
        ExitedWithCode(0), console);
    const std::string written = read_file(path) + read_file(log_path);
    EXPECT_EQ(occurrences(written, as_written(line)), unreadable > 0 ? 2 : 0);
    EXPECT_EQ(occurrences(written, "could not be read"), unreadable > 0 ? 2 : 0);
  }
}

TEST_F(TerminationDeathTest, TheLogEntryOfARunThatDidNotEndNormallyNamesItsReason) {
  const std::string log_path = dir.at("log.txt");
  const std::pair<ExitReason, const char*> cases[] = {
      {kNormalExit, nullptr},
      {kUserAborted, "USER_ABORTED"},
      {kInputFile, "INPUT_FILE"},
      {kIllegalOption, "ILLEGAL or INCOMPLETE OPTION"},
  };
  for (const auto& [reason, text] : cases) {
    EXPECT_EXIT(
        {
          open_log(log_path);
          terminate_run(reason);
        },
        ExitedWithCode(reason), "");
    const std::string log = read_file(log_path);
    EXPECT_THAT(log, HasSubstr(as_written("\n  0 directories, 0 files, 0 bytes: \n")));
    if (text == nullptr) {
      EXPECT_THAT(log, Not(HasSubstr("Abnormal")));
    } else {
      EXPECT_THAT(log,
                  HasSubstr(as_written(std::string("bytes: \n  Abnormal termination. Reason: ") +
                                       text + "\n\n\n  Finished: ")));
    }
  }
}

TEST_F(TerminationDeathTest, ALogThatCannotBeWrittenTurnsANormalEndIntoWriteError) {
  const std::string log_path = dir.at("log.txt");
  for (ExitReason reason : {kNormalExit, kUserAborted}) {
    const ExitReason expected = reason == kNormalExit ? kWriteError : reason;
    EXPECT_EXIT(
        {
          platform.limited_output = open_log(log_path);
          platform.disk_room = 0;
          terminate_run(reason);
        },
        ExitedWithCode(expected),
        AllOf(HasSubstr("Error writing accounting file " + log_path + "\n" +
                        RecordPlatform::kDiskFull + "\n"),
              HasSubstr(std::string("Reason: ") + exit_reason_text(expected))));
  }
  // A piece of the entry lost early fails the run as well, though the disk has room again.
  EXPECT_EXIT(
      {
        platform.limited_output = open_log(log_path);
        platform.disk_room = 0;
        write_log("/usr/bin/tallysum -r /data\n");
        platform.disk_room = -1;
        terminate_run(kNormalExit);
      },
      ExitedWithCode(kWriteError), ::testing::Truly([&](const std::string& err) {
        return occurrences(err, "Error writing accounting file " + log_path) == 1 &&
               occurrences(err, "Reason: WRITE_ERROR") == 1;
      }));
}

TEST_F(TerminationDeathTest, InterruptEndsTheRunOnlyWhenCtrlCWasPressed) {
  EXPECT_EXIT(
      {
        check_interrupt();
        std::exit(42);
      },
      ExitedWithCode(42), "");
  platform.interrupted = true;
  EXPECT_EXIT(check_interrupt(), ExitedWithCode(2), HasSubstr("Reason: INPUT_FILE"));
}

}  // namespace
