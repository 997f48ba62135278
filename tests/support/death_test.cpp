#include "support/death_test.h"

#include <cstdlib>
#include <regex>
#include <string_view>

#include "platform/platform.h"
#include "support/c_library.h"

namespace {

class PatternMatcher : public testing::MatcherInterface<const std::string&> {
 public:
  explicit PatternMatcher(const std::string& pattern)
      : pattern_(pattern), expression_(pattern, std::regex::extended) {}
  bool MatchAndExplain(const std::string& text, testing::MatchResultListener*) const override {
    std::string plain;
    for (std::size_t i = 0; i < text.size(); ++i) {
      if (text[i] != '\r' || i + 1 == text.size() || text[i + 1] != '\n') plain += text[i];
    }
    return std::regex_search(plain, expression_);
  }
  void DescribeTo(std::ostream* out) const override {
    *out << "contains the pattern \"" << pattern_ << "\"";
  }
  void DescribeNegationTo(std::ostream* out) const override {
    *out << "does not contain the pattern \"" << pattern_ << "\"";
  }

 private:
  std::string pattern_;
  std::regex expression_;
};

}  // namespace

testing::Matcher<const std::string&> ContainsPattern(const std::string& pattern) {
  return testing::Matcher<const std::string&>(new PatternMatcher(pattern));
}

std::string pattern_literal(const std::string& text) {
  std::string pattern;
  for (char c : text) {
    if (std::string_view("\\^$.|?*+()[]{}").find(c) != std::string_view::npos) pattern += '\\';
    pattern += c;
  }
  return pattern;
}
