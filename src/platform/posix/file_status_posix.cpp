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

FileTime from_statx(const struct statx_timestamp& stamp, std::uint8_t* below_tick) {
  return posix::to_file_time(stamp.tv_sec, stamp.tv_nsec, below_tick);
}

}  // namespace

namespace posix {

FileTime to_file_time(std::int64_t seconds, std::uint32_t nanoseconds, std::uint8_t* below_tick) {
  constexpr auto kOffset = static_cast<std::int64_t>(kEpochDifferenceSeconds);
  constexpr auto kTicks = static_cast<std::int64_t>(kFileTimeTicksPerSecond);
  if (below_tick != nullptr) *below_tick = 0;
  if (seconds < -kOffset) return 0;
  // Beyond what 64 bits of ticks can hold: the latest representable instant.
  if (seconds > INT64_MAX / kTicks - kOffset) return UINT64_MAX;
  if (below_tick != nullptr) *below_tick = static_cast<std::uint8_t>(nanoseconds % 100);
  return static_cast<FileTime>((seconds + kOffset) * kTicks +
                               static_cast<std::int64_t>(nanoseconds) / kNanosecondsPerTick);
}

void from_file_time(FileTime time, std::uint8_t below_tick, std::int64_t* seconds,
                    long* nanoseconds) {
  *seconds = static_cast<std::int64_t>(time / kFileTimeTicksPerSecond) -
             static_cast<std::int64_t>(kEpochDifferenceSeconds);
  // A value above 99 cannot come from a listing; it must not carry into the next unit.
  long extra = below_tick < kNanosecondsPerTick ? below_tick : 0;
  *nanoseconds = static_cast<long>(time % kFileTimeTicksPerSecond) * kNanosecondsPerTick + extra;
}

bool status_at(int dir_fd, const char* name, bool follow, FileStatus* status) {
  struct statx info {};
  int flags = AT_STATX_SYNC_AS_STAT | (follow ? 0 : AT_SYMLINK_NOFOLLOW) |
              (*name == '\0' ? AT_EMPTY_PATH : 0);
  unsigned mask = STATX_TYPE | STATX_MODE | STATX_SIZE | STATX_ATIME | STATX_MTIME | STATX_BTIME;
  if (statx(dir_fd, name, flags, mask, &info) != 0) return false;
  status->kind = kind_of(info.stx_mode);
  status->owner_writable = (info.stx_mode & S_IWUSR) != 0;
  status->size = static_cast<std::int64_t>(info.stx_size);
  status->creation = 0;
  status->creation_ns = 0;
  if ((info.stx_mask & STATX_BTIME) != 0) {
    status->creation = from_statx(info.stx_btime, &status->creation_ns);
  }
  status->last_access = from_statx(info.stx_atime, &status->last_access_ns);
  status->last_write = from_statx(info.stx_mtime, &status->last_write_ns);
  return true;
}

std::uint32_t attributes_of(const FileStatus& status, std::string_view name) {
  std::uint32_t attributes = 0;
  if (status.kind == FileKind::kDirectory) attributes |= kAttrDirectory;
  if (!status.owner_writable) attributes |= kAttrReadOnly;
  if (!name.empty() && name[0] == '.' && name != "." && name != "..") attributes |= kAttrHidden;
  return attributes != 0 ? attributes : kAttrNormal;
}

DirEntry entry_of(const FileStatus& status, const std::string& name) {
  DirEntry entry;
  entry.attributes = attributes_of(status, name);
  entry.creation = status.creation;
  entry.last_access = status.last_access;
  entry.last_write = status.last_write;
  entry.creation_ns = status.creation_ns;
  entry.last_access_ns = status.last_access_ns;
  entry.last_write_ns = status.last_write_ns;
  entry.size = status.kind == FileKind::kDirectory ? 0 : status.size;
  entry.name = name;
  return entry;
}

std::string_view base_name(std::string_view path) {
  while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
  std::size_t slash = path.rfind('/');
  return (slash == std::string_view::npos || path.size() == 1) ? path : path.substr(slash + 1);
}

std::string joined_path(const Directory& dir, const std::string& name) {
  if (dir.path.empty()) return name.empty() ? std::string(".") : name;
  if (name.empty() || dir.path.back() == '/') return dir.path + name;
  return dir.path + "/" + name;
}

EntryRef entry_ref(const Directory& dir, const std::string& name) {
  if (dir.handle != nullptr) return EntryRef{dir.handle->fd, name};
  return EntryRef{AT_FDCWD, joined_path(dir, name)};
}

}  // namespace posix
