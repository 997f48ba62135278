// The clock and the C run-time's time-zone conversions.
#include <time.h>

#include <limits>

#include "platform/posix/posix_platform.h"

std::int64_t PosixPlatform::now_seconds() {
  return static_cast<std::int64_t>(time(nullptr));
}

ZoneInfo PosixPlatform::zone_info() {
  tzset();
  ZoneInfo zone;
  zone.standard_name = tzname[0] != nullptr ? tzname[0] : "";
  zone.daylight_name = tzname[1] != nullptr ? tzname[1] : "";
  zone.offset_seconds = timezone;
  zone.has_daylight = daylight != 0;
  return zone;
}

bool PosixPlatform::to_calendar(std::int64_t seconds, bool local, CalendarTime* out) {
  if (seconds < std::numeric_limits<time_t>::min() ||
      seconds > std::numeric_limits<time_t>::max()) {
    return false;
  }
  time_t when = static_cast<time_t>(seconds);
  struct tm parts {};
  if ((local ? localtime_r(&when, &parts) : gmtime_r(&when, &parts)) == nullptr) return false;
  out->year = parts.tm_year + 1900;
  out->month = parts.tm_mon + 1;
  out->day = parts.tm_mday;
  out->hour = parts.tm_hour;
  out->minute = parts.tm_min;
  out->second = parts.tm_sec;
  out->weekday = parts.tm_wday;
  return true;
}

std::int64_t PosixPlatform::local_standard_seconds(int year, int month, int day, int hour,
                                                   int minute, int second) {
  if (year < std::numeric_limits<int>::min() + 1900) return -1;
  struct tm parts {};
  parts.tm_year = year - 1900;
  parts.tm_mon = month - 1;  // month 0 rolls back to December, as mktime allows
  parts.tm_mday = day;
  parts.tm_hour = hour;
  parts.tm_min = minute;
  parts.tm_sec = second;
  parts.tm_isdst = 0;
  return static_cast<std::int64_t>(mktime(&parts));
}
