// Stamps of a real file, set and read with the system's own calls, so that what the program
// reads and writes back is checked against something other than itself.
#pragma once

#include <cstdint>
#include <string>

struct DiskStamp {
  std::int64_t seconds = 0;  // since 1970-01-01 UTC
  long nanoseconds = 0;
};

bool set_stamps(const std::string& path, DiskStamp access, DiskStamp write);
bool read_stamps(const std::string& path, DiskStamp* access, DiskStamp* write);
// When the file's own facts last changed (a write of its stamps among them); false where the
// system keeps no such stamp.
bool read_change_stamp(const std::string& path, DiskStamp* change);
// Whether the system keeps the nanoseconds below the 100-ns unit of a FileTime.
extern const bool kStampsKeepSubTicks;
// Whether opening a file leaves its access time alone, as the systems do (Wine's server reads
// the start of every file it opens, which moves the time on a Linux disk).
bool opening_keeps_access_time();
