#include "output/accounting_log.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <cstdlib>
#include <string>

#include "output/destinations.h"
#include "run/output_stream.h"
#include "run/settings.h"
#include "support/death_test.h"
#include "support/record_platform.h"
#include "support/scripted_platform.h"
#include "support/temp_dir.h"

namespace {

const std::string kEntryStart = "\n" + std::string(59, '*') + "\n";
const std::string kEntryEnd = std::string(53, '*') + "\n";

class AccountingLog : public testing::Test {
 protected:
  void SetUp() override {
    create_settings();
    apply_environment();
    apply_defaults();
  }
  void TearDown() override { close_accounting_log(); }

  ScriptedPlatform platform;
  TempDir dir{kSharedWithDeathTests};
};

TEST_F(AccountingLog, TrimRemovesOnlyTheTrailingRunOfPadding) {
  using namespace std::string_literals;
  std::string big(200000, 'x');
  struct Case {
    std::string before;
    std::string after;
  } cases[] = {
      {"0123456789", "0123456789"},
      {"hello\0world!"s, "hello\0world!"s},  // text after an inner mark is kept
      {"0123456789\x1A"
       "tail",
       "0123456789\x1A"
       "tail"},
      {"\0abcdefghijk"s, "\0abcdefghijk"s},
      {"012345678\x1A", "012345678"},
      {"abc\x1A", "abc"},             // however short the file
      {"abc\x1A\0\x1A\0\0"s, "abc"},  // the whole run, whichever marks it mixes
      {"a\0b\x1A\0"s, "a\0b"s},
      {"\x1A\0\x1A"s, ""},
      {"", ""},
      {big + '\0' + "kept", big + '\0' + "kept"},
      {std::string(65536, 'y') + "\x1A", std::string(65536, 'y')},
      {"z" + std::string(70000, '\0') + "\x1A", "z"},  // a run longer than one piece read
      {std::string(150000, '\0'), ""},
  };
  for (const Case& c : cases) {
    dir.write("log", c.before);
    trim_accounting_file(dir.at("log"));
    EXPECT_EQ(read_file(dir.at("log")), c.after) << c.before.size() << " bytes";
  }
}

// The system's own words for why a log cannot be opened: what the failure message adds.
std::string reason_log_fails(const std::string& path) {
  std::string reason;
  EXPECT_EQ(native_platform().open_output(path, OutputMode::kAppend, &reason), nullptr);
  EXPECT_FALSE(reason.empty());
  return reason;
}

TEST_F(AccountingLog, TrimCreatesAMissingLogAndFailsAtOnceWithTheReasonWhereItCannot) {
  trim_accounting_file(dir.at("new-log"));
  EXPECT_EQ(read_file(dir.at("new-log")), "");
  std::string impossible = dir.at("no/such/dir/log");
  EXPECT_EXIT(trim_accounting_file(impossible), testing::ExitedWithCode(1),
              ContainsPattern("\nGeneric7\n[0-9]+\nerror opening " + pattern_literal(impossible) +
                              "\n" + pattern_literal(reason_log_fails(impossible)) + "\n"));
  dir.mkdir("a-directory");
  EXPECT_EXIT(trim_accounting_file(dir.at("a-directory")), testing::ExitedWithCode(1),
              ContainsPattern("error opening " + pattern_literal(dir.at("a-directory")) + "\n" +
                              pattern_literal(reason_log_fails(dir.at("a-directory"))) + "\n"));
}

TEST_F(AccountingLog, OpenTakesTheLockTrimsAndStartsAnEntry) {
  struct Case {
    std::string before;
    std::string kept;
  } cases[] = {
      {"", ""},
      {"abc\x1A", "abc"},
      {"entry 1\n" + std::string(20, '\0'), "entry 1\n"},  // what a crash left behind
      {"old entry\n" + kEntryEnd, "old entry\n" + kEntryEnd},
      {"dos entry\r\n\x1A\x1A", "dos entry\r\n"},  // a line end of either system stays whole
  };
  for (const Case& c : cases) {
    dir.write("log", c.before);
    ASSERT_TRUE(open_accounting_log(dir.at("log")));
    ASSERT_NE(settings.accounting_file, nullptr);
    EXPECT_EQ(settings.accounting_path, dir.at("log"));
    EXPECT_EQ(platform.locks.back(), dir.at("log"));
    write_log("command line\n");
    close_accounting_log();
    EXPECT_EQ(settings.accounting_file, nullptr);
    // What was there is kept byte for byte; what the run adds has the system's line ends.
    EXPECT_EQ(read_file(dir.at("log")), c.kept + as_written(kEntryStart + "command line\n"));
  }
  EXPECT_EQ(platform.releases, 5);
  close_accounting_log();  // nothing open: nothing more released
  EXPECT_EQ(platform.releases, 5);
}

TEST_F(AccountingLog, TwoRunsInARowGiveTwoWholeEntries) {
  for (const char* run : {"run 1\n", "run 2\n"}) {
    ASSERT_TRUE(open_accounting_log(dir.at("log")));
    write_log(run);
    write_log(kEntryEnd);
    close_accounting_log();
  }
  EXPECT_EQ(read_file(dir.at("log")),
            as_written(kEntryStart + "run 1\n" + kEntryEnd + kEntryStart + "run 2\n" + kEntryEnd));
}

TEST_F(AccountingLog, TheSeparatorReachesTheFileBeforeTheRunEnds) {
  ASSERT_TRUE(open_accounting_log(dir.at("log")));
  EXPECT_EQ(read_file(dir.at("log")), as_written(kEntryStart));
}

TEST_F(AccountingLog, ALogHeldByAnotherRunEndsThisOneAtOnce) {
  dir.write("log", "first run's entry\n");
  platform.lock_free = false;
  EXPECT_EXIT(open_accounting_log(dir.at("log")), testing::ExitedWithCode(1),
              ContainsPattern("\nGeneric7\n[0-9]+\nerror opening " +
                              pattern_literal(dir.at("log")) + "\n"));
  EXPECT_EQ(read_file(dir.at("log")), "first run's entry\n");
}

// A full disk under the log: the entry it cut goes whole, and the log ends with its last whole
// entry, as it did before the run, instead of in the middle of a line.
TEST_F(AccountingLog, AFullDiskTakesBackTheEntryItCut) {
  const std::string earlier = "an earlier entry\n" + kEntryEnd;
  dir.write("log", earlier);
  EXPECT_EXIT(
      {
        RecordPlatform full;
        message_stream = stderr;
        if (!open_accounting_log(dir.at("log"))) std::exit(2);
        write_log("/usr/bin/tallysum -r /data\n");
        full.limited_output = settings.accounting_file;
        full.disk_room = 3;  // "\nSt" of the next piece, and no more
        write_log("\nStarted Wed Jan 02 10:03:55 1980\n");
        full.disk_room = -1;
        write_log("  summary\n");  // room again, but a part of an entry would stand alone
        close_accounting_log();
        std::exit(log_write_failed() ? 0 : 3);
      },
      testing::ExitedWithCode(0),
      ContainsPattern("\nError writing accounting file " + pattern_literal(dir.at("log")) + "\n" +
                      RecordPlatform::kDiskFull + "\n"));
  EXPECT_EQ(read_file(dir.at("log")), earlier);
}

// A log that can be prepared but not opened to be added to.
class RefusingPlatform : public ScriptedPlatform {
 public:
  std::string refused;
  OutputHandle open_output(const std::string& path, OutputMode mode, std::string* error) override {
    if (path == refused && mode == OutputMode::kAppend) return nullptr;
    return ScriptedPlatform::open_output(path, mode, error);
  }
};

TEST_F(AccountingLog, AnUnopenableStreamIsReportedAndTheRunGoesOn) {
  RefusingPlatform refusing;
  refusing.refused = dir.at("log");
  dir.write("log", "earlier\n");
  use_standard_output();
  testing::internal::CaptureStdout();
  const bool opened = open_accounting_log(dir.at("log"));
  flush_output();
  std::string said = testing::internal::GetCapturedStdout();
  EXPECT_FALSE(opened);
  EXPECT_EQ(settings.accounting_file, nullptr);
  // The capture is read back as text: the system's line end comes back as "\n".
  EXPECT_EQ(said, "Can't open accounting file " + dir.at("log") + "\n");
  EXPECT_EQ(refusing.releases, 1);
  EXPECT_EQ(read_file(dir.at("log")), "earlier\n");

  // Standard output that carries CSV or JSON holds data only: the message goes beside it.
  settings.record_format = RecordFormat::kCsv;
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  open_accounting_log(dir.at("log"));
  flush_output();
  said = testing::internal::GetCapturedStdout();
  const std::string beside = testing::internal::GetCapturedStderr();
  settings.record_format = RecordFormat::kFixedWidth;
  EXPECT_EQ(said, "");
  EXPECT_NE(beside.find("Can't open accounting file"), std::string::npos) << beside;
}

// Probing a named pipe for a trailing Ctrl-Z or an end mark would wait for a writer for ever,
// and a log in a pipe would be carried away with no reader to keep it: the output file opens
// there, the log is refused as the system's lock refuses it. Neither may wait for a reader: a
// run that hangs there fails here.
TEST_F(AccountingLog, NamedPipesAreOpenedWithoutBeingProbedButAreNoLog) {
#ifdef _WIN32
  GTEST_SKIP() << "no named pipes in the file system on Windows";
#else
  ASSERT_EQ(mkfifo(dir.at("pipe").c_str(), 0600), 0);
  EXPECT_EXIT(
      {
        alarm(10);
        OutputHandle output = open_output_file(dir.at("pipe"), true);
        if (output == nullptr) std::exit(2);
        os().close_output(output);
        std::exit(platform.truncations.empty() ? 0 : 4);
      },
      testing::ExitedWithCode(0), "");
  EXPECT_EXIT(
      {
        alarm(10);
        set_platform(nullptr);
        open_accounting_log(dir.at("pipe"));
      },
      testing::ExitedWithCode(1),
      ContainsPattern("\nGeneric7\n[0-9]+\nerror opening " + pattern_literal(dir.at("pipe")) +
                      "\nIs a named pipe\n"));
#endif
}

}  // namespace
