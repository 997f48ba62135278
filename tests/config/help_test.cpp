#include "config/help.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "config/settings.h"
#include "output/banner.h"
#include "output/destinations.h"
#include "support/scripted_platform.h"

namespace {

const char* const kPrompt = "RETURN TO CONTINUE, ^C or x==exit";

int count_of(const std::string& text, const std::string& what) {
  int count = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
    ++count;
  }
  return count;
}

class Help : public testing::Test {
 protected:
  void SetUp() override {
    reset_settings();
    help_page_count = 0;
    for (int i = 0; i < 40; ++i) platform.keys.push_back('\r');
  }
  std::string screen() {
    MessageCapture capture;
    show_help_screen();
    return capture.text();
  }
  ScriptedPlatform platform;
};

TEST_F(Help, ScreenHasEveryPartInOrderWithPrompts) {
  std::string text = screen();
  const char* const landmarks[] = {
      "-p + path(s):  additional paths to search",
      "by spaces. (i.e.  -p c:\\work  c:\\bin d:\\)     [PATH=pathname]\n",
      "-oO + MMDDYY:  causes the output file to be named with todays date\n",
      "-g mm-dd-yyyy[acw]: Show files older than this date. (this date NOT counted)\n\n-l #:",
      "         If pipe (|), enclose in \"|\" quotes.                [DELIMETER=x] \n",
      "-U:   no Upper case. Reduce all hash values to lower case hex digits. \n",
      "      The resulting command would be like: -A3 -U -w 1\n\n",
      "      So -D100,200 would actually start at byte 99, and count to 199\n",
      "If -N is used, the file size is added\n",
      "-[Tt][aAcCwW]: \n  print time as [a]ccess, [c]reate, last [w]rite/modify time. "
      "[TIME=[30acw]]\n",
      "-88:    \"must be -88, no spaces\" print uppercase LFN at end of record.\n",
      "              and WILL NOT include Jan 1, 2005 in the test\n",
  };
  std::size_t at = 0;
  for (const char* landmark : landmarks) {
    std::size_t found = text.find(landmark, at);
    ASSERT_NE(found, std::string::npos) << landmark;
    at = found;
  }
  // The first page has no prompt; every later page does, and the screen ends with a banner.
  int prompts = count_of(text, kPrompt);
  EXPECT_EQ(count_of(text, "TALLYSUM"), prompts + 2);
  EXPECT_LT(text.find("TALLYSUM"), text.find(kPrompt));
  EXPECT_GE(prompts, 6);
  EXPECT_EQ(help_page_count, prompts + 1);
  EXPECT_EQ(static_cast<int>(platform.keys.size()), 40 - prompts);
  std::string tail = text.substr(text.rfind("Jan 1, 2005"));
  EXPECT_EQ(count_of(tail, kPrompt), 1);
  EXPECT_NE(tail.find("TALLYSUM"), std::string::npos);
}

TEST_F(Help, ThreeLinesDescribeTheCurrentSettings) {
  struct Case {
    int value;
    const char* recurse;
    const char* times;
    const char* streams;
  };
  const Case cases[] = {
      {0, "-r:   recurse through path, default to NOT recurse        [RECURSE=[ON|OFF]]\n",
       "-m:   include Date/Time, default is to NOT include Date/Time [MILITARY]=\n",
       "-S:     show Multiple Data Streams. Default = DON'T show.[STREAM=[ON|OFF]]\n"},
      {1, "-r:   DO NOT recurse through path, default to recurse        [RECURSE=[ON|OFF]]\n",
       "-m:   DO NOT include Date/Time, default is to include Date/Time [MILITARY]=\n",
       "-S:     DO NOT show Multiple Data Streams. Default = to show.[STREAM=[ON|OFF]]\n"},
  };
  for (const Case& c : cases) {
    settings.recurse = settings.show_times = settings.streams = c.value;
    std::string text = screen();
    EXPECT_NE(text.find(c.recurse), std::string::npos) << c.value;
    EXPECT_NE(text.find(c.times), std::string::npos) << c.value;
    EXPECT_NE(text.find(c.streams), std::string::npos) << c.value;
  }
}

TEST_F(Help, PageBreakFillsThePageAndPromptsAfterTheFirst) {
  MessageCapture capture;
  int count = page_break(20);
  std::string first = capture.text();
  EXPECT_EQ(first.substr(0, 4 + 24 + 2), std::string(30, '\n'));
  EXPECT_EQ(count_of(first, kPrompt), 0);
  EXPECT_EQ(count, 8);  // banner given 2 returns 6, and the two line ends after it
  EXPECT_EQ(first.substr(first.size() - 2), "\n\n");

  MessageCapture second;
  page_break(23);
  std::string text = second.text();
  EXPECT_EQ(text.substr(0, 1 + 23 + 33), "\n" + std::string(23, ' ') + kPrompt);
  EXPECT_EQ(platform.keys.size(), 39u);
  EXPECT_EQ(help_page_count, 2);
}

TEST_F(Help, EndingKeysLeaveAtOnceWithStatusFive) {
  const int keys[] = {'x', 'X', 27, 3, kKeyEndOfInput, kKeyInterrupted};
  for (int key : keys) {
    help_page_count = 1;
    platform.keys = {key};
    EXPECT_EXIT(page_break(5), testing::ExitedWithCode(5), "x==exit$") << key;
  }
  help_page_count = 1;
  platform.keys = {'q'};
  MessageCapture capture;
  EXPECT_EQ(page_break(5), 8);
}

TEST_F(Help, HelpFileIsFoundAndShown) {
  EXPECT_FALSE(open_help_file("/opt/tallysum/tallysum"));
  EXPECT_TRUE(platform.shown.empty());
  platform.help_file = "/opt/tallysum/tallysum.1";
  EXPECT_TRUE(open_help_file("/opt/tallysum/tallysum"));
  EXPECT_EQ(platform.shown, (std::vector<std::string>{"/opt/tallysum/tallysum.1"}));
}

TEST_F(Help, Sha2NoticeGoesToStandardOutput) {
  EXPECT_EXIT(
      {
        dup2(STDERR_FILENO, STDOUT_FILENO);
        write_sha2_notice();
      },
      testing::ExitedWithCode(5),
      "SHA-256, SHA-384 and SHA-512.*1\\..*2\\..*3\\..*\"as is\".*warranty");
}

}  // namespace
