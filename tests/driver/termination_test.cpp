#include "run/termination.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>

#include "run/settings.h"
#include "run/run_state.h"
#include "output/destinations.h"
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
    output_stream = stdout;
    message_stream = stderr;
  }
  void TearDown() override {
    set_platform(nullptr);
    output_stream = stdout;
    settings.accounting_file = nullptr;
  }

  // Makes the run write to an output file in the scratch directory.
  std::string use_output_file() {
    const std::string path = dir.at("list.txt");
    output_stream = std::fopen(path.c_str(), "w");
    settings.output_target = 1;
    settings.output_path = path;
    return path;
  }

  RecordPlatform platform;
  TempDir dir;
};

int occurrences(const std::string& text, const std::string& part) {
  int count = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
    ++count;
  }
  return count;
}

TEST_F(TerminationDeathTest, ConsoleSummaryOfAnEmptyRunAndOfOneDirectory) {
  platform.now = 1000;
  EXPECT_EXIT(terminate_run(0), ExitedWithCode(0),
              AllOf(HasSubstr("\n  0 directories, 0 files, 0 bytes: \n  Elapsed:  0 hrs. 0 mins."
                              " 0 secs.\n\n"),
                    Not(HasSubstr("Abnormal"))));

  counters.start_time = 0;  // never taken: the elapsed time counts from now
  counters.directory_count = 1;
  counters.file_count = 3;
  counters.byte_total = 1234567890123;
  EXPECT_EXIT(terminate_run(0), ExitedWithCode(0),
              HasSubstr("\n  1 directory, 3 files, 1,234,567,890,123 bytes: \n  Elapsed:  0 hrs."));
}

TEST_F(TerminationDeathTest, AbnormalEndsNameTheirReasonAndExitWithItsNumber) {
  const std::pair<int, const char*> cases[] = {
      {1, "USER_ABORTED"},        {2, "INPUT_FILE"},
      {3, "OUTPUT_FILE"},         {5, "ILLEGAL or INCOMPLETE OPTION"},
      {6, "INSUFFICIENT MEMORY"},
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
  for (const Case& c : cases) {
    const std::string path = use_output_file();
    counters.stream_count = c.streams;
    counters.stream_dir_count = c.dirs;
    EXPECT_EXIT(terminate_run(0), ExitedWithCode(0),
                HasSubstr("\n  2 directories, 5 files, 1,000 bytes: \n  Elapsed:  1 hrs. 2 mins. "
                          "5 secs.\n\n"));
    EXPECT_EQ(read_file(path), "\n  2 directories, 5 files, 1,000 bytes: \n" + c.lines +
                                   "  Elapsed:  1 hrs. 2 mins. 5 secs.\n\n");
    std::fclose(output_stream);
  }
}

TEST_F(TerminationDeathTest, SilentRunKeepsOnlyTheAutowidthLineAndTheLog) {
  const std::string path = use_output_file();
  const std::string log_path = dir.at("log.txt");
  settings.accounting_file = std::fopen(log_path.c_str(), "w");
  settings.silent = 1;
  settings.auto_width = 1;
  settings.name_width = 40;
  counters.record_length = 69;
  counters.directory_count = 2;
  counters.file_count = 5;
  counters.byte_total = 1000;
  EXPECT_EXIT(terminate_run(0), ExitedWithCode(0), Not(HasSubstr("directories")));
  EXPECT_EQ(read_file(path), "\n AUTOWIDTH -Mw= 40");
  EXPECT_EQ(read_file(log_path),
            "  Name width adjusted to 40\n Record length 69\n  2 directories, 5 files, 1,000 "
            "bytes: \n\n\n  Finished: Thu Jan 01 01:18:45 1970\n  Elapsed:  1 hrs. 2 mins. 5 "
            "secs.\n*****************************************************\n");
  std::fclose(output_stream);
  std::fclose(settings.accounting_file);
}

TEST_F(TerminationDeathTest, ConsoleRunWritesNoFileSummaryButTheAutowidthLine) {
  settings.auto_width = 1;
  settings.name_width = 33;
  EXPECT_EXIT(
      {
        std::freopen(dir.at("console.txt").c_str(), "w", stdout);
        terminate_run(0);
      },
      ExitedWithCode(0), HasSubstr("0 directories"));
  EXPECT_EQ(read_file(dir.at("console.txt")), "\n AUTOWIDTH -Mw= 33");
}

TEST_F(TerminationDeathTest, OutputLostAtCloseEndsWithWriteErrorNotSuccess) {
  settings.output_target = 1;
  settings.output_path = "/dev/full";
  EXPECT_EXIT(
      {
        output_stream = std::fopen("/dev/full", "w");
        write_output("final.doc  0123456789ABCDEF0123456789ABCDEF \n");  // still buffered
        terminate_run(0);
      },
      ExitedWithCode(kWriteError),
      AllOf(HasSubstr("Error writing output file /dev/full"), HasSubstr("Reason: WRITE_ERROR")));

  // The same on standard output.
  settings.output_target = 0;
  EXPECT_EXIT(
      {
        std::freopen("/dev/full", "w", stdout);
        output_stream = stdout;
        write_output("final.doc  0123456789ABCDEF0123456789ABCDEF \n");
        terminate_run(0);
      },
      ExitedWithCode(kWriteError), HasSubstr("Reason: WRITE_ERROR"));
}

TEST_F(TerminationDeathTest, AFailingRecordWriteEndsTheRunOnceWithoutRecursing) {
  settings.output_target = 1;
  settings.output_path = "/dev/full";
  EXPECT_EXIT(
      {
        output_stream = std::fopen("/dev/full", "w");
        std::setvbuf(output_stream, nullptr, _IONBF, 0);
        write_output("final.doc  0123456789ABCDEF0123456789ABCDEF \n");
        std::exit(99);
      },
      ExitedWithCode(kWriteError), ::testing::Truly([](const std::string& err) {
        return occurrences(err, "Error writing output file /dev/full") == 1 &&
               occurrences(err, "Reason: WRITE_ERROR") == 1 &&
               occurrences(err, "0 directories") == 1;
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
