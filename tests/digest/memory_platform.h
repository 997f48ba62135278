// A platform double for the digest drivers: files served from memory, with the faults a real
// disk cannot give on demand (a refused open in either code page, a refused shared open, a
// read or seek that fails, Ctrl-C after some reads) and a log of every input call. Everything
// the drivers do not use passes through to the native platform.
#pragma once

#include <algorithm>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"

class MemoryPlatform : public Platform {
 public:
  MemoryPlatform() { set_platform(this); }
  ~MemoryPlatform() override { set_platform(nullptr); }
  MemoryPlatform(const MemoryPlatform&) = delete;
  MemoryPlatform& operator=(const MemoryPlatform&) = delete;

  // --- What the test arranges ------------------------------------------------------------
  std::map<std::string, std::string> files;
  std::set<std::string> refuse_open;       // the normal open fails in both code pages
  std::set<std::string> refuse_ansi_open;  // the normal open fails in ANSI mode only
  std::set<std::string> refuse_shared;     // the shared open fails
  std::set<std::string> refuse_seek;
  std::map<std::string, std::size_t> fail_read_at;  // reads fail once this offset is reached
  int interrupt_after_reads = -1;                   // Ctrl-C once this many reads were made
  bool ansi = true;

  // --- What the test inspects -------------------------------------------------------------
  std::vector<std::string> log;       // "open ANSI name", "shared name", "seek N", "read N"...
  std::vector<std::size_t> read_sizes;  // the count asked for by every read
  int open_handles = 0;
  int reads = 0;

  InputHandle open_input(const std::string& path) override {
    log.push_back(std::string("open ") + (ansi ? "ANSI " : "OEM ") + path);
    if (files.count(path) == 0 || refuse_open.count(path) != 0) return nullptr;
    if (ansi && refuse_ansi_open.count(path) != 0) return nullptr;
    return make_handle(path);
  }
  InputHandle open_input_shared(const std::string& path) override {
    log.push_back("shared " + path);
    if (files.count(path) == 0 || refuse_shared.count(path) != 0) return nullptr;
    return make_handle(path);
  }
  long long read_input(InputHandle input, void* buffer, std::size_t count) override {
    Open* file = from_handle(input);
    read_sizes.push_back(count);
    ++reads;
    const std::string& bytes = files[file->path];
    auto failing = fail_read_at.find(file->path);
    std::size_t limit = bytes.size();
    if (failing != fail_read_at.end()) {
      if (file->position >= failing->second) return -1;
      limit = std::min(limit, failing->second);
    }
    if (file->position >= limit) return 0;
    std::size_t n = std::min(count, static_cast<std::size_t>(limit - file->position));
    std::memcpy(buffer, bytes.data() + file->position, n);
    file->position += n;
    return static_cast<long long>(n);
  }
  bool seek_input(InputHandle input, std::uint64_t offset) override {
    Open* file = from_handle(input);
    log.push_back("seek " + std::to_string(offset));
    if (refuse_seek.count(file->path) != 0) return false;
    file->position = offset;
    return true;
  }
  void close_input(InputHandle input) override {
    log.push_back("close");
    delete from_handle(input);
    --open_handles;
  }
  void set_file_apis_ansi() override { ansi = true; }
  void set_file_apis_oem() override { ansi = false; }
  bool file_apis_are_ansi() override { return ansi; }
  bool interrupt_pending() override {
    return interrupt_after_reads >= 0 && reads >= interrupt_after_reads;
  }

  // --- Passed through ---------------------------------------------------------------------
  SearchHandle find_first(const std::string& p, DirEntry* e) override {
    return native().find_first(p, e);
  }
  bool find_next(SearchHandle s, DirEntry* e) override { return native().find_next(s, e); }
  void find_close(SearchHandle s) override { native().find_close(s); }
  bool full_path(const std::string& p, std::string* out) override {
    return native().full_path(p, out);
  }
  std::string current_directory() override { return native().current_directory(); }
  std::string module_path() override { return native().module_path(); }
  bool is_directory(const std::string& p) override { return native().is_directory(p); }
  bool file_exists(const std::string& p) override { return files.count(p) != 0; }
  std::string find_name_ignoring_case(const std::string& d, const std::string& n) override {
    return native().find_name_ignoring_case(d, n);
  }
  int volume_kind(const std::string& p) override { return native().volume_kind(p); }
  bool file_times(const std::string& p, FileTime* c, FileTime* a, FileTime* w) override {
    return native().file_times(p, c, a, w);
  }
  bool set_file_times(const std::string& p, FileTime c, FileTime a, FileTime w) override {
    return native().set_file_times(p, c, a, w);
  }
  std::uint32_t get_attributes(const std::string& p) override {
    return native().get_attributes(p);
  }
  bool set_attributes(const std::string& p, std::uint32_t a) override {
    return native().set_attributes(p, a);
  }
  bool list_streams(const std::string& p, std::vector<StreamEntry>* s) override {
    return native().list_streams(p, s);
  }
  bool enable_stream_privileges() override { return native().enable_stream_privileges(); }
  bool disk_free_bytes(const std::string& p, std::uint64_t* f) override {
    return native().disk_free_bytes(p, f);
  }
  bool is_removable_drive(const std::string& p) override {
    return native().is_removable_drive(p);
  }
  bool truncate_file(const std::string& p, std::uint64_t s) override {
    return native().truncate_file(p, s);
  }
  bool stdin_is_terminal() override { return false; }
  bool key_waiting() override { return false; }
  int read_key() override { return kKeyEndOfInput; }
  void install_interrupt_handler() override {}
  std::int64_t now_seconds() override { return native().now_seconds(); }
  ZoneInfo zone_info() override { return native().zone_info(); }
  bool to_calendar(std::int64_t s, bool local, CalendarTime* out) override {
    return native().to_calendar(s, local, out);
  }
  std::int64_t local_standard_seconds(int y, int mo, int d, int h, int mi, int s) override {
    return native().local_standard_seconds(y, mo, d, h, mi, s);
  }
  std::string find_help_file(const std::string& p) override { return native().find_help_file(p); }
  bool show_help_file(const std::string& p) override { return native().show_help_file(p); }
  bool acquire_log_lock(const std::string& p) override { return native().acquire_log_lock(p); }
  void release_log_lock() override { native().release_log_lock(); }

 private:
  struct Open {
    std::string path;
    std::uint64_t position = 0;
  };

  static Platform& native() { return native_platform(); }
  InputHandle make_handle(const std::string& path) {
    ++open_handles;
    return reinterpret_cast<InputHandle>(new Open{path, 0});
  }
  static Open* from_handle(InputHandle input) { return reinterpret_cast<Open*>(input); }
};
