// Helpers shared by the Windows layer's files that need the system's own types.
#pragma once

#include <windows.h>

#include <string>

#include "platform/win32/win32_platform.h"

namespace win32 {

// Opens `path` (already in the system's form) with CreateFileW's OPEN_EXISTING and
// FILE_FLAG_BACKUP_SEMANTICS, so that directories open too; INVALID_HANDLE_VALUE on failure.
HANDLE open_existing(const std::wstring& path, DWORD access, DWORD share, DWORD flags = 0);

// Attributes, times and size of an open file or directory as the system gives them now.
bool facts_by_handle(HANDLE handle, DirEntry* facts);

// An entry as a directory search found it.
void fill_entry(const WIN32_FIND_DATAW& found, DirEntry* entry);

// Facts of the entry at `path` (system form). A link to a file shows as that file; a link to
// a directory, a dangling link and anything that is not a file or directory give kGone.
Lookup entry_facts_at(const std::wstring& path, DirEntry* facts);

// Around a write to a pipe or a console, which waits while the reader does not read: once an
// interrupt has come and its grace has passed, a write still waiting is cancelled, so that a
// reader that stopped cannot hold the run. The writer calls the first before the write and the
// second after it.
void begin_waiting_write();
void end_waiting_write();

// The root of the volume that holds `path` (system form or not), "C:\"; empty on failure.
std::wstring volume_root(const std::string& path);

}  // namespace win32
