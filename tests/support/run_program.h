// Runs the built program as a user would and collects what it wrote.
#pragma once

#include <string>
#include <vector>

struct ProgramResult {
  int status = -1;  // exit status, or -1 when the program did not exit normally
  std::string out;  // standard output
  std::string err;  // standard error
};

struct ProgramRun {
  std::vector<std::string> args;         // without the program name
  std::string directory;                 // working directory; empty: the test's own
  std::vector<std::string> environment;  // "NAME=value" entries added to a clean one
  std::string input;                     // standard input (a pipe, closed after it)
  int timeout_seconds = 60;              // the program is killed after this
  std::vector<int> closed;               // standard descriptors the program starts without
  // When not 0: sent to the program once its standard output holds `signal_when` (SIGPIPE:
  // standard output's pipe is closed instead, as a reader that leaves does).
  int signal = 0;
  std::string signal_when;
  // Standard output's pipe is read only once the program has ended: a reader that stopped.
  // `signal`, when set, is sent as soon as the pipe is full, so the program waits for room.
  bool output_unread = false;
  // Standard error is a pseudo-terminal, as at a console (not on Windows, where it stays a
  // pipe); what the program draws there is in `err`, line ends untranslated.
  bool error_on_terminal = false;
};

// The environment holds PATH, TZ=UTC0 and the given entries only, so nothing of the
// caller's (RESET, SILENT, ACCT) leaks into a run.
ProgramResult run_tallysum(const ProgramRun& how);
