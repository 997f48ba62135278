// The command-line parser.
#pragma once

// Applies the environment's accounting file and the configuration file, then the arguments.
// `argv` holds `argc` words; argv[0] is the program's full path. Every syntax error ends the
// run with reason 5.
void parse_command_line(int argc, char** argv);
