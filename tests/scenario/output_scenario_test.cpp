// The output file, the configuration file and the accounting log seen from outside: what a
// run leaves in the files it was pointed at.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "support/c_library.h"
#include "support/reference_digest.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

namespace {

const std::string kEntryStart = std::string("\n") + std::string(59, '*') + "\n";
const std::string kEntryEnd = std::string(53, '*') + "\n";

std::string utc_date() {
  std::time_t now = std::time(nullptr);
  std::tm parts{};
  calendar_of(now, false, &parts);
  char text[16];
  std::strftime(text, sizeof text, "%Y%m%d", &parts);
  return text;
}

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// Offsets of every occurrence of `part` in `text`.
std::vector<std::size_t> offsets_of(const std::string& text, const std::string& part) {
  std::vector<std::size_t> found;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
    found.push_back(at);
  }
  return found;
}

class OutputScenario : public testing::Test {
 protected:
  void SetUp() override {
    tree.write("top.txt", "top");
    tree.write("sub/deep.txt", "deep");
  }
  ProgramResult run_here(std::vector<std::string> args, std::vector<std::string> env = {}) {
    return run_tallysum({.args = args, .directory = tree.path(), .environment = env});
  }
  TempDir tree;
};

TEST_F(OutputScenario, DatedOutputFileIsNamedAfterTodaysUtcDate) {
  tree.mkdir("lists");
  std::string before = utc_date();
  ProgramResult result = run_here({"-o", tree.at("lists/MMDD.txt")});
  std::string after = utc_date();
  ASSERT_EQ(result.status, 0) << result.err;
  std::string name = std::filesystem::exists(tree.at("lists/" + before + ".txt")) ? before : after;
  EXPECT_TRUE(contains(read_file(tree.at("lists/" + name + ".txt")), "top.txt"));
  EXPECT_FALSE(std::filesystem::exists(tree.at("lists/MMDD.txt")));
  EXPECT_FALSE(contains(result.out, "top.txt"));
}

TEST_F(OutputScenario, AppendKeepsEarlierContentAndDropsItsTrailingCtrlZ) {
  tree.write("list.out", "earlier run\n\x1A");
  ProgramResult result = run_here({"-a", "-o", tree.at("list.out")});
  ASSERT_EQ(result.status, 0) << result.err;
  std::string list = read_file(tree.at("list.out"));
  EXPECT_EQ(list.rfind("earlier run\n", 0), 0u) << list;
  EXPECT_FALSE(contains(list, "\x1A"));
  EXPECT_TRUE(contains(list, "top.txt"));

  result = run_here({"-o", tree.at("list.out")});
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_FALSE(contains(read_file(tree.at("list.out")), "earlier run"));
}

TEST_F(OutputScenario, ConfigurationInTheCurrentDirectoryAppliesUnlessDashIni) {
  tree.write("tallysum.ini", "; the listing of this tree\nRECURSE=ON\n");
  ProgramResult result = run_here({});
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_TRUE(contains(result.out, "deep.txt")) << result.out;

  result = run_here({"-.ini"});
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_TRUE(contains(result.out, "top.txt"));
  EXPECT_FALSE(contains(result.out, "deep.txt"));

  // A stored negative limit keeps its meaning: every file is above -5 bytes.
  tree.write("tallysum.ini", "RECURSE=ON\nGREATER=-5\n");
  result = run_here({});
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_TRUE(contains(result.out, "deep.txt")) << result.out;
  // A number its setting cannot hold ends the run before anything is listed.
  tree.write("tallysum.ini", "RECURSE=ON\nGREATER=99999999999999999999\n");
  result = run_here({});
  EXPECT_EQ(result.status, 5);
  EXPECT_TRUE(
      contains(result.err, "Key GREATER needs a value no greater than 18446744073709551615\n"))
      << result.err;
  EXPECT_FALSE(contains(result.out, "top.txt"));
}

TEST_F(OutputScenario, SharedFileAppliesOnlyTheProgramsSection) {
  tree.write("keldrain.ini", "[OTHER]\nFILE=*.none\n[TALLYSUM]\nRECURSE=ON\n[LAST]\nFILE=*.none\n");
  ProgramResult result = run_here({});
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_TRUE(contains(result.out, "top.txt")) << result.out;
  EXPECT_TRUE(contains(result.out, "deep.txt"));
}

