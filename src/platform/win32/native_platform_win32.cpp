#include "platform/win32/win32_platform.h"

const char kSeparator = '\\';
const bool kNamesIgnoreCase = true;
const char kOptionPrefixes[] = "-+/";
const char kLineEnd[] = "\r\n";
// Pipes here have no atomic size of their own; a cancelled write is cut at most at this.
const std::size_t kWholeWriteSize = 4096;

Platform& native_platform() {
  static Win32Platform platform;
  return platform;
}
