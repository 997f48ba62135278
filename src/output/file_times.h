// Time stamps: conversion, the time and zone columns, the access-time reset, zone texts.
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
// Through the file's own information (also for directories and stream paths). 0 on success,
// 1 when the path cannot be opened or its times read; `times` is then left as it was.
int times_by_handle(const std::string& path, FileTimes* times, int zulu);
// Through a directory search on `path`. 0 on success, 1 when the search finds nothing.
int times_by_search(const std::string& path, FileTimes* times, int zulu);
// Puts three raw file times back after the file was read; a read-only or system file keeps
// those attributes. 0 on success, 1 on failure.
int reset_file_times(const std::string& path, FileTime creation, FileTime access, FileTime write);

// At most three characters; "TZ0" when no zone name is known.
extern std::string zone_abbreviation;
// Made once at start-up from the standard zone name: the initials of a name with spaces
// (Pacific Standard Time gives PST), else its first three characters, upper case.
void make_zone_abbreviation();

struct RunTimeTexts {
  std::string local_text;  // 24 characters: Wed Jan 02 02:03:55 1980
  std::string gmt_text;
  std::string standard_name;
  std::string standard_abbreviation;
  std::string daylight_name;
  std::string daylight_abbreviation;  // empty when the zone has no daylight rule
  int has_daylight = 0;               // set here only when the zone has one
  int offset_hours = 0;               // west of Greenwich positive, truncated
};
// The zone texts of the run header for the current moment. False when the clock cannot be
// turned into calendar time.
bool run_time_texts(RunTimeTexts* texts);
// The 24-character text of a moment (seconds since 1970), local time or UTC, day zero-padded:
// Wed Jan 02 02:03:55 1980. Empty when the moment cannot be converted.
std::string time_text(std::int64_t seconds, bool local);

// The time columns that time_kind selects, standard form (file and directory-stream records).
std::string standard_time_columns(const FileTimes& times);
// The fixed form of file-stream records: always seconds, never year first.
std::string fixed_time_columns(const FileTimes& times);
// "GMT" under zulu, else the zone abbreviation right-aligned in three; then the delimiter.
std::string zone_column();
