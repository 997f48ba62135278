// Free space and kind of the drive that holds a path, and files cut back to a size.
#include "platform/win32/system_win32.h"

bool Win32Platform::disk_free_bytes(const std::string& path, std::uint64_t* free_bytes) {
  std::wstring root = win32::volume_root(path);
  ULARGE_INTEGER available;
  ULARGE_INTEGER total;
  ULARGE_INTEGER total_free;
  if (root.empty() || !GetDiskFreeSpaceExW(root.c_str(), &available, &total, &total_free)) {
    return false;
  }
  // What this user may still write, quotas counted, not what the disk has free for anyone.
  *free_bytes = available.QuadPart;
  return true;
}

bool Win32Platform::is_removable_drive(const std::string& path) {
  std::wstring root = win32::volume_root(path);
  return !root.empty() && GetDriveTypeW(root.c_str()) == DRIVE_REMOVABLE;
}

bool Win32Platform::truncate_file(const std::string& path, std::uint64_t size) {
  std::wstring wide = win32::system_path(path);
  if (wide.empty() || size > static_cast<std::uint64_t>(INT64_MAX)) return false;
  HANDLE handle = win32::open_existing(wide, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE);
  if (handle == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER to;
  to.QuadPart = static_cast<LONGLONG>(size);
  bool ok = SetFilePointerEx(handle, to, nullptr, FILE_BEGIN) && SetEndOfFile(handle);
  return CloseHandle(handle) && ok;
}

// The program names every file through the wide calls, which these switches do not touch;
// they stay real so that the narrow calls of the C run-time agree with what the program set.
void Win32Platform::set_file_apis_ansi() {
  SetFileApisToANSI();
}
void Win32Platform::set_file_apis_oem() {
  SetFileApisToOEM();
}
bool Win32Platform::file_apis_are_ansi() {
  return AreFileApisANSI() != 0;
}
