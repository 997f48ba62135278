#include "platform/posix/posix_platform.h"

const char kSeparator = '/';
const bool kNamesIgnoreCase = false;
// '/' begins an absolute path here, so only these begin an option.
const char kOptionPrefixes[] = "-+";
const char kLineEnd[] = "\n";

Platform& native_platform() {
  static PosixPlatform platform;
  return platform;
}
