// The one header that knows an operating system exists. Everything above it speaks the
// program's own vocabulary: directory searches with wildcard patterns, 64-bit file times,
// digest input handles, named streams, console keys. posix/ implements it for Linux; a test
// can install a double with set_platform() to produce faults a real disk cannot give on demand.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// File times cross this layer as 100-nanosecond units since 1601-01-01 UTC.
using FileTime = std::uint64_t;

// Seconds between 1601-01-01 and 1970-01-01.
constexpr std::uint64_t kEpochDifferenceSeconds = 11644473600ULL;
constexpr std::uint64_t kFileTimeTicksPerSecond = 10000000ULL;

// Attribute bits of a directory entry.
constexpr std::uint32_t kAttrReadOnly = 0x01;
constexpr std::uint32_t kAttrHidden = 0x02;
constexpr std::uint32_t kAttrSystem = 0x04;
constexpr std::uint32_t kAttrDirectory = 0x10;
constexpr std::uint32_t kAttrArchive = 0x20;
constexpr std::uint32_t kAttrNormal = 0x80;
constexpr std::uint32_t kAttrEncrypted = 0x4000;
constexpr std::uint32_t kInvalidAttributes = 0xFFFFFFFFu;

// One entry of a directory search.
struct DirEntry {
  std::uint32_t attributes = 0;
  FileTime creation = 0;  // 0: the file system keeps no birth time
  FileTime last_access = 0;
  FileTime last_write = 0;
  std::int64_t size = 0;
  std::string name;        // long name
  std::string short_name;  // 8.3 name; empty where the file system has none
};

// One named stream of a file or directory, as the stream enumeration reports it.
struct StreamEntry {
  std::uint32_t type = 0;        // stream type; data streams only here
  std::uint32_t attributes = 0;  // stream attributes
  std::int64_t size = 0;         // bytes of the stream's data
  std::string name;              // ":NAME:$DATA"
};

// Time-zone facts of the run, as the C run-time reports them after tzset.
struct ZoneInfo {
  std::string standard_name;  // tzname[0]
  std::string daylight_name;  // tzname[1]
  long offset_seconds = 0;    // standard offset, west of Greenwich positive
  bool has_daylight = false;  // the zone has a daylight-saving rule
};

// Broken-down calendar time, as the system's time conversion gives it.
struct CalendarTime {
  int year = 0;
  int month = 0;  // 1..12
  int day = 0;    // 1..31
  int hour = 0;
  int minute = 0;
  int second = 0;
  int weekday = 0;  // 0 = Sunday
};

struct SearchState;  // an open directory search
struct InputFile;    // an open digest input (a file or a named stream)
using SearchHandle = SearchState*;
using InputHandle = InputFile*;

// Result of a key read: a byte value, kKeyEndOfInput, or kKeyInterrupted when Ctrl-C arrived
// while waiting (the caller then ends the run through check_interrupt).
constexpr int kKeyEndOfInput = -1;
constexpr int kKeyInterrupted = -2;

class Platform {
 public:
  virtual ~Platform() = default;

  // --- Directory search -------------------------------------------------------------------
  // `pattern` is a directory, the separator and a name pattern with the program's wildcard
  // rules ('*' any run, '?' one character, ASCII letters without case, "*.*" every name). Returns nullptr when the search cannot start or finds nothing.
  virtual SearchHandle find_first(const std::string& pattern, DirEntry* entry) = 0;
  virtual bool find_next(SearchHandle search, DirEntry* entry) = 0;
  virtual void find_close(SearchHandle search) = 0;

  // --- Paths ---------------------------------------------------------------------------------
  // Absolute, lexically normalised; a trailing separator is kept. False when the text cannot
  // be made absolute.
  virtual bool full_path(const std::string& path, std::string* out) = 0;
  virtual std::string current_directory() = 0;
  virtual std::string module_path() = 0;  // the running program's own file
  virtual bool is_directory(const std::string& path) = 0;
  virtual bool file_exists(const std::string& path) = 0;
  // The name of `name` in `directory` compared without case, or empty when absent.
  virtual std::string find_name_ignoring_case(const std::string& directory,
                                              const std::string& name) = 0;
  // 2: keeps named streams, 4: FAT, 1: anything else or unknown.
  virtual int volume_kind(const std::string& path) = 0;

