#include "platform/platform.h"

#if defined(__x86_64__) || defined(_M_X64)
const char kProcessorName[] = "x86_64";
#elif defined(__i386__) || defined(_M_IX86)
const char kProcessorName[] = "i686";
#elif defined(__aarch64__) || defined(_M_ARM64)
const char kProcessorName[] = "aarch64";
#else
const char kProcessorName[] = "an unnamed processor";
#endif

namespace {
// Read by every worker at every call: on a cache line of its own, so that the main thread's
// writes to its neighbours do not take it from them.
alignas(64) Platform* installed = nullptr;
}  // namespace

Platform& os() {
  return installed != nullptr ? *installed : native_platform();
}

void set_platform(Platform* platform) {
  installed = platform;
}
