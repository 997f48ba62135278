// One line of a configuration file and what it does to the run settings.
#pragma once

#include <string>

// Applies one line of a configuration file, as read (its line end removed), to the settings.
// The first key name found anywhere in the upper-cased line decides; keys, switches, numbers
// and characters are read from the upper-cased line, while file and directory names keep
// their case. Comments, section headers and lines without a key or '=' change nothing.
void apply_configuration_line(const std::string& line);
