#include "output/destinations.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>

#include "output/catalogue_digest.h"
#include "run/output_stream.h"
#include "run/run_state.h"
#include "run/settings.h"
#include "run/termination.h"
#include "select/path_lists.h"

int disk_capacity = 0;
int records_on_disk = 0;

namespace {

constexpr std::uint64_t kDiskReserve = 4096;
constexpr unsigned char kCtrlZ = 0x1A;

enum class Continuation { kUnsettled, kOff, kOn };
Continuation continuation = Continuation::kUnsettled;
// The current disk's free space when it was started, and the longest record of the run so
// far: the next disk is counted in it from the start.
std::uint64_t disk_free_at_start = 0;
int longest_record = 0;

[[noreturn]] void end_with_write_error(const std::string& name) {
  report_write_error(name);
  terminate_run(kWriteError);
}

std::string parent_of(const std::string& path) {
  std::string directory = directory_part(path);
  return directory.empty() ? "." : directory;
}

// Where the free space of the output file's disk is read: its directory, or the nearest one
// above it that exists. The file itself is not there yet on a freshly inserted disk, and with
// the directory missing too the reopening names the file that cannot be made.
std::string output_directory() {
  std::string directory = parent_of(settings.output_path);
  for (int depth = 0; depth < 4096 && !os().is_directory(directory); ++depth) {
    std::string parent = parent_of(directory);
    if (parent == directory) break;
    directory = parent;
  }
  return directory;
}

std::string continuation_line() {
  char line[160];
  std::snprintf(line, sizeof line, "\n Processed %ld files, %lld bytes:  See continuation disk \n",
                static_cast<long>(counters.file_count),
                static_cast<long long>(counters.byte_total));
  return line;
}

// True when the file at `path` ends with `tail` as the output writes it (line ends those of
// the platform): the file just closed is still there, so the disk has not been changed.
bool file_ends_with(const std::string& path, const std::string& tail) {
  std::string written;
  for (char c : tail) written += c == '\n' ? std::string(kLineEnd) : std::string(1, c);
  DirEntry facts;
  if (!os().path_facts(path, &facts) || (facts.attributes & kAttrDirectory) != 0 ||
      facts.size < static_cast<std::int64_t>(written.size())) {
    return false;
  }
  InputHandle input = os().open_path(path, nullptr);
  if (input == nullptr) return false;
  std::string found(written.size(), '\0');
  bool same =
      os().seek_input(input, static_cast<std::uint64_t>(facts.size) - written.size()) &&
      os().read_input(input, found.data(), found.size()) == static_cast<long long>(found.size()) &&
      found == written;
  os().close_input(input);
  return same;
}

// After the full disk's file is closed the output stream must not point at it any more, or
// the summary at termination would be written into a closed stream.
[[noreturn]] void end_without_output_file(ExitReason reason) {
  use_standard_output();
  terminate_run(reason);
}

// No new disk comes: the run ends with the full disk's file as its last, and the file summary
// goes to its end, behind the closing line. Only a file that cannot be opened again leaves the
// summary to standard output.
[[noreturn]] void end_on_full_disk(ExitReason reason) {
  OutputHandle file = open_output_file(settings.output_path, true);
  if (file == nullptr) end_without_output_file(reason);
  use_output_file(file, settings.output_path);
  terminate_run(reason);
}

void close_full_disk_file(const std::string& closing_line) {
  write_output(closing_line);
  if (!finish_output()) end_with_write_error(settings.output_path);
}

// Standard output named as the destination has no disk to change.
void settle_continuation() {
  // A closing line and a new file per disk would break CSV and JSON data apart: data fills
  // one disk and ends there as a fixed disk does, its records whole.
  bool on = settings.output_target != 0 && !output_is_stdout() &&
            settings.record_format == RecordFormat::kFixedWidth &&
            os().is_removable_drive(settings.output_path);
  continuation = on ? Continuation::kOn : Continuation::kOff;
}

// Waits for a key that confirms a new disk. The key's value does not matter, but the disk
// must really have been changed: reopening the same disk's file would truncate it and lose
// every record on it.
void wait_for_new_disk(const std::string& closing_line) {
  for (;;) {
    std::fputs("\n\nOutput disk is full, replace and hit return\n", message_stream);
    std::fflush(message_stream);
    int key = os().read_key();
    if (key == kKeyInterrupted) end_on_full_disk(kInputFile);
    if (key == kKeyEndOfInput) {
      std::fputs("\nEnd of input: no new output disk was confirmed\n", message_stream);
      end_on_full_disk(kOutputFile);
    }
    if (!file_ends_with(settings.output_path, closing_line)) return;
    std::fputs("\nThe full disk is still in the drive\n", message_stream);
  }
}

}  // namespace

