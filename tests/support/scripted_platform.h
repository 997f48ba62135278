// A platform double for tests of the command line, the help screens and the filters: a fixed
// clock under the C library's own zone rules (TZ), scripted console keys, a help file that can
// be made to exist, and paths made absolute against a chosen directory.
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
#include "support/platform_double.h"

class ScriptedPlatform : public PassThroughPlatform {
 public:
  std::int64_t now = 0;             // what now_seconds() answers
  std::deque<int> keys;             // read_key() answers these, then kKeyEndOfInput
  std::string help_file;            // empty: no help file
  std::vector<std::string> shown;   // help files handed to the viewer
  std::string directory = "/work";  // relative paths are made absolute against it

  explicit ScriptedPlatform(const char* zone = "UTC0") {
    const char* before = std::getenv("TZ");
    had_zone_ = before != nullptr;
    if (had_zone_) zone_before_ = before;
    setenv("TZ", zone, 1);
    tzset();
    set_platform(this);
  }
  ~ScriptedPlatform() override {
    set_platform(nullptr);
    if (had_zone_) {
      setenv("TZ", zone_before_.c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
  }

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
    *out = {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour,
            tm.tm_min,         tm.tm_sec,     tm.tm_wday};
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

 private:
  bool had_zone_ = false;
  std::string zone_before_;
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