  // --- Digest input --------------------------------------------------------------------------
  // A path of the form "file:NAME" names the stream NAME of an existing file or directory.
  virtual InputHandle open_input(const std::string& path) = 0;
  // The second, more permissive open used when the first is refused.
  virtual InputHandle open_input_shared(const std::string& path) = 0;
  // Bytes read; 0 at the end; -1 on a read error.
  virtual long long read_input(InputHandle input, void* buffer, std::size_t count) = 0;
  // Position at `offset` from the start; a position past the end is allowed.
  virtual bool seek_input(InputHandle input, std::uint64_t offset) = 0;
  virtual void close_input(InputHandle input) = 0;

  // --- Times and attributes -------------------------------------------------------------------
  // Creation, last access and last write of a file, directory or stream path (a stream has
  // the times of the file that carries it).
  virtual bool file_times(const std::string& path, FileTime* creation, FileTime* last_access,
                          FileTime* last_write) = 0;
  // Writes the access and write times back; a creation time the system cannot set is not a
  // failure.
  virtual bool set_file_times(const std::string& path, FileTime creation, FileTime last_access,
                              FileTime last_write) = 0;
  virtual std::uint32_t get_attributes(const std::string& path) = 0;
  virtual bool set_attributes(const std::string& path, std::uint32_t attributes) = 0;

  // --- Named streams --------------------------------------------------------------------------
  // False when the path cannot be opened; an empty list when it has no named streams.
  virtual bool list_streams(const std::string& path, std::vector<StreamEntry>* streams) = 0;
  virtual bool enable_stream_privileges() = 0;

  // --- Disks ----------------------------------------------------------------------------------
  virtual bool disk_free_bytes(const std::string& path, std::uint64_t* free_bytes) = 0;
  virtual bool is_removable_drive(const std::string& path) = 0;
  virtual bool truncate_file(const std::string& path, std::uint64_t size) = 0;

  // --- Code pages (real on Windows only) ------------------------------------------------------
  virtual void set_file_apis_ansi() = 0;
  virtual void set_file_apis_oem() = 0;
  virtual bool file_apis_are_ansi() = 0;

  // --- Console --------------------------------------------------------------------------------
  virtual bool stdin_is_terminal() = 0;
  // True when a key is waiting; never true when standard input is not a terminal.
  virtual bool key_waiting() = 0;
  // One key without echo; kKeyEndOfInput at the end of input, kKeyInterrupted on Ctrl-C.
  virtual int read_key() = 0;
  // Ctrl-C: the handler only records the request; interrupt_pending() reports it.
  virtual void install_interrupt_handler() = 0;
  virtual bool interrupt_pending() = 0;

  // --- Time -----------------------------------------------------------------------------------
  virtual std::int64_t now_seconds() = 0;  // seconds since 1970
  virtual ZoneInfo zone_info() = 0;        // runs tzset first
  // Seconds since 1970 to calendar time, local or UTC. False when it cannot be converted.
  virtual bool to_calendar(std::int64_t seconds, bool local, CalendarTime* out) = 0;
  // Local midnight-based conversion back, as mktime with no daylight adjustment: -1 when the
  // date cannot be converted.
  virtual std::int64_t local_standard_seconds(int year, int month, int day, int hour,
                                              int minute, int second) = 0;

  // --- Help -----------------------------------------------------------------------------------
  // The program's help file for the program at `program_path`, or empty when not found.
  virtual std::string find_help_file(const std::string& program_path) = 0;
  // Shows the file in the viewer and waits for it to finish: the viewer shares the console.
  virtual bool show_help_file(const std::string& help_path) = 0;

  // --- Accounting log -------------------------------------------------------------------------
  // Holds `path` exclusively for this process until release_log_lock; false when another
  // process holds it or it cannot be opened or created.
  virtual bool acquire_log_lock(const std::string& path) = 0;
  virtual void release_log_lock() = 0;
};

// The platform in use: the native one unless a test installed another.
Platform& os();
// Installs `platform` (nullptr restores the native one).
void set_platform(Platform* platform);
// The native implementation, for test doubles that pass most calls through.
Platform& native_platform();

// The path separator of the platform, as text and as a character.
extern const char kSeparator;
// Whether the platform's file names compare without regard to case.
extern const bool kNamesIgnoreCase;
