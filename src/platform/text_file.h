// Reading a whole file the program did not write in this run, such as a catalogue to verify.
#pragma once

#include <string>

// The whole content of the file at `path`, as bytes. False when it cannot be opened or read;
// `error`, when given, then says why the opening failed (it stays as it was after a failed
// read, for which the system gives no words here).
bool read_text_file(const std::string& path, std::string* text, std::string* error = nullptr);
