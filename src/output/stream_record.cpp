#include "output/stream_record.h"

#include <algorithm>
#include <cstdio>
#include <new>

#include "digest/file_digest.h"
#include "output/destinations.h"
#include "output/file_record.h"
#include "output/file_times.h"
#include "output/shorten.h"
#include "run/output_stream.h"
#include "run/run_state.h"
#include "run/settings.h"
#include "run/termination.h"
#include "run/text_format.h"
#include "select/streams.h"

namespace {

constexpr char kFileStreamModule[] = "Tallysum";
constexpr char kDirectoryStreamModule[] = "Ads_md5";
constexpr int kFileStreamFiletimeLine = 604;
constexpr int kDirectoryStreamFiletimeLine = 167;
constexpr int kFileStreamMemoryLine = 556;
constexpr int kDirectoryStreamMemoryLine = 78;

// Sixteen spaces stand in the short-name column: a directory's stream has no 8.3 name.
constexpr char kNoShortName[] = "                ";

StreamTimes read_stream_times(const Directory& dir, const std::string& carrier,
                              const std::string& stream_path, int line, const char* module) {
  StreamTimes result;
  for (Stamp* stamp :
       {&result.times.last_write, &result.times.last_access, &result.times.creation}) {
    *stamp = Stamp{0, 0, 1980, 0, 0, 0};
  }
  os().set_file_apis_ansi();
  if (os().entry_facts(dir, carrier, &result.found)) {
    const DirEntry& f = result.found;
    convert_file_times(f.creation, f.last_access, f.last_write, &result.times, settings.zulu);
    result.read = true;
    return result;
  }
  std::string message;
  append_format(&message, "\n%d %s\nCouldn't get filetime for %s", line, module,
                printable_text(stream_path).c_str());
  // The message ends its line, so the record that follows stands on a line of its own when
  // records go to standard output too.
  write_stdout_message(message + "\n");
  return result;
}

// One kind for a file's stream: MD5 over the run's byte range, else CRC-32, else SHA-1; with
// only SHA-2 kinds chosen the first of them, the stream's own digest.
DigestRequest file_stream_request() {
  DigestRequest all = file_digest_request();
  DigestRequest one;
  one.start = all.start;
  if (all.md5) {
    one.md5 = true;
    one.md5_end = all.md5_end;
  } else if (all.crc32) {
    one.crc32 = true;
  } else if (all.sha1) {
    one.sha1 = true;
  } else if (all.sha256) {
    one.sha256 = true;
  } else if (all.sha384) {
    one.sha384 = true;
  } else {
    one.sha512 = all.sha512;
  }
  return one;
}

const std::string& the_text(const DigestTexts& texts) {
  for (const std::string* text :
       {&texts.md5, &texts.crc32, &texts.sha1, &texts.sha256, &texts.sha384, &texts.sha512}) {
    if (!text->empty()) return *text;
  }
  return texts.md5;
}

void reset_stream_times(const Directory& dir, const std::string& carrier,
                        const std::string& full_path, const StreamTimes& times) {
  if (!settings.reset_access_time) return;
  bool failed = !times.read || reset_file_times(dir, carrier, times.found) != 0;
  if (!failed) return;
  for (int i = 0; i < 2; ++i) {
    std::fprintf(message_stream, "\nCan't reset filetime for %s\n",
                 printable_text(full_path).c_str());
  }
}

void append_file_stream_details(std::string* record, const StreamEntry& stream,
                                const FileTimes& times, const DirEntry& file) {
  const char delimiter = settings.delimiter;
  append_format(record, "%12lld%c", static_cast<long long>(stream.size), delimiter);
  if (settings.time_kind != '0' && settings.show_times) {
    // The fixed form selects no stamp for some kinds ('W'); the zone then has nothing to
    // qualify and is left out with them.
    std::string columns = fixed_time_columns(times);
    if (!columns.empty()) *record += columns + zone_column();
  }
  if (settings.dos_name) {
    const std::string shown = printable_text(file.short_name.empty() ? file.name : file.short_name);
    append_format(record, " %-15s%c", shown.c_str(), delimiter);
  }
}

void write_file_stream_record(const Directory& dir, const DirEntry& file,
                              const StreamEntry& stream) {
  StreamRecord made = file_stream_record(dir, file, stream);
  report_digest_outcome(made.outcome, made.path);
  reset_stream_times(dir, file.name, dir.path + file.name, made.times);
  made.text += "\n";
  // A digest that an interrupt cut short never reaches the output, and the counts cover
  // exactly the records written.
  check_interrupt();
  counters.file_count += 1;
  counters.byte_total += stream.size;
  write_record(made.text, 1, stream.size);
  if (!settings.path_only) {
    records_on_disk += 1;
    note_record_length(made.text.size());
  }
}

// Every chosen digest among MD5, CRC-32 and SHA-1, of the whole stream and never lowered.
DigestOutcome append_directory_stream_digests(std::string* record, const Directory& parent,
                                              const std::string& name, const StreamEntry& stream) {
  DigestRequest request;
  request.md5 = settings.md5 != 0;
  request.crc32 = settings.crc32 != 0;
  request.sha1 = settings.sha1 != 0;
  if (!request.md5 && !request.crc32 && !request.sha1) return DigestOutcome::kDone;
  DigestResult digest = digest_stream(parent, name, stream_bare_name(stream.name), request);
  const char delimiter = settings.delimiter;
  if (request.md5) append_format(record, "%40s%c", digest.texts.md5.c_str(), delimiter);
  if (request.crc32) append_format(record, "%40s%c", digest.texts.crc32.c_str(), delimiter);
  if (request.sha1) append_format(record, "%40s%c", digest.texts.sha1.c_str(), delimiter);
  return digest.outcome;
}

void append_directory_stream_details(std::string* record, const StreamEntry& stream,
                                     const FileTimes& times) {
  const char delimiter = settings.delimiter;
  append_format(record, "%12lld%c", static_cast<long long>(stream.size), delimiter);
  if (settings.time_kind != '0' && settings.show_times) {
    *record += standard_time_columns(times);
    *record += zone_column();
  }
  if (settings.dos_name) append_format(record, "%.16s%c", kNoShortName, delimiter);
}

std::string last_component(const std::string& path) {
  std::size_t cut = path.rfind(kSeparator);
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

void write_directory_stream_record(const Directory& parent, const std::string& name,
                                   const std::string& dir_path, const StreamEntry& stream) {
  StreamRecord made = directory_stream_record(parent, name, dir_path, stream);
  report_digest_outcome(made.outcome, made.path);
  made.text += "\n";
  check_interrupt();
  counters.file_count += 1;
  counters.byte_total += stream.size;
  write_record(made.text, 1, stream.size);
}

}  // namespace

StreamRecord file_stream_record(const Directory& dir, const DirEntry& file,
                                const StreamEntry& stream) {
  StreamRecord made;
  const std::string suffix = stream_path_suffix(stream.name);
  made.path = dir.path + file.name + suffix;
  made.text = stream_name_column(file.name, suffix, made.path);
  made.times =
      read_stream_times(dir, file.name, made.path, kFileStreamFiletimeLine, kFileStreamModule);
  DigestResult digest =
      digest_stream(dir, file.name, stream_bare_name(stream.name), file_stream_request());
  made.outcome = digest.outcome;
  append_format(&made.text, "%40s%c", the_text(digest.texts).c_str(), settings.delimiter);
  if (!settings.path_only) append_file_stream_details(&made.text, stream, made.times.times, file);
  return made;
}

StreamRecord directory_stream_record(const Directory& parent, const std::string& name,
                                     const std::string& dir_path, const StreamEntry& stream) {
  StreamRecord made;
  const std::string suffix = stream_path_suffix(stream.name);
  made.path = dir_path + suffix;
  made.times = read_stream_times(parent, name, made.path, kDirectoryStreamFiletimeLine,
                                 kDirectoryStreamModule);
  made.text = stream_name_column(last_component(dir_path), suffix, made.path);
  made.outcome = append_directory_stream_digests(&made.text, parent, name, stream);
  if (!settings.path_only) append_directory_stream_details(&made.text, stream, made.times.times);
  return made;
}

void list_file_streams(const Directory& dir, const DirEntry& entry) {
  try {
    int n = count_streams(dir, entry.name);
    counters.stream_count += n;
    // The table is copied: a record's digest must not be disturbed by another enumeration.
    const std::vector<StreamEntry> streams = stream_table;
    for (const StreamEntry& stream : streams) {
      check_interrupt();
      write_file_stream_record(dir, entry, stream);
    }
  } catch (const std::bad_alloc&) {
    std::fprintf(message_stream, "\n%d Memory problem", kFileStreamMemoryLine);
    terminate_run(kInsufficientMemory);
  }
}

void list_directory_streams(int n, const Directory& parent, const std::string& name,
                            const std::string& path) {
  try {
    const int count = std::min(n, static_cast<int>(stream_table.size()));
    const std::vector<StreamEntry> streams(stream_table.begin(), stream_table.begin() + count);
    for (const StreamEntry& stream : streams) {
      check_interrupt();
      write_directory_stream_record(parent, name, path, stream);
    }
  } catch (const std::bad_alloc&) {
    std::fprintf(message_stream, "\n%d Memory problem. Source file %s", kDirectoryStreamMemoryLine,
                 kDirectoryStreamModule);
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
