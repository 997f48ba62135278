#include "platform/posix/posix_platform.h"

const char kSeparator = '/';
const bool kNamesIgnoreCase = false;

Platform& native_platform() {
  static PosixPlatform platform;
  return platform;
}
