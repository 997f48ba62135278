#include "run/output_stream.h"

#include <chrono>
#include <cstring>
#include <vector>

#include "run/run_state.h"
#include "run/settings.h"
#include "run/termination.h"

std::FILE* message_stream = stderr;

namespace {

constexpr std::size_t kFlushSize = 1 << 16;
// A terminal or a pipe reader sees records within this time even when they come slowly.
constexpr auto kSlowOutputDelay = std::chrono::milliseconds(50);

// A record gathered but not yet written: where it ends in the buffer and what it counted.
struct Piece {
  std::size_t end = 0;
  int files = 0;
  std::int64_t bytes = 0;
};

struct OutputState {
  OutputHandle handle = nullptr;  // nullptr: standard output
  std::string name;
  bool is_file = false;  // a regular file: written only in large pieces
  bool holding = false;  // the run is ending: gather, finish_output writes
  std::string buffer;
  std::vector<Piece> pieces;
  std::chrono::steady_clock::time_point last_flush;
  bool failed = false;
  // Nothing more can be written: the reader has gone, or it stopped reading and an interrupt
  // came. What is gathered from then on is dropped and counted out.
  bool abandoned = false;
  std::string failure_reason;  // the system's words for the write that failed
};

// The accounting log's entry of this run: where it began in the file, so that a write the
// disk cuts short takes the whole entry back instead of leaving half a line.
struct LogState {
  OutputHandle entry_of = nullptr;  // the log the entry is being written to
  std::int64_t entry_start = -1;    // its size before the entry; -1: not a file
  bool stopped = false;             // a write failed: nothing more goes to this log
};

OutputState out;
LogState log_entry;
bool log_failed = false;

OutputHandle handle() {
  return out.handle != nullptr ? out.handle : os().standard_output();
}

// "\n" is the program's line end; a platform whose files end lines otherwise gets its own.
void append_text(std::string* buffer, const std::string& text) {
  if (std::strcmp(kLineEnd, "\n") == 0) {
    buffer->append(text);
    return;
  }
  for (char c : text) {
    if (c == '\n') {
      buffer->append(kLineEnd);
    } else {
      buffer->push_back(c);
    }
  }
}

// Writes all of `data`; a short write is resumed, so a signal never cuts a piece. Returns how
// much reached the output and the status that stopped it.
WriteResult write_all(OutputHandle target, const char* data, std::size_t count) {
  WriteResult total;
  while (total.written < count) {
    WriteResult step = os().write_output(target, data + total.written, count - total.written);
    total.written += step.written;
    if (step.status == WriteResult::kShort) continue;
    if (step.status != WriteResult::kDone) {
      total.status = step.status;
      total.error = step.error;
      return total;
    }
  }
  total.status = WriteResult::kDone;
  return total;
}

// Where the next piece of a pipe or terminal output ends: as many whole records from `start`
// as one write hands over whole, or the one record there when it alone is larger.
std::size_t whole_write_end(std::size_t start, std::size_t* next_piece) {
  std::size_t end = start;
  while (*next_piece < out.pieces.size()) {
    std::size_t piece_end = out.pieces[*next_piece].end;
    if (end > start && piece_end - start > kWholeWriteSize) break;
    end = piece_end;
    ++*next_piece;
  }
  return end;
}

// A file is written in one call, so that appending runs interleave only between such calls;
// a pipe or terminal in writes that each end with a record, so that an interrupt that stops
// the writing leaves no half record with the reader.
WriteResult write_buffer() {
  if (out.is_file) return write_all(handle(), out.buffer.data(), out.buffer.size());
  WriteResult total;
  std::size_t next_piece = 0;
  while (total.written < out.buffer.size()) {
    std::size_t end = whole_write_end(total.written, &next_piece);
    WriteResult step = write_all(handle(), out.buffer.data() + total.written, end - total.written);
    total.written += step.written;
    if (step.status != WriteResult::kDone) {
      total.status = step.status;
      total.error = step.error;
      return total;
    }
  }
  return total;
}

// The gathered records that will never reach the output leave the counters.
void drop_gathered() {
  for (const Piece& piece : out.pieces) {
    counters.file_count -= piece.files;
    counters.byte_total -= piece.bytes;
  }
  out.buffer.clear();
  out.pieces.clear();
}

// After a write that stopped part-way: the file is cut back to the last whole record, and the
// records that did not reach it leave the counters.
void keep_whole_records(std::size_t written) {
  std::size_t kept = 0;
  for (const Piece& piece : out.pieces) {
    if (piece.end <= written) {
      kept = piece.end;
      continue;
    }
    counters.file_count -= piece.files;
    counters.byte_total -= piece.bytes;
  }
  std::int64_t size = os().output_size(handle());
  if (size >= 0 && written > kept && static_cast<std::uint64_t>(size) >= written - kept) {
    os().cut_output(handle(), static_cast<std::uint64_t>(size) - (written - kept));
  }
}

// Writes the gathered pieces; false when they did not all reach the output.
bool write_gathered() {
  out.last_flush = std::chrono::steady_clock::now();
  if (out.abandoned) {
    drop_gathered();
    return false;
  }
  if (out.buffer.empty()) return true;
  WriteResult result = write_buffer();
  bool ok = result.status == WriteResult::kDone;
  if (!ok) {
    keep_whole_records(result.written);
    out.failure_reason = result.error;
    out.abandoned =
        result.status == WriteResult::kBrokenPipe || result.status == WriteResult::kInterrupted;
  }
  out.buffer.clear();
  out.pieces.clear();
  return ok;
}

// A reader that left or stopped reading is no disk fault: the run ends as an interrupt ends it.
[[noreturn]] void end_with_write_error() {
  if (out.abandoned) terminate_run(kInputFile);
  report_write_error(output_name());
  terminate_run(kWriteError);
}

// After a piece of the entry failed: the log is cut back to where the entry began, so it ends
// with the last whole entry, and nothing more is written to it.
void stop_log_entry(const std::string& why) {
  log_entry.stopped = true;
  if (log_entry.entry_start >= 0) {
    os().cut_output(settings.accounting_file, static_cast<std::uint64_t>(log_entry.entry_start));
  }
  if (log_failed) return;
  log_failed = true;
  std::fprintf(message_stream, "\nError writing accounting file %s\n",
               settings.accounting_path.c_str());
  if (!why.empty()) std::fprintf(message_stream, "%s\n", why.c_str());
}

void flush_when_due() {
  if (out.holding) return;
  if (out.buffer.size() >= kFlushSize ||
      (!out.is_file && std::chrono::steady_clock::now() - out.last_flush >= kSlowOutputDelay)) {
    flush_output();
  }
}

}  // namespace

