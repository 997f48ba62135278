// The one header that knows an operating system exists. Everything above it speaks the
// program's own vocabulary: directories and their entries, 64-bit file times, digest input,
// named streams, output files written in whole pieces, console keys. posix/ implements it for
// Linux and win32/ for Windows; a test can install a double with set_platform() to produce
// faults a real disk cannot give on demand.
//
// Entries of a directory are reached through the directory (a Directory: its path and, where
// the system has one, an open handle), never by pasting a path together: so the depth of a
// tree is not limited by the length of a path, and a file whose name holds ':' can never be
// taken for a named stream of another.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/dir_listing.h"

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

// The facts of one file or directory: what the filters and the records know of it. A file's
// are taken when it is reached, from the open file where it is opened.
struct DirEntry {
  std::uint32_t attributes = 0;
  FileTime creation = 0;  // 0: the file system keeps no birth time
  FileTime last_access = 0;
  FileTime last_write = 0;
  // The nanoseconds below the 100-ns unit (0..99) that some systems keep, so that a reset
  // puts back exactly the stamps that were found.
  std::uint8_t creation_ns = 0;
  std::uint8_t last_access_ns = 0;
  std::uint8_t last_write_ns = 0;
  std::int64_t size = 0;
  std::string name;        // long name
  std::string short_name;  // 8.3 name; empty where the file system has none
};

// What a look-up of one entry found. kGone: it is not there, or is nothing the program lists
// (a dangling link, a FIFO, a device); kUnreadable: it is there but cannot be examined.
enum class Lookup { kFound, kGone, kUnreadable };

// How a digest input is opened: for reading alone, or also so that set_input_times can put
// the stamps back through the same handle.
enum class InputAccess { kRead, kReadAndRestoreTimes };

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

struct DirectoryState;   // an open directory
struct InputFile;        // an open digest input (a file or a named stream)
struct OutputFileState;  // an open output file
struct ThreadState;      // a started thread
using DirHandle = DirectoryState*;
using InputHandle = InputFile*;
using OutputHandle = OutputFileState*;
using ThreadHandle = ThreadState*;

// The stack a started thread reserves. A worker only reads and digests, in buffers of its own
// on the heap; the systems' defaults (1 to 8 MiB) would have a thousand workers fill the
// address space of a 32-bit program.
constexpr std::size_t kThreadStackBytes = std::size_t{256} * 1024;

// A directory the program is in: its full path, ending in the separator (what records and
// messages show), and the handle through which its entries are reached. A null handle (a
// test's made-up directory) makes an implementation fall back to the path.
struct Directory {
  std::string path;
  DirHandle handle = nullptr;
};

// How an output file is opened.
enum class OutputMode {
  kCreate,   // create, or empty an existing file
  kAppend,   // create when missing; every write goes to the end
  kReplace,  // as kCreate, for the file of a new disk
};

// What one write of an output file achieved. `written` bytes reached the file whatever the
// status.
struct WriteResult {
  enum Status {
    kDone,        // everything was written
    kShort,       // fewer bytes than asked and no error reported: write the rest again
    kFull,        // the disk or the quota is full
    kBrokenPipe,  // the reader of a pipe has gone
    kFailed,      // any other error
    // An interrupt is pending and the output (a pipe or a terminal whose reader does not read)
    // has taken nothing for half a second since it came: the run must not wait any longer.
    kInterrupted,
  };
  Status status = kDone;
  std::size_t written = 0;
  std::string error;  // the system's words for a failure, where it gave any
};

// Result of a key read: a byte value, kKeyEndOfInput, or kKeyInterrupted when an interrupt
// arrived while waiting (the caller then ends the run through check_interrupt).
constexpr int kKeyEndOfInput = -1;
constexpr int kKeyInterrupted = -2;

// Which standard descriptors were found closed at start-up.
struct StandardStreams {
  bool input_closed = false;
  bool output_closed = false;
  bool error_closed = false;
};

