#include "platform/win32/win32_platform.h"

const char kSeparator = '\\';
const bool kNamesIgnoreCase = true;
const char kOptionPrefixes[] = "-+/";
const char kLineEnd[] = "\r\n";

Platform& native_platform() {
  static Win32Platform platform;
  return platform;
}
