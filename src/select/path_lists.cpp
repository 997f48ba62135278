#include "select/path_lists.h"

#include <algorithm>
#include <cctype>

#include "config/settings.h"
#include "platform/platform.h"

namespace {

bool equal_ignoring_case(const std::string& a, const std::string& b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::toupper(static_cast<unsigned char>(x)) ==
                  std::toupper(static_cast<unsigned char>(y));
         });
}

}  // namespace

void add_path_argument(const std::string& text) {
  std::string full;
  if (!os().full_path(text, &full)) return;
  if (os().is_directory(full) && text.find('*') == std::string::npos) {
    add_search_path(full);
    return;
  }
  std::size_t cut = full.rfind(kSeparator);
  // The directory goes on without its separator, so that "d/*.txt d/*.doc" walks d once.
  std::string directory = cut == std::string::npos ? std::string() : full.substr(0, cut);
  if (directory.empty() && cut != std::string::npos) directory = full.substr(0, 1);
  std::string name = cut == std::string::npos ? full : full.substr(cut + 1);
  add_search_path(directory);
  if (!name.empty()) add_file_pattern(name);
}

void add_search_path(const std::string& text) {
  std::string full;
  if (!os().full_path(text, &full)) return;
  // The test runs before the trailing separator is dropped, so "dir/" and "dir" both stay.
  for (const std::string& entry : settings.search_paths) {
    if (equal_ignoring_case(entry, full)) return;
  }
  // The root keeps its separator: without it the path would be empty.
  if (full.size() > 1 && full.back() == kSeparator) full.pop_back();
  settings.search_paths.push_back(full);
}

void add_file_pattern(const std::string& text) {
  if (std::find(settings.file_patterns.begin(), settings.file_patterns.end(), text) ==
      settings.file_patterns.end()) {
    settings.file_patterns.push_back(text);
  }
}
