#include "config/help.h"

#include <gtest/gtest.h>

#include "support/c_library.h"
#include "support/captured_streams.h"
#include "support/death_test.h"
#include "support/scripted_platform.h"

namespace {

const char* const kPrompt = "RETURN TO CONTINUE, ^C or x==exit";

int count_of(const std::string& text, const std::string& what) {
  int count = 0;
  for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
  return count;
}

class Help : public testing::Test {
 protected:
  void SetUp() override {
    reset_settings();
    help_page_count = 0;
    platform.keys.resize(40, '\r');
  }
  std::string screen() {
    CapturedStreams capture;
    show_help_screen();
    return capture.messages();
  }
  ScriptedPlatform platform;
};

TEST_F(Help, ScreenHasEveryPartInOrderWithPrompts) {
  std::string text = screen();
  const char* const landmarks[] = {
      "by spaces. (i.e.  -p c:\\work  c:\\bin d:\\)     [PATH=pathname]\n",
      "-g mm-dd-yyyy[acw]: Show files older than this date. (this date NOT counted)\n\n-l #:",
      "         If pipe (|), enclose in \"|\" quotes.                [DELIMETER=x] \n",
      "      The resulting command would be like: -A3 -U -w 1\n\n",
      "If -N is used, the file size is added\n",
      "-[Tt][aAcCwW]: \n  print time as [a]ccess, [c]reate, last [w]rite/modify time. "
      "[TIME=[30acw]]\n",
      "-88:    \"must be -88, no spaces\" print uppercase LFN at end of record.\n",
      "              and WILL NOT include Jan 1, 2005 in the test\n",
  };
  std::size_t at = 0;
  for (const char* landmark : landmarks) {
    at = text.find(landmark, at);
    ASSERT_NE(at, std::string::npos) << landmark;
  }
  // Every page but the first prompts; a banner heads each page and closes the screen.
  int prompts = count_of(text, kPrompt);
  EXPECT_EQ(count_of(text, "TALLYSUM"), prompts + 2);
  EXPECT_LT(text.find("TALLYSUM"), text.find(kPrompt));
  EXPECT_EQ(help_page_count, prompts + 1);
  EXPECT_EQ(static_cast<int>(platform.keys.size()), 40 - prompts);
  EXPECT_EQ(count_of(text.substr(text.rfind("Jan 1, 2005")), "TALLYSUM"), 2);
}

// Each group adds its own line count and a page turns once 21 is reached, so the prompts
// fall after these lines, each followed by the padding that fills the page to 24 lines.
TEST_F(Help, PagesTurnAfterTheGroupsThatFillThem) {
  const std::pair<const char*, int> turns[] = {
      {"set SILENT=ON\n", 1},              // part one, count 23
      {"[DISPLACE=xxx]\n", 3},             // part one, count 22
      {"lower case hex digits. \n", 1},    // part two begins, count 23
      {"-A3 -U -w 1\n\n", 9},              // count 16
      {"count to 199\n", 3},               // count 22
      {"the file size is added\n", 4},     // count 21
      {"RESET serves same purpose\n", 4},  // part three, count 21
      {"in the test\n", 1},                // the last page, count 23
  };
  std::string text = screen();
  std::size_t at = 0;
  for (const auto& [last_line, padding] : turns) {
    std::string expected = last_line + std::string(padding, '\n') + std::string(23, ' ') + kPrompt;
    at = text.find(expected, at);
    ASSERT_NE(at, std::string::npos) << last_line;
    at += expected.size();
  }
  EXPECT_EQ(count_of(text, kPrompt), 8);
  // The last page holds the long options below its header (count 8): the header's own line
  // end and the two after it, the three lines of --verify, the lines of --compare and
  // --format and --log, and 30 - 14 before the closing box.
  EXPECT_NE(text.find("\u255D\n\n\n--verify catalogue [options] [--root dir]: ", at),
            std::string::npos);
  EXPECT_NE(text.find("if it can't be matched\n--compare old new [options]: "), std::string::npos);
  EXPECT_NE(text.find("no disk read\n--format csv|json: "), std::string::npos);
  EXPECT_NE(text.find("full paths\n--log file with either: "), std::string::npos);
  EXPECT_NE(text.find("catalogue altered\n" + std::string(16, '\n') + "  \u2554", at),
            std::string::npos);
}

TEST_F(Help, ThreeLinesDescribeTheCurrentSettings) {
  const char* const lines[2][3] = {
      {"-r:   recurse through path, default to NOT recurse        [RECURSE=[ON|OFF]]\n",
       "-m:   include Date/Time, default is to NOT include Date/Time [MILITARY]=\n",
       "-S:     show Multiple Data Streams. Default = DON'T show.[STREAM=[ON|OFF]]\n"},
      {"-r:   DO NOT recurse through path, default to recurse        [RECURSE=[ON|OFF]]\n",
       "-m:   DO NOT include Date/Time, default is to include Date/Time [MILITARY]=\n",
       "-S:     DO NOT show Multiple Data Streams. Default = to show.[STREAM=[ON|OFF]]\n"}};
  for (int value : {0, 1}) {
    settings.recurse = settings.show_times = settings.streams = value;
    std::string text = screen();
    for (const char* line : lines[value]) EXPECT_NE(text.find(line), std::string::npos) << line;
  }
}

TEST_F(Help, PageBreakFillsThePageAndPromptsAfterTheFirst) {
  CapturedStreams capture;
  EXPECT_EQ(page_break(20), 8);  // the banner given 2 returns 6, and two line ends follow
  std::string first = capture.messages();
  EXPECT_EQ(first.substr(0, 58 + 5), std::string(58, '\n') + "  \u2554");
  EXPECT_EQ(count_of(first, kPrompt), 0);
  CapturedStreams second;
  page_break(23);
  EXPECT_EQ(second.messages().substr(0, 57), "\n" + std::string(23, ' ') + kPrompt);
  EXPECT_EQ(platform.keys.size(), 39u);
}

TEST_F(Help, EndingKeysLeaveAtOnceWithStatusFive) {
  for (int key : {int{'x'}, int{'X'}, 27, 3, kKeyEndOfInput, kKeyInterrupted}) {
    help_page_count = 1;
    platform.keys = {key};
    EXPECT_EXIT(page_break(5), testing::ExitedWithCode(5), "x==exit$") << key;
  }
}

TEST_F(Help, HelpFileAndSha2Notice) {
  EXPECT_FALSE(open_help_file("/opt/tallysum/tallysum"));
  platform.help_file = "/opt/tallysum/tallysum.1";
  EXPECT_TRUE(open_help_file("/opt/tallysum/tallysum"));
  EXPECT_EQ(platform.shown, (std::vector<std::string>{"/opt/tallysum/tallysum.1"}));
  EXPECT_EXIT((join_output_to_errors(), write_sha2_notice()), testing::ExitedWithCode(5),
              ContainsPattern("SHA-512.*1\\..*2\\..*3\\..*\"as is\".*warranty"));
}

}  // namespace
