// A platform double for tests of the command line, the help screens and the filters: a fixed
// clock under the C library's own zone rules (TZ), scripted console keys, a help file that can
// be made to exist, and paths made absolute against a chosen directory. The rest goes to the
// native platform.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <deque>
#include <string>
#include <vector>

#include "config/options.h"
#include "config/settings.h"
#include "output/destinations.h"
#include "platform/platform.h"

class ScriptedPlatform : public Platform {
 public:
  std::int64_t now = 0;             // what now_seconds() answers
  std::deque<int> keys;             // read_key() answers these, then kKeyEndOfInput
  std::string help_file;            // empty: no help file
  std::vector<std::string> shown;   // help files handed to the viewer
  std::string directory = "/work";  // relative paths are made absolute against it

  explicit ScriptedPlatform(const char* zone = "UTC0") {
    setenv("TZ", zone, 1);
    tzset();
    set_platform(this);
  }
  ~ScriptedPlatform() override { set_platform(nullptr); }

  // Seconds since 1970 of a local time under the test's TZ, daylight saving applied; with
  // `standard`, read as standard time.
  static std::int64_t local_seconds(int year, int month, int day, int hour = 0, int minute = 0,
                                    int second = 0, bool standard = false) {
    std::tm tm{};
    tm.tm_year = year - 1900, tm.tm_mon = month - 1, tm.tm_mday = day;
    tm.tm_hour = hour, tm.tm_min = minute, tm.tm_sec = second;
    tm.tm_isdst = standard ? 0 : -1;
    return static_cast<std::int64_t>(std::mktime(&tm));
  }
  static FileTime local_file_time(int year, int month, int day, int hour = 0, int minute = 0,
                                  int second = 0) {
    return static_cast<FileTime>(local_seconds(year, month, day, hour, minute, second) +
                                 static_cast<std::int64_t>(kEpochDifferenceSeconds)) *
           kFileTimeTicksPerSecond;
  }

  bool full_path(const std::string& path, std::string* out) override {
    *out = !path.empty() && path[0] == '/' ? path : directory + "/" + path;
    return true;
  }
  std::string current_directory() override { return directory; }
  int read_key() override {
    if (keys.empty()) return kKeyEndOfInput;
    int key = keys.front();
    keys.pop_front();
    return key;
  }
  std::int64_t now_seconds() override { return now; }
  bool to_calendar(std::int64_t seconds, bool local, CalendarTime* out) override {
    std::time_t t = static_cast<std::time_t>(seconds);
    std::tm tm{};
    if ((local ? localtime_r(&t, &tm) : gmtime_r(&t, &tm)) == nullptr) return false;
    *out = {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec,
            tm.tm_wday};
    return true;
  }
  std::int64_t local_standard_seconds(int y, int mo, int d, int h, int mi, int s) override {
    return local_seconds(y, mo, d, h, mi, s, true);
  }
  std::string find_help_file(const std::string&) override { return help_file; }
  bool show_help_file(const std::string& path) override {
    shown.push_back(path);
    return true;
  }
  bool stdin_is_terminal() override { return false; }
  bool key_waiting() override { return !keys.empty(); }
  bool interrupt_pending() override { return false; }
  void install_interrupt_handler() override {}

  // Passed through.
  using S = const std::string&;
  static Platform& n() { return native_platform(); }
  SearchHandle find_first(S p, DirEntry* e) override { return n().find_first(p, e); }
  bool find_next(SearchHandle h, DirEntry* e) override { return n().find_next(h, e); }
  void find_close(SearchHandle h) override { n().find_close(h); }
  std::string module_path() override { return n().module_path(); }
  bool is_directory(S p) override { return n().is_directory(p); }
  bool file_exists(S p) override { return n().file_exists(p); }
  std::string find_name_ignoring_case(S d, S f) override {
    return n().find_name_ignoring_case(d, f);
  }
  int volume_kind(S p) override { return n().volume_kind(p); }
  InputHandle open_input(S p) override { return n().open_input(p); }
  InputHandle open_input_shared(S p) override { return n().open_input_shared(p); }
  long long read_input(InputHandle i, void* b, std::size_t c) override {
    return n().read_input(i, b, c);
  }
  bool seek_input(InputHandle i, std::uint64_t o) override { return n().seek_input(i, o); }
  void close_input(InputHandle i) override { n().close_input(i); }
  bool file_times(S p, FileTime* c, FileTime* a, FileTime* w) override {
    return n().file_times(p, c, a, w);
  }
  bool set_file_times(S p, FileTime c, FileTime a, FileTime w) override {
    return n().set_file_times(p, c, a, w);
  }
  std::uint32_t get_attributes(S p) override { return n().get_attributes(p); }
  bool set_attributes(S p, std::uint32_t a) override { return n().set_attributes(p, a); }
  bool list_streams(S p, std::vector<StreamEntry>* s) override { return n().list_streams(p, s); }
  bool enable_stream_privileges() override { return n().enable_stream_privileges(); }
  bool disk_free_bytes(S p, std::uint64_t* f) override { return n().disk_free_bytes(p, f); }
  bool is_removable_drive(S p) override { return n().is_removable_drive(p); }
  bool truncate_file(S p, std::uint64_t s) override { return n().truncate_file(p, s); }
  void set_file_apis_ansi() override {}
  void set_file_apis_oem() override {}
  bool file_apis_are_ansi() override { return true; }
  ZoneInfo zone_info() override { return n().zone_info(); }
  bool acquire_log_lock(S p) override { return n().acquire_log_lock(p); }
  void release_log_lock() override { n().release_log_lock(); }
};

// Points message_stream at a scratch file while it lives.
class MessageCapture {
 public:
  MessageCapture() : saved_(message_stream), file_(std::tmpfile()) { message_stream = file_; }
  ~MessageCapture() {
    message_stream = saved_;
    std::fclose(file_);
  }
  std::string text() {
    std::fflush(file_);
    std::rewind(file_);
    std::string content;
    for (int c; (c = std::fgetc(file_)) != EOF;) content += static_cast<char>(c);
    return content;
  }

 private:
  std::FILE* saved_;
  std::FILE* file_;
};

// Settings as start-up leaves them before the command line.
inline void reset_settings() {
  unsetenv("ACCT");
  create_settings();
  apply_environment();
  apply_defaults();
}

// parse_command_line over `args` after a program path where no configuration file lies.
inline void parse_args(std::vector<std::string> args) {
  args.insert(args.begin(), "/nonexistent-tallysum-test/tallysum");
  std::vector<char*> argv;
  for (std::string& word : args) argv.push_back(word.data());
  argv.push_back(nullptr);
  parse_command_line(static_cast<int>(args.size()), argv.data());
}
