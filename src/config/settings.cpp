#include "config/settings.h"

#include <cstdlib>
#include <string>

#include "driver/termination.h"
#include "output/text_format.h"
#include "select/path_lists.h"

Settings settings;

void create_settings() { settings = Settings{}; }

bool environment_switch_on(const char* value) {
  if (value == nullptr) return false;
  return upper_case_ascii(value).find("ON") != std::string::npos;
}

void apply_environment() {
  settings.zulu = 0;
  settings.time_kind = 'w';
  if (environment_switch_on(std::getenv("RESET"))) settings.reset_access_time = 1;
  if (environment_switch_on(std::getenv("SILENT"))) settings.silent = 1;
}

void apply_defaults() {
  settings.width_mode = 1;
  settings.name_width = 25;
  settings.name_only_width = 25;
  settings.time_kind = 'w';
  settings.show_times = 0;
  settings.streams = 0;
  settings.pause = 0;
  settings.crc32 = 0;
  settings.sha1 = 0;
  settings.md5 = 1;
  settings.path_only = 1;
}

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
    std::fputs("\n\tNeed output file name if -a is chosen\n", stdout);
    terminate_run(5);
  }
  if (settings.show_times) settings.path_only = 0;
  if (!settings.recurse) settings.name_only = 1;
}
