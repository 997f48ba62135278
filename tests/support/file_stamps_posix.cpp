#include <fcntl.h>
#include <sys/stat.h>

#include "support/file_stamps.h"

const bool kStampsKeepSubTicks = true;

bool set_stamps(const std::string& path, DiskStamp access, DiskStamp write) {
  const timespec times[2] = {{access.seconds, access.nanoseconds},
                             {write.seconds, write.nanoseconds}};
  return utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
}

bool read_change_stamp(const std::string& path, DiskStamp* change) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) return false;
  *change = DiskStamp{info.st_ctim.tv_sec, info.st_ctim.tv_nsec};
  return true;
}

bool read_stamps(const std::string& path, DiskStamp* access, DiskStamp* write) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) return false;
  *access = DiskStamp{info.st_atim.tv_sec, info.st_atim.tv_nsec};
  *write = DiskStamp{info.st_mtim.tv_sec, info.st_mtim.tv_nsec};
  return true;
}

bool opening_keeps_access_time() {
  return true;
}
