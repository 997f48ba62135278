// A platform double for tests of the command line, the help screens and the filters: a fixed
// clock with the C library's own time-zone rules (set TZ), scripted console keys, a help file
// that can be made to exist, and paths made absolute against a chosen directory. Everything
// else goes to the native platform.
#pragma once

#include <cstdio>
#include <deque>
#include <string>
#include <vector>

#include "platform/platform.h"

class ScriptedPlatform : public Platform {
 public:
  std::int64_t now = 0;             // what now_seconds() answers
  std::deque<int> keys;             // read_key() answers these, then kKeyEndOfInput
  std::string help_file;            // empty: no help file
  std::vector<std::string> shown;   // help files handed to the viewer
  std::string directory = "/work";  // relative paths are made absolute against it

  // Installs itself for the test's lifetime and sets TZ.
  explicit ScriptedPlatform(const char* zone = "UTC0");
  ~ScriptedPlatform() override;

  // Seconds since 1970 of a local time under the test's TZ (daylight rules applied).
  static std::int64_t local_seconds(int year, int month, int day, int hour = 0, int minute = 0,
                                    int second = 0);
  // The same as a file time.
  static FileTime local_file_time(int year, int month, int day, int hour = 0, int minute = 0,
                                  int second = 0);

  SearchHandle find_first(const std::string& pattern, DirEntry* entry) override;
  bool find_next(SearchHandle search, DirEntry* entry) override;
  void find_close(SearchHandle search) override;
  bool full_path(const std::string& path, std::string* out) override;
  std::string current_directory() override { return directory; }
  std::string module_path() override;
  bool is_directory(const std::string& path) override;
  bool file_exists(const std::string& path) override;
  std::string find_name_ignoring_case(const std::string& directory,
                                      const std::string& name) override;
  int volume_kind(const std::string& path) override;
  InputHandle open_input(const std::string& path) override;
  InputHandle open_input_shared(const std::string& path) override;
  long long read_input(InputHandle input, void* buffer, std::size_t count) override;
  bool seek_input(InputHandle input, std::uint64_t offset) override;
  void close_input(InputHandle input) override;
  bool file_times(const std::string& path, FileTime* creation, FileTime* last_access,
                  FileTime* last_write) override;
  bool set_file_times(const std::string& path, FileTime creation, FileTime last_access,
                      FileTime last_write) override;
  std::uint32_t get_attributes(const std::string& path) override;
  bool set_attributes(const std::string& path, std::uint32_t attributes) override;
  bool list_streams(const std::string& path, std::vector<StreamEntry>* streams) override;
  bool enable_stream_privileges() override;
  bool disk_free_bytes(const std::string& path, std::uint64_t* free_bytes) override;
  bool is_removable_drive(const std::string& path) override;
  bool truncate_file(const std::string& path, std::uint64_t size) override;
  void set_file_apis_ansi() override {}
  void set_file_apis_oem() override {}
  bool file_apis_are_ansi() override { return true; }
  bool stdin_is_terminal() override { return false; }
  bool key_waiting() override { return !keys.empty(); }
  int read_key() override;
  void install_interrupt_handler() override {}
  bool interrupt_pending() override { return false; }
  std::int64_t now_seconds() override { return now; }
  ZoneInfo zone_info() override { return {}; }
  bool to_calendar(std::int64_t seconds, bool local, CalendarTime* out) override;
  std::int64_t local_standard_seconds(int year, int month, int day, int hour, int minute,
                                      int second) override;
  std::string find_help_file(const std::string&) override { return help_file; }
  bool show_help_file(const std::string& help_path) override;
  bool acquire_log_lock(const std::string& path) override;
  void release_log_lock() override;
};

// Points message_stream at a scratch file for the capture's lifetime.
class MessageCapture {
 public:
  MessageCapture();
  ~MessageCapture();
  MessageCapture(const MessageCapture&) = delete;
  MessageCapture& operator=(const MessageCapture&) = delete;
  // Everything written so far.
  std::string text();

 private:
  std::FILE* saved_;
  std::FILE* file_;
};

// Fresh settings as start-up leaves them before the command line.
void reset_settings();
