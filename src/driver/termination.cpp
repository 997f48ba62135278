#include "driver/termination.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "config/settings.h"
#include "driver/run_state.h"
#include "output/accounting_log.h"
#include "output/destinations.h"
#include "output/file_times.h"
#include "output/text_format.h"
#include "platform/platform.h"

namespace {

bool terminating = false;
int rerouted_option_reason = kIllegalOption;
std::string reroute_note;

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
bool output_failed = false;

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

void append_elapsed(std::string* out, const Elapsed& elapsed) {
  *out += "  Elapsed: ";
  append_format(out, " %d hrs. %d mins. %d secs.\n", elapsed.hours, elapsed.minutes,
                elapsed.seconds);
}

// The run is ending already, so a failed write only marks the output as incomplete.
void put_output(const std::string& text) {
  if (std::fwrite(text.data(), 1, text.size(), output_stream) != text.size()) {
    output_failed = true;
  }
}

std::string file_summary(const Elapsed& elapsed) {
  std::string out;
  append_totals(&out);
  out += "\n";
  if (settings.streams && (counters.stream_count != 0 || counters.stream_dir_count != 0)) {
    append_format(&out, " (Includes %d Alternate Data Streams ", counters.stream_count);
    append_format(&out, "And %d directories holding data streams)\n", counters.stream_dir_count);
  }
  append_elapsed(&out, elapsed);
  out += "\n";
  return out;
}

std::string console_summary(const Elapsed& elapsed) {
  std::string out;
  append_totals(&out);
  out += "\n";
  append_elapsed(&out, elapsed);
  out += "\n";
  return out;
}

std::string log_summary(const Elapsed& elapsed) {
  std::string out;
  if (settings.auto_width) append_format(&out, "  Name width adjusted to %d", settings.name_width);
  if (counters.record_length > 0)
    append_format(&out, "\n Record length %d", counters.record_length);
  append_totals(&out);
  out += "\n";
  append_format(&out, "\n\n  Finished: %.24s\n", time_text(counters.end_time, true).c_str());
  append_elapsed(&out, elapsed);
  out += "*****************************************************\n";
  return out;
}

// Flushes or closes the output stream; false when buffered records did not reach it.
bool finish_output() {
  bool ok = std::ferror(output_stream) == 0;
  if (settings.output_target != 0 && !output_is_stdout()) {
    if (std::fclose(output_stream) != 0) ok = false;
    output_stream = stdout;
  } else if (std::fflush(output_stream) != 0) {
    ok = false;
  }
  return ok;
}

void report_lost_output(bool to_stdout) {
  std::fprintf(message_stream, "\nError writing output file %s\n",
               to_stdout ? "(standard output)" : settings.output_path.c_str());
}

}  // namespace

[[noreturn]] void terminate_run(int reason) {
  if (terminating) std::_Exit(reason);  // a failure inside the summaries: end at once
  terminating = true;
  if (reason == kIllegalOption && !reroute_note.empty()) {
    std::fputs(reroute_note.c_str(), message_stream);
    reason = rerouted_option_reason;
  }

  if (counters.start_time == 0) counters.start_time = os().now_seconds();
  counters.end_time = os().now_seconds();
  const Elapsed elapsed = split_elapsed(counters.end_time - counters.start_time);

  if (reason != 0) {
    std::fprintf(message_stream, "\nAbnormal termination. Reason: %s\n\n",
                 exit_reason_text(reason));
  }
  if (settings.auto_width) {
    std::string line;
    append_format(&line, "\n AUTOWIDTH -Mw= %d", settings.name_width);
    put_output(line);
  }
  if (settings.output_target != 0 && settings.silent == 0) put_output(file_summary(elapsed));
  const bool was_stdout = output_is_stdout();
  if (!finish_output()) output_failed = true;

  // A write error already reported by the record writer needs no second message.
  if (output_failed && reason != kWriteError) {
    report_lost_output(was_stdout);
    if (reason == 0) {
      reason = kWriteError;
      std::fprintf(message_stream, "\nAbnormal termination. Reason: %s\n\n",
                   exit_reason_text(reason));
    }
  }

  if (settings.silent == 0) std::fputs(console_summary(elapsed).c_str(), message_stream);
  if (settings.accounting_file != nullptr) {
    std::fputs(log_summary(elapsed).c_str(), settings.accounting_file);
    close_accounting_log();
  }
  std::fflush(stdout);
  std::fflush(message_stream);
  std::exit(reason);
}

void check_interrupt() {
  if (os().interrupt_pending()) terminate_run(kInputFile);
}

void reroute_option_errors(int reason, const std::string& note) {
  rerouted_option_reason = reason;
  reroute_note = note;
}
