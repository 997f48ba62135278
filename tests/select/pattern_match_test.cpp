#include "select/pattern_match.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "select/wildcard.h"

TEST(PatternMatch, ShellRulesOverWholeNames) {
  struct Case {
    const char* pattern;
    const char* name;
    bool matches;
  } cases[] = {
      {"*.TMP", "X.TMP", true},
      {"*.TMP", "X.TMPS", false},
      {"*", "", true},
      {"*", ".hidden", true},
      {"a*b", "a/b", true},
      {"?", "", false},
      {"?", "x", true},
      {"??", "x", false},
      {"*[0-9].LOG", "A1.LOG", true},
      {"*[0-9].LOG", "B7.LOG", true},
      {"*[0-9].LOG", "AB.LOG", false},
      {"*\\[1\\]*", "REPORT[1].DOC", true},
      {"*\\[1\\]*", "REPORT1.DOC", false},
      {"[!a]", "a", false},
      {"[!a]", "b", true},
      {"[^a]", "b", true},
      {"[]x]", "]", true},
      {"[a-]", "-", true},
      {"[", "[", true},
      {"a[b", "a[b", true},
      {"*a*a*a*b", "aaaaaaaaaaaaaaaaaaaa", false},
      {"\\*", "*", true},
      {"\\*", "x", false},
      {"*.*", "noext", false},
      {"x\xe9*", "x\xe9t\xe9", true},
      // a lone backslash at the end escapes nothing and never matches
      {"A\\", "A\\", false},
      {"\\", "\\", false},
      {"*\\", "X\\", false},
      {"\\\\", "\\", true},
      // character classes, equivalence classes and collating symbols
      {"*[[:digit:]].LOG", "A1.LOG", true},
      {"*[[:digit:]].LOG", "AB.LOG", false},
      {"[[:alpha:]_]*", "_X", true},
      {"[[:alpha:]_]*", "1X", false},
      {"[![:space:]]", "\t", false},
      {"[![:space:]]", "x", true},
      {"[[:upper:][:digit:]]", "7", true},
      {"[[:upper:][:digit:]]", "a", false},
      {"[[:punct:]]", "!", true},
      {"[[:punct:]]", "a", false},
      {"[[:xdigit:]]", "f", true},
      {"[[:xdigit:]]", "g", false},
      {"[[:bogus:]]", "b", false},
      {"[[=a=]]", "a", true},
      {"*[[:DIGIT:]].LOG", "B7.LOG", true},
      {"[[:Alpha:]]", "Q", true},
      {"[[.-.]]", "-", true},
      {"[[:digit:]", "[:", true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(pattern_matches(c.pattern, c.name), c.matches)
        << "pattern " << c.pattern << " name " << c.name;
  }
}

TEST(FilePatterns, SelectByLongOr83NameAndAnExactNameFirst) {
  DirListing listing;
  listing.add("index.html", false, "INDEX~1.HTM");
  listing.add("notes", false);
  listing.add("Notes.TXT", false);
  listing.add("page.htm", false);
  auto names = [&](const std::string& pattern) {
    std::string joined;
    for_each_matching(listing, pattern,
                      [&](std::size_t i) { joined += std::string(listing.name(i)) + ";"; });
    return joined;
  };
  EXPECT_EQ(names("*.htm"), "index.html;page.htm;");  // the first by its 8.3 name
  EXPECT_EQ(names("*.html"), "index.html;");
  EXPECT_EQ(names("*.*"), "index.html;notes;Notes.TXT;page.htm;");
  EXPECT_EQ(names("notes.*"), "notes;Notes.TXT;");  // "name.*" takes the bare name too
  EXPECT_EQ(names("NOTES"), "notes;");              // without wildcards: the name itself
  EXPECT_EQ(names("notes.txt"), "Notes.TXT;");      // and else the one equal without case
  EXPECT_EQ(names("INDEX~1.HTM"), "index.html;");
  EXPECT_EQ(names("*.doc"), "");
}

// A listing keeps every name whole in its blocks, however many there are and however long:
// names, 8.3 names and kinds come back as added, sorting orders them by their bytes, and a
// name too long to keep, or one holding a NUL, is named as unreadable rather than cut.
TEST(FilePatterns, AListingKeepsEveryNameWholeAcrossItsBlocks) {
  DirListing listing;
  std::vector<std::string> names;
  for (int i = 0; i < 20000; ++i) {
    std::string name = std::to_string((i * 7919) % 20000) + std::string(i % 300, 'n');
    if (i % 5 == 0) name += "\xc3\xa9";  // bytes above 0x7F sort after every ASCII one
    names.push_back(name);
    listing.add(name, i % 3 == 0, i % 4 == 0 ? "SHORT~" + std::to_string(i) : "");
  }
  listing.add(std::string(40000, 'x'), false);
  listing.add(std::string("cut\0off", 7), false);
  ASSERT_EQ(listing.size(), names.size());
  EXPECT_EQ(listing.unreadable.size(), 2u);
  for (std::size_t i = 0; i < names.size(); ++i) {
    ASSERT_EQ(listing.name(i), names[i]) << i;
    ASSERT_EQ(listing.is_directory(i), i % 3 == 0) << i;
    ASSERT_EQ(listing.short_name(i), i % 4 == 0 ? "SHORT~" + std::to_string(i) : "") << i;
  }
  listing.sort_by_name();
  std::vector<std::string> sorted;
  for (std::size_t i = 0; i < listing.size(); ++i) sorted.emplace_back(listing.name(i));
  std::sort(names.begin(), names.end());
  EXPECT_EQ(sorted, names);
  listing.clear();
  EXPECT_EQ(listing.size(), 0u);
  EXPECT_TRUE(listing.unreadable.empty());
}
