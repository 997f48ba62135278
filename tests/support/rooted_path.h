// Absolute paths for tests that only handle their text: rooted where this system's paths are.
#pragma once

#include <string>

#include "support/native_path.h"

// `relative` below the root, each '/' as the separator: "/d/sub" here, "C:\d\sub" where
// paths begin with a drive.
inline std::string rooted_path(const std::string& relative) {
  return (kSeparator == '\\' ? "C:\\" : "/") + native_path(relative);
}
