#include "select/file_dates.h"

namespace {

constexpr int kUnsetYear = 1601;
constexpr int kUnsetShownYear = 1980;

std::int64_t seconds_since_1970(FileTime raw) {
  return static_cast<std::int64_t>(raw / kFileTimeTicksPerSecond) -
         static_cast<std::int64_t>(kEpochDifferenceSeconds);
}

// The form of a stamp that was never set: 00/00/1980 00:00:00.
void mark_unset(Stamp* stamp) {
  *stamp = Stamp{};
  stamp->year = kUnsetShownYear;
}

// False when the raw time cannot be turned into a calendar date. Such a stamp is shown as
// unset rather than with the date of a neighbouring stamp.
bool convert_stamp(FileTime raw, int zulu, Stamp* stamp) {
  CalendarTime calendar;
  if (raw == 0) {
    mark_unset(stamp);
    return true;
  }
  if (!os().to_calendar(seconds_since_1970(raw), zulu == 0, &calendar)) {
    mark_unset(stamp);
    return false;
  }
  if (calendar.year == kUnsetYear) {
    mark_unset(stamp);
    return true;
  }
  *stamp = Stamp{calendar.month, calendar.day,    calendar.year,
                 calendar.hour,  calendar.minute, calendar.second};
  if (stamp->hour > 24) stamp->hour = stamp->minute = stamp->second = 0;
  return true;
}

}  // namespace

namespace {

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
std::int64_t days_from_civil(std::int64_t y, int m, int d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const std::int64_t yoe = y - era * 400;
  const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

}  // namespace

std::int64_t stamp_seconds(const Stamp& s) {
  return days_from_civil(s.year, s.month, s.day) * 86400 + s.hour * 3600 + s.minute * 60 + s.second;
}

Stamp stamp_at(std::int64_t seconds) {
  std::int64_t z = (seconds >= 0 ? seconds : seconds - 86399) / 86400;
  const std::int64_t in_day = seconds - z * 86400;
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const std::int64_t doe = z - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  Stamp stamp;
  stamp.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  stamp.year = static_cast<int>(yoe + era * 400 + (stamp.month <= 2));
  stamp.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  stamp.hour = static_cast<int>(in_day / 3600);
  stamp.minute = static_cast<int>(in_day / 60 % 60);
  stamp.second = static_cast<int>(in_day % 60);
  return stamp;
}

bool stamp_unset(const Stamp& stamp) {
  return stamp.month == 0;
}

int convert_file_times(FileTime creation, FileTime access, FileTime write, FileTimes* times,
                       int zulu) {
  times->raw_creation = creation;
  times->raw_last_access = access;
  times->raw_last_write = write;
  int failures = 0;
  if (!convert_stamp(access, zulu, &times->last_access)) ++failures;
  if (!convert_stamp(creation, zulu, &times->creation)) ++failures;
  if (!convert_stamp(write, zulu, &times->last_write)) ++failures;
  return failures == 3 ? 1 : 0;
}

int times_by_search(const std::string& path, FileTimes* times, int zulu) {
  os().set_file_apis_ansi();
  DirEntry entry;
  if (!os().path_facts(path, &entry)) return 1;
  return convert_file_times(entry.creation, entry.last_access, entry.last_write, times, zulu);
}
