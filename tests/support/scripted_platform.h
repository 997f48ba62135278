// A platform double for the output file, the configuration file and the accounting log: it
// scripts what no test machine can give on demand (a removable drive, its free space, keys
// typed at a prompt, today's date, a log held by another run) and serves the file operations
// those pieces need from the real file system, so their tests do not depend on the native
// layer. Installs itself for its lifetime.
#pragma once

#include <strings.h>
#include <time.h>

#include <deque>
#include <filesystem>
#include <functional>
#include <string>
#include <system_error>
#include <vector>

#include "platform/platform.h"

class ScriptedPlatform : public Platform {
 public:
  ScriptedPlatform() {
    current = std::filesystem::current_path().string();
    set_platform(this);
  }
  ~ScriptedPlatform() override { set_platform(nullptr); }

  // --- What a test scripts -------------------------------------------------------------------
  std::string current;           // current_directory()
  std::string module = "/opt/tallysum/bin/tallysum";
  bool removable = false;        // is_removable_drive()
  bool free_space_readable = true;
  std::uint64_t free_bytes = 0;  // disk_free_bytes()
  std::deque<int> keys;          // read_key() answers; end of input once empty
  std::function<void()> on_key;  // runs before each key is answered
  bool interrupted = false;      // interrupt_pending()
  std::int64_t now = 0;          // now_seconds()
  int local_day_shift = 1;       // local dates differ from UTC ones by this many days
  bool lock_free = true;         // acquire_log_lock()

  // --- What a test inspects ------------------------------------------------------------------
  std::vector<std::string> free_space_queries;
  std::vector<std::string> removable_queries;
  std::vector<std::pair<std::string, std::uint64_t>> truncations;
  std::vector<std::string> locks;
  int releases = 0;
  int key_reads = 0;

  // --- Scripted --------------------------------------------------------------------------------
  std::string current_directory() override { return current; }
  std::string module_path() override { return module; }
  bool disk_free_bytes(const std::string& path, std::uint64_t* out) override {
    free_space_queries.push_back(path);
    *out = free_bytes;
    return free_space_readable;
  }
  bool is_removable_drive(const std::string& path) override {
    removable_queries.push_back(path);
    return removable;
  }
  int read_key() override {
    ++key_reads;
    if (on_key) on_key();
    if (keys.empty()) return kKeyEndOfInput;
    int key = keys.front();
    keys.pop_front();
    return key;
  }
  bool interrupt_pending() override { return interrupted; }
  std::int64_t now_seconds() override { return now; }
  bool to_calendar(std::int64_t seconds, bool local, CalendarTime* out) override {
    time_t when = static_cast<time_t>(seconds + (local ? local_day_shift * 86400LL : 0));
    struct tm parts;
    if (gmtime_r(&when, &parts) == nullptr) return false;
    *out = {parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday, parts.tm_hour,
            parts.tm_min,         parts.tm_sec,     parts.tm_wday};
    return true;
  }
  bool acquire_log_lock(const std::string& path) override {
    locks.push_back(path);
    return lock_free;
  }
  void release_log_lock() override { ++releases; }

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
  bool file_exists(const std::string& path) override {
    std::error_code error;
    return std::filesystem::exists(path, error);
  }
  std::string find_name_ignoring_case(const std::string& directory,
                                      const std::string& name) override {
    std::error_code error;
    if (std::filesystem::exists(std::filesystem::path(directory) / name, error)) return name;
    for (const auto& entry : std::filesystem::directory_iterator(directory, error)) {
      std::string found = entry.path().filename().string();
      if (strcasecmp(found.c_str(), name.c_str()) == 0) return found;
    }
    return "";
  }
  bool truncate_file(const std::string& path, std::uint64_t size) override {
    truncations.emplace_back(path, size);
    std::error_code error;
    std::filesystem::resize_file(path, size, error);
    return !error;
  }

  // --- Not needed here: the native layer ---------------------------------------------------------
  SearchHandle find_first(const std::string& pattern, DirEntry* entry) override {
    return native_platform().find_first(pattern, entry);
  }
  bool find_next(SearchHandle search, DirEntry* entry) override {
    return native_platform().find_next(search, entry);
  }
  void find_close(SearchHandle search) override { native_platform().find_close(search); }
  int volume_kind(const std::string& path) override { return native_platform().volume_kind(path); }
  InputHandle open_input(const std::string& path) override {
    return native_platform().open_input(path);
  }
  InputHandle open_input_shared(const std::string& path) override {
    return native_platform().open_input_shared(path);
  }
  long long read_input(InputHandle input, void* buffer, std::size_t count) override {
    return native_platform().read_input(input, buffer, count);
  }
  bool seek_input(InputHandle input, std::uint64_t offset) override {
    return native_platform().seek_input(input, offset);
  }
  void close_input(InputHandle input) override { native_platform().close_input(input); }
  bool file_times(const std::string& path, FileTime* creation, FileTime* access,
                  FileTime* write) override {
    return native_platform().file_times(path, creation, access, write);
  }
  bool set_file_times(const std::string& path, FileTime creation, FileTime access,
                      FileTime write) override {
    return native_platform().set_file_times(path, creation, access, write);
  }
  std::uint32_t get_attributes(const std::string& path) override {
    return native_platform().get_attributes(path);
  }
  bool set_attributes(const std::string& path, std::uint32_t attributes) override {
    return native_platform().set_attributes(path, attributes);
  }
  bool list_streams(const std::string& path, std::vector<StreamEntry>* streams) override {
    return native_platform().list_streams(path, streams);
  }
  bool enable_stream_privileges() override { return native_platform().enable_stream_privileges(); }
  void set_file_apis_ansi() override { native_platform().set_file_apis_ansi(); }
  void set_file_apis_oem() override { native_platform().set_file_apis_oem(); }
  bool file_apis_are_ansi() override { return native_platform().file_apis_are_ansi(); }
  bool stdin_is_terminal() override { return false; }
  bool key_waiting() override { return false; }
  void install_interrupt_handler() override {}
  ZoneInfo zone_info() override { return native_platform().zone_info(); }
  std::int64_t local_standard_seconds(int year, int month, int day, int hour, int minute,
                                      int second) override {
    return native_platform().local_standard_seconds(year, month, day, hour, minute, second);
  }
  std::string find_help_file(const std::string& program_path) override {
    return native_platform().find_help_file(program_path);
  }
  bool show_help_file(const std::string& help_path) override {
    return native_platform().show_help_file(help_path);
  }
};
