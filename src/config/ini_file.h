// The configuration file: the program's own .ini or its section of the shared file.
#pragma once

#include <string>

// Applies the first candidate file that exists, unless some argument is "-.ini".
void read_configuration_file(int argc, char** argv);
// Applies one setting line of a configuration file (upper-cased here) to the settings.
void apply_configuration_line(const std::string& line);
