// The progress line on the message stream while an output file is written: the count of the
// files written and the directory whose files are being read, and, while a large file is read,
// how far it has come. The line is drawn over itself with backspaces, which only a terminal
// takes back: a file or a pipe gets none of it.
#pragma once

#include <cstdint>
#include <string>

// True when the main pass draws the progress of its reads: an output file is written and the
// message stream is the terminal that run.progress_on_terminal found.
bool progress_drawn();
// The progress of the directory `path`, whose files are about to be read (in the counting
// pass, listed).
void show_progress(const std::string& path);
// Takes the directory's progress (and a large file's, if shown) off the line.
void erase_shown_progress();
// How far the reading of a large file of `size` bytes has come (`reached`: the offset read up
// to): the bytes, the share of the file and, after a counting pass, the share of the run's
// bytes with the time still to go. Drawn at once for a new file, then at most ten times a
// second.
void show_read_progress(std::uint64_t reached, std::uint64_t size);
// Takes a large file's progress off the line; the directory's stays.
void erase_read_progress();
// Removes `n` characters of progress text from the console.
void erase_progress(int n);
