// Stand-in until the full grammar is built: leading bare arguments are paths.
#include "config/options.h"

#include "config/settings.h"
#include "select/path_lists.h"

void parse_command_line(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) add_path_argument(argv[i]);
  finish_command_line();
}
