// A file's three time stamps as calendar dates and times, in local time or UTC: what records
// print and what the age filter counts days from.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"

struct Stamp {
  int month = 0;
  int day = 0;
  int year = 0;
  int hour = 0;
  int minute = 0;
  int second = 0;
};

// A stamp read as a UTC date and time, in seconds since 1970, and back.
std::int64_t stamp_seconds(const Stamp& stamp);
Stamp stamp_at(std::int64_t seconds);
// Whether a stamp is the form of one never set (a zero month).
bool stamp_unset(const Stamp& stamp);

struct FileTimes {
  // Converted, in this order: last write, last access, creation.
  Stamp last_write;
  Stamp last_access;
  Stamp creation;
  // Raw, in this order: creation, last access, last write.
  FileTime raw_creation = 0;
  FileTime raw_last_access = 0;
  FileTime raw_last_write = 0;
};

// Fills `times` from three raw file times, in local time or, with `zulu`, in UTC. A stamp that
// was never set (0, or a date in 1601) becomes 00/00/1980 00:00:00; one that cannot be
// converted gets the same unset form. Returns 1 when all three conversions failed, else 0.
int convert_file_times(FileTime creation, FileTime access, FileTime write, FileTimes* times,
                       int zulu);
// Through a look at `path` itself (links followed). 0 on success, 1 when it is not there.
int times_by_search(const std::string& path, FileTimes* times, int zulu);
