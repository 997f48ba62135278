// The Linux implementation of the platform layer. The class is spread over small files named
// for what they do (directories_posix.cpp, input_posix.cpp, ...); the free functions below are
// the pure parts of it, declared here so that tests can reach them without a real disk fault.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

class PosixPlatform : public Platform {
 public:
  std::vector<std::string> arguments(int argc, char** argv) override;
  StandardStreams secure_standard_streams() override;

  DirHandle open_directory(const std::string& path, std::string* error) override;
  DirHandle open_subdirectory(const Directory& parent, const std::string& name,
                              std::string* error) override;
  void close_directory(DirHandle dir) override;
  bool list_directory(const Directory& dir, DirListing* listing, std::string* error) override;
  Lookup entry_facts(const Directory& dir, const std::string& name, DirEntry* facts) override;

  bool full_path(const std::string& path, std::string* out) override;
  std::string current_directory() override;
  bool change_directory(const std::string& path) override;
  std::string module_path() override;
  bool is_directory(const std::string& path) override;
  bool path_facts(const std::string& path, DirEntry* facts) override;
  std::string find_name_ignoring_case(const std::string& directory,
                                      const std::string& name) override;
  int volume_kind(const std::string& path) override;

  InputHandle open_file(const Directory& dir, const std::string& name, InputAccess access,
                        std::string* error) override;
  InputHandle open_file_shared(const Directory& dir, const std::string& name, InputAccess access,
                               std::string* error) override;
  InputHandle open_stream(const Directory& dir, const std::string& carrier,
                          const std::string& stream, InputAccess access) override;
  InputHandle open_path(const std::string& path, std::string* error) override;
  long long read_input(InputHandle input, void* buffer, std::size_t count) override;
  bool seek_input(InputHandle input, std::uint64_t offset) override;
  bool input_facts(InputHandle input, DirEntry* facts) override;
  bool set_input_times(InputHandle input, const DirEntry& found) override;
  void close_input(InputHandle input) override;
  std::unique_ptr<BackgroundReads> background_reads(int depth) override;

  std::uint32_t get_attributes(const Directory& dir, const std::string& name) override;
  bool set_attributes(const Directory& dir, const std::string& name,
                      std::uint32_t attributes) override;

  bool list_streams(const Directory& dir, const std::string& name,
                    std::vector<StreamEntry>* streams) override;
  bool enable_stream_privileges() override { return true; }

  OutputHandle open_output(const std::string& path, OutputMode mode, std::string* error) override;
  OutputHandle standard_output() override;
  OutputHandle standard_error() override;
  WriteResult write_output(OutputHandle output, const char* data, std::size_t count) override;
  std::int64_t output_size(OutputHandle output) override;
  bool cut_output(OutputHandle output, std::uint64_t size) override;
  bool close_output(OutputHandle output) override;

  bool disk_free_bytes(const std::string& path, std::uint64_t* free_bytes) override;
  bool is_removable_drive(const std::string& path) override;
  bool truncate_file(const std::string& path, std::uint64_t size) override;

  void set_file_apis_ansi() override { file_apis_ansi_ = true; }
  void set_file_apis_oem() override { file_apis_ansi_ = false; }
  bool file_apis_are_ansi() override { return file_apis_ansi_; }

  bool stdin_is_terminal() override;
  bool stderr_is_terminal() override;
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

  bool acquire_log_lock(const std::string& path, std::string* error) override;
  void release_log_lock() override;

  ThreadHandle start_thread(std::function<void()> body) override;
  void join_thread(ThreadHandle thread) override;

 private:
  // Digest workers open files on several threads at once.
  std::atomic<bool> file_apis_ansi_{true};
  int log_lock_fd_ = -1;
  std::string log_lock_path_;
  int stdin_terminal_ = -1;  // -1 until asked
  std::chrono::steady_clock::time_point last_key_poll_{};
  bool key_polled_ = false;
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
  std::uint8_t creation_ns = 0;  // the nanoseconds below each 100-ns unit
  std::uint8_t last_access_ns = 0;
  std::uint8_t last_write_ns = 0;
};

