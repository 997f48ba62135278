// Comparing two catalogues with each other: no disk is read.
#pragma once

#include "config/verify_request.h"

// `tallysum --compare OLD NEW [OPTIONS]`: reads the last run of each catalogue with the
// options its command line echoes (or those that follow the names) and merges their records
// in order, reporting each difference on standard output as a verification does and the
// tally on standard error. Columns only one catalogue holds are left out, and said so. Ends
// the process: 0 when they agree, 1 when they differ, 10 when they cannot be read or their
// records cannot be matched, 5 for options it cannot take, 2 on an interrupt.
[[noreturn]] void run_compare(const VerifyRequest& request);
