// The named streams of files and directories: their enumeration into the stream table.
#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"

// The stream table: the named streams of the latest count_streams, every one of them, names
// whole. Each enumeration overwrites it, so a caller writes its records before the next one.
extern std::vector<StreamEntry> stream_table;

// The steps of obtaining the stream privileges, each with a failure message of its own.
enum PrivilegeStep { kPrivilegeTokenOpen, kPrivilegeBackupLookup, kPrivilegeRestoreLookup };

// Obtains what the platform needs before streams can be enumerated; ends the process when it
// cannot be obtained.
void enable_backup_privileges();
// Writes the failure message of `step` and the advice to standard output and ends the process
// at once, without the run summary, with exit reason 7.
[[noreturn]] void report_privilege_failure(PrivilegeStep step);

// Fills the stream table with the named streams of `name` in `dir` (`name` empty: of the
// directory itself) and returns their number; 0 when it cannot be opened. Unnamed streams (the
// main data) never enter the table.
int count_streams(const Directory& dir, const std::string& name);

// The part of a stream name that follows a path to name the stream: ":summary:$DATA" gives
// ":summary". The cut is at the colon that starts the type, so a name that itself holds
// colons (possible outside NTFS) stays whole: ":a:b:$DATA" gives ":a:b".
std::string stream_path_suffix(const std::string& stream_name);
// The stream's bare name, as the platform opens it: ":summary:$DATA" gives "summary".
std::string stream_bare_name(const std::string& stream_name);
