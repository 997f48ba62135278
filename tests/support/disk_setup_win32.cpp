#include <windows.h>

#include "platform/win32/system_win32.h"
#include "support/disk_setup.h"

namespace {

// The extended form, which the system takes past its usual path limit.
std::wstring extended(const std::string& path) {
  return L"\\\\?\\" + win32::to_wide(path);
}

}  // namespace

const std::size_t kSystemPathLimit = MAX_PATH;

bool make_fifo(const std::string&) {
  return false;
}

bool mount_read_only(const std::string&, const std::string&, std::string* why) {
  *why = "the system has no bind mounts";
  return false;
}

void unmount(const std::string&) {}

bool make_deep_tree(const std::string& root, const std::string& level, int depth,
                    const std::string& leaf) {
  std::wstring path = extended(root);
  for (int i = 0; i < depth; ++i) {
    path += L"\\" + win32::to_wide(level);
    if (!CreateDirectoryW(path.c_str(), nullptr)) return false;
  }
  path += L"\\" + win32::to_wide(leaf);
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  bool ok = WriteFile(file, "x", 1, &written, nullptr) && written == 1;
  CloseHandle(file);
  return ok;
}

void remove_deep_tree(const std::string& root, const std::string& level, int depth,
                      const std::string& leaf) {
  std::wstring path = extended(root);
  for (int i = 0; i < depth; ++i) path += L"\\" + win32::to_wide(level);
  DeleteFileW((path + L"\\" + win32::to_wide(leaf)).c_str());
  for (int i = 0; i < depth; ++i) {
    RemoveDirectoryW(path.c_str());
    path.resize(path.rfind(L'\\'));
  }
}
