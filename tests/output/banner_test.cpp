#include "output/banner.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "output/destinations.h"
#include "support/scripted_platform.h"

namespace {

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST(Banner, VersionTextFromBuildDateAndTime) {
  EXPECT_EQ(version_text_from("Feb  5 2006", "11:29:00"), "06.02.05.11.29\u221A");
  EXPECT_EQ(version_text_from("Dec 25 2026", "09:05:59"), "26.12.25.09.05\u221A");
  EXPECT_EQ(version_text_from("Jan 10 2030", "23:59:00"), "30.01.10.23.59\u221A");
  // The build's own text has the same shape.
  std::string own = version_text();
  EXPECT_EQ(text_columns(own), 15);
  EXPECT_EQ(own.substr(2, 1) + own.substr(5, 1) + own.substr(8, 1) + own.substr(11, 1), "....");
}

TEST(Banner, CentringCountsColumnsNotBytes) {
  struct Case {
    std::string text;
    int width;
    std::string expected;
  };
  const Case cases[] = {
      {"RETURN TO CONTINUE, ^C or x==exit", 80,
       std::string(23, ' ') + "RETURN TO CONTINUE, ^C or x==exit"},
      {"\u2551\u2551", 10, "    \u2551\u2551"},
      {"abc", 2, "abc"},
      {"", 5, "  "},
  };
  for (const Case& c : cases) {
    MessageCapture capture;
    print_centred(message_stream, c.text, c.width);
    EXPECT_EQ(capture.text(), c.expected) << c.text;
  }
}

TEST(Banner, BoxIsSeventySixColumnsCentredWithTheName) {
  MessageCapture capture;
  EXPECT_EQ(show_banner(2), 6);
  std::string text = capture.text();
  ASSERT_EQ(text.substr(0, 28), std::string(28, '\n'));
  std::vector<std::string> lines = lines_of(text.substr(28));
  ASSERT_EQ(lines.size(), 5u);
  for (const std::string& line : lines) {
    EXPECT_EQ(text_columns(line), 78) << line;
    EXPECT_EQ(line.substr(0, 2), "  ");
  }
  EXPECT_EQ(lines[0], "  \u2554" + [] {
    std::string s;
    for (int i = 0; i < 74; ++i) s += "\u2550";
    return s;
  }() + "\u2557");
  EXPECT_EQ(lines[1], "  \u2551" + std::string(33, ' ') + "TALLYSUM" + std::string(33, ' ') +
                          "\u2551");
  std::string version = "Ver. " + version_text() + " (32 bit) ";
  EXPECT_EQ(lines[2], "  \u2551" + std::string(22, ' ') + version + std::string(22, ' ') +
                          "\u2551");
  EXPECT_EQ(lines[3], "  \u2551" + std::string(74, ' ') + "\u2551");
  EXPECT_EQ(lines[4].substr(0, 5), "  \u255A");
  EXPECT_EQ(lines[4].substr(lines[4].size() - 3), "\u255D");
}

TEST(Banner, NoPaddingBelowALowPage) {
  MessageCapture capture;
  EXPECT_EQ(show_banner(40), 44);
  EXPECT_EQ(capture.text().substr(0, 5), "  \u2554");
  MessageCapture again;
  EXPECT_EQ(show_banner(29), 33);
  EXPECT_EQ(again.text().substr(0, 6), "\n  \u2554");
}

}  // namespace
