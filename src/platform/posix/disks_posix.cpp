// Free space, removable media and file length.
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <fstream>

#include "platform/posix/posix_platform.h"

namespace {

// The directory part of a path, for a file that does not exist yet.
std::string parent_of(const std::string& path) {
  std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

bool flag_file_says_one(const std::string& path) {
  std::ifstream in(path);
  char flag = 0;
  return (in >> flag) && flag == '1';
}

}  // namespace

namespace posix {

bool device_is_removable(const std::string& sysfs_root, unsigned major, unsigned minor) {
  std::string device =
      sysfs_root + "/dev/block/" + std::to_string(major) + ":" + std::to_string(minor);
  std::ifstream own(device + "/removable");
  if (own.is_open()) return flag_file_says_one(device + "/removable");
  // A partition has no flag of its own; its disk is the directory above it.
  return flag_file_says_one(device + "/../removable");
}

}  // namespace posix

bool PosixPlatform::disk_free_bytes(const std::string& path, std::uint64_t* free_bytes) {
  struct statvfs info {};
  if (statvfs(path.c_str(), &info) != 0 && statvfs(parent_of(path).c_str(), &info) != 0) {
    return false;
  }
  // The blocks kept back for the superuser are no room for this run's records.
  *free_bytes = static_cast<std::uint64_t>(info.f_bavail) * info.f_frsize;
  return true;
}

bool PosixPlatform::is_removable_drive(const std::string& path) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0 && stat(parent_of(path).c_str(), &info) != 0) return false;
  // File systems without a block device (tmpfs, proc, network) report major 0.
  if (major(info.st_dev) == 0) return false;
  return posix::device_is_removable("/sys", major(info.st_dev), minor(info.st_dev));
}

bool PosixPlatform::truncate_file(const std::string& path, std::uint64_t size) {
  if (size > static_cast<std::uint64_t>(INT64_MAX)) return false;
  return truncate(path.c_str(), static_cast<off_t>(size)) == 0;
}
