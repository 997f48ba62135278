// The one scripted platform double: it answers what no test machine gives on demand (keys typed
// at a prompt, a fixed clock and zone, a removable drive and its free space, a help file, an
// accounting log held by another run) and serves path and existence questions from the real
// file system, so tests do not depend on the native layer. Everything else passes through.
// It installs itself for its lifetime; test files add their own doubles on top of it.
#pragma once

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <deque>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "config/options.h"
#include "platform/platform.h"
#include "run/settings.h"
#include "run/text_format.h"
#include "support/c_library.h"
#include "support/platform_double.h"

class ScriptedPlatform : public PassThroughPlatform {
 public:
  // --- What a test scripts -------------------------------------------------------------------
  std::string current;  // current_directory(); relative paths are made absolute against it
  std::string module = "/opt/tallysum/bin/tallysum";  // module_path()
  std::int64_t now = 0;                               // now_seconds()
  // Set: a fixed zone, local time = UTC - offset_seconds with no daylight shift, and
  // zone_info() answers it. Empty: the C library's rules under the TZ given at construction.
  std::optional<ZoneInfo> zone;
  bool calendar_fails = false;           // to_calendar() cannot convert
  std::deque<int> keys;                  // read_key() answers these, then kKeyEndOfInput
  std::function<void()> on_key;          // runs before each key is answered
  std::atomic<bool> interrupted{false};  // interrupt_pending(); asked by digest workers too
  bool removable = false;                // is_removable_drive()
  bool free_space_readable = true;
  std::uint64_t free_bytes = 0;  // disk_free_bytes()
  bool lock_free = true;         // acquire_log_lock()
  std::string help_file;         // find_help_file(); empty: no help file
  int threads_allowed = -1;      // start_thread() refuses once this many started; -1: no limit

  // --- What a test inspects ------------------------------------------------------------------
  int key_reads = 0;
  std::vector<std::string> free_space_queries;
  std::vector<std::string> removable_queries;
  std::vector<std::pair<std::string, std::uint64_t>> truncations;
  std::vector<std::string> locks;
  int releases = 0;
  std::vector<std::string> shown;  // help files handed to the viewer
  int threads_started = 0;

  explicit ScriptedPlatform(const char* rules = "UTC0")
      : current(std::filesystem::current_path().string()) {
    const char* before = std::getenv("TZ");
    had_rules_ = before != nullptr;
    if (had_rules_) rules_before_ = before;
    set_environment("TZ", rules);
    reread_zone();
    set_platform(this);
  }
  ~ScriptedPlatform() override {
    set_platform(nullptr);
    set_environment("TZ", had_rules_ ? rules_before_.c_str() : nullptr);
    reread_zone();
  }
  ScriptedPlatform(const ScriptedPlatform&) = delete;
  ScriptedPlatform& operator=(const ScriptedPlatform&) = delete;

  // Seconds since 1970 of a local time under the test's TZ, daylight saving applied; with
  // `standard`, read as standard time.
  static std::int64_t local_seconds(int year, int month, int day, int hour = 0, int minute = 0,
                                    int second = 0, bool standard = false) {
    std::tm tm{};
    tm.tm_year = year - 1900, tm.tm_mon = month - 1, tm.tm_mday = day;
    tm.tm_hour = hour, tm.tm_min = minute, tm.tm_sec = second;
    tm.tm_isdst = standard ? 0 : -1;
    return seconds_of_local(&tm);
  }
  static FileTime local_file_time(int year, int month, int day, int hour = 0, int minute = 0,
                                  int second = 0) {
    return file_time_of(local_seconds(year, month, day, hour, minute, second));
  }

  // --- Scripted --------------------------------------------------------------------------------
  std::string current_directory() override { return current; }
  std::string module_path() override { return module; }
  bool stdin_is_terminal() override { return false; }
  bool stderr_is_terminal() override { return false; }
  bool key_waiting() override { return !keys.empty(); }
  int read_key() override {
    ++key_reads;
    if (on_key) on_key();
    if (keys.empty()) return kKeyEndOfInput;
    int key = keys.front();
    keys.pop_front();
    return key;
  }
  void install_interrupt_handler() override {}
  bool interrupt_pending() override { return interrupted; }
  std::int64_t now_seconds() override { return now; }
  ZoneInfo zone_info() override { return zone ? *zone : native_platform().zone_info(); }
  bool to_calendar(std::int64_t seconds, bool local, CalendarTime* out) override {
    if (calendar_fails) return false;
    const std::int64_t t = local && zone ? seconds - zone->offset_seconds : seconds;
    std::tm tm{};
    bool rules = local && !zone;
    if (!calendar_of(t, rules, &tm)) return false;
    *out = {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour,
            tm.tm_min,         tm.tm_sec,     tm.tm_wday};
    return true;
  }
  std::int64_t local_standard_seconds(int y, int mo, int d, int h, int mi, int s) override {
    return local_seconds(y, mo, d, h, mi, s, true);
  }
  bool disk_free_bytes(const std::string& path, std::uint64_t* out) override {
    free_space_queries.push_back(path);
    *out = free_bytes;
    return free_space_readable;
  }
  bool is_removable_drive(const std::string& path) override {
    removable_queries.push_back(path);
    return removable;
  }
  std::string find_help_file(const std::string&) override { return help_file; }
  bool show_help_file(const std::string& path) override {
    shown.push_back(path);
    return true;
  }
  bool acquire_log_lock(const std::string& path, std::string* error) override {
    locks.push_back(path);
    if (!lock_free && error != nullptr) *error = "In use by another process";
    return lock_free;
  }
  void release_log_lock() override { ++releases; }
  ThreadHandle start_thread(std::function<void()> body) override {
    if (threads_started == threads_allowed) return nullptr;
    ++threads_started;
    return native_platform().start_thread(std::move(body));
  }

  // --- Served from the real file system --------------------------------------------------------
  bool full_path(const std::string& path, std::string* out) override {
    std::filesystem::path whole(path);
    if (whole.is_relative()) whole = std::filesystem::path(current) / whole;
    *out = whole.lexically_normal().string();
    return true;
  }
  bool is_directory(const std::string& path) override {
    std::error_code error;
    return std::filesystem::is_directory(path, error);
  }
  std::string find_name_ignoring_case(const std::string& directory,
                                      const std::string& name) override {
    std::error_code error;
    // Where the system ignores case, the name that exists may be spelled otherwise: the
    // listing gives it as it is.
    if (!kNamesIgnoreCase &&
        std::filesystem::exists(std::filesystem::path(directory) / name, error)) {
      return name;
    }
    for (const auto& entry : std::filesystem::directory_iterator(directory, error)) {
      std::string found = entry.path().filename().string();
      if (upper_case_ascii(found) == upper_case_ascii(name)) return found;
    }
    return "";
  }
  bool truncate_file(const std::string& path, std::uint64_t size) override {
    truncations.emplace_back(path, size);
    std::error_code error;
    std::filesystem::resize_file(path, size, error);
    return !error;
  }

 private:
  bool had_rules_ = false;
  std::string rules_before_;
};

// Settings as start-up leaves them before the command line.
inline void reset_settings() {
  set_environment("ACCT", nullptr);
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
