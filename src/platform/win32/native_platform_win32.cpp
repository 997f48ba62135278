#include "platform/win32/win32_platform.h"

const char kSeparator = '\\';
const bool kNamesIgnoreCase = true;
const char kOptionPrefixes[] = "-+/";
const char kLineEnd[] = "\r\n";
const char kSystemName[] = "Windows";
// The help file the unknown-option prompt pages.
const char kManualPlace[] = "tallysum.txt beside tallysum.exe";
// Pipes here have no atomic size of their own; a cancelled write is cut at most at this.
const std::size_t kWholeWriteSize = 4096;

Platform& native_platform() {
  static Win32Platform platform;
  return platform;
}
