// Named streams of files and directories, listed by the system's stream enumeration. It needs
// no backup context and no privileges, and a volume without streams answers with an empty
// list instead of an error.
#include <string_view>

#include "platform/win32/system_win32.h"

namespace {

constexpr std::wstring_view kDataSuffix = L":$DATA";

bool enable_privilege(HANDLE token, const wchar_t* name) {
  TOKEN_PRIVILEGES privileges;
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  if (!LookupPrivilegeValueW(nullptr, name, &privileges.Privileges[0].Luid)) return false;
  // An account without the privilege still lists what it may read: not a failure.
  AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
  return true;
}

}  // namespace

bool Win32Platform::list_streams(const Directory& dir, const std::string& name,
                                 std::vector<StreamEntry>* streams) {
  streams->clear();
  std::wstring path = win32::entry_path(dir, name);
  if (path.empty() || GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) return false;
  WIN32_FIND_STREAM_DATA found;
  HANDLE search = FindFirstStreamW(path.c_str(), FindStreamInfoStandard, &found, 0);
  if (search == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_HANDLE_EOF;
  do {
    std::wstring_view stream = found.cStreamName;
    bool data = stream.size() > kDataSuffix.size() &&
                stream.substr(stream.size() - kDataSuffix.size()) == kDataSuffix;
    // "::$DATA" is the file's main data, not a named stream.
    if (!data || stream.size() == kDataSuffix.size() + 1) continue;
    StreamEntry entry;
    entry.type = BACKUP_ALTERNATE_DATA;
    entry.size = found.StreamSize.QuadPart;
    entry.name = win32::to_utf8(stream);
    streams->push_back(std::move(entry));
  } while (FindNextStreamW(search, &found));
  DWORD last = GetLastError();
  FindClose(search);
  return last == ERROR_HANDLE_EOF;
}

bool Win32Platform::enable_stream_privileges() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) {
    return false;
  }
  bool ok = enable_privilege(token, L"SeBackupPrivilege") &&
            enable_privilege(token, L"SeRestorePrivilege");
  CloseHandle(token);
  return ok;
}
