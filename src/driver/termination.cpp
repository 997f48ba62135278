// Stand-in until the summaries are built: flushes and ends with the reason as status.
#include "driver/termination.h"

#include <cstdio>
#include <cstdlib>

#include "output/destinations.h"
#include "platform/platform.h"

[[noreturn]] void terminate_run(int reason) {
  std::fflush(nullptr);
  std::exit(reason);
}

void check_interrupt() {
  if (os().interrupt_pending()) terminate_run(2);
}
