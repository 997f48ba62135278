// Times and attribute bits of a path; a stream path answers with its carrier's.
#include <fcntl.h>
#include <sys/stat.h>

#include "platform/posix/posix_platform.h"

namespace {

std::string_view base_name(std::string_view path) {
  while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
  std::size_t slash = path.rfind('/');
  return (slash == std::string_view::npos || path.size() == 1) ? path : path.substr(slash + 1);
}

// A zero time means "leave this stamp as it is".
struct timespec to_timespec(FileTime time) {
  struct timespec stamp {};
  if (time == 0) {
    stamp.tv_nsec = UTIME_OMIT;
    return stamp;
  }
  std::int64_t seconds = 0;
  long nanoseconds = 0;
  posix::from_file_time(time, &seconds, &nanoseconds);
  stamp.tv_sec = static_cast<time_t>(seconds);
  stamp.tv_nsec = nanoseconds;
  return stamp;
}

}  // namespace

bool PosixPlatform::file_times(const std::string& path, FileTime* creation, FileTime* last_access,
                               FileTime* last_write) {
  posix::FileStatus status;
  if (!posix::status_of(posix::times_source(path), &status)) return false;
  if (creation != nullptr) *creation = status.creation;
  if (last_access != nullptr) *last_access = status.last_access;
  if (last_write != nullptr) *last_write = status.last_write;
  return true;
}

// The creation time cannot be set on Linux; leaving it as it is counts as success.
bool PosixPlatform::set_file_times(const std::string& path, FileTime /*creation*/,
                                   FileTime last_access, FileTime last_write) {
  struct timespec times[2] = {to_timespec(last_access), to_timespec(last_write)};
  return utimensat(AT_FDCWD, posix::times_source(path).c_str(), times, 0) == 0;
}

std::uint32_t PosixPlatform::get_attributes(const std::string& path) {
  std::string source = posix::times_source(path);
  posix::FileStatus status;
  if (!posix::status_of(source, &status)) return kInvalidAttributes;
  return posix::attributes_of(status, base_name(source));
}

// Only the read-only bit has a Linux counterpart: the owner's write permission. Touching
// nothing else lets a caller clear the bit and set it again with the mode exactly restored.
bool PosixPlatform::set_attributes(const std::string& path, std::uint32_t attributes) {
  std::string source = posix::times_source(path);
  struct stat info {};
  if (stat(source.c_str(), &info) != 0) return false;
  mode_t mode = info.st_mode & 07777;
  mode_t wanted = (attributes & kAttrReadOnly) != 0 ? (mode & ~S_IWUSR) : (mode | S_IWUSR);
  if (wanted == mode) return true;
  return chmod(source.c_str(), wanted) == 0;
}
