#include "platform/platform.h"

namespace {
Platform* installed = nullptr;
}

Platform& os() {
  return installed != nullptr ? *installed : native_platform();
}

void set_platform(Platform* platform) {
  installed = platform;
}
