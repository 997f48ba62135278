// The end of every run: summaries to each destination, then the process ends.
#pragma once

#include "run/run_state.h"

// Writes the summaries, closes the output file and the accounting log and ends the process
// with `reason` as exit status. Never returns. Every record gathered before it is called
// reaches the output whole. When the output turns out not to hold everything written to it (a
// failed write or close), or the accounting log could not be written, a run that would have
// ended normally ends with reason 8 instead of a summary that claims success. A failure met
// while the summaries are written never re-enters this routine.
[[noreturn]] void terminate_run(ExitReason reason);

// Ends the process at once with `reason` as exit status, writing nothing more: no summary, no
// log entry. For the ends that come before a run has anything to sum up (a help page declined,
// a clock that cannot be read, --help answered). What the standard streams hold is flushed.
[[noreturn]] void end_run_at_once(ExitReason reason);

// Ends the run with reason 2 when an interrupt has arrived; called at safe points, so that
// nothing is cut in the middle of a record.
void check_interrupt();
