// Console helpers: centred text and the banner box at the top of every help page.
#pragma once

#include <cstdio>
#include <string>

// (width - length) / 2 spaces and the text, no line end.
void print_centred(std::FILE* stream, const std::string& text, int width);
// The banner box on the message stream; returns the new line count.
int show_banner(int line_count);
// The version text from the build date and time: 06.02.05.11.29 and a check mark.
std::string version_text();
