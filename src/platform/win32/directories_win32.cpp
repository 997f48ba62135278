// Directories and their entries. A directory is held as its extended path, so an entry is
// reached by appending its name and a tree may be deeper than 260 characters. Entries come in
// the order the file system keeps (NTFS's own, which Windows users and their catalogues know).
#include "platform/win32/system_win32.h"

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

bool is_dot_name(const wchar_t* name) {
  return name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0));
}

bool gone(DWORD error) {
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
         error == ERROR_INVALID_NAME || error == ERROR_CANT_RESOLVE_FILENAME;
}

// A link to a file listed as the file: its target's facts under the link's own name.
Lookup follow_link(const std::wstring& path, DirEntry* entry) {
  HANDLE handle = win32::open_existing(path, FILE_READ_ATTRIBUTES, kShareAll);
  if (handle == INVALID_HANDLE_VALUE) {
    return gone(GetLastError()) ? Lookup::kGone : Lookup::kUnreadable;
  }
  DirEntry target;
  bool ok = win32::facts_by_handle(handle, &target);
  CloseHandle(handle);
  if (!ok) return Lookup::kUnreadable;
  if ((target.attributes & kAttrDirectory) != 0) return Lookup::kGone;
  target.name = entry->name;
  target.short_name = entry->short_name;
  *entry = target;
  return Lookup::kFound;
}

Lookup found_entry(const std::wstring& path, const WIN32_FIND_DATAW& found, DirEntry* entry) {
  win32::fill_entry(found, entry);
  // With a reparse point, the search keeps its tag in dwReserved0.
  if (!win32::is_link(found.dwFileAttributes, found.dwReserved0)) return Lookup::kFound;
  // A linked directory is never entered, so no walk can loop.
  if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return Lookup::kGone;
  return follow_link(path, entry);
}

// What the listing makes of an entry the search found: its kind comes with the search, except
// for a link, which the listing follows to tell a file from a directory or nothing.
Lookup listed_entry(const std::wstring& path, const WIN32_FIND_DATAW& found, bool* directory) {
  *directory = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  if (!win32::is_link(found.dwFileAttributes, found.dwReserved0)) return Lookup::kFound;
  DirEntry entry;
  return found_entry(path, found, &entry);
}

DirHandle directory_at(std::wstring path, std::string* error) {
  DWORD attributes = path.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    if (error != nullptr)
      *error = win32::error_text(path.empty() ? ERROR_INVALID_NAME : GetLastError());
    return nullptr;
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    if (error != nullptr) *error = win32::error_text(ERROR_DIRECTORY);
    return nullptr;
  }
  if (path.back() != L'\\') path.push_back(L'\\');
  return new DirectoryState{std::move(path)};
}

}  // namespace

namespace win32 {

bool is_link(std::uint32_t attributes, std::uint32_t reparse_tag) {
  // Only a tag that stands for another name (a symbolic link, a junction) makes a link; a
  // file kept in the cloud or deduplicated is still itself.
  return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 && IsReparseTagNameSurrogate(reparse_tag);
}

HANDLE open_existing(const std::wstring& path, DWORD access, DWORD share, DWORD flags) {
  return CreateFileW(path.c_str(), access, share, nullptr, OPEN_EXISTING,
                     FILE_FLAG_BACKUP_SEMANTICS | flags, nullptr);
}

}  // namespace win32

namespace {

// The facts a handle and a directory search both give, in the same system structures.
void fill_facts(DWORD attributes, const FILETIME& creation, const FILETIME& access,
                const FILETIME& write, DWORD size_low, DWORD size_high, DirEntry* facts) {
  facts->attributes = attributes;
  facts->creation = win32::file_time(creation.dwLowDateTime, creation.dwHighDateTime);
  facts->last_access = win32::file_time(access.dwLowDateTime, access.dwHighDateTime);
  facts->last_write = win32::file_time(write.dwLowDateTime, write.dwHighDateTime);
  facts->creation_ns = facts->last_access_ns = facts->last_write_ns = 0;
  bool directory = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  facts->size = directory ? 0 : static_cast<std::int64_t>(win32::file_time(size_low, size_high));
}

}  // namespace

