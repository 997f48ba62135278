#include <io.h>
#include <windows.h>

#include <cstdlib>

#include "support/c_library.h"

void set_environment(const char* name, const char* value) {
  // The run-time keeps its own copy of the environment, and the system another.
  _putenv_s(name, value != nullptr ? value : "");
  SetEnvironmentVariableA(name, value);
}

void reread_zone() {
  _tzset();
}

bool calendar_of(std::int64_t when, bool local, std::tm* out) {
  // The run-time's plain time_t is 32 bits in the 32-bit build.
  const __time64_t t = when;
  return (local ? _localtime64_s(out, &t) : _gmtime64_s(out, &t)) == 0;
}

std::int64_t seconds_of_local(std::tm* fields) {
  return _mktime64(fields);
}

void join_output_to_errors() {
  // The run-time's descriptor and the system's handle both: the program writes through the
  // latter.
  _dup2(2, 1);
  SetStdHandle(STD_OUTPUT_HANDLE, GetStdHandle(STD_ERROR_HANDLE));
}
