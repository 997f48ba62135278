// The few C library calls the test doubles need that each system names its own way.
#pragma once

#include <ctime>

// Sets the variable for this process and its C library (nullptr removes it).
void set_environment(const char* name, const char* value);
// Makes the C library read TZ again.
void reread_zone();
// Calendar fields of `when`, local under TZ or UTC; false when it cannot be converted.
bool calendar_of(std::time_t when, bool local, std::tm* out);
// Sends standard output where standard error goes, where a death test reads what was written.
void join_output_to_errors();
