#include "config/completion.h"

#include "run/output_stream.h"
#include "run/settings.h"
#include "run/termination.h"
#include "select/path_lists.h"

void finish_command_line() {
  if (settings.width_mode > 1) settings.auto_width = 0;
  if (settings.file_patterns.empty()) add_file_pattern("*.*");
  if (settings.path_only && settings.width_mode == 1) settings.width_mode = 2;
  if (settings.zulu && !settings.show_times) {
    settings.show_times = 1;
    settings.time_kind = 'w';
  }
  if (settings.all_hash_times) settings.md5 = 1;
}

void complete_settings() {
  if (settings.append_output && settings.output_target == 0) {
    write_stdout_message("\n\tNeed output file name if -a is chosen\n");
    terminate_run(kIllegalOption);
  }
  if (settings.show_times) settings.path_only = 0;
  if (!settings.recurse) settings.name_only = 1;
  // Data records show whole names: there is no column width to fit.
  if (settings.record_format != RecordFormat::kFixedWidth) settings.auto_width = 0;
}
