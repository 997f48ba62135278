// Stand-in until the POSIX layer is built.
#include "platform/platform.h"

const char kSeparator = '/';

namespace {

class PosixPlatform : public Platform {
 public:
  SearchHandle find_first(const std::string&, DirEntry*) override { return nullptr; }
  bool find_next(SearchHandle, DirEntry*) override { return false; }
  void find_close(SearchHandle) override {}
  bool full_path(const std::string& path, std::string* out) override {
    *out = path;
    return true;
  }
  std::string current_directory() override { return "/"; }
  std::string module_path() override { return "tallysum"; }
  bool is_directory(const std::string&) override { return false; }
  bool file_exists(const std::string&) override { return false; }
  std::string find_name_ignoring_case(const std::string&, const std::string&) override {
    return "";
  }
  int volume_kind(const std::string&) override { return 1; }
  InputHandle open_input(const std::string&) override { return nullptr; }
  InputHandle open_input_shared(const std::string&) override { return nullptr; }
  long long read_input(InputHandle, void*, std::size_t) override { return -1; }
  bool seek_input(InputHandle, std::uint64_t) override { return false; }
  void close_input(InputHandle) override {}
  bool file_times(const std::string&, FileTime*, FileTime*, FileTime*) override { return false; }
  bool set_file_times(const std::string&, FileTime, FileTime, FileTime) override { return false; }
  std::uint32_t get_attributes(const std::string&) override { return kInvalidAttributes; }
  bool set_attributes(const std::string&, std::uint32_t) override { return false; }
  bool list_streams(const std::string&, std::vector<StreamEntry>*) override { return false; }
  bool enable_stream_privileges() override { return true; }
  bool disk_free_bytes(const std::string&, std::uint64_t*) override { return false; }
  bool is_removable_drive(const std::string&) override { return false; }
  bool truncate_file(const std::string&, std::uint64_t) override { return false; }
  void set_file_apis_ansi() override {}
  void set_file_apis_oem() override {}
  bool file_apis_are_ansi() override { return true; }
  bool stdin_is_terminal() override { return false; }
  bool key_waiting() override { return false; }
  int read_key() override { return kKeyEndOfInput; }
  void install_interrupt_handler() override {}
  bool interrupt_pending() override { return false; }
  std::int64_t now_seconds() override { return 0; }
  ZoneInfo zone_info() override { return {}; }
  bool to_calendar(std::int64_t, bool, CalendarTime*) override { return false; }
  std::int64_t local_standard_seconds(int, int, int, int, int, int) override { return -1; }
  std::string find_help_file(const std::string&) override { return ""; }
  bool show_help_file(const std::string&) override { return false; }
  bool acquire_log_lock(const std::string&) override { return true; }
  void release_log_lock() override {}
};

}  // namespace

Platform& native_platform() {
  static PosixPlatform platform;
  return platform;
}
