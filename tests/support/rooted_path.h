// Absolute paths for tests that only handle their text: rooted where this system's paths are.
#pragma once

#include <string>

#include "platform/platform.h"

// `relative` below the root, each '/' as the separator: "/d/sub" here, "C:\d\sub" where
// paths begin with a drive.
inline std::string rooted_path(const std::string& relative) {
  std::string path = kSeparator == '\\' ? "C:\\" : "/";
  for (char c : relative) path += c == '/' ? kSeparator : c;
  return path;
}
