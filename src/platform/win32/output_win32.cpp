// Output files written in whole pieces. An appending file is opened with the right to append
// only, so the system puts every write at the end of the file as it is at that moment, however
// many runs append to it at once.
#include <algorithm>
#include <limits>

#include "platform/win32/system_win32.h"

struct OutputFileState {
  HANDLE handle = INVALID_HANDLE_VALUE;
  std::wstring path;    // empty for standard output
  bool append = false;  // the handle may only append, so cutting needs a second one
};

namespace {

// Standard output is looked up at each use, as the Linux layer writes to descriptor 1: the
// handle is whatever the process's standard output is now, not what it was at the first write.
// Standard error likewise.
OutputFileState standard_state{INVALID_HANDLE_VALUE, L"", false};
OutputFileState error_state{INVALID_HANDLE_VALUE, L"", false};

HANDLE handle_of(OutputHandle output) {
  if (output == &standard_state) return GetStdHandle(STD_OUTPUT_HANDLE);
  if (output == &error_state) return GetStdHandle(STD_ERROR_HANDLE);
  return output->handle;
}

bool cut_handle(HANDLE handle, std::uint64_t size) {
  LARGE_INTEGER to;
  to.QuadPart = static_cast<LONGLONG>(size);
  return SetFilePointerEx(handle, to, nullptr, FILE_BEGIN) && SetEndOfFile(handle);
}

}  // namespace

namespace win32 {

WriteResult::Status write_status(unsigned long error) {
  switch (error) {
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return WriteResult::kFull;
    case ERROR_BROKEN_PIPE:
    case ERROR_NO_DATA:
      return WriteResult::kBrokenPipe;
    default:
      return WriteResult::kFailed;
  }
}

}  // namespace win32

OutputHandle Win32Platform::open_output(const std::string& path, OutputMode mode,
                                        std::string* error) {
  std::wstring wide = win32::system_path(path);
  if (wide.empty()) {
    if (error != nullptr) *error = win32::error_text(ERROR_INVALID_NAME);
    return nullptr;
  }
  // A device (NUL, CON, a pipe "\\.\pipe\x") has no end to append to, and for a pipe the
  // append right is the right to make a new pipe, not to write to it.
  bool device = wide.compare(0, 4, L"\\\\.\\") == 0;
  bool append = mode == OutputMode::kAppend && !device;
  DWORD access = append ? FILE_APPEND_DATA : GENERIC_WRITE;
  // Other appending runs and readers of the catalogue may share the file.
  DWORD share = append ? FILE_SHARE_READ | FILE_SHARE_WRITE : FILE_SHARE_READ;
  HANDLE handle = CreateFileW(wide.c_str(), access, share, nullptr,
                              mode == OutputMode::kAppend ? OPEN_ALWAYS : CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    if (error != nullptr) *error = win32::error_text(GetLastError());
    return nullptr;
  }
  return new OutputFileState{handle, std::move(wide), append};
}

OutputHandle Win32Platform::standard_output() {
  return &standard_state;
}

OutputHandle Win32Platform::standard_error() {
  return &error_state;
}

// A pipe or a console is written in pieces of at most kWholeWriteSize, each of which may wait
// for its reader and is cancelled when an interrupt's grace has passed (console_win32.cpp).
WriteResult Win32Platform::write_output(OutputHandle output, const char* data, std::size_t count) {
  WriteResult result;
  const HANDLE handle = handle_of(output);
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) {
    result.status = WriteResult::kFailed;
    return result;
  }
  const bool waits = GetFileType(handle) != FILE_TYPE_DISK;
  const std::size_t piece = waits ? std::min(count, kWholeWriteSize) : count;
  DWORD wanted = piece < std::numeric_limits<DWORD>::max() ? static_cast<DWORD>(piece)
                                                           : std::numeric_limits<DWORD>::max();
  DWORD written = 0;
  if (waits) win32::begin_waiting_write();
  const BOOL wrote = WriteFile(handle, data, wanted, &written, nullptr);
  const DWORD error = wrote ? ERROR_SUCCESS : GetLastError();
  if (waits) win32::end_waiting_write();
  if (!wrote && error == ERROR_OPERATION_ABORTED && interrupt_pending()) {
    result.status = WriteResult::kInterrupted;
  } else if (!wrote) {
    result.status = win32::write_status(error);
    result.error = win32::error_text(error);
  } else if (written < count) {
    result.status = WriteResult::kShort;
  }
  result.written = written;
  return result;
}

std::int64_t Win32Platform::output_size(OutputHandle output) {
  LARGE_INTEGER size;
  const HANDLE handle = handle_of(output);
  if (GetFileType(handle) != FILE_TYPE_DISK || !GetFileSizeEx(handle, &size)) {
    return -1;
  }
  return size.QuadPart;
}

bool Win32Platform::cut_output(OutputHandle output, std::uint64_t size) {
  if (size > static_cast<std::uint64_t>(std::numeric_limits<LONGLONG>::max())) return false;
  if (!output->append) return !output->path.empty() && cut_handle(output->handle, size);
  HANDLE handle =
      win32::open_existing(output->path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE);
  if (handle == INVALID_HANDLE_VALUE) return false;
  bool ok = cut_handle(handle, size);
  CloseHandle(handle);
  return ok;
}

bool Win32Platform::close_output(OutputHandle output) {
  if (output == standard_output() || output == standard_error()) return true;
  bool ok = CloseHandle(output->handle) != 0;
  delete output;
  return ok;
}