void use_standard_output() {
  out.handle = nullptr;
  out.name = "(standard output)";
  out.is_file = os().output_size(os().standard_output()) >= 0;
}

void use_output_file(OutputHandle file, const std::string& name) {
  out.handle = file;
  out.name = name;
  out.is_file = os().output_size(file) >= 0;
}

void hold_output() {
  out.holding = true;
}

bool output_is_stdout() {
  return out.handle == nullptr;
}

std::string output_name() {
  return out.handle == nullptr ? "(standard output)" : out.name;
}

void write_record(const std::string& text, int files, std::int64_t bytes) {
  append_text(&out.buffer, text);
  out.pieces.push_back(Piece{out.buffer.size(), files, bytes});
  flush_when_due();
}

void write_output(const std::string& text) {
  append_text(&out.buffer, text);
  out.pieces.push_back(Piece{out.buffer.size(), 0, 0});
  flush_when_due();
}

void write_stdout_message(const std::string& text) {
  // Standard output that carries CSV or JSON records holds data only.
  if (settings.record_format != RecordFormat::kFixedWidth) {
    write_message(text);
    return;
  }
  if (output_is_stdout()) {
    write_output(text);
    flush_output();
    return;
  }
  std::string converted;
  append_text(&converted, text);
  write_all(os().standard_output(), converted.data(), converted.size());
}

void write_message(const std::string& text) {
  if (message_stream != stderr || !os().interrupt_pending()) {
    std::fputs(text.c_str(), message_stream);
    return;
  }
  std::fflush(message_stream);
  std::string converted;
  append_text(&converted, text);
  write_all(os().standard_error(), converted.data(), converted.size());
}

void flush_before_long_wait() {
  if (!out.is_file && !out.holding && !out.buffer.empty()) flush_output();
}

void flush_output() {
  if (out.failed) return;
  if (!write_gathered()) {
    out.failed = true;
    end_with_write_error();
  }
}

bool write_gathered_output() {
  if (out.failed) return false;
  if (!write_gathered()) out.failed = true;
  return !out.failed;
}

bool finish_output() {
  bool ok = !out.failed && write_gathered();
  if (out.failed) drop_gathered();
  if (out.handle != nullptr) {
    if (!os().close_output(out.handle)) ok = false;
    out.handle = nullptr;
  }
  if (!ok) out.failed = true;
  return ok;
}

bool output_abandoned() {
  return out.abandoned;
}

void report_write_error(const std::string& name) {
  std::fprintf(message_stream, "\nError writing output file %s\n", name.c_str());
  if (!out.failure_reason.empty()) std::fprintf(message_stream, "%s\n", out.failure_reason.c_str());
}

void write_log(const std::string& text) {
  if (settings.accounting_file == nullptr || text.empty()) return;
  if (log_entry.entry_of != settings.accounting_file) {
    log_entry = LogState{settings.accounting_file, -1, false};
  }
  if (log_entry.stopped) return;
  std::string converted;
  append_text(&converted, text);
  WriteResult result = write_all(settings.accounting_file, converted.data(), converted.size());
  if (result.status != WriteResult::kDone) stop_log_entry(result.error);
}

void start_log_entry() {
  log_entry = LogState{settings.accounting_file, os().output_size(settings.accounting_file), false};
}

bool log_write_failed() {
  return log_failed;
}
