// Whole runs of the program over trees the tests make: the header, the records, the
// summaries and the exit status, as a user sees them.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdlib>
#include <regex>
#include <string>

#include "support/run_program.h"
#include "support/temp_dir.h"

namespace {

constexpr long kWrite = 1104673510;  // 2005-01-02 13:45:10 UTC
const std::string kMd5A = "0CC175B9C0F1B6A831C399E269772661";
const std::string kMd5Empty = "D41D8CD98F00B204E9800998ECF8427E";

std::string in40(const std::string& text) {
  return std::string(40 - text.size(), ' ') + text;
}

// a.txt ("a"), empty.dat and sub/h.txt, all last written at kWrite.
void make_tree(const TempDir& tree) {
  tree.write("a.txt", "a");
  tree.write("empty.dat", "");
  tree.write("sub/h.txt", "hello");
  for (const char* name : {"a.txt", "empty.dat", "sub/h.txt"}) {
    const timespec times[2] = {{kWrite, 0}, {kWrite, 0}};
    utimensat(AT_FDCWD, tree.at(name).c_str(), times, 0);
  }
}

// Splits standard output into the header and what follows it.
void split_header(const std::string& out, std::string* header, std::string* rest) {
  const std::size_t end = out.find("\n\n\n");
  *header = out.substr(0, end == std::string::npos ? out.size() : end + 3);
  *rest = end == std::string::npos ? "" : out.substr(end + 3);
}

const std::regex kConsoleHeader(
    "\nStarted [A-Z][a-z]{2} [A-Z][a-z]{2} [0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2} [0-9]{4} GMT, "
    "[0-9]{2}:[0-9]{2} UTC \\(UTC/:0\\)\n\n\n");

TEST(RecordsScenario, DefaultRunShowsHeaderBareNamesWithMd5AndTheConsoleSummary) {
  TempDir tree;
  make_tree(tree);
  ProgramResult result = run_tallysum({.args = {tree.path()}});
  EXPECT_EQ(result.status, 0) << result.err;
  std::string header, records;
  split_header(result.out, &header, &records);
  EXPECT_TRUE(std::regex_match(header, kConsoleHeader)) << header;
  EXPECT_EQ(records, "a.txt                     " + in40(kMd5A) + " \n" +
                         "empty.dat                 " + in40(kMd5Empty) + " \n");
  EXPECT_TRUE(std::regex_search(result.err,
                                std::regex("\n  [0-9]+ director(y|ies), 2 files, 1 bytes: \n"
                                           "  Elapsed:  0 hrs\\. 0 mins\\. [0-9]+ secs\\.\n\n$")))
      << result.err;
  EXPECT_EQ(result.err.find("Abnormal"), std::string::npos);
}

TEST(RecordsScenario, TimesShowLocalTimeAndTheZoneAbbreviation) {
  TempDir tree;
  make_tree(tree);
  struct Case {
    const char* zone;
    std::string time_and_zone;
    std::string zone_note;
  };
  const Case cases[] = {
      {"UTC0", "01/02/2005 13:45w UTC ", "(UTC/:0)"},
      {"EST5EDT", "01/02/2005 08:45w EST ", "(EST/EDT:5*)"},
  };
  for (const Case& c : cases) {
    ProgramResult result =
        run_tallysum({.args = {tree.path(), "-m"}, .environment = {std::string("TZ=") + c.zone}});
    EXPECT_EQ(result.status, 0) << result.err;
    std::string header, records;
    split_header(result.out, &header, &records);
    EXPECT_NE(header.find(c.zone_note), std::string::npos) << header;
    EXPECT_EQ(records, "a.txt                     " + in40(kMd5A) + "            1 " +
                           c.time_and_zone + "\n" + "empty.dat                 " + in40(kMd5Empty) +
                           "            0 " + c.time_and_zone + "\n");
  }
}

TEST(RecordsScenario, OutputFileHoldsHeaderWithCommandLineRecordsAndFileSummary) {
  TempDir tree;
  make_tree(tree);
  TempDir place;
  const std::string list = place.at("list.txt");
  ProgramResult result = run_tallysum({.args = {tree.path(), "-o", list}});
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out, "");
  const std::string text = read_file(list);
  const std::string command_line = " " + tree.path() + " -o " + list + " \n\n";
  EXPECT_NE(text.find(command_line), std::string::npos) << text;
  const std::string records = "a.txt                     " + in40(kMd5A) + " \n" +
                              "empty.dat                 " + in40(kMd5Empty) + " \n";
  EXPECT_NE(text.find(command_line + records + "\n  "), std::string::npos) << text;
  EXPECT_TRUE(std::regex_search(text, std::regex("\n  [0-9]+ director(y|ies), 2 files, 1 bytes: "
                                                 "\n  Elapsed:  0 hrs\\. 0 mins\\. [0-9]+ "
                                                 "secs\\.\n\n$")))
      << text;
}

TEST(RecordsScenario, OutputThatCannotBeWrittenEndsWithWriteErrorInsteadOfSuccess) {
  TempDir tree;
  make_tree(tree);
  TempDir place;
  const std::string err = place.at("err.txt");
  const std::string command = "TZ=UTC0 '" + std::string(TALLYSUM_BINARY) + "' '" + tree.path() +
                              "' >/dev/full 2>'" + err + "' </dev/null";
  const int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 8);
  const std::string text = read_file(err);
  EXPECT_NE(text.find("Error writing output file (standard output)"), std::string::npos) << text;
  EXPECT_NE(text.find("Reason: WRITE_ERROR"), std::string::npos) << text;

  ProgramResult to_file = run_tallysum({.args = {tree.path(), "-o", "/dev/full"}});
  EXPECT_EQ(to_file.status, 8) << to_file.err;
  EXPECT_NE(to_file.err.find("Error writing output file /dev/full"), std::string::npos)
      << to_file.err;
}

}  // namespace
