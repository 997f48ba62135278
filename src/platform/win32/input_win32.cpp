// Digest input: files and named streams opened for reading.
#include <limits>

#include "platform/win32/system_win32.h"

struct InputFile {
  HANDLE handle = INVALID_HANDLE_VALUE;
};

namespace {

constexpr DWORD kLargestRead = 1u << 30;

InputHandle open_input(const std::wstring& path, DWORD share, std::string* error) {
  if (path.empty()) {
    if (error != nullptr) *error = win32::error_text(ERROR_INVALID_NAME);
    return nullptr;
  }
  HANDLE handle = win32::open_existing(path, GENERIC_READ, share, FILE_FLAG_SEQUENTIAL_SCAN);
  if (handle == INVALID_HANDLE_VALUE) {
    if (error != nullptr) *error = win32::error_text(GetLastError());
    return nullptr;
  }
  // The backup flag lets a directory open too; a directory (or a device) is no digest input.
  BY_HANDLE_FILE_INFORMATION info;
  bool directory = GetFileInformationByHandle(handle, &info) &&
                   (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  if (directory || GetFileType(handle) != FILE_TYPE_DISK) {
    CloseHandle(handle);
    if (error != nullptr)
      *error = win32::error_text(directory ? ERROR_ACCESS_DENIED : ERROR_BAD_FILE_TYPE);
    return nullptr;
  }
  return new InputFile{handle};
}

}  // namespace

InputHandle Win32Platform::open_file(const Directory& dir, const std::string& name,
                                     std::string* error) {
  return open_input(win32::entry_path(dir, name), FILE_SHARE_READ, error);
}

InputHandle Win32Platform::open_file_shared(const Directory& dir, const std::string& name,
                                            std::string* error) {
  return open_input(win32::entry_path(dir, name),
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, error);
}

InputHandle Win32Platform::open_stream(const Directory& dir, const std::string& carrier,
                                       const std::string& stream) {
  // "carrier:stream" is the system's own way to name a stream; neither part may hold a
  // colon of its own, so no other file or stream can be reached this way.
  if (!win32::is_plain_name(stream)) return nullptr;
  std::wstring path = win32::entry_path(dir, carrier);
  if (path.empty()) return nullptr;
  path += L':';
  path += win32::to_wide(stream);
  return open_input(path, FILE_SHARE_READ, nullptr);
}

InputHandle Win32Platform::open_path(const std::string& path, std::string* error) {
  return open_input(win32::system_path(path), FILE_SHARE_READ | FILE_SHARE_WRITE, error);
}

long long Win32Platform::read_input(InputHandle input, void* buffer, std::size_t count) {
  DWORD wanted = count < kLargestRead ? static_cast<DWORD>(count) : kLargestRead;
  DWORD got = 0;
  if (!ReadFile(input->handle, buffer, wanted, &got, nullptr)) return -1;
  return got;
}

bool Win32Platform::seek_input(InputHandle input, std::uint64_t offset) {
  if (offset > static_cast<std::uint64_t>(std::numeric_limits<LONGLONG>::max())) return false;
  LARGE_INTEGER to;
  to.QuadPart = static_cast<LONGLONG>(offset);
  return SetFilePointerEx(input->handle, to, nullptr, FILE_BEGIN) != 0;
}

bool Win32Platform::input_facts(InputHandle input, DirEntry* facts) {
  // The times are the file's; the size is the open stream's own, which for a named stream
  // differs from what the file information reports for the main data.
  LARGE_INTEGER size;
  if (!win32::facts_by_handle(input->handle, facts) || !GetFileSizeEx(input->handle, &size)) {
    return false;
  }
  facts->size = size.QuadPart;
  return true;
}

void Win32Platform::close_input(InputHandle input) {
  if (input == nullptr) return;
  CloseHandle(input->handle);
  delete input;
}
