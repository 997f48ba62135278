// The run counters, the exit reasons and the driver's run-wide values.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct RunCounters {
  int directory_count = 0;
  int file_count = 0;
  std::int64_t byte_total = 0;
  int stream_count = 0;
  int stream_dir_count = 0;
  std::int64_t start_time = 0;  // seconds since 1970
  std::int64_t end_time = 0;
  int record_length = 0;  // start-up estimate, then the length of the last file record
  // Directories and files that could not be read (each named by a message), and files that
  // changed while they were read.
  int unreadable_count = 0;
};

extern RunCounters counters;

// Values the driver computes at start-up and the walk reads.
struct RunState {
  int counting_pass = 1;  // 1 until the counting pass is over
  int volume_kind = 1;    // 2 named streams, 4 FAT, 1 other
  int precount_files = 0;
  std::int64_t precount_bytes = 0;
  int longest_path = 0;
  // Standard error is a terminal: only there is progress drawn.
  bool progress_on_terminal = false;
  int record_width = 0;
  std::string module_path;        // the program's full path (argument 0)
  std::vector<std::string> argv;  // the command line as echoed, argument 0 replaced
};

extern RunState run;

enum ExitReason {
  kNormalExit = 0,
  kUserAborted = 1,
  // A verification or comparison that found a difference: its status, not a reason of the
  // run's own table.
  kDifferencesFound = 1,
  kInputFile = 2,
  kOutputFile = 3,
  kParameterFile = 4,
  kIllegalOption = 5,
  kInsufficientMemory = 6,
  kOtherExit = 7,
  kWriteError = 8,
  kReadError = 10,
};

// The text of an exit reason ("NORMAL_EXIT" ... "READ_ERROR").
const char* exit_reason_text(ExitReason reason);

// Comma-grouped decimal text of a signed 64-bit count: 1234567 gives "1,234,567".
std::string format_thousands(std::int64_t value);
