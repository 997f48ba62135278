// Paths of made-up trees, written once with '/' and spelled with the system's separator, so
// that one table of expectations holds on every system.
#pragma once

#include <string>

#include "platform/platform.h"

inline std::string native_path(std::string path) {
  for (char& c : path) {
    if (c == '/') c = kSeparator;
  }
  return path;
}
