// Digest input: files and named streams opened for reading.
#include <limits>

#include "platform/win32/system_win32.h"

struct InputFile {
  HANDLE handle = INVALID_HANDLE_VALUE;
  bool stream = false;  // a named stream: its size is not the file's
};

namespace {

constexpr DWORD kLargestRead = 1u << 30;

FILETIME as_filetime(FileTime time) {
  FILETIME out;
  out.dwLowDateTime = static_cast<DWORD>(time & 0xFFFFFFFFu);
  out.dwHighDateTime = static_cast<DWORD>(time >> 32);
  return out;
}

// The stamps are put back through the handle the file is read from, which needs the right to
// write attributes; where that is refused (a read-only share, an access list that grants
// reading alone) the file is still read, and only the putting back fails.
HANDLE open_for_input(const std::wstring& path, DWORD share, InputAccess access) {
  if (access == InputAccess::kReadAndRestoreTimes) {
    HANDLE handle = win32::open_existing(path, GENERIC_READ | FILE_WRITE_ATTRIBUTES, share,
                                         FILE_FLAG_SEQUENTIAL_SCAN);
    if (handle != INVALID_HANDLE_VALUE || GetLastError() != ERROR_ACCESS_DENIED) return handle;
  }
  return win32::open_existing(path, GENERIC_READ, share, FILE_FLAG_SEQUENTIAL_SCAN);
}

InputHandle open_input(const std::wstring& path, DWORD share, InputAccess access,
                       std::string* error) {
  if (path.empty()) {
    if (error != nullptr) *error = win32::error_text(ERROR_INVALID_NAME);
    return nullptr;
  }
  HANDLE handle = open_for_input(path, share, access);
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
                                     InputAccess access, std::string* error) {
  return open_input(win32::entry_path(dir, name), FILE_SHARE_READ, access, error);
}

InputHandle Win32Platform::open_file_shared(const Directory& dir, const std::string& name,
                                            InputAccess access, std::string* error) {
  return open_input(win32::entry_path(dir, name),
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, access, error);
}

InputHandle Win32Platform::open_stream(const Directory& dir, const std::string& carrier,
                                       const std::string& stream, InputAccess access) {
  // "carrier:stream" is the system's own way to name a stream; neither part may hold a
  // colon of its own, so no other file or stream can be reached this way.
  if (!win32::is_plain_name(stream)) return nullptr;
  std::wstring path = win32::entry_path(dir, carrier);
  if (path.empty()) return nullptr;
  path += L':';
  path += win32::to_wide(stream);
  InputHandle input = open_input(path, FILE_SHARE_READ, access, nullptr);
  if (input != nullptr) input->stream = true;
  return input;
}

InputHandle Win32Platform::open_path(const std::string& path, std::string* error) {
  return open_input(win32::system_path(path), FILE_SHARE_READ | FILE_SHARE_WRITE,
                    InputAccess::kRead, error);
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
  if (!win32::facts_by_handle(input->handle, facts)) return false;
  if (!input->stream) return true;
  // The times are the file's; the size is the open stream's own, which for a named stream
  // differs from what the file information reports for the main data.
  LARGE_INTEGER size;
  if (!GetFileSizeEx(input->handle, &size)) return false;
  facts->size = size.QuadPart;
  return true;
}

// A stream's stamps are its file's: set through the stream's handle, they land on the file.
bool Win32Platform::set_input_times(InputHandle input, const DirEntry& found) {
  if (input == nullptr) return false;
  FILETIME creation = as_filetime(found.creation);
  FILETIME access = as_filetime(found.last_access);
  FILETIME write = as_filetime(found.last_write);
  // A stamp of 0 was never known: leave that one as it is rather than set it to 1601.
  return SetFileTime(input->handle, found.creation != 0 ? &creation : nullptr,
                     found.last_access != 0 ? &access : nullptr,
                     found.last_write != 0 ? &write : nullptr) != 0;
}

// Threads read the files: the program still runs on systems without a queue of reads
// completed on their own.
std::unique_ptr<BackgroundReads> Win32Platform::background_reads(int) {
  return nullptr;
}

void Win32Platform::close_input(InputHandle input) {
  if (input == nullptr) return;
  CloseHandle(input->handle);
  delete input;
}