// Reads the system carries out on its own, many at once: a disk that answers each read late
// answers many of them together, and no thread waits on any one of them. One thread at a time
// starts and collects them.
class BackgroundReads {
 public:
  virtual ~BackgroundReads() = default;
  // Starts reading up to `count` bytes at `offset` of a file opened by open_file into
  // `buffer`, which must stay until the read is collected; `tag` comes back with it. False
  // when it cannot start now: the queue is full, or the input is no file.
  virtual bool start(InputHandle input, void* buffer, std::size_t count, std::uint64_t offset,
                     void* tag) = 0;
  // Hands the reads started to the system and waits up to `limit` for one of them to end,
  // then tells `ended` of each that has: its tag and the bytes read, -1 when it failed.
  virtual void collect(std::chrono::milliseconds limit,
                       const std::function<void(void* tag, long long got)>& ended) = 0;
  // Started and not yet collected.
  virtual int in_flight() const = 0;
};

class Platform {
 public:
  virtual ~Platform() = default;

  // --- Start-up -------------------------------------------------------------------------------
  // The command line as UTF-8 words, argument 0 first (on Windows taken from the system, not
  // from the code-page `argv`).
  virtual std::vector<std::string> arguments(int argc, char** argv) = 0;
  // Puts a harmless file on every standard descriptor that is closed, so that no file the run
  // opens can take its place; a closed standard output stays unwritable.
  virtual StandardStreams secure_standard_streams() = 0;

  // --- Directories ----------------------------------------------------------------------------
  // nullptr when the directory cannot be opened; `error` then says why.
  virtual DirHandle open_directory(const std::string& path, std::string* error) = 0;
  // The subdirectory `name` of `parent`, reached through the parent.
  virtual DirHandle open_subdirectory(const Directory& parent, const std::string& name,
                                      std::string* error) = 0;
  virtual void close_directory(DirHandle dir) = 0;
  // Every entry but "." and "..", with whether it is a directory, as the directory itself
  // tells it: no look at an entry unless the directory leaves its kind open (a link, or a file
  // system that does not say). Links to files show as files; links to directories, dangling
  // links, FIFOs, sockets and devices are not listed. Sorted by name (byte order) where the
  // system's order is arbitrary; in the system's own order where it keeps one. False when the
  // directory cannot be read; `error` then says why.
  virtual bool list_directory(const Directory& dir, DirListing* listing, std::string* error) = 0;
  // The facts of `name` in `dir` as they are now (`name` empty: the directory itself), links
  // followed: one look-up, the file not opened.
  virtual Lookup entry_facts(const Directory& dir, const std::string& name, DirEntry* facts) = 0;

  // --- Paths ----------------------------------------------------------------------------------
  // Absolute, lexically normalised; a trailing separator is kept. False when the text cannot
  // be made absolute.
  virtual bool full_path(const std::string& path, std::string* out) = 0;
  virtual std::string current_directory() = 0;
  // Makes `path` the current directory, against which relative paths are made absolute. False
  // when it is no directory that can be entered.
  virtual bool change_directory(const std::string& path) = 0;
  virtual std::string module_path() = 0;  // the running program's own file
  virtual bool is_directory(const std::string& path) = 0;
  // Facts of a regular file or directory named by a path (links followed). False when it is
  // missing or something else (a FIFO, a device).
  virtual bool path_facts(const std::string& path, DirEntry* facts) = 0;
  // The name of `name` in `directory` compared without case, or empty when absent.
  virtual std::string find_name_ignoring_case(const std::string& directory,
                                              const std::string& name) = 0;
  // 2: keeps named streams, 4: FAT, 1: anything else or unknown.
  virtual int volume_kind(const std::string& path) = 0;

