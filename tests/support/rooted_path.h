// Absolute paths for tests that only spell one and never open it.
#pragma once

#include <string>

#include "platform/platform.h"

// `below` under the root of the file system: "/" where '/' is the separator, the drive "C:\"
// where it is '\'; each '/' of `below` is read as the separator.
inline std::string rooted(const std::string& below) {
  std::string path = kSeparator == '/' ? "/" : std::string("C:") + kSeparator;
  for (char c : below) path += c == '/' ? kSeparator : c;
  return path;
}
