#include "run/termination.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/platform.h"
#include "run/output_stream.h"
#include "run/settings.h"
#include "run/text_format.h"

namespace {

bool terminating = false;
std::string (*describe_output_files)(const std::string&) = nullptr;

struct Elapsed {
  int hours = 0;
  int minutes = 0;
  int seconds = 0;
};

Elapsed split_elapsed(long long seconds) {
  Elapsed elapsed;
  elapsed.hours = static_cast<int>(seconds / 3600);
  elapsed.minutes = static_cast<int>((seconds % 3600) / 60);
  elapsed.seconds = static_cast<int>(seconds % 60);
  return elapsed;
}

const char* directory_ending() {
  return counters.directory_count == 1 ? "y" : "ies";
}

// The directory, file and byte totals every summary starts with.
void append_totals(std::string* out) {
  append_format(
      out, "\n  %ld director%s, %ld files, %s bytes: ", static_cast<long>(counters.directory_count),
      directory_ending(), static_cast<long>(counters.file_count),
      format_thousands(counters.byte_total).c_str());
}

// Only a run that met something it could not read says so; every other summary is as always.
void append_unreadable(std::string* out) {
  if (counters.unreadable_count > 0) {
    append_format(out, "  %d could not be read\n", counters.unreadable_count);
  }
}

void append_elapsed(std::string* out, const Elapsed& elapsed) {
  *out += "  Elapsed: ";
  append_format(out, " %d hrs. %d mins. %d secs.\n", elapsed.hours, elapsed.minutes,
                elapsed.seconds);
}

std::string file_summary(const Elapsed& elapsed) {
  std::string out;
  append_totals(&out);
  out += "\n";
  if (settings.streams && (counters.stream_count != 0 || counters.stream_dir_count != 0)) {
    append_format(&out, " (Includes %d Alternate Data Streams ", counters.stream_count);
    append_format(&out, "And %d directories holding data streams)\n", counters.stream_dir_count);
  }
  append_unreadable(&out);
  append_elapsed(&out, elapsed);
  out += "\n";
  return out;
}

std::string console_summary(const Elapsed& elapsed) {
  std::string out;
  append_totals(&out);
  out += "\n";
  append_unreadable(&out);
  append_elapsed(&out, elapsed);
  out += "\n";
  return out;
}

// A log entry of a run that did not end normally says how it ended: otherwise it would read
// like a complete listing.
std::string log_summary(const Elapsed& elapsed, ExitReason reason,
                        const std::string& output_files) {
  std::string out;
  if (settings.auto_width) append_format(&out, "  Name width adjusted to %d", settings.name_width);
  if (counters.record_length > 0) {
    append_format(&out, "\n Record length %d", counters.record_length);
  }
  append_totals(&out);
  out += "\n";
  append_unreadable(&out);
  if (reason != kNormalExit) {
    append_format(&out, "  Abnormal termination. Reason: %s\n", exit_reason_text(reason));
  }
  append_format(&out, "\n\n  Finished: %.24s\n", time_text(counters.end_time, true).c_str());
  append_elapsed(&out, elapsed);
  out += output_files;
  out += "*****************************************************\n";
  return out;
}

void report_abnormal(ExitReason reason) {
  std::string text;
  append_format(&text, "\nAbnormal termination. Reason: %s\n\n", exit_reason_text(reason));
  write_message(text);
}

void close_log() {
  if (settings.accounting_file == nullptr) return;
  os().close_output(settings.accounting_file);
  settings.accounting_file = nullptr;
  os().release_log_lock();
}

}  // namespace

[[noreturn]] void terminate_run(ExitReason reason) {
  if (terminating) std::_Exit(reason);  // a failure inside the summaries: end at once
  terminating = true;
  hold_output();

  if (counters.start_time == 0) counters.start_time = os().now_seconds();
  counters.end_time = os().now_seconds();
  const Elapsed elapsed = split_elapsed(counters.end_time - counters.start_time);

  if (reason != kNormalExit) report_abnormal(reason);
  if (settings.auto_width) {
    std::string line;
    append_format(&line, "\n AUTOWIDTH -Mw= %d", settings.name_width);
    write_output(line);
  }
  const std::string name = output_name();
  const std::string output_file = output_is_stdout() ? "" : name;
  // The records first: the file summary counts only those that reached the output.
  bool written = write_gathered_output();
  // Data records leave the output to the data alone.
  if (written && settings.output_target != 0 && settings.silent == 0 &&
      settings.record_format == RecordFormat::kFixedWidth) {
    write_output(file_summary(elapsed));
  }
  if (!finish_output()) written = false;
  if (!written && !output_abandoned() && reason != kWriteError) {
    report_write_error(name);
    if (reason == kNormalExit) {
      reason = kWriteError;
      report_abnormal(reason);
    }
  }
  // A reader that left, or stopped reading when an interrupt came, while the last records were
  // written: the run did not end as a complete listing.
  if (!written && output_abandoned() && reason == kNormalExit) {
    reason = kInputFile;
    report_abnormal(reason);
  }
  if (reason == kNormalExit && log_write_failed()) {
    reason = kWriteError;
    report_abnormal(reason);
  }

  if (settings.silent == 0) write_message(console_summary(elapsed));
  if (settings.accounting_file != nullptr) {
    const std::string output_files =
        describe_output_files != nullptr ? describe_output_files(output_file) : "";
    write_log(log_summary(elapsed, reason, output_files));
    if (reason == kNormalExit && log_write_failed()) {
      reason = kWriteError;
      report_abnormal(reason);
    }
    close_log();
  }
  std::fflush(stdout);
  std::fflush(message_stream);
  std::exit(reason);
}

void describe_output_files_with(std::string (*lines)(const std::string& closed_file)) {
  describe_output_files = lines;
}

[[noreturn]] void end_run_at_once(ExitReason reason) {
  std::fflush(nullptr);
  std::exit(reason);
}

void check_interrupt() {
  if (os().interrupt_pending()) terminate_run(kInputFile);
}