// Status of `name` relative to the directory descriptor `dir_fd` (or AT_FDCWD); an empty name
// asks about `dir_fd` itself. `follow` resolves a final symbolic link. Never opens the entry,
// so a FIFO or device cannot block or notice. False (errno set) when it cannot be examined.
bool status_at(int dir_fd, const char* name, bool follow, FileStatus* status);

// The attribute bits an entry called `name` with `status` shows.
std::uint32_t attributes_of(const FileStatus& status, std::string_view name);

// The facts of an entry as the listing and the inputs report them.
DirEntry entry_of(const FileStatus& status, const std::string& name);

// Name matching of a directory search: '*' any run of bytes, '?' exactly one byte, ASCII
// letters without case; a trailing ".*" also matches a name without any dot, so "*.*" matches
// every name.
bool wildcard_match(std::string_view pattern, std::string_view name);

// Seconds and nanoseconds since 1970 as 100-ns units since 1601; 0 for instants before 1601.
// `below_tick` receives the nanoseconds the unit cannot hold (0..99).
FileTime to_file_time(std::int64_t seconds, std::uint32_t nanoseconds,
                      std::uint8_t* below_tick = nullptr);
// The reverse, split for the system's time structures, with the nanoseconds below the unit
// added back.
void from_file_time(FileTime time, std::uint8_t below_tick, std::int64_t* seconds,
                    long* nanoseconds);

// `path` made absolute against `cwd` and lexically normalised; a trailing separator is kept.
std::string normalise_path(const std::string& cwd, const std::string& path);

// Whether the block device MAJOR:MINOR (or, for a partition, its disk) is flagged removable
// in the sysfs tree at `sysfs_root` ("/sys" on a real system).
bool device_is_removable(const std::string& sysfs_root, unsigned major, unsigned minor);

// The read end of a pipe that receives a byte whenever a request to end arrives, on whichever
// thread the signal lands: a wait in poll() that includes it ends at once. -1 until the
// handler is installed.
int interrupt_wake_fd();

// Gives the terminal its own settings back for a program that shares it; true when the
// key-reading settings were in force, so that enter_key_mode() takes them again afterwards.
bool leave_key_mode();
void enter_key_mode();

// The manual page of the program at `program_path`, looked up beside it, in ../share/man/man1
// and in the man1 directories of `manpath` (the MANPATH value; null or empty for the system's
// default places). Empty when there is none.
std::string find_manual_page(const std::string& program_path, const char* manpath);

// An entry of a directory as the *at calls name it: the directory's descriptor and the name,
// or, for a directory without a handle, the current directory's marker and the pasted path.
// An empty `name` stands for the directory itself.
struct EntryRef {
  int fd = -1;
  std::string name;
};
EntryRef entry_ref(const Directory& dir, const std::string& name);
// The path of `name` in `dir`, whether or not the directory's path ends in the separator.
std::string joined_path(const Directory& dir, const std::string& name);

// The last component of a path, trailing separators ignored ("/" stays "/").
std::string_view base_name(std::string_view path);

// Where the extended attributes of an entry are read: a descriptor of the entry opened for
// reading when it can be (the f*xattr calls), otherwise paths that reach it, tried in order.
struct Carrier {
  int fd = -1;
  std::vector<std::string> paths;
};
// False (errno set) when the entry is not there.
bool open_carrier(const Directory& dir, const std::string& name, Carrier* carrier);
void close_carrier(Carrier* carrier);
// The content of the stream `stream` as its reader sees it: the attribute user.STREAM, or
// else the file server's form of it without its stored terminator. False when neither is
// there or it cannot be read.
bool read_stream_value(const Carrier& carrier, const std::string& stream, std::string* value);
// The status of the carrier as it is now.
bool carrier_status(const Carrier& carrier, FileStatus* status);

// The descriptor of an open file; -1 for a stream, which is read from memory.
int descriptor_of(InputHandle input);

}  // namespace posix

// An open directory: the descriptor every entry is reached through.
struct DirectoryState {
  int fd = -1;
};
