#include "run/settings.h"

#include <cstdlib>
#include <string>

#include "run/text_format.h"

alignas(64) Settings settings;  // read by every worker; apart from what the main thread writes

void create_settings() {
  settings = Settings{};
}

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
