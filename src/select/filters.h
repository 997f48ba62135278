// The date, age and size filters, and the calendar arithmetic under them.
#pragma once

#include <climits>
#include <cstdint>
#include <string>

#include "platform/platform.h"

// Day within the year, 1 for 1 January; month 0 accepts only day 0. -1 for a day the month
// does not have or a month outside 0 to 12.
int day_of_year(int month, int day, int year);
// A day count; only differences mean anything (1 January 1900 is 19001). 0 for a date that
// does not exist. Every year has an entry: the year table's rule (each year adds its length)
// is carried in both directions from 1900.
int day_number(int month, int day, int year);

// What file_age_days returns when the file cannot be found again.
constexpr int kAgeUnknown = INT_MIN;
// Today's day number minus that of the chosen local date of the file ('a'/'A' access, 'c'/'C'
// creation, anything else last write), found again by a directory search. kAgeUnknown when
// the search finds nothing.
int file_age_days(const std::string& path, int choice);
// Reads the a/c/w letters of a date argument into settings.date_test_times (they accumulate
// over the run) and cuts the text at the first of them.
void take_date_letters(std::string* text);
// Whole days from local midnight of the date to now, in unsigned 32-bit arithmetic: a date in
// the future gives a count near 49,710.
std::uint32_t days_since_date(int month, int day, int year);
// Month, day and year of a date text by its layout, found from the text itself (mm-dd-yy,
// yy-mm-dd, mm-dd-yyyy, yyyy-mm-dd and, without separators, mmddyy, yymmdd, mmddyyyy,
// yyyymmdd; '/' and '\' part fields as '-' does, a one-digit field counts as two digits with a
// leading 0, and whatever follows the layout's last field is not read). Two-digit years 00 to
// 09 are 2000 to 2009, 11 to 99 are 1911 to 1999, and any year below 1900 gains 1900. A month
// or day out of range is returned as written: the conversions roll it over (13-01-2005 is 1
// January 2006). False, leaving the fields alone, when the layout finds anything but digits
// where its fields stand.
bool parse_date_layout(const std::string& text, int* month, int* day, int* year);
// Local midnight at the start of the date, standard time, as seconds since 1970; -1 for a year
// outside 1970 to 2038.
std::int64_t local_midnight_seconds(int month, int day, int year);
// Local midnight of the date as a file time; one second before 1970 outside 1970 to 2038.
FileTime date_to_file_time(int month, int day, int year);

struct FileFacts {
  std::int64_t size = 0;
  FileTime creation = 0;
  FileTime last_access = 0;
  FileTime last_write = 0;
  std::uint32_t attributes = 0;
  std::string path;
};
// The combined test for one file: date or age, then size, then the -q attribute masks.
bool passes_filters(const FileFacts& file);