  // --- Input ----------------------------------------------------------------------------------
  // A file of `dir` opened for reading; nullptr when it cannot be (`error` says why). What it
  // is shows in input_facts. Opened for kReadAndRestoreTimes where the system allows it, else
  // for reading alone (set_input_times then fails).
  virtual InputHandle open_file(const Directory& dir, const std::string& name, InputAccess access,
                                std::string* error) = 0;
  // The second, more permissive open for a file another process holds open for writing.
  virtual InputHandle open_file_shared(const Directory& dir, const std::string& name,
                                       InputAccess access, std::string* error) = 0;
  // The named stream `stream` (its bare name, "summary") of `carrier` in `dir` (`carrier`
  // empty: of the directory itself).
  virtual InputHandle open_stream(const Directory& dir, const std::string& carrier,
                                  const std::string& stream, InputAccess access) = 0;
  // A regular file named by a path, for reading (configuration file, catalogue, log tail);
  // nullptr when it cannot be opened or is no regular file (`error`, when given, says why).
  virtual InputHandle open_path(const std::string& path, std::string* error) = 0;
  // Bytes read; 0 at the end; -1 on a read error.
  virtual long long read_input(InputHandle input, void* buffer, std::size_t count) = 0;
  // Position at `offset` from the start; a position past the end is allowed.
  virtual bool seek_input(InputHandle input, std::uint64_t offset) = 0;
  // The facts of the open input as they are now: those a file is catalogued with, and, taken
  // again after the reading, whether it changed meanwhile. False for anything but a regular
  // file. A stream answers with its own size and its carrier's times.
  virtual bool input_facts(InputHandle input, DirEntry* facts) = 0;
  // Writes the stamps of `found` back through the open input (a stream's: its carrier's),
  // exactly as they were taken (to the nanosecond where the system keeps them), so that no
  // name changed since can lead them elsewhere. A stamp of 0 and a creation time the system
  // cannot set are left as they are.
  virtual bool set_input_times(InputHandle input, const DirEntry& found) = 0;
  virtual void close_input(InputHandle input) = 0;
  // Room for up to `depth` background reads; nullptr where the system carries out none, and
  // files are then read by threads alone.
  virtual std::unique_ptr<BackgroundReads> background_reads(int depth) = 0;

  // --- Attributes -----------------------------------------------------------------------------
  virtual std::uint32_t get_attributes(const Directory& dir, const std::string& name) = 0;
  virtual bool set_attributes(const Directory& dir, const std::string& name,
                              std::uint32_t attributes) = 0;

  // --- Named streams --------------------------------------------------------------------------
  // The named streams of `name` in `dir` (`name` empty: of the directory itself). False when
  // it cannot be opened; an empty list when it has none.
  virtual bool list_streams(const Directory& dir, const std::string& name,
                            std::vector<StreamEntry>* streams) = 0;
  virtual bool enable_stream_privileges() = 0;

  // --- Output files ---------------------------------------------------------------------------
  // nullptr when the file cannot be opened or created; `error` then says why.
  virtual OutputHandle open_output(const std::string& path, OutputMode mode,
                                   std::string* error) = 0;
  // The process's standard output, written like any output file; never closed.
  virtual OutputHandle standard_output() = 0;
  // Standard error, likewise: for what must not wait on a reader that stopped reading.
  virtual OutputHandle standard_error() = 0;
  // One write of `count` bytes: a single system call where the system allows, so that an
  // appending writer's piece lands whole at the end of the file.
  virtual WriteResult write_output(OutputHandle output, const char* data, std::size_t count) = 0;
  // The file's size now; -1 when the output is not a file (a pipe, a terminal).
  virtual std::int64_t output_size(OutputHandle output) = 0;
  // Cuts the file back to `size` bytes.
  virtual bool cut_output(OutputHandle output, std::uint64_t size) = 0;
  // False when the system reports that data may not have reached the file.
  virtual bool close_output(OutputHandle output) = 0;

  // --- Disks ----------------------------------------------------------------------------------
  // The bytes this process may still write on the file system holding `path`: space kept
  // back for the administrator, or beyond the user's quota, is not counted.
  virtual bool disk_free_bytes(const std::string& path, std::uint64_t* free_bytes) = 0;
  virtual bool is_removable_drive(const std::string& path) = 0;
  virtual bool truncate_file(const std::string& path, std::uint64_t size) = 0;

