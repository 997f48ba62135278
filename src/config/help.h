// The help screens: the paged text screen, the help file and the SHA-2 notice.
#pragma once

#include <string>

// Pages turned so far in this process; the first page break shows no prompt.
extern int help_page_count;

// Writes the paged help screen to standard error. Lines about -r, -m and -S describe the
// current settings. Ends the process with exit code 5 when the reader declines to go on.
void show_help_screen();
// Fills the page to 24 lines, prompts on every page but the first (end of input, Ctrl-C, Esc
// or x end the process with exit code 5), clears the screen and writes the banner; returns the
// new line count.
int page_break(int line_count);
// Looks for the help file of the program and starts its viewer without waiting; false when
// there is none or it cannot be shown.
bool open_help_file(const std::string& program_path);
// The notice of the SHA-2 code on standard output; ends the process with exit code 5.
[[noreturn]] void write_sha2_notice();
