// The "Started" header written once, before any record.
#pragma once

// Writes the header to the output stream (with the command line of run.argv only when the
// output stream is not standard output) and to the accounting log when it is open. Writes
// nothing under `silent`. False, with "Can't get timezone information" on standard error and
// nothing else written, when the clock cannot be read as calendar time.
bool write_run_header();
