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