  // --- Code pages (real on Windows only, and there without effect on the wide calls) ---------
  virtual void set_file_apis_ansi() = 0;
  virtual void set_file_apis_oem() = 0;
  virtual bool file_apis_are_ansi() = 0;

  // --- Console --------------------------------------------------------------------------------
  // Asked once; the answer holds for the run.
  virtual bool stdin_is_terminal() = 0;
  // Whether standard error is a terminal, where text drawn over itself with backspaces makes
  // sense; asked once, the answer holds for the run.
  virtual bool stderr_is_terminal() = 0;
  // True when a key is waiting; never true when standard input is not a terminal. Cheap
  // enough to ask once per directory entry.
  virtual bool key_waiting() = 0;
  // One key without echo; kKeyEndOfInput at the end of input, kKeyInterrupted on an interrupt.
  virtual int read_key() = 0;
  // Ctrl-C, and the requests to end that a terminal or a system sends (hang-up, terminate):
  // the handler only records the request; interrupt_pending() reports it. A reader that
  // leaves a pipe shows as kBrokenPipe on the write, never as a signal.
  virtual void install_interrupt_handler() = 0;
  virtual bool interrupt_pending() = 0;

  // --- Time -----------------------------------------------------------------------------------
  virtual std::int64_t now_seconds() = 0;  // seconds since 1970
  virtual ZoneInfo zone_info() = 0;        // runs tzset first
  // Seconds since 1970 to calendar time, local or UTC. False when it cannot be converted.
  virtual bool to_calendar(std::int64_t seconds, bool local, CalendarTime* out) = 0;
  // Local midnight-based conversion back, as mktime with no daylight adjustment: -1 when the
  // date cannot be converted.
  virtual std::int64_t local_standard_seconds(int year, int month, int day, int hour, int minute,
                                              int second) = 0;

  // --- Help -----------------------------------------------------------------------------------
  // The program's help file for the program at `program_path`, or empty when not found.
  virtual std::string find_help_file(const std::string& program_path) = 0;
  // Shows the file in the viewer and waits for it to finish: the viewer shares the console.
  virtual bool show_help_file(const std::string& help_path) = 0;

  // --- Accounting log -------------------------------------------------------------------------
  // Holds `path` exclusively for this process until release_log_lock; false when another
  // process holds it, when it cannot be opened or created, or when it is a named pipe or a
  // socket, which would carry the entries away instead of keeping them; `error` then says why.
  // Never waits for the other end of a pipe.
  virtual bool acquire_log_lock(const std::string& path, std::string* error) = 0;
  virtual void release_log_lock() = 0;

  // --- Threads --------------------------------------------------------------------------------
  // Runs `body` on a new thread with a stack of kThreadStackBytes; nullptr when the system
  // cannot start one now (memory, address space or its thread limit exhausted).
  virtual ThreadHandle start_thread(std::function<void()> body) = 0;
  // Waits until the thread's body has returned, then lets the thread go.
  virtual void join_thread(ThreadHandle thread) = 0;
};

// The platform in use: the native one unless a test installed another.
Platform& os();
// Installs `platform` (nullptr restores the native one).
void set_platform(Platform* platform);
// The native implementation, for test doubles that pass most calls through.
Platform& native_platform();

// Where the platforms differ only in a value.
extern const char kSeparator;         // '/' or '\\'
extern const bool kNamesIgnoreCase;   // file names compare without regard to case
extern const char kOptionPrefixes[];  // the characters that begin an option argument
extern const char kLineEnd[];         // what "\n" becomes in the files and streams written
extern const char kSystemName[];      // "Linux" or "Windows"
extern const char kManualPlace[];     // where a user finds the manual of this build

// What the program was compiled for, from the compiler's own facts: the processor ("x86_64",
// "i686") and the width of an address in bits.
extern const char kProcessorName[];
constexpr int kBuildBits = static_cast<int>(sizeof(void*) * 8);
// The most a write to a pipe or a terminal hands over in one call: a write of no more reaches
// the reader whole or not at all, so an interrupt never leaves half a record there.
extern const std::size_t kWholeWriteSize;
