// The accounting log's exclusive lock. It covers one byte far beyond any data the log will
// hold: a lock on the data itself would refuse this process's own second handle, through which
// the log is read and written while the lock is held. The lock ends with the handle, so with
// the process however it ends.
#include "platform/win32/system_win32.h"

namespace {

constexpr DWORD kLockOffsetLow = 0xFFFFFFFEu;
constexpr DWORD kLockOffsetHigh = 0x7FFFFFFFu;

OVERLAPPED lock_place() {
  OVERLAPPED place{};
  place.Offset = kLockOffsetLow;
  place.OffsetHigh = kLockOffsetHigh;
  return place;
}

bool fail(std::string* error, DWORD code) {
  if (error != nullptr) *error = win32::error_text(code);
  return false;
}

}  // namespace

bool Win32Platform::acquire_log_lock(const std::string& path, std::string* error) {
  std::wstring wide = win32::system_path(path);
  if (wide.empty()) return fail(error, ERROR_INVALID_NAME);
  // A second lock on the same file from this process would conflict with the first.
  if (log_lock_ != nullptr && wide == log_lock_path_) return true;
  HANDLE handle =
      CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return fail(error, GetLastError());
  // A pipe would carry the entries away; a device such as NUL discards them by choice.
  if (GetFileType(handle) == FILE_TYPE_PIPE) {
    CloseHandle(handle);
    return fail(error, ERROR_BAD_FILE_TYPE);
  }
  OVERLAPPED place = lock_place();
  if (!LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &place)) {
    const DWORD lock_error = GetLastError();
    CloseHandle(handle);
    return fail(error, lock_error);
  }
  release_log_lock();
  log_lock_ = handle;
  log_lock_path_ = std::move(wide);
  return true;
}

void Win32Platform::release_log_lock() {
  if (log_lock_ == nullptr) return;
  OVERLAPPED place = lock_place();
  UnlockFileEx(log_lock_, 0, 1, 0, &place);
  CloseHandle(log_lock_);
  log_lock_ = nullptr;
  log_lock_path_.clear();
}
