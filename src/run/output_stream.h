// The two streams of a run. The output stream carries the records, the run header and the file
// summary, to standard output or to the output file; the message stream (standard error)
// carries prompts, progress and messages.
//
// Records reach the output only whole: they are gathered and written in pieces of whole
// records, one system call a piece, so that runs appending to one file interleave only between
// records, and a write the disk cuts short is cut back to the last whole record, whose counts
// are then taken out of the run counters again: the summaries count what reached the file.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/platform.h"

// Prompts, progress, help and most messages.
extern std::FILE* message_stream;

// Records go to standard output (the default) or to an open output file; `name` is what a
// write-error message calls it.
void use_standard_output();
void use_output_file(OutputHandle file, const std::string& name);
// True when the output stream is standard output.
bool output_is_stdout();

// One whole record, with the files and bytes it added to the run counters.
void write_record(const std::string& text, int files, std::int64_t bytes);
// Header, summary and other text of the output stream.
void write_output(const std::string& text);
// A message for standard output, in its place among the records when they go there too.
void write_stdout_message(const std::string& text);

// Before a wait that may be long (a large file's digest): a reader at a terminal or a pipe
// gets what is gathered now rather than after the wait.
void flush_before_long_wait();
// Writes out everything gathered. A failure ends the run with a message naming the output and
// reason 8 (a reader that left a pipe: as an interrupt does, without a message about a disk).
void flush_output();
// From now on text is only gathered, never written on the way: the run is ending and
// finish_output writes it.
void hold_output();
// Writes out everything gathered without ending the run on failure; false when it did not all
// reach the output (the counters then count only what did).
bool write_gathered_output();
// What the termination routine uses: flushes and, for an output file, closes it. False when
// something gathered did not reach the output; the counters then count only what did.
bool finish_output();
// True once the reader of a piped output has gone: nothing more can be written there.
bool output_reader_gone();
// What write-error messages call the output: the file's path or "(standard output)".
std::string output_name();

// The accounting log's entry is written a piece at a time, each piece checked: a failure prints
// one message naming the log and makes the run end with reason 8 when nothing else failed.
void write_log(const std::string& text);
bool log_write_failed();
