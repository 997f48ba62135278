// The help file: a text file beside the program, paged on the console by the system's own
// pager, which shares the console and is waited for.
#include "platform/win32/system_win32.h"

namespace {

bool is_console(DWORD which) {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(which), &mode) != 0;
}

std::wstring pager_path() {
  wchar_t system[MAX_PATH + 1] = {};
  UINT length = GetSystemDirectoryW(system, MAX_PATH + 1);
  if (length == 0 || length > MAX_PATH) return L"";
  return std::wstring(system, length) + L"\\more.com";
}

}  // namespace

namespace win32 {

std::string help_file_name(const std::string& program_path) {
  std::size_t cut = program_path.find_last_of("\\/:");
  std::size_t start = cut == std::string::npos ? 0 : cut + 1;
  std::size_t dot = program_path.find('.', start);
  std::size_t end = dot == std::string::npos ? program_path.size() : dot;
  if (end == start) return "";
  return program_path.substr(0, end) + ".txt";
}

}  // namespace win32

std::string Win32Platform::find_help_file(const std::string& program_path) {
  // A help file is only worth finding when someone can page it on the console.
  if (!is_console(STD_INPUT_HANDLE) || !is_console(STD_OUTPUT_HANDLE)) return "";
  std::string name = win32::help_file_name(program_path);
  if (name.empty()) return "";
  std::wstring path = win32::system_path(name);
  DWORD attributes = path.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return "";
  }
  return name;
}

bool Win32Platform::show_help_file(const std::string& help_path) {
  std::wstring pager = pager_path();
  if (pager.empty()) return false;
  // The pager reads the file as its standard input, so no quoting of the name can go wrong.
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE file = CreateFileW(win32::system_path(help_path).c_str(), GENERIC_READ, FILE_SHARE_READ,
                            &inherit, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = file;
  startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION process{};
  std::wstring command = L"\"" + pager + L"\"";
  BOOL started = CreateProcessW(pager.c_str(), command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                nullptr, &startup, &process);
  CloseHandle(file);
  if (!started) return false;
  WaitForSingleObject(process.hProcess, INFINITE);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return true;
}
