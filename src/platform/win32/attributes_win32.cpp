// File times and attribute bits written back.
#include "platform/win32/system_win32.h"

namespace {

FILETIME as_filetime(FileTime time) {
  FILETIME out;
  out.dwLowDateTime = static_cast<DWORD>(time & 0xFFFFFFFFu);
  out.dwHighDateTime = static_cast<DWORD>(time >> 32);
  return out;
}

}  // namespace

bool Win32Platform::set_file_times(const Directory& dir, const std::string& name,
                                   const DirEntry& found) {
  std::wstring path = win32::entry_path(dir, name);
  if (path.empty()) return false;
  HANDLE handle = win32::open_existing(path, FILE_WRITE_ATTRIBUTES,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
  if (handle == INVALID_HANDLE_VALUE) return false;
  FILETIME creation = as_filetime(found.creation);
  FILETIME access = as_filetime(found.last_access);
  FILETIME write = as_filetime(found.last_write);
  // A stamp of 0 was never known: leave that one as it is rather than set it to 1601.
  BOOL ok = SetFileTime(handle, found.creation != 0 ? &creation : nullptr,
                        found.last_access != 0 ? &access : nullptr,
                        found.last_write != 0 ? &write : nullptr);
  CloseHandle(handle);
  return ok != 0;
}

std::uint32_t Win32Platform::get_attributes(const Directory& dir, const std::string& name) {
  std::wstring path = win32::entry_path(dir, name);
  if (path.empty()) return kInvalidAttributes;
  DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes == INVALID_FILE_ATTRIBUTES ? kInvalidAttributes : attributes;
}

bool Win32Platform::set_attributes(const Directory& dir, const std::string& name,
                                   std::uint32_t attributes) {
  std::wstring path = win32::entry_path(dir, name);
  return !path.empty() && SetFileAttributesW(path.c_str(), attributes) != 0;
}
