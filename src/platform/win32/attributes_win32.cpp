// Attribute bits of an entry.
#include "platform/win32/system_win32.h"

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