namespace win32 {

bool facts_by_handle(HANDLE handle, DirEntry* facts) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(handle, &info)) return false;
  fill_facts(info.dwFileAttributes, info.ftCreationTime, info.ftLastAccessTime,
             info.ftLastWriteTime, info.nFileSizeLow, info.nFileSizeHigh, facts);
  return true;
}

void fill_entry(const WIN32_FIND_DATAW& found, DirEntry* entry) {
  fill_facts(found.dwFileAttributes, found.ftCreationTime, found.ftLastAccessTime,
             found.ftLastWriteTime, found.nFileSizeLow, found.nFileSizeHigh, entry);
  entry->name = to_utf8(found.cFileName);
  entry->short_name = to_utf8(found.cAlternateFileName);
}

Lookup entry_facts_at(const std::wstring& path, DirEntry* facts) {
  WIN32_FIND_DATAW found;
  HANDLE search =
      FindFirstFileExW(path.c_str(), FindExInfoStandard, &found, FindExSearchNameMatch, nullptr, 0);
  if (search == INVALID_HANDLE_VALUE) {
    return gone(GetLastError()) ? Lookup::kGone : Lookup::kUnreadable;
  }
  FindClose(search);
  return found_entry(path, found, facts);
}

}  // namespace win32

DirHandle Win32Platform::open_directory(const std::string& path, std::string* error) {
  return directory_at(win32::system_path(path), error);
}

DirHandle Win32Platform::open_subdirectory(const Directory& parent, const std::string& name,
                                           std::string* error) {
  if (!win32::is_plain_name(name)) {
    if (error != nullptr) *error = win32::error_text(ERROR_INVALID_NAME);
    return nullptr;
  }
  return directory_at(win32::entry_path(parent, name), error);
}

void Win32Platform::close_directory(DirHandle dir) {
  delete dir;
}

bool Win32Platform::list_directory(const Directory& dir, DirListing* listing, std::string* error) {
  listing->clear();
  std::wstring base = win32::entry_path(dir, "");
  if (base.empty()) {
    if (error != nullptr) *error = win32::error_text(ERROR_INVALID_NAME);
    return false;
  }
  if (base.back() != L'\\') base.push_back(L'\\');
  WIN32_FIND_DATAW found;
  // FindExInfoBasic would be faster but leaves out the 8.3 name that records can show.
  HANDLE search = FindFirstFileExW((base + L"*").c_str(), FindExInfoStandard, &found,
                                   FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
  if (search == INVALID_HANDLE_VALUE) {
    if (error != nullptr) *error = win32::error_text(GetLastError());
    return false;
  }
  bool saw_dot = false;
  do {
    if (is_dot_name(found.cFileName)) {
      saw_dot = true;
      continue;
    }
    bool directory = false;
    switch (listed_entry(base + found.cFileName, found, &directory)) {
      case Lookup::kFound:
        listing->add(win32::to_utf8(found.cFileName), directory,
                     win32::to_utf8(found.cAlternateFileName));
        break;
      case Lookup::kUnreadable:
        listing->unreadable.push_back(win32::to_utf8(found.cFileName));
        break;
      case Lookup::kGone:
        break;
    }
  } while (FindNextFileW(search, &found));
  DWORD last = GetLastError();
  FindClose(search);
  if (last != ERROR_NO_MORE_FILES) {
    if (error != nullptr) *error = win32::error_text(last);
    listing->clear();
    return false;
  }
  // The system gives "." everywhere but at the root of a volume.
  listing->is_root = !saw_dot;
  return true;
}

Lookup Win32Platform::entry_facts(const Directory& dir, const std::string& name, DirEntry* facts) {
  std::wstring path = win32::entry_path(dir, name);
  if (path.empty()) return Lookup::kGone;
  if (name.empty()) {
    // FindFirstFileW cannot name a root; the directory's own handle answers for any.
    HANDLE handle = win32::open_existing(path, FILE_READ_ATTRIBUTES, kShareAll);
    if (handle == INVALID_HANDLE_VALUE) {
      return gone(GetLastError()) ? Lookup::kGone : Lookup::kUnreadable;
    }
    bool ok = win32::facts_by_handle(handle, facts);
    CloseHandle(handle);
    facts->name.clear();
    facts->short_name.clear();
    return ok ? Lookup::kFound : Lookup::kUnreadable;
  }
  return win32::entry_facts_at(path, facts);
}
