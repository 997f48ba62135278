// The configuration file: the program's own .ini or its section of the shared file
// KELDRAIN.INI.
#pragma once

#include <string>

// Applies the first candidate file that exists, unless some argument is "-.ini" in any case.
// A candidate that exists but cannot be opened is reported and waited on with a key; the run
// then goes on without it. Never ends the run: returns the first line refusal of
// apply_configuration_line, empty when every line was applied.
std::string read_configuration_file(int argc, char** argv);

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
