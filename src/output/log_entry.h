// The accounting log read back: the entry of the run that wrote a catalogue, and whether the
// catalogue's files still have the digests that entry keeps.
#pragma once

#include <string>
#include <vector>

enum class LogVerdict { kMatches, kAltered, kNoEntry };

// The message for a verdict: "Catalogue matches its log entry", "Catalogue altered since it
// was written" or "No log entry for this catalogue".
const char* log_verdict_text(LogVerdict verdict);

// Looks in the log at `log_path` for the last entry of a run that named the catalogue's file
// (the last component of `paths[0]`) on its command line and, when `started` (the catalogue's
// "Started" line) is not empty, started at that time, with a digest line for each of the
// catalogue's files; and compares those digests with the files as they are, one per disk in
// order. False, with `problem`, when the log cannot be read; `verdict` is then kNoEntry.
bool check_against_log(const std::string& log_path, const std::string& started,
                       const std::vector<std::string>& paths, LogVerdict* verdict,
                       std::string* problem);
