#include "output/shorten.h"

#include "platform/platform.h"
#include "run/text_format.h"

std::string shorten_keep_tail(const std::string& path, int width) {
  const int length = static_cast<int>(path.size());
  if (width >= length || width < 8) return path;

  std::string result;
  const int written = (kSeparator == '/') ? append_format(&result, "%.2s/...", path.c_str())
                                          : append_format(&result, "%.2s\\...", path.c_str());

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

  // A negative width and precision print the whole path, left-aligned: that is the intended
  // result when the last component alone does not fit.
  std::string result;
  append_format(&result, "%*.*s...%s", keep, keep, path.c_str(), last_part.c_str());
  return result;
}