TEST_F(OutputScenario, TwoRunsWithOneLogGiveTwoWholeEntries) {
  std::string log = tree.at("runs.log");
  for (int i = 0; i < 2; ++i) {
    ProgramResult result = run_here({"-o", tree.at("list.out")}, {"ACCT=" + log});
    ASSERT_EQ(result.status, 0) << result.err;
  }
  std::string text = read_file(log);
  std::vector<std::size_t> starts = offsets_of(text, as_written(kEntryStart));
  std::vector<std::size_t> ends = offsets_of(text, as_written("\n" + kEntryEnd));
  ASSERT_EQ(starts.size(), 2u) << text;
  ASSERT_EQ(ends.size(), 2u) << text;
  EXPECT_EQ(starts[0], 0u);
  EXPECT_LT(starts[0], ends[0]);
  EXPECT_LT(ends[0], starts[1]);
  EXPECT_LT(starts[1], ends[1]);
  EXPECT_EQ(ends[1] + as_written("\n" + kEntryEnd).size(), text.size());
}

// The log keeps the digest of each catalogue a run finished, on the line before the entry's
// closing asterisks: of the file as the run left it, and after an appending run of the whole
// file with what was there before.
TEST_F(OutputScenario, TheLogKeepsTheDigestOfEachFinishedCatalogue) {
  const std::string log = tree.at("runs.log");
  const std::string list = tree.at("list.out");
  std::vector<std::string> digests;
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"-o", list}, std::vector<std::string>{"-a", "-o", list}}) {
    ProgramResult result = run_here(args, {"ACCT=" + log});
    ASSERT_EQ(result.status, 0) << result.err;
    digests.push_back(reference_digest("sha256", list));
    ASSERT_EQ(digests.back().size(), 64u) << kReferenceSource;
    const std::string end = as_written("  Catalogue SHA-256: " + digests.back() + "\n" + kEntryEnd);
    const std::string text = read_file(log);
    EXPECT_EQ(text.substr(text.size() - std::min(text.size(), end.size())), end) << text;
  }
  EXPECT_NE(digests[0], digests[1]);  // the first run's file is not what the second left
  // A run whose records went to standard output wrote no catalogue.
  ProgramResult console = run_here({}, {"ACCT=" + log});
  ASSERT_EQ(console.status, 0) << console.err;
  EXPECT_EQ(offsets_of(read_file(log), "Catalogue SHA-256").size(), 2u);
}

TEST_F(OutputScenario, OnlyPaddingAtTheVeryEndOfTheLogIsRemoved) {
  using namespace std::string_literals;
  struct Case {
    std::string before;
    std::string kept;
  } cases[] = {
      // Text after an inner mark is another run's entry: it stays.
      {"entry one\n\0entry two after a crash\n"s, "entry one\n\0entry two after a crash\n"s},
      {"entry one\n\x1A\0\0\x1A"s, "entry one\n"},
      {"ab\0c"s, "ab\0c"s},
      {"ab\x1A"s, "ab"},
  };
  for (const Case& c : cases) {
    tree.write("acct-ing", c.before);
    ProgramResult result = run_here({}, {"ACCT=on"});
    ASSERT_EQ(result.status, 0) << result.err;
    std::string text = read_file(tree.at("acct-ing"));
    const std::string start = as_written(kEntryStart), end = as_written(kEntryEnd);
    EXPECT_EQ(text.substr(0, c.kept.size() + start.size()), c.kept + start);
    EXPECT_EQ(text.substr(text.size() - end.size()), end);
  }
}

TEST_F(OutputScenario, ALogHeldByARunningRunEndsTheSecondAtOnce) {
  std::string log = tree.at("busy.log");
  tree.write("busy.log", "first run's entry\n");
  // Held as a run holds it, through the native layer, by this process.
  ASSERT_TRUE(native_platform().acquire_log_lock(log, nullptr));
  ProgramResult result = run_here({"-o", tree.at("list.out")}, {"ACCT=" + log});
  native_platform().release_log_lock();
  EXPECT_EQ(result.status, 1);
  EXPECT_TRUE(contains(result.err, "\nGeneric7\n")) << result.err;
  EXPECT_TRUE(contains(result.err, "error opening " + log + "\n")) << result.err;
  EXPECT_FALSE(std::filesystem::exists(tree.at("list.out")));
  EXPECT_EQ(read_file(log), "first run's entry\n");
}

TEST_F(OutputScenario, ConfigurationKeyReplacesTheEnvironmentsLog) {
  tree.write("tallysum.ini", "ACCTING=second.log\n");
  ProgramResult result = run_here({}, {"ACCT=first.log"});
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(read_file(tree.at("first.log")),
            as_written(kEntryStart +
                       "This file closed.\nAccounting file overridden by .ini file pointing to " +
                       tree.at("second.log") + "\n"));
  std::string second = read_file(tree.at("second.log"));
  const std::string end = as_written(kEntryEnd);
  EXPECT_EQ(second.rfind(as_written(kEntryStart), 0), 0u);
  EXPECT_EQ(second.substr(second.size() - end.size()), end);
}

