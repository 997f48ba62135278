// The accounting log that collects the history of many runs.
#pragma once

#include <cstdio>
#include <string>

// Cuts the file at its first 0x1A or 0x00 byte when it holds at least 10 bytes. Ends the
// process with status 1 when it can neither be opened nor created.
void trim_accounting_file(const std::string& path);
// Prepares and opens the log in mode "a+" and writes the separator line; nullptr when the
// stream cannot be opened.
std::FILE* open_accounting_log(const std::string& path);
// Closes the log of the settings, if any, releasing its lock.
void close_accounting_log();
