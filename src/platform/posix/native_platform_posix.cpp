#include "platform/posix/posix_platform.h"

const char kSeparator = '/';

Platform& native_platform() {
  static PosixPlatform platform;
  return platform;
}
