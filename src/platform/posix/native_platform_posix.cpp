#include <climits>

#include "platform/posix/posix_platform.h"

const char kSeparator = '/';
const bool kNamesIgnoreCase = false;
// '/' begins an absolute path here, so only these begin an option.
const char kOptionPrefixes[] = "-+";
const char kLineEnd[] = "\n";
const char kSystemName[] = "Linux";
// Installed with the program, and beside it in the build directory.
const char kManualPlace[] = "man tallysum, or tallysum.1 beside the program";
const std::size_t kWholeWriteSize = PIPE_BUF;

// Never destroyed: a digest worker may still be reading through it while the process ends.
Platform& native_platform() {
  static PosixPlatform* platform = new PosixPlatform;
  return *platform;
}
