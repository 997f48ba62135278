#include "select/path_lists.h"

#include <algorithm>

#include "platform/platform.h"
#include "run/settings.h"
#include "run/text_format.h"

namespace {

// A root: without its last separator the text would name another directory, the current one
// (of its drive, where paths begin with one).
bool is_root(const std::string& path) {
  return path.size() == 1 || (path.size() == 3 && path[1] == ':' && path[2] == kSeparator);
}

}  // namespace

std::string directory_part(const std::string& path) {
  std::size_t cut = path.rfind(kSeparator);
  if (cut == std::string::npos) return "";
  // Without its separator, so that "d/*.txt d/*.doc" walks d once; but a root keeps it.
  std::string with_separator = path.substr(0, cut + 1);
  return is_root(with_separator) ? with_separator : path.substr(0, cut);
}

bool same_name(const std::string& a, const std::string& b) {
  return kNamesIgnoreCase ? upper_case_ascii(a) == upper_case_ascii(b) : a == b;
}

std::string absolute_path(const std::string& path) {
  std::string full;
  return os().full_path(path, &full) ? full : path;
}

void add_path_argument(const std::string& text) {
  std::string full;
  if (!os().full_path(text, &full)) return;
  if (os().is_directory(full) && text.find('*') == std::string::npos) {
    add_search_path(full);
    return;
  }
  std::size_t cut = full.rfind(kSeparator);
  std::string name = cut == std::string::npos ? full : full.substr(cut + 1);
  add_search_path(directory_part(full));
  if (!name.empty()) add_file_pattern(name);
}

void add_search_path(const std::string& text) {
  std::string full;
  if (!os().full_path(text, &full)) return;
  // Compared as the file system compares names: where case matters, /data/Work and
  // /data/work are two directories, and folding them together would leave one out of the
  // catalogue. The test runs before the trailing separator is dropped, so "dir/" and "dir"
  // both stay.
  auto same = [&full](const std::string& entry) { return same_name(entry, full); };
  if (std::any_of(settings.search_paths.begin(), settings.search_paths.end(), same)) return;
  // The root keeps its separator: without it the path would be empty.
  if (!full.empty() && !is_root(full) && full.back() == kSeparator) full.pop_back();
  settings.search_paths.push_back(full);
}

void add_file_pattern(const std::string& text) {
  if (std::find(settings.file_patterns.begin(), settings.file_patterns.end(), text) ==
      settings.file_patterns.end()) {
    settings.file_patterns.push_back(text);
  }
}
