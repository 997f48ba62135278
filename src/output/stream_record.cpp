#include "output/stream_record.h"

#include <cstdint>
#include <cstdio>
#include <new>

#include "config/settings.h"
#include "digest/file_digest.h"
#include "driver/run_state.h"
#include "driver/termination.h"
#include "output/destinations.h"
#include "output/file_times.h"
#include "output/text_format.h"
#include "select/streams.h"
#include "select/walk.h"

namespace {

constexpr char kModule[] = "Tallysum";
constexpr int kFiletimeLine = 604;
constexpr int kMemoryLine = 556;


// Times of one stream; `read` is false when they could not be read, and then the record
// shows the unset stamp and nothing is written back afterwards.
struct StreamTimes {
  FileTimes times;
  bool read = false;
};

// The walk's entry describes this file only when it carries the same name; a caller outside
// the walk gets the bare name.
std::string short_name_of(const std::string& name) {
  if (current_entry.name == name && !current_entry.short_name.empty()) {
    return printable_text(current_entry.short_name);
  }
  return printable_text(name);
}

void reset_stream_times(const std::string& stream_path, const std::string& full_path,
                        const StreamTimes& times) {
  const FileTimes& t = times.times;
  bool failed = !times.read || reset_file_times(stream_path, t.raw_creation, t.raw_last_access,
                                                t.raw_last_write) != 0;
  if (!failed) return;
  for (int i = 0; i < 2; ++i) {
    std::fprintf(message_stream, "\nCan't reset filetime for %s\n",
                 printable_text(full_path).c_str());
  }
}

void append_detail_columns(std::string* record, const StreamEntry& entry, const FileTimes& times,
                           const std::string& name) {
  const char delimiter = settings.delimiter;
  append_format(record, "%12lld%c", static_cast<long long>(entry.size), delimiter);
  if (settings.time_kind != '0' && settings.show_times) {
    // The fixed form selects no stamp for some kinds ('W'); the zone then has nothing to
    // qualify and is left out with them.
    std::string columns = fixed_time_columns(times);
    if (!columns.empty()) *record += columns + zone_column();
  }
  if (settings.dos_name) append_format(record, " %-15s%c", short_name_of(name).c_str(), delimiter);
}

void write_file_stream_record(const StreamEntry& entry, const std::string& full_path,
                              const std::string& name) {
  std::string suffix = stream_path_suffix(entry.name);
  std::string stream_path = full_path + suffix;
  std::string record = stream_name_column(name, suffix, stream_path);
  StreamTimes times;
  times.read = read_stream_times(stream_path, kFiletimeLine, kModule, &times.times);
  append_format(&record, "%40s%c", stream_digest(stream_path).c_str(), settings.delimiter);
  if (settings.reset_access_time) reset_stream_times(stream_path, full_path, times);
  if (!settings.path_only) append_detail_columns(&record, entry, times.times, name);
  record += "\n";
  // A digest that Ctrl-C cut short never reaches the output, and the counts cover exactly
  // the records written.
  check_interrupt();
  counters.file_count += 1;
  counters.byte_total += entry.size;
  write_output(record);
  if (!settings.path_only) {
    records_on_disk += 1;
    note_record_length(record.size());
  }
}

}  // namespace

std::string stream_digest(const std::string& stream_path) {
  const auto start = settings.start_offset;
  const auto end = settings.end_offset;
  if (settings.md5) {
    return end != 0 ? md5_file_range(stream_path, start, end) : md5_file(stream_path, start);
  }
  if (settings.crc32) return crc32_file(stream_path, nullptr, start);
  if (settings.sha1) return sha1_file(stream_path, start);
  // Only SHA-2 kinds chosen: the stream's own digest, never the file's.
  if (settings.sha256) return sha256_file(stream_path, start);
  if (settings.sha384) return sha384_file(stream_path, start);
  if (settings.sha512) return sha512_file(stream_path, start);
  return "";
}

void list_file_streams(const std::string& full_path, const std::string& name) {
  try {
    int n = count_streams(full_path);
    counters.stream_count += n;
    for (int i = 0; i < n; ++i) {
      check_interrupt();
      write_file_stream_record(stream_table[static_cast<std::size_t>(i)], full_path, name);
    }
  } catch (const std::bad_alloc&) {
    std::fprintf(message_stream, "\n%d Memory problem", kMemoryLine);
    terminate_run(kInsufficientMemory);
  }
}
