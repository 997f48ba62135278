// What a death test's child said on standard error, matched whatever the system's line ends:
// "\r\n" is read as "\n" before the pattern (ECMAScript) is tried anywhere in the text. Paths
// and other literal text go into a pattern through `literally`.
#pragma once

#include <gmock/gmock.h>

#include <regex>
#include <string>

inline std::string literally(const std::string& text) {
  static const std::string special = "\\^$.|?*+()[]{}";
  std::string escaped;
  for (char c : text) {
    if (special.find(c) != std::string::npos) escaped += '\\';
    escaped += c;
  }
  return escaped;
}

inline ::testing::Matcher<const std::string&> says(const std::string& pattern) {
  return ::testing::Truly([pattern](const std::string& said) {
    std::string text;
    for (std::size_t i = 0; i < said.size(); ++i) {
      if (said[i] == '\r' && i + 1 < said.size() && said[i + 1] == '\n') continue;
      text += said[i];
    }
    return std::regex_search(text, std::regex(pattern));
  });
}
