// The accounting log that collects the history of many runs.
#pragma once

#include <string>

// The log opened when the environment variable ACCT is "ON" in any case.
inline constexpr const char* kDefaultAccountingFile = "acct-ing";

// Removes the padding an old editor or a crash left at the very end of the log (a trailing run
// of NUL and Ctrl-Z bytes); text after an inner mark is kept. Creates the file when missing.
// Ends the process at once with status 1 when it can neither be opened nor created.
void trim_accounting_file(const std::string& path);
// Takes the log's lock (a run that finds it held by another run ends at once with status 1),
// prepares the file, opens it to be added to at its end and writes the separator line into
// settings.accounting_file. False, after "Can't open accounting file", when it cannot be
// opened; the run goes on without a log then.
bool open_accounting_log(const std::string& path);
// Writes "This file closed." and `note` into the open log of the settings, closes it and
// releases its lock, before another log takes its place. Nothing when no log is open.
void hand_over_accounting_log(const std::string& note);
// Closes the log of the settings, if any, and releases its lock.
void close_accounting_log();
