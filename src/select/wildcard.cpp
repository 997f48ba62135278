#include "select/wildcard.h"

namespace {

char fold(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// '*' and '?' over bytes; on a mismatch after a '*', the star takes one more byte and the
// rest is tried again, which is linear in practice and never recursive.
bool glob_match(std::string_view pattern, std::string_view name) {
  std::size_t p = 0;
  std::size_t n = 0;
  std::size_t star = std::string_view::npos;
  std::size_t resume = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      resume = n;
    } else if (p < pattern.size() && (pattern[p] == '?' || fold(pattern[p]) == fold(name[n]))) {
      ++p;
      ++n;
    } else if (star != std::string_view::npos) {
      p = star + 1;
      n = ++resume;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

}  // namespace

bool wildcard_match(std::string_view pattern, std::string_view name) {
  if (glob_match(pattern, name)) return true;
  // "name.*" also stands for the bare name: "*.*" has always meant every name, dot or not.
  bool dot_star = pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == ".*";
  if (!dot_star || name.find('.') != std::string_view::npos) return false;
  return glob_match(pattern.substr(0, pattern.size() - 2), name);
}

void for_each_matching(const DirListing& listing, const std::string& pattern,
                       const std::function<void(std::size_t)>& visit) {
  if (pattern.find_first_of("*?") == std::string::npos) {
    for (std::size_t i = 0; i < listing.size(); ++i) {
      if (listing.name(i) == pattern) return visit(i);
    }
  }
  // The system's own search also tries each 8.3 name, so "*.htm" picks "page.html" there;
  // users of those disks expect the same selection from this program.
  for (std::size_t i = 0; i < listing.size(); ++i) {
    const std::string_view short_name = listing.short_name(i);
    if (wildcard_match(pattern, listing.name(i)) ||
        (!short_name.empty() && wildcard_match(pattern, short_name))) {
      visit(i);
    }
  }
}
