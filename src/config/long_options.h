// Options beyond the one-letter grammar. They are long only: an argument beginning with "--"
// is read as a long option and never as letters.
#pragma once

#include <string>

// True when `arg` begins with "--".
bool is_long_option(const char* arg);

// Applies the long option argv[index] (its value attached after '=' or in the next argument);
// returns the index of the last argument it consumed. An unknown option or an unusable value
// leaves the settings alone and sets `problem` to a line naming the option.
int parse_long_option(int argc, char** argv, int index, std::string* problem);
