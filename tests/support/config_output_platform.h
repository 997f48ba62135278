// A platform double for the output file, the configuration file and the accounting log: it
// scripts what no test machine can give on demand (a removable drive, its free space, keys
// typed at a prompt, today's date, a log held by another run) and serves the few file
// operations those pieces need from the real file system, so their tests do not depend on the
// native layer. Everything else passes through. Installs itself for its lifetime.
#pragma once

#include <strings.h>
#include <time.h>

#include <deque>
#include <filesystem>
#include <functional>
#include <string>
#include <system_error>
#include <vector>

#include "support/platform_double.h"

class ConfigOutputPlatform : public PassThroughPlatform {
 public:
  ConfigOutputPlatform() {
    current = std::filesystem::current_path().string();
    set_platform(this);
  }
  ~ConfigOutputPlatform() override { set_platform(nullptr); }

  // --- What a test scripts -------------------------------------------------------------------
  std::string current;  // current_directory()
  std::string module = "/opt/tallysum/bin/tallysum";
  bool removable = false;  // is_removable_drive()
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
};
