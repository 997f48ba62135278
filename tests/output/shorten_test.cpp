#include "output/shorten.h"

#include <gtest/gtest.h>

#include "platform/platform.h"

namespace {

// The paths below are written with '/'; the system's own separator stands for it.
std::string native(std::string text) {
  for (char& c : text) {
    if (c == '/') c = kSeparator;
  }
  return text;
}

struct Case {
  const char* path;
  int width;
  const char* expected;
};

TEST(ShortenKeepTail, KeepsTheFirstTwoCharactersAndTheTailThatFits) {
  const Case cases[] = {
      // The leftmost separator inside the 19 characters that fit after "/d/...".
      {"/data/Projects/Report/final.doc", 25, "/d/.../Report/final.doc"},
      // No separator in the last two characters: the last component is kept whole, longer
      // than the width; the name column cuts it.
      {"/data/Projects/Report/final.doc", 8, "/d/.../final.doc"},
      // A tail without any separator at all starts at the beginning of the path.
      {"averyveryverylongfilename.txt", 10, "av/...averyveryverylongfilename.txt"},
      // Fits already, or too narrow to shorten: unchanged.
      {"/data/a.txt", 11, "/data/a.txt"},
      {"/data/a.txt", 40, "/data/a.txt"},
      {"/data/Projects/Report/final.doc", 7, "/data/Projects/Report/final.doc"},
      {"/data/Projects/Report/final.doc", 1, "/data/Projects/Report/final.doc"},
      // A separator exactly at the first position of the tail is still taken.
      {"/abcdefgh/ij/klm", 12, "/a/.../klm"},
      {"/abcdefgh/ij/klm", 13, "/a/.../ij/klm"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(shorten_keep_tail(native(c.path), c.width), native(c.expected))
        << c.path << " width " << c.width;
  }
}

TEST(ShortenKeepHead, KeepsTheHeadAndTheLastComponentInExactlyTheWidth) {
  const Case cases[] = {
      {"/data/Projects/Report/final.doc", 25, "/data/Projec.../final.doc"},
      {"/data/Projects/Report/final.doc", 14, "/.../final.doc"},
      // Too narrow for the last component: the whole path, "..." and the component.
      {"/data/Projects/Report/final.doc", 11, "/data/Projects/Report/final.doc.../final.doc"},
      {"/data/Projects/Report/final.doc", 10, "/data/Projects/Report/final.doc"},
      {"/data/Projects/Report/final.doc", 31, "/data/Projects/Report/final.doc"},
      // No separator: the whole path is the last component, so it cannot shrink.
      {"averyveryverylongfilename.txt", 12,
       "averyveryverylongfilename.txt...averyveryverylongfilename.txt"},
      // The last component alone is wider than the width: the whole path, "..." and the
      // component, whose first characters are the path's own.
      {"/d/averyveryverylongfilename.txt", 20,
       "/d/averyveryverylongfilename.txt.../averyveryverylongfilename.txt"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(shorten_keep_head(native(c.path), c.width), native(c.expected))
        << c.path << " width " << c.width;
  }
}

TEST(ShortenKeepHead, ResultHasTheWidthWheneverTheLastComponentFits) {
  const std::string path = native("/srv/archive/2024/quarterly/statements/summary.pdf");
  for (int width = 16; width < static_cast<int>(path.size()); ++width) {
    const std::string shown = shorten_keep_head(path, width);
    EXPECT_EQ(static_cast<int>(shown.size()), width);
    EXPECT_EQ(shown.substr(shown.size() - 12), native("/summary.pdf"));
    EXPECT_EQ(path.compare(0, width - 15, shown, 0, width - 15), 0) << shown;
  }
}

}  // namespace
