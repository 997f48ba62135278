#include <windows.h>

#include "platform/platform.h"
#include "platform/win32/win32_platform.h"
#include "support/file_stamps.h"
#include "temp_tree.h"

const bool kStampsKeepSubTicks = false;

namespace {

FILETIME file_time_of(DiskStamp stamp) {
  const std::uint64_t ticks =
      (static_cast<std::uint64_t>(stamp.seconds) + kEpochDifferenceSeconds) *
          kFileTimeTicksPerSecond +
      static_cast<std::uint64_t>(stamp.nanoseconds) / 100;
  return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

DiskStamp stamp_of(const FILETIME& time) {
  const std::uint64_t ticks =
      (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
  return DiskStamp{static_cast<std::int64_t>(ticks / kFileTimeTicksPerSecond) -
                       static_cast<std::int64_t>(kEpochDifferenceSeconds),
                   static_cast<long>(ticks % kFileTimeTicksPerSecond) * 100};
}

HANDLE open_for(const std::string& path, DWORD access) {
  return CreateFileW(win32::to_wide(path).c_str(), access,
                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                     FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

}  // namespace

bool set_stamps(const std::string& path, DiskStamp access, DiskStamp write) {
  HANDLE file = open_for(path, FILE_WRITE_ATTRIBUTES);
  if (file == INVALID_HANDLE_VALUE) return false;
  const FILETIME accessed = file_time_of(access);
  const FILETIME written = file_time_of(write);
  const bool set = SetFileTime(file, nullptr, &accessed, &written) != 0;
  CloseHandle(file);
  return set;
}

bool read_stamps(const std::string& path, DiskStamp* access, DiskStamp* write) {
  HANDLE file = open_for(path, FILE_READ_ATTRIBUTES);
  if (file == INVALID_HANDLE_VALUE) return false;
  FILETIME accessed{};
  FILETIME written{};
  const bool read = GetFileTime(file, nullptr, &accessed, &written) != 0;
  CloseHandle(file);
  if (read) *access = stamp_of(accessed), *write = stamp_of(written);
  return read;
}

bool read_change_stamp(const std::string& path, DiskStamp* change) {
  HANDLE file = open_for(path, FILE_READ_ATTRIBUTES);
  if (file == INVALID_HANDLE_VALUE) return false;
  FILE_BASIC_INFO info{};
  const bool read = GetFileInformationByHandleEx(file, FileBasicInfo, &info, sizeof info) != 0;
  CloseHandle(file);
  if (!read) return false;
  const auto ticks = static_cast<std::uint64_t>(info.ChangeTime.QuadPart);
  *change = stamp_of(FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)});
  return true;
}

bool opening_keeps_access_time() {
  return !running_under_wine();
}
