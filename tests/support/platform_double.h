// A platform double that passes every call to the native layer; a test derives from it and
// overrides what it needs to fake (a key press, a full disk, a failing read).
#pragma once

#include <utility>

#include "platform/platform.h"

// The raw file time of a UTC moment in seconds since 1970.
inline FileTime file_time_of(std::int64_t seconds) {
  return static_cast<FileTime>(seconds + static_cast<std::int64_t>(kEpochDifferenceSeconds)) *
         kFileTimeTicksPerSecond;
}

class PassThroughPlatform : public Platform {
 public:
  std::vector<std::string> arguments(int argc, char** argv) override {
    return native_platform().arguments(argc, argv);
  }
  StandardStreams secure_standard_streams() override {
    return native_platform().secure_standard_streams();
  }
  DirHandle open_directory(const std::string& path, std::string* error) override {
    return native_platform().open_directory(path, error);
  }
  DirHandle open_subdirectory(const Directory& parent, const std::string& name,
                              std::string* error) override {
    return native_platform().open_subdirectory(parent, name, error);
  }
  void close_directory(DirHandle dir) override { native_platform().close_directory(dir); }
  bool list_directory(const Directory& dir, DirListing* listing, std::string* error) override {
    return native_platform().list_directory(dir, listing, error);
  }
  Lookup entry_facts(const Directory& dir, const std::string& name, DirEntry* facts) override {
    return native_platform().entry_facts(dir, name, facts);
  }
  bool full_path(const std::string& path, std::string* out) override {
    return native_platform().full_path(path, out);
  }
  std::string current_directory() override { return native_platform().current_directory(); }
  bool change_directory(const std::string& path) override {
    return native_platform().change_directory(path);
  }
  std::string module_path() override { return native_platform().module_path(); }
  bool is_directory(const std::string& path) override {
    return native_platform().is_directory(path);
  }
  bool path_facts(const std::string& path, DirEntry* facts) override {
    return native_platform().path_facts(path, facts);
  }
  std::string find_name_ignoring_case(const std::string& directory,
                                      const std::string& name) override {
    return native_platform().find_name_ignoring_case(directory, name);
  }
  int volume_kind(const std::string& path) override { return native_platform().volume_kind(path); }
  InputHandle open_file(const Directory& dir, const std::string& name, InputAccess access,
                        std::string* error) override {
    return native_platform().open_file(dir, name, access, error);
  }
  InputHandle open_file_shared(const Directory& dir, const std::string& name, InputAccess access,
                               std::string* error) override {
    return native_platform().open_file_shared(dir, name, access, error);
  }
  InputHandle open_stream(const Directory& dir, const std::string& carrier,
                          const std::string& stream, InputAccess access) override {
    return native_platform().open_stream(dir, carrier, stream, access);
  }
  InputHandle open_path(const std::string& path, std::string* error) override {
    return native_platform().open_path(path, error);
  }
  long long read_input(InputHandle input, void* buffer, std::size_t count) override {
    return native_platform().read_input(input, buffer, count);
  }
  bool seek_input(InputHandle input, std::uint64_t offset) override {
    return native_platform().seek_input(input, offset);
  }
  bool input_facts(InputHandle input, DirEntry* facts) override {
    return native_platform().input_facts(input, facts);
  }
  bool set_input_times(InputHandle input, const DirEntry& found) override {
    return native_platform().set_input_times(input, found);
  }
  void close_input(InputHandle input) override { native_platform().close_input(input); }
  std::uint32_t get_attributes(const Directory& dir, const std::string& name) override {
    return native_platform().get_attributes(dir, name);
  }
  bool set_attributes(const Directory& dir, const std::string& name,
                      std::uint32_t attributes) override {
    return native_platform().set_attributes(dir, name, attributes);
  }
  bool list_streams(const Directory& dir, const std::string& name,
                    std::vector<StreamEntry>* streams) override {
    return native_platform().list_streams(dir, name, streams);
  }
  bool enable_stream_privileges() override { return native_platform().enable_stream_privileges(); }
  OutputHandle open_output(const std::string& path, OutputMode mode, std::string* error) override {
    return native_platform().open_output(path, mode, error);
  }
  OutputHandle standard_output() override { return native_platform().standard_output(); }
  OutputHandle standard_error() override { return native_platform().standard_error(); }
  WriteResult write_output(OutputHandle output, const char* data, std::size_t count) override {
    return native_platform().write_output(output, data, count);
  }
  std::int64_t output_size(OutputHandle output) override {
    return native_platform().output_size(output);
  }
  bool cut_output(OutputHandle output, std::uint64_t size) override {
    return native_platform().cut_output(output, size);
  }
  bool close_output(OutputHandle output) override { return native_platform().close_output(output); }
  bool disk_free_bytes(const std::string& path, std::uint64_t* free_bytes) override {
    return native_platform().disk_free_bytes(path, free_bytes);
  }
  bool is_removable_drive(const std::string& path) override {
    return native_platform().is_removable_drive(path);
  }
  bool truncate_file(const std::string& path, std::uint64_t size) override {
    return native_platform().truncate_file(path, size);
  }
  void set_file_apis_ansi() override { native_platform().set_file_apis_ansi(); }
  void set_file_apis_oem() override { native_platform().set_file_apis_oem(); }
  bool file_apis_are_ansi() override { return native_platform().file_apis_are_ansi(); }
  bool stdin_is_terminal() override { return native_platform().stdin_is_terminal(); }
  bool stderr_is_terminal() override { return native_platform().stderr_is_terminal(); }
  bool key_waiting() override { return native_platform().key_waiting(); }
  int read_key() override { return native_platform().read_key(); }
  void install_interrupt_handler() override { native_platform().install_interrupt_handler(); }
  bool interrupt_pending() override { return native_platform().interrupt_pending(); }
  std::int64_t now_seconds() override { return native_platform().now_seconds(); }
  ZoneInfo zone_info() override { return native_platform().zone_info(); }
  bool to_calendar(std::int64_t seconds, bool local, CalendarTime* out) override {
    return native_platform().to_calendar(seconds, local, out);
  }
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
  bool acquire_log_lock(const std::string& path, std::string* error) override {
    return native_platform().acquire_log_lock(path, error);
  }
  void release_log_lock() override { native_platform().release_log_lock(); }
  std::unique_ptr<BackgroundReads> background_reads(int depth) override {
    return native_platform().background_reads(depth);
  }
  ThreadHandle start_thread(std::function<void()> body) override {
    return native_platform().start_thread(std::move(body));
  }
  void join_thread(ThreadHandle thread) override { native_platform().join_thread(thread); }
};
