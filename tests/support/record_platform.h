// A platform double for the record writers: directory entries, time stamps and keys are
// scripted by the test, the clock and the time zone are fixed, and every attempt to change a
// file is logged. Digest input is refused, so digest columns show their marker texts.
#pragma once

#include <ctime>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "support/platform_double.h"

// The raw file time of a UTC moment in seconds since 1970.
inline FileTime file_time_of(std::int64_t seconds) {
  return static_cast<FileTime>(seconds + static_cast<std::int64_t>(kEpochDifferenceSeconds)) *
         kFileTimeTicksPerSecond;
}

class RecordPlatform : public PassThroughPlatform {
 public:
  // What a directory search on each exact pattern text finds, in order.
  std::map<std::string, std::vector<DirEntry>> searches;
  std::map<std::string, std::uint32_t> attributes;
  std::deque<int> keys;  // read_key answers; the end of input once they are used up
  bool interrupted = false;
  bool set_times_succeeds = true;
  bool interrupt_on_set_times = false;  // Ctrl-C arrives while the times are put back
  ZoneInfo zone;  // local time = UTC - zone.offset_seconds (no daylight shift)
  std::int64_t clock = 0;
  bool calendar_fails = false;
  bool removable = false;  // the output file lies on a removable drive
  std::uint64_t free_bytes = 0;

  struct TimesCall {
    std::string path;
    FileTime creation, access, write;
    std::uint32_t attributes_then;
  };
  std::vector<TimesCall> set_times_calls;
  std::vector<std::pair<std::string, std::uint32_t>> attribute_calls;
  int key_reads = 0;
  bool oem_mode = false;

  void add_file(const std::string& path, const DirEntry& entry) { searches[path] = {entry}; }

  SearchHandle find_first(const std::string& pattern, DirEntry* entry) override {
    auto found = searches.find(pattern);
    if (found == searches.end() || found->second.empty()) return nullptr;
    cursor_ = found->second;
    position_ = 0;
    *entry = cursor_[position_++];
    return reinterpret_cast<SearchHandle>(this);
  }
  bool find_next(SearchHandle, DirEntry* entry) override {
    if (position_ >= cursor_.size()) return false;
    *entry = cursor_[position_++];
    return true;
  }
  void find_close(SearchHandle) override {}

  InputHandle open_input(const std::string&) override { return nullptr; }
  InputHandle open_input_shared(const std::string&) override { return nullptr; }

  bool file_times(const std::string& path, FileTime* creation, FileTime* last_access,
                  FileTime* last_write) override {
    auto found = searches.find(path);
    if (found == searches.end() || found->second.empty()) return false;
    *creation = found->second[0].creation;
    *last_access = found->second[0].last_access;
    *last_write = found->second[0].last_write;
    return true;
  }
  bool set_file_times(const std::string& path, FileTime creation, FileTime last_access,
                      FileTime last_write) override {
    set_times_calls.push_back({path, creation, last_access, last_write, get_attributes(path)});
    if (interrupt_on_set_times) interrupted = true;
    return set_times_succeeds;
  }
  std::uint32_t get_attributes(const std::string& path) override {
    auto found = attributes.find(path);
    return found == attributes.end() ? kInvalidAttributes : found->second;
  }
  bool set_attributes(const std::string& path, std::uint32_t value) override {
    attribute_calls.emplace_back(path, value);
    attributes[path] = value;
    return true;
  }
  bool list_streams(const std::string&, std::vector<StreamEntry>* streams) override {
    streams->clear();
    return true;
  }
  bool is_removable_drive(const std::string&) override { return removable; }
  bool disk_free_bytes(const std::string&, std::uint64_t* free) override {
    *free = free_bytes;
    return true;
  }

  void set_file_apis_ansi() override { oem_mode = false; }
  void set_file_apis_oem() override { oem_mode = true; }
  bool file_apis_are_ansi() override { return !oem_mode; }

  bool key_waiting() override { return false; }
  int read_key() override {
    ++key_reads;
    if (keys.empty()) return kKeyEndOfInput;
    int key = keys.front();
    keys.pop_front();
    return key;
  }
  bool interrupt_pending() override { return interrupted; }

  std::int64_t now_seconds() override { return clock; }
  ZoneInfo zone_info() override { return zone; }
  bool to_calendar(std::int64_t seconds, bool local, CalendarTime* out) override {
    if (calendar_fails) return false;
    std::time_t t = static_cast<std::time_t>(local ? seconds - zone.offset_seconds : seconds);
    std::tm tm{};
    if (gmtime_r(&t, &tm) == nullptr) return false;
    *out = CalendarTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour,
                        tm.tm_min,         tm.tm_sec,     tm.tm_wday};
    return true;
  }
  bool acquire_log_lock(const std::string&) override { return true; }
  void release_log_lock() override {}

 private:
  std::vector<DirEntry> cursor_;
  std::size_t position_ = 0;
};