void remove_trailing_ctrl_z(const std::string& path) {
  // Only a regular file has a last byte; opening a named pipe to look could wait for ever.
  DirEntry facts;
  if (!os().path_facts(path, &facts) || (facts.attributes & kAttrDirectory) != 0 ||
      facts.size <= 0) {
    return;
  }
  InputHandle input = os().open_path(path, nullptr);
  if (input == nullptr) return;
  unsigned char last = 0;
  bool ends_with_ctrl_z = os().seek_input(input, static_cast<std::uint64_t>(facts.size) - 1) &&
                          os().read_input(input, &last, 1) == 1 && last == kCtrlZ;
  os().close_input(input);
  if (ends_with_ctrl_z) os().truncate_file(path, static_cast<std::uint64_t>(facts.size) - 1);
}

OutputHandle open_output_file(const std::string& path, bool append, std::string* error) {
  if (!append) return os().open_output(path, OutputMode::kCreate, error);
  remove_trailing_ctrl_z(path);
  return os().open_output(path, OutputMode::kAppend, error);
}

void expand_dated_path(std::string* path) {
  std::string marker(1, kSeparator);
  std::size_t at = path->find(marker + "MMDD");
  if (at == std::string::npos) at = path->find(marker + "YYMM");
  if (at == std::string::npos) return;
  CalendarTime today;
  if (!os().to_calendar(os().now_seconds(), false, &today)) return;
  // Only a '.' after the marker starts the extension: a directory name before it may hold one.
  std::size_t dot = path->find('.', at + 1);
  std::string extension = dot == std::string::npos ? "" : path->substr(dot);
  char date[40];
  std::snprintf(date, sizeof date, "%4d%02d%02d", today.year, today.month, today.day);
  path->replace(at + 1, std::string::npos, date + extension);
}

std::uint64_t disk_free_bytes(const std::string& path) {
  std::uint64_t free_bytes = 0;
  if (!os().disk_free_bytes(path, &free_bytes)) {
    std::fputs("can't get disk free space\n", message_stream);
    terminate_run(kOutputFile);
  }
  return free_bytes;
}

int capacity_for_free_space(std::uint64_t free_bytes, int record_width) {
  if (free_bytes < kDiskReserve) return 0;
  std::uint64_t width = record_width > 0 ? static_cast<std::uint64_t>(record_width) : 1;
  std::uint64_t records = (free_bytes - kDiskReserve) / width;
  return records > static_cast<std::uint64_t>(INT_MAX) ? INT_MAX : static_cast<int>(records);
}

bool continuation_active() {
  if (continuation == Continuation::kUnsettled) settle_continuation();
  return continuation == Continuation::kOn;
}

// A fresh disk: its capacity in records of the estimated width, counted from one.
void start_disk() {
  disk_free_at_start = disk_free_bytes(output_directory());
  longest_record = std::max(longest_record, run.record_width);
  disk_capacity = capacity_for_free_space(disk_free_at_start, longest_record);
  records_on_disk = 1;
}

void set_up_disk_capacity() {
  settle_continuation();
  if (continuation != Continuation::kOn) return;
  longest_record = 0;
  start_disk();
}

void note_record_length(std::size_t length) {
  // Counted as the record lies on the disk: its "\n" is the system's line end there, two
  // bytes on Windows, and a count one short per record would let the disk fill first.
  length += std::strlen(kLineEnd) - 1;
  if (continuation != Continuation::kOn || length <= static_cast<std::size_t>(longest_record)) {
    return;
  }
  longest_record = length > static_cast<std::size_t>(INT_MAX) ? INT_MAX : static_cast<int>(length);
  disk_capacity = capacity_for_free_space(disk_free_at_start, longest_record);
}

void continue_on_new_disk() {
  std::string closing_line = continuation_line();
  close_full_disk_file(closing_line);
  // The full disk leaves with the user: its file's digest is taken while it is still here.
  if (settings.accounting_file != nullptr) note_catalogue_digest(settings.output_path);
  wait_for_new_disk(closing_line);
  start_disk();
  OutputHandle file = os().open_output(settings.output_path, OutputMode::kReplace, nullptr);
  if (file == nullptr) {
    write_stdout_message("\ncan't reopen output file " + settings.output_path + "\n");
    end_without_output_file(kOutputFile);
  }
  use_output_file(file, settings.output_path);
}
