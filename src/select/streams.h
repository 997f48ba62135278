// Named streams of files and directories, and the records of directories' streams.
#pragma once

#include <string>
#include <vector>

#include "output/file_times.h"
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

// Fills the stream table with the named streams of `path` and returns their number; 0 when
// the path cannot be opened. Unnamed streams (the main data) never enter the table.
int count_streams(const std::string& path);

// One record for each of the first `n` entries of the stream table, for the directory at
// `path` (a trailing separator is ignored). Counts each record in file_count and byte_total.
void list_directory_streams(int n, const std::string& path);

// The part of a stream name that follows a path to name the stream: ":summary:$DATA" gives
// ":summary". The cut is at the colon that starts the type, so a name that itself holds
// colons (possible outside NTFS) stays whole: ":a:b:$DATA" gives ":a:b".
std::string stream_path_suffix(const std::string& stream_name);


// The name column: under name_only the owner's bare name and the suffix, padded to
// name_only_width and never cut; otherwise the shortened stream path in exactly name_width
// characters, so that a narrow column cuts it. Ends with the delimiter.
std::string stream_name_column(const std::string& owner_name, const std::string& suffix,
                               const std::string& stream_path);
// Reads the times of a stream path into `times`. When they cannot be read, writes the
// "Couldn't get filetime" message with `line` and `module` to standard output, leaves every
// stamp unset (00/00/1980 00:00) and returns false.
bool read_stream_times(const std::string& stream_path, int line, const char* module,
                       FileTimes* times);
