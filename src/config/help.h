// The help screens: the paged text screen, the help file and the SHA-2 notice.
#pragma once

#include <string>

// Writes the paged help screen to standard error.
void show_help_screen();
// Pads and turns the page; returns the new line count.
int page_break(int line_count);
// Looks for the help file beside the program and starts its viewer; false when not found.
bool open_help_file(const std::string& program_path);
// The notice of the SHA-2 code on standard output; ends the process with exit code 5.
[[noreturn]] void write_sha2_notice();
