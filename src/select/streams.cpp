#include "select/streams.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <new>

#include "config/settings.h"
#include "digest/file_digest.h"
#include "driver/run_state.h"
#include "driver/termination.h"
#include "output/destinations.h"
#include "output/file_times.h"
#include "output/shorten.h"
#include "output/text_format.h"

std::vector<StreamEntry> stream_table;

namespace {

// Source module names that the messages print.
constexpr char kEnumerationModule[] = "Streamfun";
constexpr char kDirectoryRecordModule[] = "Ads_md5";

constexpr int kFiletimeLine = 167;
constexpr int kMemoryLine = 78;

struct PrivilegeMessage {
  int line;
  const char* format;
};
// Indexed by PrivilegeStep.
constexpr PrivilegeMessage kPrivilegeMessages[] = {
    {224, "\n%d %s Token open error"},
    {233, "\n%d %s Privilege error"},
    {240, "\n%d %s LookupPrivilegeValue error"},
};
constexpr char kPrivilegeAdvice[] = "\nTry using the -S option and rerun program\n\n";

// Sixteen spaces stand in the short-name column: a directory's stream has no 8.3 name.
constexpr char kNoShortName[] = "                ";


bool is_named(const StreamEntry& entry) {
  return stream_path_suffix(entry.name).size() > 1;
}

std::string without_trailing_separator(const std::string& path) {
  if (path.size() > 1 && path.back() == kSeparator) return path.substr(0, path.size() - 1);
  return path;
}

std::string last_component(const std::string& path) {
  std::size_t cut = path.rfind(kSeparator);
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

// Every chosen digest among MD5, CRC-32 and SHA-1, of the whole stream and never lowered.
void append_digest_columns(std::string* record, const std::string& stream_path) {
  const char delimiter = settings.delimiter;
  if (settings.md5) append_format(record, "%40s%c", md5_file(stream_path, 0).c_str(), delimiter);
  if (settings.crc32) {
    append_format(record, "%40s%c", crc32_file(stream_path, nullptr, 0).c_str(), delimiter);
  }
  if (settings.sha1) append_format(record, "%40s%c", sha1_file(stream_path, 0).c_str(), delimiter);
}

void append_detail_columns(std::string* record, const StreamEntry& entry, const FileTimes& times) {
  const char delimiter = settings.delimiter;
  append_format(record, "%12lld%c", static_cast<long long>(entry.size), delimiter);
  if (settings.time_kind != '0' && settings.show_times) {
    *record += standard_time_columns(times);
    *record += zone_column();
  }
  if (settings.dos_name) append_format(record, "%.16s%c", kNoShortName, delimiter);
}

void write_directory_stream_record(const StreamEntry& entry, const std::string& dir_path,
                                   const std::string& dir_name) {
  std::string suffix = stream_path_suffix(entry.name);
  std::string stream_path = dir_path + suffix;
  FileTimes times;
  read_stream_times(stream_path, kFiletimeLine, kDirectoryRecordModule, &times);
  std::string record = stream_name_column(dir_name, suffix, stream_path);
  append_digest_columns(&record, stream_path);
  if (!settings.path_only) append_detail_columns(&record, entry, times);
  record += "\n";
  // A digest that Ctrl-C cut short never reaches the output, and the counts cover exactly
  // the records written.
  check_interrupt();
  counters.file_count += 1;
  counters.byte_total += entry.size;
  write_output(record);
}

}  // namespace

[[noreturn]] void report_privilege_failure(PrivilegeStep step) {
  const PrivilegeMessage& message = kPrivilegeMessages[step];
  std::fprintf(stdout, message.format, message.line, kEnumerationModule);
  std::fputs(kPrivilegeAdvice, stdout);
  // Nothing was listed for the path that needed the privileges: a run ending here has failed
  // and must not report success to a calling script.
  std::exit(kOtherExit);
}

void enable_backup_privileges() {
  // The platform reports only whether the privileges were obtained; opening the token is the
  // first step, so its message stands for a refusal.
  if (!os().enable_stream_privileges()) report_privilege_failure(kPrivilegeTokenOpen);
}

int count_streams(const std::string& path) {
  enable_backup_privileges();
  stream_table.clear();
  std::vector<StreamEntry> found;
  if (!os().list_streams(path, &found)) return 0;
  for (StreamEntry& entry : found) {
    if (is_named(entry)) stream_table.push_back(std::move(entry));
  }
  return static_cast<int>(stream_table.size());
}

void list_directory_streams(int n, const std::string& path) {
  try {
    std::string dir_path = without_trailing_separator(path);
    std::string dir_name = last_component(dir_path);
    int count = std::min(n, static_cast<int>(stream_table.size()));
    for (int i = 0; i < count; ++i) {
      check_interrupt();
      write_directory_stream_record(stream_table[static_cast<std::size_t>(i)], dir_path, dir_name);
    }
  } catch (const std::bad_alloc&) {
    std::fprintf(message_stream, "\n%d Memory problem. Source file %s", kMemoryLine,
                 kDirectoryRecordModule);
    terminate_run(kInsufficientMemory);
  }
}

std::string stream_name_column(const std::string& owner_name, const std::string& suffix,
                               const std::string& stream_path) {
  std::string column;
  const char delimiter = settings.delimiter;
  if (settings.name_only) {
    std::string name = printable_text(owner_name + suffix);
    int missing = std::max(settings.name_only_width - static_cast<int>(name.size()), 0);
    std::string spaces(static_cast<std::size_t>(missing), ' ');
    append_format(&column, "%s", name.c_str());
    append_format(&column, "%.*s%c", missing, spaces.c_str(), delimiter);
    return column;
  }
  int width = settings.name_width;
  std::string shown = printable_text(stream_path);
  std::string display =
      settings.width_mode > 2 ? shorten_keep_head(shown, width) : shorten_keep_tail(shown, width);
  append_format(&column, "%-*.*s%c", width, width, display.c_str(), delimiter);
  return column;
}

bool read_stream_times(const std::string& stream_path, int line, const char* module,
                       FileTimes* times) {
  // Unset stamps rather than whatever an earlier record left behind.
  *times = FileTimes{};
  for (Stamp* stamp : {&times->last_write, &times->last_access, &times->creation}) {
    *stamp = Stamp{0, 0, 1980, 0, 0, 0};
  }
  if (times_by_handle(stream_path, times, settings.zulu) == 0) return true;
  std::fprintf(stdout, "\n%d %s\nCouldn't get filetime for %s", line, module,
               printable_text(stream_path).c_str());
  // The message ends its line, so the record that follows stands on a line of its own when
  // records go to standard output too.
  std::fputs("\n", stdout);
  return false;
}


std::string stream_path_suffix(const std::string& stream_name) {
  std::string name = stream_name;
  if (name.empty() || name.front() != ':') name.insert(name.begin(), ':');
  std::size_t type_colon = name.rfind(':');
  if (type_colon == 0) return name;
  return name.substr(0, type_colon);
}
