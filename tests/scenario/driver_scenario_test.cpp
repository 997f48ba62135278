// The start-up order seen from outside: which files a run lists, and what it says where.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

namespace {

// The text with the system's line ends read back as "\n".
std::string with_plain_line_ends(const std::string& text) {
  const std::string end = kLineEnd;
  std::string plain;
  for (std::size_t at = 0; at < text.size();) {
    if (text.compare(at, end.size(), end) == 0) {
      plain.push_back('\n');
      at += end.size();
    } else {
      plain.push_back(text[at++]);
    }
  }
  return plain;
}

TEST(DriverScenario, NoArgumentsListsTheCurrentDirectoryWithBareNames) {
  TempDir tree;
  tree.write("alpha.txt", "a");
  tree.write("noext", "b");
  tree.write("sub/inner.txt", "c");
  ProgramResult result = run_tallysum({.args = {}, .directory = tree.path()});
  EXPECT_EQ(result.status, 0) << result.err;
  std::vector<std::string> records =
      records_naming(result.out, {"alpha.txt", "noext", "inner.txt", tree.path()});
  ASSERT_EQ(records.size(), 2u) << result.out;
  EXPECT_EQ(records[0].substr(0, 26), "alpha.txt                 ");
  EXPECT_EQ(records[1].substr(0, 26), "noext                     ");
  EXPECT_EQ(result.err.find("Counting files: "), std::string::npos);
}

TEST(DriverScenario, DuplicatePathsAreWalkedOnceAndMissingOnesGiveNothing) {
  TempDir tree;
  for (const char* dir : {"d1", "d2", "d3", "d4"}) tree.write(std::string(dir) + "/f" + dir, "x");
  ProgramResult result = run_tallysum({.args = {tree.at("d1"), tree.at("d2"), tree.at("d3"),
                                                tree.at("d1"), tree.at("d4"), tree.at("none/")}});
  EXPECT_EQ(result.status, 0) << result.err;
  std::vector<std::string> records = records_naming(result.out, {"fd1", "fd2", "fd3", "fd4"});
  ASSERT_EQ(records.size(), 4u) << result.out;
  EXPECT_EQ(records[0].substr(0, 3), "fd1");
  EXPECT_EQ(records[3].substr(0, 3), "fd4");
}

TEST(DriverScenario, PatternArgumentSelectsFilesOfItsDirectory) {
  TempDir tree;
  tree.write("dir/keep.txt", "1");
  tree.write("dir/drop.doc", "2");
  ProgramResult result = run_tallysum({.args = {tree.at("dir/*.txt")}});
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(records_naming(result.out, {"keep.txt", "drop.doc"}).size(), 1u) << result.out;
  EXPECT_EQ(records_naming(result.out, {"keep.txt"}).size(), 1u);
}

}  // namespace

