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

bool calendar_of(std::int64_t when, bool local, std::tm* out) {
  const std::time_t t = static_cast<std::time_t>(when);
  return (local ? localtime_r(&t, out) : gmtime_r(&t, out)) != nullptr;
}

std::int64_t seconds_of_local(std::tm* fields) {
  return static_cast<std::int64_t>(std::mktime(fields));
}

void join_output_to_errors() {
  dup2(STDERR_FILENO, STDOUT_FILENO);
}
