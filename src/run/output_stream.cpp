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
  bool reader_gone = false;
};

OutputState out;
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
      return total;
    }
  }
  total.status = WriteResult::kDone;
  return total;
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
  if (out.buffer.empty() || out.reader_gone) {
    out.buffer.clear();
    out.pieces.clear();
    return !out.reader_gone;
  }
  WriteResult result = write_all(handle(), out.buffer.data(), out.buffer.size());
  bool ok = result.status == WriteResult::kDone;
  if (!ok) {
    keep_whole_records(result.written);
    if (result.status == WriteResult::kBrokenPipe) out.reader_gone = true;
  }
  out.buffer.clear();
  out.pieces.clear();
  return ok;
}

[[noreturn]] void end_with_write_error() {
  if (out.reader_gone) terminate_run(kInputFile);
  std::fprintf(message_stream, "\nError writing output file %s\n", output_name().c_str());
  terminate_run(kWriteError);
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
  if (output_is_stdout()) {
    write_output(text);
    flush_output();
    return;
  }
  std::string converted;
  append_text(&converted, text);
  write_all(os().standard_output(), converted.data(), converted.size());
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
  if (out.handle != nullptr) {
    if (!os().close_output(out.handle)) ok = false;
    out.handle = nullptr;
  }
  if (!ok) out.failed = true;
  return ok;
}

bool output_reader_gone() {
  return out.reader_gone;
}

void write_log(const std::string& text) {
  if (settings.accounting_file == nullptr || text.empty()) return;
  std::string converted;
  append_text(&converted, text);
  WriteResult result = write_all(settings.accounting_file, converted.data(), converted.size());
  if (result.status == WriteResult::kDone || log_failed) return;
  log_failed = true;
  std::fprintf(message_stream, "\nError writing accounting file %s\n",
               settings.accounting_path.c_str());
}

bool log_write_failed() {
  return log_failed;
}
