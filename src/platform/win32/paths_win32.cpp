// Path texts and simple questions about names on disk.
#include "platform/win32/system_win32.h"

namespace {

constexpr std::wstring_view kExtendedPrefix = L"\\\\?\\";
constexpr std::wstring_view kDevicePrefix = L"\\\\.\\";

bool starts_with(std::wstring_view text, std::wstring_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

bool has_drive_root(std::wstring_view path) {
  return path.size() >= 3 && path[1] == L':' && (path[2] == L'\\' || path[2] == L'/') &&
         ((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z'));
}

// The whole text of a call that reports the length it needs when the buffer is too small.
template <typename Call>
std::wstring grown_text(Call call) {
  std::wstring buffer(MAX_PATH, L'\0');
  while (true) {
    DWORD length = call(buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return L"";
    if (length < buffer.size()) {
      buffer.resize(length);
      return buffer;
    }
    buffer.resize(length + 1);
  }
}

std::wstring full_wide_path(const std::wstring& path) {
  if (path.empty()) return L"";
  return grown_text(
      [&](wchar_t* out, DWORD size) { return GetFullPathNameW(path.c_str(), size, out, nullptr); });
}

}  // namespace

namespace win32 {

std::wstring extended_path(const std::wstring& full) {
  if (starts_with(full, kExtendedPrefix) || starts_with(full, kDevicePrefix)) return full;
  if (starts_with(full, L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);
  if (has_drive_root(full)) return std::wstring(kExtendedPrefix) + full;
  return full;
}

std::wstring system_path(const std::string& path) {
  // The system would read the text only up to a NUL: a different path from the one asked for.
  if (path.find('\0') != std::string::npos) return L"";
  return extended_path(full_wide_path(to_wide(path)));
}

bool is_plain_name(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
  for (char c : name) {
    // Control characters are no part of a Windows name; a NUL would end the text early and
    // name another file.
    if (static_cast<unsigned char>(c) < 0x20) return false;
  }
  return name.find_first_of("\\/:*?\"<>|") == std::string_view::npos;
}

std::wstring entry_path(const Directory& dir, const std::string& name) {
  std::wstring base = dir.handle != nullptr ? dir.handle->long_path : system_path(dir.path);
  if (base.empty()) return L"";
  if (base.back() != L'\\') base.push_back(L'\\');
  if (name.empty()) {
    // A root keeps its separator: "C:" alone would name the drive's current directory.
    bool root = base.size() >= 2 && base[base.size() - 2] == L':';
    if (!root) base.pop_back();
    return base;
  }
  if (!is_plain_name(name)) return L"";
  return base + to_wide(name);
}

int volume_kind_of(std::wstring_view file_system, unsigned long flags) {
  if (file_system == L"NTFS" || (flags & FILE_NAMED_STREAMS) != 0) return 2;
  if (file_system == L"FAT" || file_system == L"FAT12" || file_system == L"FAT16" ||
      file_system == L"FAT32") {
    return 4;
  }
  return 1;
}

std::wstring volume_root(const std::string& path) {
  std::wstring full = full_wide_path(to_wide(path));
  if (full.empty()) return L"";
  std::wstring root(full.size() + 1, L'\0');
  if (!GetVolumePathNameW(full.c_str(), root.data(), static_cast<DWORD>(root.size()))) {
    return L"";
  }
  root.resize(wcslen(root.c_str()));
  return root;
}

}  // namespace win32

bool Win32Platform::full_path(const std::string& path, std::string* out) {
  std::wstring full = full_wide_path(win32::to_wide(path));
  if (full.empty()) return false;
  *out = win32::to_utf8(full);
  return true;
}

std::string Win32Platform::current_directory() {
  return win32::to_utf8(
      grown_text([](wchar_t* out, DWORD size) { return GetCurrentDirectoryW(size, out); }));
}

bool Win32Platform::change_directory(const std::string& path) {
  return SetCurrentDirectoryW(win32::to_wide(path).c_str()) != 0;
}

std::string Win32Platform::module_path() {
  // GetModuleFileNameW cuts the name to the buffer and says so only through the length.
  std::wstring buffer(MAX_PATH, L'\0');
  while (true) {
    DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return "";
    if (length < buffer.size()) return win32::to_utf8(std::wstring_view(buffer.data(), length));
    buffer.resize(buffer.size() * 2);
  }
}

bool Win32Platform::is_directory(const std::string& path) {
  std::wstring wide = win32::system_path(path);
  DWORD attributes = wide.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(wide.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool Win32Platform::path_facts(const std::string& path, DirEntry* facts) {
  std::wstring wide = win32::system_path(path);
  if (wide.empty()) return false;
  HANDLE handle = win32::open_existing(wide, FILE_READ_ATTRIBUTES,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
  if (handle == INVALID_HANDLE_VALUE) return false;
  // A device (NUL, CON, a pipe) opens like a file but is none.
  bool ok = GetFileType(handle) == FILE_TYPE_DISK && win32::facts_by_handle(handle, facts);
  CloseHandle(handle);
  if (!ok) return false;
  std::size_t cut = wide.find_last_of(L'\\');
  std::wstring name = cut == std::wstring::npos ? wide : wide.substr(cut + 1);
  facts->name = win32::to_utf8(name);
  facts->short_name.clear();
  WIN32_FIND_DATAW found;
  HANDLE search = name.empty() ? INVALID_HANDLE_VALUE
                               : FindFirstFileExW(wide.c_str(), FindExInfoStandard, &found,
                                                  FindExSearchNameMatch, nullptr, 0);
  if (search != INVALID_HANDLE_VALUE) {
    facts->name = win32::to_utf8(found.cFileName);
    facts->short_name = win32::to_utf8(found.cAlternateFileName);
    FindClose(search);
  }
  return true;
}

std::string Win32Platform::find_name_ignoring_case(const std::string& directory,
                                                   const std::string& name) {
  // The system compares names without case already; a plain name is no pattern.
  std::wstring path = win32::entry_path(Directory{directory, nullptr}, name);
  if (path.empty()) return "";
  WIN32_FIND_DATAW found;
  HANDLE search =
      FindFirstFileExW(path.c_str(), FindExInfoStandard, &found, FindExSearchNameMatch, nullptr, 0);
  if (search == INVALID_HANDLE_VALUE) return "";
  FindClose(search);
  return win32::to_utf8(found.cFileName);
}

int Win32Platform::volume_kind(const std::string& path) {
  std::wstring root = win32::volume_root(path);
  if (root.empty()) return 1;
  wchar_t file_system[MAX_PATH + 1] = {};
  DWORD flags = 0;
  if (!GetVolumeInformationW(root.c_str(), nullptr, 0, nullptr, nullptr, &flags, file_system,
                             MAX_PATH + 1)) {
    return 1;
  }
  return win32::volume_kind_of(file_system, flags);
}
