// The Linux implementation of the platform layer. The class is spread over small files named
// for what they do (dir_search_posix.cpp, input_posix.cpp, ...); the free functions below are
// the pure parts of it, declared here so that tests can reach them without a real disk fault.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

class PosixPlatform : public Platform {
 public:
  SearchHandle find_first(const std::string& pattern, DirEntry* entry) override;
  bool find_next(SearchHandle search, DirEntry* entry) override;
  void find_close(SearchHandle search) override;

  bool full_path(const std::string& path, std::string* out) override;
  std::string current_directory() override;
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
  bool enable_stream_privileges() override { return true; }

  bool disk_free_bytes(const std::string& path, std::uint64_t* free_bytes) override;
  bool is_removable_drive(const std::string& path) override;
  bool truncate_file(const std::string& path, std::uint64_t size) override;

  void set_file_apis_ansi() override { file_apis_ansi_ = true; }
  void set_file_apis_oem() override { file_apis_ansi_ = false; }
  bool file_apis_are_ansi() override { return file_apis_ansi_; }

  bool stdin_is_terminal() override;
  bool key_waiting() override;
  int read_key() override;
  void install_interrupt_handler() override;
  bool interrupt_pending() override;

  std::int64_t now_seconds() override;
  ZoneInfo zone_info() override;
  bool to_calendar(std::int64_t seconds, bool local, CalendarTime* out) override;
  std::int64_t local_standard_seconds(int year, int month, int day, int hour, int minute,
                                      int second) override;

  std::string find_help_file(const std::string& program_path) override;
  bool show_help_file(const std::string& help_path) override;

  bool acquire_log_lock(const std::string& path) override;
  void release_log_lock() override;

 private:
  bool file_apis_ansi_ = true;
  int log_lock_fd_ = -1;
  std::string log_lock_path_;
};

namespace posix {

// What one status query tells about a directory entry.
enum class FileKind { kRegular, kDirectory, kLink, kOther };
struct FileStatus {
  FileKind kind = FileKind::kOther;
  bool owner_writable = true;
  std::int64_t size = 0;
  FileTime creation = 0;  // 0 where the file system keeps no birth time
  FileTime last_access = 0;
  FileTime last_write = 0;
};

// Status of `name` relative to the directory descriptor `dir_fd` (or the current directory's
// marker); `follow` resolves a final symbolic link. False when the entry cannot be examined.
// Never opens the entry, so a FIFO or device cannot block or notice.
bool status_at(int dir_fd, const char* name, bool follow, FileStatus* status);
// Status of a path, following links.
bool status_of(const std::string& path, FileStatus* status);

// The attribute bits an entry called `name` with `status` shows.
std::uint32_t attributes_of(const FileStatus& status, std::string_view name);

// Name matching of a directory search: '*' any run of bytes, '?' exactly one byte, ASCII
// letters without case; a trailing ".*" also matches a name without any dot, so "*.*" matches
// every name.
bool wildcard_match(std::string_view pattern, std::string_view name);

// Seconds and nanoseconds since 1970 as 100-ns units since 1601; 0 for instants before 1601.
FileTime to_file_time(std::int64_t seconds, std::uint32_t nanoseconds);
// The reverse, split for the system's time structures.
void from_file_time(FileTime time, std::int64_t* seconds, long* nanoseconds);

// `path` made absolute against `cwd` and lexically normalised; a trailing separator is kept.
std::string normalise_path(const std::string& cwd, const std::string& path);

// The digest input behind a stream path "P:NAME": the carrier P and the attribute that holds
// the stream. `found` is false when no prefix of the path carries such an attribute.
struct StreamLocation {
  bool found = false;
  std::string carrier;
  std::string attribute;
};
StreamLocation locate_stream(const std::string& path);

// The path whose times and attributes stand for `path`: the path itself when it exists, the
// carrier of the stream it names otherwise (or the path unchanged when it names neither).
std::string times_source(const std::string& path);

// The content of a stream attribute as the stream's reader sees it; false when it cannot be
// read.
bool read_stream_value(const std::string& carrier, const std::string& attribute,
                       std::string* value);

// Whether the block device MAJOR:MINOR (or, for a partition, its disk) is flagged removable
// in the sysfs tree at `sysfs_root` ("/sys" on a real system).
bool device_is_removable(const std::string& sysfs_root, unsigned major, unsigned minor);

// Gives the terminal its own settings back for a program that shares it; true when the
// key-reading settings were in force, so that enter_key_mode() takes them again afterwards.
bool leave_key_mode();
void enter_key_mode();

// The manual page of the program at `program_path`, looked up beside it, in ../share/man/man1
// and in the man1 directories of `manpath` (the MANPATH value; null or empty for the system's
// default places). Empty when there is none.
std::string find_manual_page(const std::string& program_path, const char* manpath);

}  // namespace posix
