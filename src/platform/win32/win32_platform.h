// The Windows implementation of the platform layer. The program keeps UTF-8 inside and talks
// to the system only through the wide (W) calls, so every name NTFS can hold survives the trip.
// The class is spread over small files named for what they do (directories_win32.cpp,
// input_win32.cpp, ...); the free functions in namespace win32 are the pure parts, declared
// here so that tests reach them without a real disk. No system header here: handles cross as
// void*.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/platform.h"

// An open directory: its path in the form that lifts the 260-character limit ("\\?\C:\dir\"),
// ending in a separator, so an entry is reached by appending its name.
struct DirectoryState {
  std::wstring long_path;
};

class Win32Platform : public Platform {
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
  bool enable_stream_privileges() override;

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

  void set_file_apis_ansi() override;
  void set_file_apis_oem() override;
  bool file_apis_are_ansi() override;

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
  void* log_lock_ = nullptr;  // the HANDLE that holds the lock, or null
  std::wstring log_lock_path_;
};

namespace win32 {

// UTF-8 to UTF-16 and back. Bytes that are not UTF-8 and lone surrogates become U+FFFD, so a
// conversion never fails and never drops the rest of the text.
std::wstring to_wide(std::string_view text);
std::string to_utf8(std::wstring_view text);

// The system's own words for an error code, in UTF-8 and without the trailing line end.
std::string error_text(unsigned long code);

// A full path in the form that the wide calls accept beyond 260 characters: "C:\x" becomes
// "\\?\C:\x", "\\server\share\x" becomes "\\?\UNC\server\share\x"; a path already in a
// prefixed form, a device path ("\\.\NUL") and a relative one come back unchanged.
std::wstring extended_path(const std::wstring& full);
// `path` made full by the system and put in the extended form; empty when the system cannot
// make it full or the text holds a NUL.
std::wstring system_path(const std::string& path);

// True when `name` names one entry of a directory: not empty, not "." or "..", and free of
// separators, drive or stream colons, wildcards and control characters.
bool is_plain_name(std::string_view name);

// The path of the entry `name` of `dir` (`name` empty: of the directory itself, without its
// trailing separator unless it is a root). Empty when `name` is not a plain name.
std::wstring entry_path(const Directory& dir, const std::string& name);

// Whether an entry with these attributes and reparse tag is a link to another name, which the
// listing follows (to a file) or leaves out (to a directory, so that no walk can loop).
bool is_link(std::uint32_t attributes, std::uint32_t reparse_tag);

// The file-system name of a volume (as GetVolumeInformationW gives it) and its flags, as the
// program's volume kind: 2 keeps named streams, 4 FAT, 1 anything else.
int volume_kind_of(std::wstring_view file_system, unsigned long flags);

// What a failed write's error code means to the writer.
WriteResult::Status write_status(unsigned long error);

// A FILETIME's two halves as one count.
inline FileTime file_time(unsigned long low, unsigned long high) {
  return (static_cast<FileTime>(high) << 32) | low;
}

// The help file of the program at `program_path`: its base name up to the first '.', with
// ".txt", in the program's directory ("C:\T\TALLY.V2.EXE" gives "C:\T\TALLY.txt").
std::string help_file_name(const std::string& program_path);

}  // namespace win32
