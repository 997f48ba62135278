// Stand-in until the record columns are built: the bare name and its MD5.
#include "output/file_record.h"

#include <cstdio>

#include "config/settings.h"
#include "digest/file_digest.h"
#include "driver/run_state.h"
#include "output/destinations.h"

void write_file_record(const std::string& directory, const std::string& name) {
  if (name == "." || name == "..") return;
  std::string full_path = directory + name;
  counters.file_count += 1;
  char line[400];
  std::snprintf(line, sizeof line, "%-*s%c%40s%c\n", settings.name_only_width, name.c_str(),
                settings.delimiter, md5_file(full_path, 0).c_str(), settings.delimiter);
  write_output(line);
}

int page_length() { return run.record_width >= 80 ? 12 : 24; }
