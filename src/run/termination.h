// The end of every run: summaries to each destination, then the process ends.
#pragma once

#include <string>

#include "run/run_state.h"

// Writes the summaries, closes the output file and the accounting log and ends the process
// with `reason` as exit status. Never returns. Every record gathered before it is called
// reaches the output whole. When the output turns out not to hold everything written to it (a
// failed write or close), or the accounting log could not be written, a run that would have
// ended normally ends with reason 8 instead of a summary that claims success. A failure met
// while the summaries are written never re-enters this routine.
[[noreturn]] void terminate_run(ExitReason reason);

// What the accounting log's summary says of the run's output files, supplied by the layer that
// writes them (their digests): once the output is finished and closed, `lines` is called with
// the path of the output file (empty when the records went to standard output) and what it
// returns stands before the summary's closing line. Asked only when a log is open.
void describe_output_files_with(std::string (*lines)(const std::string& closed_file));

// Ends the process at once with `reason` as exit status, writing nothing more: no summary, no
// log entry. For the ends that come before a run has anything to sum up (a help page declined,
// a clock that cannot be read, --help answered). What the standard streams hold is flushed.
[[noreturn]] void end_run_at_once(ExitReason reason);

// Ends the run with reason 2 when an interrupt has arrived; called at safe points, so that
// nothing is cut in the middle of a record.
void check_interrupt();
