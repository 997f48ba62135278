// A scratch directory of the Windows tests, made through the wide calls so that names outside
// any code page and paths beyond 260 characters can be set up; removed with all it holds.
#pragma once

#include <windows.h>

#include <string>

#include "platform/win32/win32_platform.h"

// Wine keeps no birth time of its own on a Linux file system, nor named streams: the tests
// say so where a check needs what only real Windows has.
inline bool running_under_wine() {
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

class TempTree {
 public:
  TempTree() {
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, temp);
    static int made = 0;
    std::wstring base = win32::extended_path(temp);
    if (base.back() != L'\\') base.push_back(L'\\');
    for (int attempt = 0; attempt < 1000; ++attempt) {
      std::wstring candidate = base + L"tallysum-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                               std::to_wstring(++made);
      if (CreateDirectoryW(candidate.c_str(), nullptr)) {
        root_ = candidate + L"\\";
        break;
      }
    }
  }
  ~TempTree() { remove_all(root_); }
  TempTree(const TempTree&) = delete;
  TempTree& operator=(const TempTree&) = delete;

  // The directory as the program's users write it ("C:\...\tallysum-12-1\"), UTF-8.
  std::string path() const { return win32::to_utf8(root_.substr(4)); }
  // `relative` (UTF-8, '\'-separated) inside the tree, in the long form the system accepts.
  std::wstring wide(const std::string& relative) const { return root_ + win32::to_wide(relative); }
  std::string at(const std::string& relative) const { return path() + relative; }

  bool make_dir(const std::string& relative) const {
    return CreateDirectoryW(wide(relative).c_str(), nullptr) != 0;
  }
  bool write(const std::string& relative, const std::string& content) const {
    HANDLE file = CreateFileW(wide(relative).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool ok =
        WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr) &&
        written == content.size();
    return CloseHandle(file) && ok;
  }
  // The whole content of a file, or "<none>" when it cannot be read.
  std::string read(const std::string& relative) const {
    HANDLE file =
        CreateFileW(wide(relative).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "<none>";
    std::string content;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) {
      content.append(buffer, got);
    }
    CloseHandle(file);
    return content;
  }

 private:
  static void remove_all(const std::wstring& dir) {
    if (dir.empty()) return;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((dir + L"*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
      do {
        std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        std::wstring path = dir + name;
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
          remove_all(path + L"\\");
        } else {
          DeleteFileW(path.c_str());
        }
      } while (FindNextFileW(search, &found));
      FindClose(search);
    }
    RemoveDirectoryW(dir.c_str());
  }

  std::wstring root_;
};
