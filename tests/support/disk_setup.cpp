#include "support/disk_setup.h"

#include "platform/platform.h"

bool set_file_stamps(const std::string& path, std::int64_t access, std::int64_t write) {
  const std::size_t cut = path.rfind(kSeparator) + 1;
  auto ticks = [](std::int64_t seconds) {
    return (static_cast<FileTime>(seconds) + kEpochDifferenceSeconds) * kFileTimeTicksPerSecond;
  };
  DirEntry stamps;
  stamps.last_access = ticks(access);
  stamps.last_write = ticks(write);
  return native_platform().set_file_times(Directory{path.substr(0, cut), nullptr}, path.substr(cut),
                                          stamps);
}
