#include "output/banner.h"

#include <gtest/gtest.h>

#include <sstream>

#include "support/captured_streams.h"
#include "support/scripted_platform.h"

namespace {

std::string repeat(const char* glyph, int count) {
  std::string text;
  while (count-- > 0) text += glyph;
  return text;
}

TEST(Banner, VersionTextFromBuildDateAndTime) {
  EXPECT_EQ(version_text_from("Feb  5 2006", "11:29:00"), "06.02.05.11.29\u221A");
  EXPECT_EQ(version_text_from("Dec 25 2026", "09:05:59"), "26.12.25.09.05\u221A");
  EXPECT_EQ(text_columns(version_text()), 15);
}

TEST(Banner, CentringCountsColumnsNotBytes) {
  const std::tuple<std::string, int, std::string> cases[] = {
      {"RETURN TO CONTINUE, ^C or x==exit", 80, std::string(23, ' ') + "RETURN"},
      {"\u2551\u2551", 10, "    \u2551"},
      {"abc", 2, "abc"},
  };
  for (const auto& [text, width, start] : cases) {
    CapturedStreams capture;
    print_centred(message_stream, text, width);
    EXPECT_EQ(capture.messages().substr(0, start.size()), start) << text;
  }
}

TEST(Banner, BoxIsSeventySixColumnsWithNameAndVersionCentred) {
  CapturedStreams capture;
  EXPECT_EQ(show_banner(2), 6);
  std::string text = capture.messages();
  ASSERT_EQ(text.substr(0, 28), std::string(28, '\n'));
  std::istringstream in(text.substr(28));
  // The build names its own width: a 64-bit build is no 32-bit program.
  std::string version =
      "Ver. " + version_text() + (sizeof(void*) == 8 ? " (64 bit) " : " (32 bit) ");
  const std::string expected[] = {
      "  \u2554" + repeat("\u2550", 74) + "\u2557",
      "  \u2551" + std::string(33, ' ') + "TALLYSUM" + std::string(33, ' ') + "\u2551",
      "  \u2551" + std::string(22, ' ') + version + std::string(22, ' ') + "\u2551",
      "  \u2551" + std::string(74, ' ') + "\u2551",
      "  \u255A" + repeat("\u2550", 74) + "\u255D",
  };
  for (const std::string& line : expected) {
    std::string got;
    ASSERT_TRUE(std::getline(in, got));
    EXPECT_EQ(got, line);
  }
  CapturedStreams low;
  EXPECT_EQ(show_banner(40), 44);  // no blank lines once the page is past 30
  EXPECT_EQ(low.messages().substr(0, 5), "  \u2554");
}

}  // namespace