TEST_F(OutputScenario, ClosedStandardStreamsNeverLetAFileOfTheRunTakeTheirPlace) {
#ifdef _WIN32
  GTEST_SKIP() << "no program starts here without its standard handles: Wine puts a character "
                  "device of its own in the place of a missing one";
#endif
  // Standard output closed, a log named: the records must not land in the log.
  tree.write("acct.log", "an older entry\n");
  ProgramResult no_stdout = run_tallysum({.args = {},
                                          .directory = tree.path(),
                                          .environment = {"ACCT=" + tree.at("acct.log")},
                                          .closed = {1}});
  EXPECT_EQ(no_stdout.status, 8) << no_stdout.err;
  EXPECT_TRUE(contains(no_stdout.err, "Error writing output file (standard output)"));
  const std::string log = read_file(tree.at("acct.log"));
  EXPECT_EQ(log.rfind("an older entry\n" + as_written(kEntryStart), 0), 0u) << log;
  EXPECT_FALSE(contains(log, "top.txt")) << log;

  // Standard error closed, an output file named: the progress text must not land in it.
  ProgramResult no_stderr =
      run_tallysum({.args = {"-o", "list.txt"}, .directory = tree.path(), .closed = {2}});
  EXPECT_EQ(no_stderr.status, 0);
  const std::string list = read_file(tree.at("list.txt"));
  EXPECT_TRUE(contains(list, "top.txt")) << list;
  EXPECT_FALSE(contains(list, tree.path() + kSeparator + " ")) << list;
  EXPECT_FALSE(contains(list, "\b")) << list;
}

TEST_F(OutputScenario, SignalsAndALeavingReaderEndTheRunWithWholeRecords) {
#ifdef _WIN32
  GTEST_SKIP() << "no signals here, and Ctrl-C reaches only a program with a console";
#else
  // A large sparse file after a small one keeps the run busy once the first record is out.
  tree.write("a.txt", "a");
  tree.write("b.big", "");
  std::filesystem::resize_file(tree.at("b.big"), 256LL << 20);
  for (int signal : {SIGTERM, SIGHUP, SIGINT, SIGPIPE}) {
    ProgramResult result = run_tallysum(
        {.args = {"-256"}, .directory = tree.path(), .signal = signal, .signal_when = "a.txt"});
    EXPECT_EQ(result.status, 2) << signal << result.err;
    EXPECT_TRUE(contains(result.err, "Abnormal termination. Reason: INPUT_FILE")) << signal;
    EXPECT_FALSE(contains(result.err, "Error writing")) << signal << result.err;
    if (signal == SIGPIPE) continue;
    // Every record before the interrupt whole, none after it.
    EXPECT_EQ(result.out.back(), '\n') << signal;
    EXPECT_TRUE(contains(result.out, "a.txt")) << signal;
    EXPECT_FALSE(contains(result.out, "b.big")) << signal << result.out;
  }
#endif
}

// A reader that stopped reading must not keep an interrupted run from ending: the records it
// never took are counted out of the summaries, as on a full disk, and the log entry ends whole.
TEST_F(OutputScenario, AnInterruptEndsARunWhoseReaderStoppedReading) {
#ifdef _WIN32
  GTEST_SKIP() << "no signals here, and Ctrl-C reaches only a program with a console";
#else
  // Wide records, enough to fill the pipe several times over.
  for (int i = 0; i < 400; ++i) tree.write("many/file_" + std::to_string(i) + ".txt", "x");
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
    const std::string log = tree.at("stalled.log");
    std::filesystem::remove(log);
    ProgramResult result = run_tallysum({.args = {tree.at("many"), "-w", "200"},
                                         .directory = tree.path(),
                                         .environment = {"ACCT=" + log},
                                         .signal = signal,
                                         .output_unread = true});
    EXPECT_EQ(result.status, 2) << signal << result.err;  // -1: it waited until it was killed
    EXPECT_TRUE(contains(result.err, "Abnormal termination. Reason: INPUT_FILE")) << signal;
    EXPECT_FALSE(contains(result.err, "Error writing")) << signal << result.err;
    const std::size_t reached = records_naming(result.out, {"file_"}).size();
    EXPECT_GT(reached, 0u) << signal;
    EXPECT_LT(reached, 400u) << signal;
    EXPECT_EQ(result.out.back(), '\n') << signal;  // whole records only
    const std::string totals = "1 directory, " + std::to_string(reached) + " files, " +
                               std::to_string(reached) + " bytes: ";
    EXPECT_TRUE(contains(result.err, totals)) << signal << result.err;
    const std::string entry = read_file(log);
    EXPECT_TRUE(contains(entry, totals)) << signal << entry;
    EXPECT_EQ(entry.substr(entry.size() - as_written(kEntryEnd).size()), as_written(kEntryEnd));
  }
#endif
}

}  // namespace
