// One line of a configuration file and what it does to the run settings.
#pragma once

#include <string>

// Applies one line of a configuration file, as read (its line end removed), to the settings.
// The first key name found anywhere in the upper-cased line decides; keys, switches, numbers
// and characters are read from the upper-cased line, while file and directory names keep
// their case. Comments, section headers and lines without a key or '=' change nothing.
// Returns why the line was refused, naming its key ("Key WIDTH needs a value no greater than
// 32767"), when it asks for a width above 32,767 or an offset or size limit beyond 64 bits;
// such a line changes nothing. Empty otherwise. A negative offset is 0; a negative size limit
// keeps its sign.
std::string apply_configuration_line(const std::string& line);
