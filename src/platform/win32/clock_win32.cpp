// The clock, calendar conversions and the time zone. time_t is 32 bits in this run-time on
// 32-bit Windows, so every conversion goes through the 64-bit calls.
#include <time.h>

#include <cstdlib>

#include "platform/win32/system_win32.h"

namespace {

// The C run-time reads TZ when it is set and the system's zone otherwise; the zone the
// program reports follows the same rule, so that it matches the local times it shows.
bool zone_from_environment() {
  return GetEnvironmentVariableW(L"TZ", nullptr, 0) > 0;
}

ZoneInfo zone_of_system() {
  TIME_ZONE_INFORMATION zone{};
  DWORD kind = GetTimeZoneInformation(&zone);
  ZoneInfo info;
  info.standard_name = win32::to_utf8(zone.StandardName);
  info.daylight_name = win32::to_utf8(zone.DaylightName);
  info.offset_seconds = (zone.Bias + zone.StandardBias) * 60L;
  info.has_daylight =
      kind != TIME_ZONE_ID_UNKNOWN && kind != TIME_ZONE_ID_INVALID && zone.DaylightDate.wMonth != 0;
  return info;
}

ZoneInfo zone_of_runtime() {
  _tzset();
  ZoneInfo info;
  info.standard_name = _tzname[0];
  info.daylight_name = _tzname[1];
  info.offset_seconds = _timezone;
  info.has_daylight = _daylight != 0;
  return info;
}

}  // namespace

std::int64_t Win32Platform::now_seconds() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  FileTime ticks = win32::file_time(now.dwLowDateTime, now.dwHighDateTime);
  return static_cast<std::int64_t>(ticks / kFileTimeTicksPerSecond) -
         static_cast<std::int64_t>(kEpochDifferenceSeconds);
}

ZoneInfo Win32Platform::zone_info() {
  return zone_from_environment() ? zone_of_runtime() : zone_of_system();
}

bool Win32Platform::to_calendar(std::int64_t seconds, bool local, CalendarTime* out) {
  _tzset();
  __time64_t when = seconds;
  struct tm parts {};
  if ((local ? _localtime64_s(&parts, &when) : _gmtime64_s(&parts, &when)) != 0) return false;
  out->year = parts.tm_year + 1900;
  out->month = parts.tm_mon + 1;
  out->day = parts.tm_mday;
  out->hour = parts.tm_hour;
  out->minute = parts.tm_min;
  out->second = parts.tm_sec;
  out->weekday = parts.tm_wday;
  return true;
}

std::int64_t Win32Platform::local_standard_seconds(int year, int month, int day, int hour,
                                                   int minute, int second) {
  _tzset();
  struct tm parts {};
  parts.tm_year = year - 1900;
  parts.tm_mon = month - 1;
  parts.tm_mday = day;
  parts.tm_hour = hour;
  parts.tm_min = minute;
  parts.tm_sec = second;
  parts.tm_isdst = 0;
  __time64_t seconds = _mktime64(&parts);
  return seconds < 0 ? -1 : static_cast<std::int64_t>(seconds);
}
