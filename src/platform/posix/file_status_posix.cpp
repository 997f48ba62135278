// Status queries and their translation into the program's attributes and file times.
#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>

#include "platform/posix/posix_platform.h"

namespace {

constexpr std::int64_t kNanosecondsPerTick = 100;

posix::FileKind kind_of(unsigned mode) {
  if (S_ISREG(mode)) return posix::FileKind::kRegular;
  if (S_ISDIR(mode)) return posix::FileKind::kDirectory;
  if (S_ISLNK(mode)) return posix::FileKind::kLink;
  return posix::FileKind::kOther;
}

FileTime from_statx(const struct statx_timestamp& stamp) {
  return posix::to_file_time(stamp.tv_sec, stamp.tv_nsec);
}

}  // namespace

namespace posix {

FileTime to_file_time(std::int64_t seconds, std::uint32_t nanoseconds) {
  constexpr auto kOffset = static_cast<std::int64_t>(kEpochDifferenceSeconds);
  constexpr auto kTicks = static_cast<std::int64_t>(kFileTimeTicksPerSecond);
  if (seconds < -kOffset) return 0;
  // Beyond what 64 bits of ticks can hold: the latest representable instant.
  if (seconds > INT64_MAX / kTicks - kOffset) return UINT64_MAX;
  return static_cast<FileTime>((seconds + kOffset) * kTicks +
                               static_cast<std::int64_t>(nanoseconds) / kNanosecondsPerTick);
}

void from_file_time(FileTime time, std::int64_t* seconds, long* nanoseconds) {
  *seconds = static_cast<std::int64_t>(time / kFileTimeTicksPerSecond) -
             static_cast<std::int64_t>(kEpochDifferenceSeconds);
  *nanoseconds = static_cast<long>(time % kFileTimeTicksPerSecond) * kNanosecondsPerTick;
}

bool status_at(int dir_fd, const char* name, bool follow, FileStatus* status) {
  struct statx info {};
  int flags = AT_STATX_SYNC_AS_STAT | (follow ? 0 : AT_SYMLINK_NOFOLLOW);
  unsigned mask = STATX_TYPE | STATX_MODE | STATX_SIZE | STATX_ATIME | STATX_MTIME | STATX_BTIME;
  if (statx(dir_fd, name, flags, mask, &info) != 0) return false;
  status->kind = kind_of(info.stx_mode);
  status->owner_writable = (info.stx_mode & S_IWUSR) != 0;
  status->size = static_cast<std::int64_t>(info.stx_size);
  status->creation = (info.stx_mask & STATX_BTIME) != 0 ? from_statx(info.stx_btime) : 0;
  status->last_access = from_statx(info.stx_atime);
  status->last_write = from_statx(info.stx_mtime);
  return true;
}

bool status_of(const std::string& path, FileStatus* status) {
  if (path.empty()) return false;
  return status_at(AT_FDCWD, path.c_str(), true, status);
}

std::uint32_t attributes_of(const FileStatus& status, std::string_view name) {
  std::uint32_t attributes = 0;
  if (status.kind == FileKind::kDirectory) attributes |= kAttrDirectory;
  if (!status.owner_writable) attributes |= kAttrReadOnly;
  if (!name.empty() && name[0] == '.' && name != "." && name != "..") attributes |= kAttrHidden;
  return attributes != 0 ? attributes : kAttrNormal;
}

}  // namespace posix
