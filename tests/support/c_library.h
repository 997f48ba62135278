// The few C library calls the test doubles need that each system names its own way.
#pragma once

#include <cstdint>
#include <ctime>

// Sets the variable for this process and its C library (nullptr removes it).
void set_environment(const char* name, const char* value);
// Makes the C library read TZ again.
void reread_zone();
// Calendar fields of `when` (seconds since 1970), local under TZ or UTC; false when it cannot
// be converted. 64-bit on every system, as the program's own conversions are: a 32-bit time_t
// would wrap a date before 1901 or after 2038.
bool calendar_of(std::int64_t when, bool local, std::tm* out);
// Seconds since 1970 of the local time in `fields`, as mktime reads it; 64-bit likewise.
std::int64_t seconds_of_local(std::tm* fields);
// Sends standard output where standard error goes, where a death test reads what was written.
void join_output_to_errors();
