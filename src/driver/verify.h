// Verifying a catalogue: the selection of its run made again, and each record compared with
// what the disk shows now.
#pragma once

#include "config/verify_request.h"

// `tallysum --verify CATALOGUE... [OPTIONS]`: walks what the catalogue's last run walked,
// with the options its command line echoes or those that follow its name, reading each file
// once and writing, resetting, pausing and asking nothing; reports each difference on standard
// output and the tally on standard error. Ends the process: 0 when nothing differs, 1 when
// something does, 10 when the catalogue cannot be verified, 5 for options it cannot take, 2 on
// an interrupt.
[[noreturn]] void run_verify(const VerifyRequest& request);
