// The Windows tests' own entry: besides running the tests, the binary can be its own child
// that writes the words it was started with, so a test sees the command line the system gave.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/win32/win32_platform.h"
#include "temp_tree.h"

int main(int argc, char** argv) {
  if (argc >= 3 && std::strcmp(argv[1], "--write-arguments") == 0) {
    Win32Platform platform;
    std::string text;
    for (const std::string& word : platform.arguments(argc, argv)) text += word + "\n";
    HANDLE file = CreateFileW(win32::to_wide(argv[2]).c_str(), GENERIC_WRITE, 0, nullptr,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    bool ok = file != INVALID_HANDLE_VALUE &&
              WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    return ok ? 0 : 1;
  }
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
