// Console helpers: centred text and the banner box at the top of every help page.
#pragma once

#include <cstdio>
#include <string>

// Columns the text takes on a console: UTF-8 continuation bytes take none.
int text_columns(const std::string& text);
// (width - columns of the text) / 2 spaces and the text, no line end.
void print_centred(std::FILE* stream, const std::string& text, int width);
// The banner box on the message stream, after 30 - line_count blank lines when line_count is
// below 30; returns line_count + 4.
int show_banner(int line_count);
// The version text from the build date and time: 06.02.05.11.29 and a check mark.
std::string version_text();
// The same from a compiler date text ("Feb  5 2006") and time text ("11:29:00").
std::string version_text_from(const char* build_date, const char* build_time);
// The build's version without the check mark, as a script may read it: 06.02.05.11.29.
std::string build_version();
// One line of the box: a side line with `text` written over it from column 38 - columns / 2.
std::string banner_text_line(const std::string& text);
