// The date, age and size filters, and the calendar arithmetic under them.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"

// Day within the year, 1 for 1 January. Ends the process with status 0 on an impossible day.
int day_of_year(int month, int day, int year);
// A day count; only differences mean anything. 0 for month > 12 or day > 31.
int day_number(int month, int day, int year);
// Today's day number minus that of the chosen date of the file ('a' access, 'c' creation,
// anything else last write).
int file_age_days(const std::string& path, int choice);
// Reads the a/c/w letters of a date argument into the settings and cuts the text at the first.
void take_date_letters(std::string* text);
// Whole days from local midnight of the date to now, in unsigned 32-bit arithmetic.
std::uint32_t days_since_date(const std::string& text);
// Month, day and year of a date text by its layout.
void parse_date_layout(const std::string& text, int* month, int* day, int* year);
// Local midnight of the date as a file time.
FileTime date_to_file_time(int month, int day, int year);

struct FileFacts {
  std::int64_t size = 0;
  FileTime creation = 0;
  FileTime last_access = 0;
  FileTime last_write = 0;
  std::uint32_t attributes = 0;
  std::string path;
};
// The combined test for one file.
bool passes_filters(const FileFacts& file);
