// The command line and the standard handles at start-up.
// The command-line splitter's header needs the system's main header before it.
// clang-format off
#include <windows.h>
#include <shellapi.h>
// clang-format on

#include <cstdlib>

#include "platform/win32/system_win32.h"

namespace {

UINT console_code_page_found = 0;  // the code page to give back at exit; 0: none was changed

void restore_console_code_page() {
  if (console_code_page_found != 0) SetConsoleOutputCP(console_code_page_found);
}

bool is_console(DWORD which) {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(which), &mode) != 0;
}

bool is_missing(HANDLE handle) {
  return handle == nullptr || handle == INVALID_HANDLE_VALUE;
}

}  // namespace

std::vector<std::string> Win32Platform::arguments(int argc, char** argv) {
  std::vector<std::string> words;
  int count = 0;
  // The system keeps the command line in UTF-16; argv holds it in the ANSI code page, where
  // any character outside that page has already become '?'.
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide != nullptr) {
    for (int i = 0; i < count; ++i) words.push_back(win32::to_utf8(wide[i]));
    LocalFree(wide);
    return words;
  }
  for (int i = 0; i < argc; ++i) words.emplace_back(argv[i]);
  return words;
}

StandardStreams Win32Platform::secure_standard_streams() {
  // A handle number is never reused for a file the run opens, so nothing needs guarding here
  // the way a descriptor does; a missing input reads as the empty NUL device.
  StandardStreams found;
  found.input_closed = is_missing(GetStdHandle(STD_INPUT_HANDLE));
  found.output_closed = is_missing(GetStdHandle(STD_OUTPUT_HANDLE));
  found.error_closed = is_missing(GetStdHandle(STD_ERROR_HANDLE));
  if (found.input_closed) {
    HANDLE empty = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, 0, nullptr);
    if (!is_missing(empty)) SetStdHandle(STD_INPUT_HANDLE, empty);
  }
  // Names and the banner's glyphs are UTF-8: the console must read them so.
  if (is_console(STD_OUTPUT_HANDLE) || is_console(STD_ERROR_HANDLE)) {
    UINT found_page = GetConsoleOutputCP();
    if (found_page != CP_UTF8 && SetConsoleOutputCP(CP_UTF8)) {
      console_code_page_found = found_page;
      std::atexit(restore_console_code_page);
    }
  }
  return found;
}
