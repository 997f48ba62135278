#include "run/run_state.h"

// Each on cache lines of its own: the main thread writes the counters at every record, and the
// workers read the run's state and the settings at every file.
alignas(64) RunCounters counters;
alignas(64) RunState run;

const char* exit_reason_text(ExitReason reason) {
  switch (reason) {
    case kNormalExit:
      return "NORMAL_EXIT";
    case kUserAborted:
      return "USER_ABORTED";
    case kInputFile:
      return "INPUT_FILE";
    case kOutputFile:
      return "OUTPUT_FILE";
    case kParameterFile:
      return "PARAMATER_FILE";
    case kIllegalOption:
      return "ILLEGAL or INCOMPLETE OPTION";
    case kInsufficientMemory:
      return "INSUFFICIENT MEMORY";
    case kOtherExit:
      return "OTHER_EXIT";
    case kWriteError:
      return "WRITE_ERROR";
    case kReadError:
      return "READ_ERROR";
  }
  return "OTHER_EXIT";
}

std::string format_thousands(std::int64_t value) {
  // Work on the magnitude as unsigned so the most negative value does not overflow.
  std::uint64_t magnitude =
      value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  std::string digits = std::to_string(magnitude);
  std::string text;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) text += ',';
    text += digits[i];
  }
  return value < 0 ? "-" + text : text;
}
