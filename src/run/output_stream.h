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
// A message for standard output, in its place among the records when they go there too;
// with CSV or JSON records, on the message stream, so that the data stays data.
void write_stdout_message(const std::string& text);
// A message for the message stream. After an interrupt, standard error may be the pipe that
// stopped taking the records: the message then goes through the platform's write, which
// gives up once the interrupt's grace has passed instead of holding the end of the run.
void write_message(const std::string& text);

// Before a wait that may be long (a large file's digest): a reader at a terminal or a pipe
// gets what is gathered now rather than after the wait.
void flush_before_long_wait();
// Writes out everything gathered. A failure ends the run with a message naming the output and
// reason 8 (a reader that left a pipe, or one that stopped reading when an interrupt came: as
// an interrupt does, without a message about a disk).
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
// True once nothing more can be written to the output: the reader of a pipe has gone, or it
// took nothing while an interrupt waited. What is gathered then is dropped and counted out.
bool output_abandoned();
// What write-error messages call the output: the file's path or "(standard output)".
std::string output_name();
// "Error writing output file NAME" on the message stream, and on a line of its own the
// system's reason when the write that failed gave one.
void report_write_error(const std::string& name);

// The accounting log's entry is written a piece at a time, each piece checked: a failure prints
// one message naming the log (and the system's reason), makes the run end with reason 8 when
// nothing else failed, and writes nothing more to that log. When the entry's start is known
// (start_log_entry), the log is cut back to it: the log ends with its last whole entry, not in
// the middle of a line.
void write_log(const std::string& text);
// The log of the settings was just opened: its entry starts at the log's present end.
void start_log_entry();
bool log_write_failed();
