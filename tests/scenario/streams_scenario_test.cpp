// Listing named streams from the command line: records below their file, directories' own
// streams, and the line of the file summary that counts them.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "support/run_program.h"
#include "support/temp_dir.h"

namespace {

constexpr char kIncludes[] = " (Includes ";

// The index of the first line that begins with `head`, or -1.
int line_starting(const std::vector<std::string>& lines, const std::string& head) {
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].rfind(head, 0) == 0) return static_cast<int>(i);
  }
  return -1;
}

class StreamsScenario : public ::testing::Test {
 protected:
  void SetUp() override {
    tree.write("a.txt", "main");
    tree.write("b.txt", "plain");
    tree.write("sub/c.txt", "inner");
    if (!set_xattr(tree.at("a.txt"), "user.one", "abc")) {
      GTEST_SKIP() << "no user attributes where the scratch directory lies";
    }
  }

  // Runs over the tree with an output file elsewhere and returns that file's content.
  std::string run(const std::vector<std::string>& options) {
    std::vector<std::string> args = {tree.path()};  // paths come before the options
    args.insert(args.end(), options.begin(), options.end());
    args.push_back("-o");
    args.push_back(elsewhere.at("list.txt"));
    ProgramResult result = run_tallysum({.args = args});
    EXPECT_EQ(result.status, 0) << result.err << result.out;
    return read_file(elsewhere.at("list.txt"));
  }

  TempDir tree;
  TempDir elsewhere;
};

}  // namespace

TEST_F(StreamsScenario, StreamRecordsFollowTheirFileAndTheSummaryCountsThem) {
  ASSERT_TRUE(set_xattr(tree.at("a.txt"), "user.two", ""));
  ASSERT_TRUE(set_xattr(tree.at("sub"), "user.tag", "xyz"));
  std::string text = run({"-r", "-n", "-S"});
  std::vector<std::string> lines = lines_of(text);

  int file = line_starting(lines, "a.txt ");
  ASSERT_GE(file, 0) << text;
  ASSERT_LT(file + 2, static_cast<int>(lines.size()));
  std::vector<std::string> below = {lines[file + 1].substr(0, 10), lines[file + 2].substr(0, 10)};
  std::sort(below.begin(), below.end());
  EXPECT_EQ(below, (std::vector<std::string>{"a.txt:one ", "a.txt:two "})) << text;
  EXPECT_EQ(line_starting(lines, "b.txt:"), -1) << text;
  EXPECT_GE(line_starting(lines, "sub:tag "), 0) << text;
  EXPECT_NE(text.find(" (Includes 3 Alternate Data Streams And 1 directories holding data "
                      "streams)\n"),
            std::string::npos)
      << text;
}

TEST_F(StreamsScenario, NoStreamsFoundOrNotAskedForSaysNothingOfThem) {
  std::string asked = run({"-r", "-n"});  // attributes exist, but -S was not given
  EXPECT_EQ(asked.find("a.txt:one"), std::string::npos) << asked;
  EXPECT_EQ(asked.find(kIncludes), std::string::npos) << asked;

  ASSERT_TRUE(remove_xattr(tree.at("a.txt"), "user.one"));
  std::string none = run({"-r", "-n", "-S"});
  EXPECT_GE(line_starting(lines_of(none), "a.txt "), 0) << none;
  EXPECT_EQ(none.find("a.txt:"), std::string::npos) << none;
  EXPECT_EQ(none.find(kIncludes), std::string::npos) << none;
}

TEST(StreamsScenarioWithoutUserAttributes, ListNoStreamsAndReportNoError) {
#ifdef _WIN32
  GTEST_SKIP() << "no file system here that refuses attributes the way the process one does";
#endif
  // The process file system keeps no user attributes at all.
  ProgramResult result = run_tallysum({.args = {"/proc/sys/kernel/ostype", "-S"}});
  EXPECT_EQ(result.status, 0) << result.err;
  std::vector<std::string> lines = lines_of(result.out);
  EXPECT_GE(line_starting(lines, "ostype "), 0) << result.out;
  EXPECT_EQ(result.out.find("ostype:"), std::string::npos) << result.out;
  EXPECT_EQ(result.out.find("Couldn't"), std::string::npos) << result.out;
  EXPECT_EQ(result.err.find("rror"), std::string::npos) << result.err;
}
