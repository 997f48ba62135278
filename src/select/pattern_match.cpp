#include "select/pattern_match.h"

#include <cstddef>

namespace {

// Matches one byte against the bracket expression starting at pattern[p] == '['. Sets `next`
// to the position after the closing ']'. False for `next` == npos when the bracket never
// closes: the '[' is then an ordinary character.
bool bracket_matches(const std::string& pattern, std::size_t p, unsigned char c,
                     std::size_t* next) {
  std::size_t i = p + 1;
  bool negate = i < pattern.size() && (pattern[i] == '!' || pattern[i] == '^');
  if (negate) ++i;
  bool matched = false;
  bool first = true;
  while (i < pattern.size() && (pattern[i] != ']' || first)) {
    first = false;
    unsigned char low = static_cast<unsigned char>(pattern[i]);
    if (low == '\\' && i + 1 < pattern.size()) low = static_cast<unsigned char>(pattern[++i]);
    ++i;
    unsigned char high = low;
    if (i + 1 < pattern.size() && pattern[i] == '-' && pattern[i + 1] != ']') {
      high = static_cast<unsigned char>(pattern[i + 1]);
      if (high == '\\' && i + 2 < pattern.size()) {
        high = static_cast<unsigned char>(pattern[i + 2]);
        ++i;
      }
      i += 2;
    }
    if (low <= c && c <= high) matched = true;
  }
  if (i >= pattern.size()) {
    *next = std::string::npos;
    return false;
  }
  *next = i + 1;
  return matched != negate;
}

// Matches the single-byte element at pattern[*p] against c and advances *p past it.
bool element_matches(const std::string& pattern, std::size_t* p, unsigned char c) {
  char element = pattern[*p];
  if (element == '?') {
    ++*p;
    return true;
  }
  if (element == '[') {
    std::size_t next = 0;
    bool matched = bracket_matches(pattern, *p, c, &next);
    if (next != std::string::npos) {
      *p = next;
      return matched;
    }
  }
  if (element == '\\' && *p + 1 < pattern.size()) ++*p;
  bool matched = static_cast<unsigned char>(pattern[*p]) == c;
  ++*p;
  return matched;
}

}  // namespace

bool pattern_matches(const std::string& pattern, const std::string& name) {
  std::size_t p = 0;
  std::size_t s = 0;
  // Where to resume after the latest '*' when a later element fails: one saved point is
  // enough, since a later star can always absorb what an earlier one would have.
  std::size_t star_p = std::string::npos;
  std::size_t star_s = 0;
  while (s < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      star_p = ++p;
      star_s = s;
      continue;
    }
    std::size_t after = p;
    if (p < pattern.size() && element_matches(pattern, &after, name[s])) {
      p = after;
      ++s;
      continue;
    }
    if (star_p == std::string::npos) return false;
    p = star_p;
    s = ++star_s;
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}
