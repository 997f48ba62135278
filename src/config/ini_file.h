// The configuration file: the program's own .ini or its section of the shared file
// KELDRAIN.INI.
#pragma once

#include <string>

// Applies the first candidate file that exists, unless some argument is "-.ini" in any case.
// A candidate that exists but cannot be opened is reported and waited on with a key; the run
// then goes on without it. Never ends the run.
void read_configuration_file(int argc, char** argv);
// Applies one line of a configuration file, as read (its line end removed), to the settings.
// Keys, switches, numbers and characters are read from the upper-cased line; file and
// directory names keep their case. Comments, section headers and lines without a key or '='
// change nothing.
void apply_configuration_line(const std::string& line);

// A configuration file that exists, and whether only the program's section of it applies.
struct ConfigurationFile {
  std::string path;
  bool section_only = false;
};
// The first of the five candidates that exists for the program at `program_path`; false when
// there is none.
bool find_configuration_file(const std::string& program_path, ConfigurationFile* found);
// The base name of the program file without its directory and extension.
std::string program_name(const std::string& program_path);
