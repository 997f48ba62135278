#include <climits>

#include "platform/posix/posix_platform.h"

const char kSeparator = '/';
const bool kNamesIgnoreCase = false;
// '/' begins an absolute path here, so only these begin an option.
const char kOptionPrefixes[] = "-+";
const char kLineEnd[] = "\n";
const std::size_t kWholeWriteSize = PIPE_BUF;

// Never destroyed: a digest worker may still be reading through it while the process ends.
Platform& native_platform() {
  static PosixPlatform* platform = new PosixPlatform;
  return *platform;
}
