// The accounting log that collects the history of many runs.
#pragma once

#include <cstdio>
#include <string>

// The log opened when the environment variable ACCT is "ON" in any case.
inline constexpr const char* kDefaultAccountingFile = "acct-ing";

// Cuts the file at its first 0x1A or 0x00 byte when it holds at least 10 bytes; creates it
// when missing. Ends the process at once with status 1 when it can neither be opened nor
// created.
void trim_accounting_file(const std::string& path);
// Takes the log's lock (a run that finds it held by another run ends at once with status 1),
// prepares the file, opens it in mode "a+" with a trailing Ctrl-Z removed and writes the
// separator line. nullptr, after "Can't open accounting file", when the stream cannot be
// opened; the run goes on without a log then. The caller stores the result in
// settings.accounting_file.
std::FILE* open_accounting_log(const std::string& path);
// Writes "This file closed." and `note` into the open log of the settings, closes it and
// releases its lock, before another log takes its place. Nothing when no log is open.
void hand_over_accounting_log(const std::string& note);
// Closes the log of the settings, if any, and releases its lock.
void close_accounting_log();
