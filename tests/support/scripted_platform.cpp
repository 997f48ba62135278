#include "support/scripted_platform.h"

#include <cstdlib>
#include <ctime>

#include "config/settings.h"
#include "output/destinations.h"

ScriptedPlatform::ScriptedPlatform(const char* zone) {
  setenv("TZ", zone, 1);
  tzset();
  set_platform(this);
}

ScriptedPlatform::~ScriptedPlatform() { set_platform(nullptr); }

std::int64_t ScriptedPlatform::local_seconds(int year, int month, int day, int hour, int minute,
                                             int second) {
  std::tm tm{};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_hour = hour;
  tm.tm_min = minute;
  tm.tm_sec = second;
  tm.tm_isdst = -1;
  return static_cast<std::int64_t>(std::mktime(&tm));
}

FileTime ScriptedPlatform::local_file_time(int year, int month, int day, int hour, int minute,
                                           int second) {
  std::int64_t seconds = local_seconds(year, month, day, hour, minute, second);
  return static_cast<FileTime>(seconds + static_cast<std::int64_t>(kEpochDifferenceSeconds)) *
         kFileTimeTicksPerSecond;
}

bool ScriptedPlatform::full_path(const std::string& path, std::string* out) {
  *out = !path.empty() && path[0] == '/' ? path : directory + "/" + path;
  return true;
}

int ScriptedPlatform::read_key() {
  if (keys.empty()) return kKeyEndOfInput;
  int key = keys.front();
  keys.pop_front();
  return key;
}

bool ScriptedPlatform::to_calendar(std::int64_t seconds, bool local, CalendarTime* out) {
  std::time_t t = static_cast<std::time_t>(seconds);
  std::tm tm{};
  if ((local ? localtime_r(&t, &tm) : gmtime_r(&t, &tm)) == nullptr) return false;
  *out = CalendarTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour,
                      tm.tm_min,         tm.tm_sec,     tm.tm_wday};
  return true;
}

std::int64_t ScriptedPlatform::local_standard_seconds(int year, int month, int day, int hour,
                                                      int minute, int second) {
  std::tm tm{};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_hour = hour;
  tm.tm_min = minute;
  tm.tm_sec = second;
  tm.tm_isdst = 0;
  return static_cast<std::int64_t>(std::mktime(&tm));
}

bool ScriptedPlatform::show_help_file(const std::string& help_path) {
  shown.push_back(help_path);
  return true;
}

// Everything below goes to the native platform.
namespace {
Platform& native() { return native_platform(); }
}  // namespace

SearchHandle ScriptedPlatform::find_first(const std::string& p, DirEntry* e) {
  return native().find_first(p, e);
}
bool ScriptedPlatform::find_next(SearchHandle s, DirEntry* e) { return native().find_next(s, e); }
void ScriptedPlatform::find_close(SearchHandle s) { native().find_close(s); }
std::string ScriptedPlatform::module_path() { return native().module_path(); }
bool ScriptedPlatform::is_directory(const std::string& p) { return native().is_directory(p); }
bool ScriptedPlatform::file_exists(const std::string& p) { return native().file_exists(p); }
std::string ScriptedPlatform::find_name_ignoring_case(const std::string& d, const std::string& n) {
  return native().find_name_ignoring_case(d, n);
}
int ScriptedPlatform::volume_kind(const std::string& p) { return native().volume_kind(p); }
InputHandle ScriptedPlatform::open_input(const std::string& p) { return native().open_input(p); }
InputHandle ScriptedPlatform::open_input_shared(const std::string& p) {
  return native().open_input_shared(p);
}
long long ScriptedPlatform::read_input(InputHandle i, void* b, std::size_t c) {
  return native().read_input(i, b, c);
}
bool ScriptedPlatform::seek_input(InputHandle i, std::uint64_t o) {
  return native().seek_input(i, o);
}
void ScriptedPlatform::close_input(InputHandle i) { native().close_input(i); }
bool ScriptedPlatform::file_times(const std::string& p, FileTime* c, FileTime* a, FileTime* w) {
  return native().file_times(p, c, a, w);
}
bool ScriptedPlatform::set_file_times(const std::string& p, FileTime c, FileTime a, FileTime w) {
  return native().set_file_times(p, c, a, w);
}
std::uint32_t ScriptedPlatform::get_attributes(const std::string& p) {
  return native().get_attributes(p);
}
bool ScriptedPlatform::set_attributes(const std::string& p, std::uint32_t a) {
  return native().set_attributes(p, a);
}
bool ScriptedPlatform::list_streams(const std::string& p, std::vector<StreamEntry>* s) {
  return native().list_streams(p, s);
}
bool ScriptedPlatform::enable_stream_privileges() { return native().enable_stream_privileges(); }
bool ScriptedPlatform::disk_free_bytes(const std::string& p, std::uint64_t* f) {
  return native().disk_free_bytes(p, f);
}
bool ScriptedPlatform::is_removable_drive(const std::string& p) {
  return native().is_removable_drive(p);
}
bool ScriptedPlatform::truncate_file(const std::string& p, std::uint64_t s) {
  return native().truncate_file(p, s);
}
bool ScriptedPlatform::acquire_log_lock(const std::string& p) {
  return native().acquire_log_lock(p);
}
void ScriptedPlatform::release_log_lock() { native().release_log_lock(); }

MessageCapture::MessageCapture() : saved_(message_stream), file_(std::tmpfile()) {
  message_stream = file_;
}

MessageCapture::~MessageCapture() {
  message_stream = saved_;
  std::fclose(file_);
}

std::string MessageCapture::text() {
  std::fflush(file_);
  std::rewind(file_);
  std::string content;
  char buffer[4096];
  std::size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, file_)) > 0) content.append(buffer, got);
  std::fseek(file_, 0, SEEK_END);
  return content;
}

void reset_settings() {
  unsetenv("ACCT");
  create_settings();
  apply_environment();
  apply_defaults();
}
