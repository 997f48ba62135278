// The output stream, the message stream, the output file and its continuation over removable
// disks.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

// Records, header and file summary.
extern std::FILE* output_stream;
// Prompts, progress, help and most messages.
extern std::FILE* message_stream;

// Writes `text` whole to the output stream; a failed write ends the run with a message naming
// the file and exit reason 8.
void write_output(const std::string& text);
// True when the output stream is standard output.
bool output_is_stdout();

// Opens the output file in mode "w", or "a+" with a trailing Ctrl-Z removed; fully buffered.
// nullptr when it cannot be opened.
std::FILE* open_output_file(const std::string& path, bool append);
// "\MMDD" or "\YYMM" into today's UTC date; the extension kept.
void expand_dated_path(std::string* path);
// Free bytes of the drive holding `path`; ends the run with reason 3 when it cannot be read.
std::uint64_t disk_free_bytes(const std::string& path);

// Continuation over removable disks.
extern int disk_capacity;
extern int records_on_disk;
// True when the output file lies on a removable drive (drives A: and B: of the original).
bool continuation_active();
// Sets up disk_capacity and records_on_disk for the current disk.
void set_up_disk_capacity();
void continue_on_new_disk();
