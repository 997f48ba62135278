#include "output/accounting_log.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "run/settings.h"
#include "output/destinations.h"
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
  TempDir dir;
};

TEST_F(AccountingLog, TrimCutsAtTheFirstEndMarkOnlyInFilesOfTenBytesOrMore) {
  using namespace std::string_literals;
  std::string big(200000, 'x');
  struct Case {
    std::string before;
    std::string after;
  } cases[] = {
      {"0123456789", "0123456789"},
      {"hello\0world!"s, "hello"},
      {"0123456789\x1A"
       "tail",
       "0123456789"},
      {"\0abcdefghijk"s, ""},
      {"abc\x1A"
       "def\0ghij"s,
       "abc"},                         // whichever mark comes first
      {"012345678\x1A", "012345678"},  // ten bytes: scanned
      {"abc\x1A", "abc\x1A"},          // shorter than ten: left for the open to handle
      {"short\0 z\x1A"s, "short\0 z\x1A"s},
      {"", ""},
      {big + '\0' + "lost", big},  // a mark far past the first piece read
      {std::string(65536, 'y') + "\x1A", std::string(65536, 'y')},
  };
  for (const Case& c : cases) {
    dir.write("log", c.before);
    trim_accounting_file(dir.at("log"));
    EXPECT_EQ(read_file(dir.at("log")), c.after) << c.before.size() << " bytes";
  }
}

TEST_F(AccountingLog, TrimCreatesAMissingLogAndFailsAtOnceWhereItCannot) {
  trim_accounting_file(dir.at("new-log"));
  EXPECT_EQ(read_file(dir.at("new-log")), "");
  std::string impossible = dir.at("no/such/dir/log");
  EXPECT_EXIT(trim_accounting_file(impossible), testing::ExitedWithCode(1),
              "\nGeneric7\n[0-9]+\nerror opening " + impossible + "\n");
}

TEST_F(AccountingLog, OpenTakesTheLockTrimsAndStartsAnEntry) {
  struct Case {
    std::string before;
    std::string kept;
  } cases[] = {
      {"", ""},
      {"abc\x1A", "abc"},  // short file: only the trailing Ctrl-Z goes, when the stream opens
      {std::string("entry 1\n\0garbage after a crash", 31), "entry 1\n"},
      {"old entry\n" + kEntryEnd, "old entry\n" + kEntryEnd},
  };
  for (const Case& c : cases) {
    dir.write("log", c.before);
    settings.accounting_file = open_accounting_log(dir.at("log"));
    ASSERT_NE(settings.accounting_file, nullptr);
    EXPECT_EQ(platform.locks.back(), dir.at("log"));
    std::fputs("command line\n", settings.accounting_file);
    close_accounting_log();
    EXPECT_EQ(settings.accounting_file, nullptr);
    EXPECT_EQ(read_file(dir.at("log")), c.kept + kEntryStart + "command line\n");
  }
  EXPECT_EQ(platform.releases, 4);
  close_accounting_log();  // nothing open: nothing more released
  EXPECT_EQ(platform.releases, 4);
}

TEST_F(AccountingLog, TwoRunsInARowGiveTwoWholeEntries) {
  for (const char* run : {"run 1\n", "run 2\n"}) {
    settings.accounting_file = open_accounting_log(dir.at("log"));
    ASSERT_NE(settings.accounting_file, nullptr);
    std::fputs(run, settings.accounting_file);
    std::fputs(kEntryEnd.c_str(), settings.accounting_file);
    close_accounting_log();
  }
  EXPECT_EQ(read_file(dir.at("log")),
            kEntryStart + "run 1\n" + kEntryEnd + kEntryStart + "run 2\n" + kEntryEnd);
}

TEST_F(AccountingLog, TheSeparatorReachesTheFileBeforeTheRunEnds) {
  settings.accounting_file = open_accounting_log(dir.at("log"));
  ASSERT_NE(settings.accounting_file, nullptr);
  EXPECT_EQ(read_file(dir.at("log")), kEntryStart);
}

TEST_F(AccountingLog, ALogHeldByAnotherRunEndsThisOneAtOnce) {
  dir.write("log", "first run's entry\n");
  platform.lock_free = false;
  EXPECT_EXIT(open_accounting_log(dir.at("log")), testing::ExitedWithCode(1),
              "\nGeneric7\n[0-9]+\nerror opening " + dir.at("log") + "\n");
  EXPECT_EQ(read_file(dir.at("log")), "first run's entry\n");
}

TEST_F(AccountingLog, AnUnopenableStreamIsReportedAndTheRunGoesOn) {
  dir.mkdir("a-directory");
  testing::internal::CaptureStdout();
  std::FILE* log = open_accounting_log(dir.at("a-directory"));
  std::string said = testing::internal::GetCapturedStdout();
  EXPECT_EQ(log, nullptr);
  EXPECT_EQ(said, "Can't open accounting file " + dir.at("a-directory") + "\n");
  EXPECT_EQ(platform.releases, 1);
}

// Probing a named pipe for a trailing Ctrl-Z or an end mark would wait for a writer for ever.
TEST_F(AccountingLog, NamedPipesAreOpenedWithoutBeingProbed) {
  ASSERT_EQ(mkfifo(dir.at("pipe").c_str(), 0600), 0);
  std::FILE* output = open_output_file(dir.at("pipe"), true);
  ASSERT_NE(output, nullptr);
  std::fclose(output);
  settings.accounting_file = open_accounting_log(dir.at("pipe"));
  EXPECT_NE(settings.accounting_file, nullptr);
  EXPECT_TRUE(platform.truncations.empty());
}

}  // namespace
