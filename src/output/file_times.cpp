// Stand-in until file times are built.
#include "output/file_times.h"

std::string zone_abbreviation = "TZ0";

int convert_file_times(FileTime creation, FileTime access, FileTime write, FileTimes* times,
                       int) {
  times->raw_creation = creation;
  times->raw_last_access = access;
  times->raw_last_write = write;
  return 0;
}
int times_by_handle(const std::string&, FileTimes*, int) { return 1; }
int times_by_search(const std::string&, FileTimes*, int) { return 1; }
int reset_file_times(const std::string&, FileTime, FileTime, FileTime) { return 1; }
void make_zone_abbreviation() {}
void run_time_texts(RunTimeTexts*) {}
std::string time_text(std::int64_t, bool) { return std::string(24, ' '); }
std::string standard_time_columns(const FileTimes&) { return ""; }
std::string fixed_time_columns(const FileTimes&) { return ""; }
std::string zone_column() { return ""; }