namespace {

TEST(DriverScenario, CountingPassRunsOnlyForAnOutputFileAndEvenWhenSilent) {
  TempDir tree;
  tree.write("data/a.txt", "12345");
  tree.write("data/b.txt", std::string(1500, 'x'));
  // The directory progress text stands between the two parts of the counting line.
  auto counted = [](const std::string& err) {
    std::size_t start = err.find("Counting files: ");
    return start != std::string::npos &&
           err.find("\r      2 files to process,  1,505 bytes\n", start) != std::string::npos;
  };

  ProgramResult to_file = run_tallysum({.args = {tree.at("data"), "-o", tree.at("list.txt")}});
  EXPECT_EQ(to_file.status, 0) << to_file.err;
  EXPECT_TRUE(counted(to_file.err)) << to_file.err;

  ProgramResult silent =
      run_tallysum({.args = {tree.at("data"), "-v", "-o", tree.at("list2.txt")}});
  EXPECT_TRUE(counted(silent.err)) << silent.err;

  ProgramResult immediate =
      run_tallysum({.args = {tree.at("data"), "-i", "-o", tree.at("list3.txt")}});
  EXPECT_EQ(immediate.err.find("Counting files: "), std::string::npos) << immediate.err;
  EXPECT_EQ(records_naming(read_file(tree.at("list3.txt")), {"a.txt", "b.txt"}).size(), 2u);
}

TEST(DriverScenario, ProgressIsDrawnOnATerminalOnlyAndShowsHowFarALargeFileIs) {
  TempDir tree;
  tree.write("data/small.txt", "1");
  tree.write("data/large.bin", std::string(std::size_t{3} << 20, 'x'));
  const std::string shown_dir = tree.at("data") + kSeparator + " ";
  const std::regex read_progress(" of 3,145,728 bytes [0-9]+%, run [0-9]+%");

  ProgramResult piped = run_tallysum({.args = {tree.at("data"), "-o", tree.at("piped.txt")}});
  EXPECT_EQ(piped.status, 0) << piped.err;
  EXPECT_EQ(piped.err.find('\b'), std::string::npos) << piped.err;
  EXPECT_EQ(piped.err.find(shown_dir), std::string::npos) << piped.err;
  EXPECT_EQ(piped.err.find(" of 3,145,728 bytes"), std::string::npos) << piped.err;
  EXPECT_NE(piped.err.find("2 files to process"), std::string::npos) << piped.err;
#ifdef _WIN32
  GTEST_SKIP() << "no pseudo-terminal to give standard error here";
#else
  for (const char* jobs : {"1", "2"}) {
    ProgramResult drawn =
        run_tallysum({.args = {tree.at("data"), "-o", tree.at("drawn.txt"), "--jobs", jobs},
                      .error_on_terminal = true});
    EXPECT_EQ(drawn.status, 0) << drawn.err;
    EXPECT_NE(drawn.err.find(shown_dir), std::string::npos) << drawn.err;
    EXPECT_EQ(records_naming(read_file(tree.at("drawn.txt")), {"small.txt", "large.bin"}),
              records_naming(read_file(tree.at("piped.txt")), {"small.txt", "large.bin"}));
    // A single reader shows the large file's progress as soon as it has read a piece of it;
    // with workers the records may find it read already.
    if (std::string(jobs) == "1") {
      EXPECT_TRUE(std::regex_search(drawn.err, read_progress)) << drawn.err;
    }
  }
#endif
}

TEST(DriverScenario, OutputFileFailuresEndAtOnceAndSayWhy) {
  TempDir tree;
  tree.write("data/a.txt", "1");
  ProgramResult missing_dir =
      run_tallysum({.args = {tree.at("data"), "-o", tree.at("nowhere/list.txt")}});
  EXPECT_EQ(missing_dir.status, 3);  // a failure, not a completed run
  const std::size_t message = missing_dir.err.find(
      "\ncan't create output file " + tree.at("nowhere/list.txt") + "\nFILE: Tallysum, LINE ");
  EXPECT_NE(message, std::string::npos) << missing_dir.err;
  // The system's words on the line after the program's.
  std::string reason;
  EXPECT_EQ(
      native_platform().open_output(tree.at("nowhere/list.txt"), OutputMode::kCreate, &reason),
      nullptr);
  ASSERT_FALSE(reason.empty());
  const std::size_t after = missing_dir.err.find('\n', missing_dir.err.find("LINE ", message));
  EXPECT_EQ(missing_dir.err.compare(after, reason.size() + 2, "\n" + reason + "\n"), 0)
      << missing_dir.err;
  EXPECT_EQ(missing_dir.out, "");
  EXPECT_EQ(missing_dir.err.find("Counting files"), std::string::npos);

  ProgramResult append_nowhere =
      run_tallysum({.args = {tree.at("data"), "-a", "-o", tree.at("nowhere/list.txt")}});
  EXPECT_EQ(append_nowhere.status, 3);
  EXPECT_NE(append_nowhere.err.find("\ncan't open output file "), std::string::npos);

  ProgramResult append_without_file = run_tallysum({.args = {tree.at("data"), "-a"}});
  EXPECT_EQ(append_without_file.status, 5);
  EXPECT_NE(append_without_file.out.find("\n\tNeed output file name if -a is chosen\n"),
            std::string::npos)
      << append_without_file.out;
}

TEST(DriverScenario, NameColumnsUpToTheWidestAreWrittenAndWiderOnesRefused) {
  TempDir tree;
  tree.write("data/a.txt", "a");
  ProgramResult widest = run_tallysum({.args = {tree.at("data"), "-w32767"}});
  EXPECT_EQ(widest.status, 0) << widest.err;
  std::vector<std::string> records = records_naming(widest.out, {"a.txt"});
  ASSERT_EQ(records.size(), 1u) << widest.out;
  // The name column, the delimiter, then the 32-digit MD5 right-aligned in 40 columns.
  EXPECT_EQ(records[0].find_first_not_of(' ', 5), 32767u + 1 + 8);
  EXPECT_EQ(records[0].size(), 32767u + 1 + 40 + 1);
  for (const char* width : {"-w32768", "-W2147483647", "-A99999"}) {
    ProgramResult refused = run_tallysum({.args = {tree.at("data"), width}});
    EXPECT_EQ(refused.status, 5) << width;
    EXPECT_NE(refused.err.find(std::string("Option ") + std::string(width).substr(0, 2) +
                               " needs a value no greater than 32767\n"),
              std::string::npos)
        << refused.err;
    EXPECT_TRUE(records_naming(refused.out, {"a.txt"}).empty()) << width;
  }
}

TEST(DriverScenario, RecursionNamesFilesWithTheirPathWhicheverPrefixBeginsTheOption) {
  TempDir tree;
  tree.write("top/sub/deep.txt", "1");
  tree.write("top/flat.txt", "2");
  // '-' and '+' everywhere, and '/' where it cannot begin a path.
  for (const char* prefix = kOptionPrefixes; *prefix != '\0'; ++prefix) {
    const std::string recurse = std::string(1, *prefix) + "r";
    ProgramResult result = run_tallysum({.args = {tree.at("top"), recurse, "-w", "0"}});
    EXPECT_EQ(result.status, 0) << recurse << result.err;
    std::vector<std::string> records =
        records_naming(result.out, {tree.at("top/sub/deep.txt"), tree.at("top/flat.txt")});
    ASSERT_EQ(records.size(), 2u) << recurse << result.out;
    EXPECT_EQ(records[0].rfind(tree.at("top/sub/deep.txt"), 0), 0u);  // post-order
  }
}

TEST(DriverScenario, AnOutputFileEndsItsLinesAsTheSystemDoesAndAnAppendKeepsWhatWasThere) {
  TempDir tree;
  tree.write("data/a.txt", "a");
  tree.write("data/sub/b.txt", "bb");
  const std::string list = tree.at("list.txt");
  ProgramResult first =
      run_tallysum({.args = {tree.at("data"), "-r", "-m", "-w", "0", "-o", list}});
  EXPECT_EQ(first.status, 0) << first.err;
  EXPECT_EQ(first.out, "");
  const std::string written = read_file(list);
  const std::string plain = with_plain_line_ends(written);
  EXPECT_EQ(as_written(plain), written);  // no line end but the system's own
  EXPECT_EQ(plain.find('\r'), std::string::npos);
  std::string command_line = " ";
  command_line.append(tree.at("data")).append(" -r -m -w 0 -o ").append(list).append(" \n");
  EXPECT_NE(plain.find(command_line), std::string::npos) << plain;
  const std::regex record(
      "a\\.txt +0CC175B9C0F1B6A831C399E269772661 +1 [0-9]{2}/[0-9]{2}/[0-9]{4} "
      "[0-9]{2}:[0-9]{2}w +[A-Za-z]* \n");
  EXPECT_TRUE(std::regex_search(plain, record)) << plain;
  EXPECT_EQ(records_naming(plain, {tree.at("data/sub/b.txt")}).size(), 1u) << plain;

  // An old end-of-text mark at the end goes, once: a second one before it is data.
  tree.write("list.txt", written + "\x1A\x1A");
  ProgramResult second = run_tallysum({.args = {tree.at("data"), "-O", list}});
  EXPECT_EQ(second.status, 0) << second.err;
  const std::string appended = read_file(list);
  ASSERT_GT(appended.size(), written.size() + 1);
  EXPECT_EQ(appended.substr(0, written.size() + 1), written + "\x1A");
  EXPECT_NE(appended[written.size() + 1], '\x1A');
  EXPECT_EQ(records_naming(appended, {tree.at("data/a.txt"), "a.txt"}).size(), 2u) << appended;
}

TEST(DriverScenario, ABadOptionOrAnOutputFileThatCannotBeMadeEndsTheRun) {
  TempDir tree;
  tree.write("data/a.txt", "1");
  ProgramResult no_value = run_tallysum({.args = {tree.at("data"), "-o"}});
  EXPECT_EQ(no_value.status, 5);
  EXPECT_NE(no_value.err.find("Option -o needs a value\n"), std::string::npos) << no_value.err;
  EXPECT_TRUE(records_naming(no_value.out, {"a.txt"}).empty()) << no_value.out;
  // A directory where the file should be: nothing can create it.
  tree.mkdir("taken");
  ProgramResult directory = run_tallysum({.args = {tree.at("data"), "-o", tree.at("taken")}});
  EXPECT_EQ(directory.status, 3) << directory.err;
  EXPECT_NE(directory.err.find("can't create output file " + tree.at("taken")), std::string::npos)
      << directory.err;
}

}  // namespace
