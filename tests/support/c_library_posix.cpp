#include <unistd.h>

#include <cstdlib>

#include "support/c_library.h"

void set_environment(const char* name, const char* value) {
  if (value != nullptr) {
    setenv(name, value, 1);
  } else {
    unsetenv(name);
  }
}

void reread_zone() {
  tzset();
}

bool calendar_of(std::time_t when, bool local, std::tm* out) {
  return (local ? localtime_r(&when, out) : gmtime_r(&when, out)) != nullptr;
}

void join_output_to_errors() {
  dup2(STDERR_FILENO, STDOUT_FILENO);
}
