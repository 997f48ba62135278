// Stand-in until the configuration file is read.
#include "config/ini_file.h"

void read_configuration_file(int, char**) {}
void apply_configuration_line(const std::string&) {}
