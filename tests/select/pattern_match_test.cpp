#include "select/pattern_match.h"

#include <gtest/gtest.h>

TEST(PatternMatch, ShellRulesOverWholeNames) {
  struct Case {
    const char* pattern;
    const char* name;
    bool matches;
  } cases[] = {
      {"*.TMP", "X.TMP", true},         {"*.TMP", "X.TMPS", false},
      {"*", "", true},                  {"*", ".hidden", true},
      {"a*b", "a/b", true},             {"?", "", false},
      {"?", "x", true},                 {"??", "x", false},
      {"*[0-9].LOG", "A1.LOG", true},   {"*[0-9].LOG", "B7.LOG", true},
      {"*[0-9].LOG", "AB.LOG", false},  {"*\\[1\\]*", "REPORT[1].DOC", true},
      {"*\\[1\\]*", "REPORT1.DOC", false}, {"[!a]", "a", false},
      {"[!a]", "b", true},              {"[^a]", "b", true},
      {"[]x]", "]", true},              {"[a-]", "-", true},
      {"[", "[", true},                 {"a[b", "a[b", true},
      {"*a*a*a*b", "aaaaaaaaaaaaaaaaaaaa", false},
      {"\\*", "*", true},               {"\\*", "x", false},
      {"*.*", "noext", false},          {"x\xe9*", "x\xe9t\xe9", true},
      // a lone backslash at the end escapes nothing and never matches
      {"A\\", "A\\", false},            {"\\", "\\", false},
      {"*\\", "X\\", false},            {"\\\\", "\\", true},
      // character classes, equivalence classes and collating symbols
      {"*[[:digit:]].LOG", "A1.LOG", true}, {"*[[:digit:]].LOG", "AB.LOG", false},
      {"[[:alpha:]_]*", "_X", true},       {"[[:alpha:]_]*", "1X", false},
      {"[![:space:]]", "\t", false},       {"[![:space:]]", "x", true},
      {"[[:upper:][:digit:]]", "7", true}, {"[[:upper:][:digit:]]", "a", false},
      {"[[:punct:]]", "!", true},          {"[[:punct:]]", "a", false},
      {"[[:xdigit:]]", "f", true},         {"[[:xdigit:]]", "g", false},
      {"[[:bogus:]]", "b", false},         {"[[=a=]]", "a", true},
      {"*[[:DIGIT:]].LOG", "B7.LOG", true}, {"[[:Alpha:]]", "Q", true},
      {"[[.-.]]", "-", true},              {"[[:digit:]", "[:", true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(pattern_matches(c.pattern, c.name), c.matches)
        << "pattern " << c.pattern << " name " << c.name;
  }
}
