#include "output/shorten.h"

#include "platform/platform.h"

std::string shorten_keep_tail(const std::string& path, int width) {
  const int length = static_cast<int>(path.size());
  if (width >= length || width < 8) return path;

  std::string result = path.substr(0, 2);
  result += kSeparator;
  result += "...";
  const int written = static_cast<int>(result.size());

  // The leftmost separator within the tail that still fits after the prefix.
  std::size_t cut = std::string::npos;
  const int tail = width - written;
  for (int i = length - 1; i >= 0 && i >= length - tail; --i) {
    if (path[static_cast<std::size_t>(i)] == kSeparator) cut = static_cast<std::size_t>(i);
  }
  if (cut == std::string::npos) {
    cut = path.rfind(kSeparator);
    if (cut == std::string::npos) cut = 0;
  }
  result.append(path, cut, std::string::npos);
  return result;
}

std::string shorten_keep_head(const std::string& path, int width) {
  const int length = static_cast<int>(path.size());
  if (width >= length || width < 11) return path;

  const std::size_t last = path.rfind(kSeparator);
  const std::string last_part = last == std::string::npos ? path : path.substr(last);
  const int keep = width - 3 - static_cast<int>(last_part.size());

  // When the last component alone does not fit, the whole path comes first: that is the
  // intended result. The path is longer than any padding the C library's formats would add.
  std::string result = keep >= 0 ? path.substr(0, static_cast<std::size_t>(keep)) : path;
  result += "...";
  result += last_part;
  return result;
}
