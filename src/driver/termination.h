// The end of every run: summaries to each destination, then the process ends.
#pragma once

#include <string>

// Writes the summaries, closes the output file and the accounting log and ends the process
// with `reason` as exit status. Never returns. When the output file turns out not to hold
// everything written to it (a failed write, flush or close), the run ends with reason 8 and a
// message naming the file instead of a summary that claims success. A write error met while
// the summaries are written never re-enters this routine.
[[noreturn]] void terminate_run(int reason);

// Ends the run with reason 2 when Ctrl-C has been pressed; called at safe points, so that
// nothing is cut in the middle of a record.
void check_interrupt();

// While `note` is not empty, an option error (reason 5) is not the user's: the options being
// read are a catalogue's. terminate_run then writes `note` to the message stream and ends with
// `reason` instead. An empty note puts option errors back to reason 5.
void reroute_option_errors(int reason, const std::string& note);
