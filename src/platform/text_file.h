// Reading a whole file the program did not write in this run, such as a catalogue to verify.
#pragma once

#include <string>

// The whole content of the file at `path`, as bytes. False when it cannot be opened or read.
bool read_text_file(const std::string& path, std::string* text);
