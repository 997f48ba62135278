// Time stamps: conversion, the selection of the time columns, zone texts. (The access-time
// reset is made by the reading itself, through the handle it reads from.)
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"
#include "select/file_dates.h"

// The times of `name` in `dir` (empty: the directory itself) as they are now; a named stream
// has the times of its carrier. 0 on success, 1 when they cannot be read (`times` is then left
// as it was).
int times_by_handle(const Directory& dir, const std::string& name, FileTimes* times, int zulu);

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

// The stamps a time kind selects, as their letters in the order written ("cwa", "w", ...):
// the standard form of file and directory-stream records, or with `fixed` the fixed form of
// file-stream records, which reads 'W' and 'm' the other way round.
const char* selected_stamps(int kind, bool fixed);
