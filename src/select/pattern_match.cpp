#include "select/pattern_match.h"

#include <cstddef>
#include <cstring>

namespace {

// Class names are taken without regard to case: exclusion patterns are stored upper-cased
// unless case-sensitive exclusion was asked for, so "[:digit:]" arrives as "[:DIGIT:]".
bool in_class(const std::string& typed_name, unsigned char c) {
  std::string name = typed_name;
  for (char& ch : name) {
    if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
  }
  const bool upper = c >= 'A' && c <= 'Z';
  const bool lower = c >= 'a' && c <= 'z';
  const bool digit = c >= '0' && c <= '9';
  const bool graph = c > 0x20 && c < 0x7f;
  if (name == "alpha") return upper || lower;
  if (name == "upper") return upper;
  if (name == "lower") return lower;
  if (name == "digit") return digit;
  if (name == "alnum") return upper || lower || digit;
  if (name == "xdigit") return digit || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
  if (name == "space") return c == ' ' || (c >= '\t' && c <= '\r');
  if (name == "blank") return c == ' ' || c == '\t';
  if (name == "cntrl") return c < 0x20 || c == 0x7f;
  if (name == "graph") return graph;
  if (name == "print") return graph || c == ' ';
  if (name == "punct") return graph && !upper && !lower && !digit;
  return false;  // an unknown class matches nothing, so the pattern cannot match
}

// A "[:class:]", "[=c=]" or "[.c.]" term of a bracket expression starting at pattern[i].
// Returns the position after it and sets `matched`, or npos when pattern[i] starts none.
std::size_t special_term(const std::string& pattern, std::size_t i, unsigned char c,
                         bool* matched) {
  if (pattern[i] != '[' || i + 1 >= pattern.size()) return std::string::npos;
  const char kind = pattern[i + 1];
  if (std::strchr(":=.", kind) == nullptr || kind == '\0') return std::string::npos;
  const char close[] = {kind, ']', '\0'};
  const std::size_t end = pattern.find(close, i + 2);
  if (end == std::string::npos) return std::string::npos;
  const std::string body = pattern.substr(i + 2, end - i - 2);
  if (kind == ':') {
    *matched = in_class(body, c);
  } else {
    // In byte comparison an equivalence class or collating symbol is its one character.
    *matched = body.size() == 1 && static_cast<unsigned char>(body[0]) == c;
  }
  return end + 2;
}

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
    bool term_matched = false;
    const std::size_t after_term = special_term(pattern, i, c, &term_matched);
    if (after_term != std::string::npos) {
      if (term_matched) matched = true;
      i = after_term;
      continue;
    }
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
  if (element == '\\') {
    // A pattern ending in an unescaped backslash matches nothing, as the shell rules say.
    if (*p + 1 >= pattern.size()) {
      ++*p;
      return false;
    }
    ++*p;
  }
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
