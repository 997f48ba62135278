#include "output/stream_record.h"

#include <algorithm>
#include <cstdio>
#include <new>

#include "digest/file_digest.h"
#include "output/data_record.h"
#include "output/destinations.h"
#include "output/file_record.h"
#include "output/file_times.h"
#include "output/fixed_width.h"
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

// A file's stream shows the first chosen kind in this order, a directory's stream each chosen
// kind among the first three.
constexpr DigestKind kStreamOrder[] = {DigestKind::kMd5,    DigestKind::kCrc32,
                                       DigestKind::kSha1,   DigestKind::kSha256,
                                       DigestKind::kSha384, DigestKind::kSha512};
constexpr std::size_t kDirectoryStreamKinds = 3;

// The carrier's stamps, as read just before the stream's digest; the unset stamp when they
// cannot be read.
FileTimes read_stream_times(const Directory& dir, const std::string& carrier,
                            const std::string& stream_path, int line, const char* module) {
  FileTimes result;
  for (Stamp* stamp : {&result.last_write, &result.last_access, &result.creation}) {
    *stamp = Stamp{0, 0, 1980, 0, 0, 0};
  }
  os().set_file_apis_ansi();
  DirEntry found;
  if (os().entry_facts(dir, carrier, &found) == Lookup::kFound) {
    convert_file_times(found.creation, found.last_access, found.last_write, &result, settings.zulu);
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
  const DigestRequest all = file_digest_request();
  for (DigestKind kind : kStreamOrder) {
    if (wants(all, kind)) return one_kind_of(all, kind);
  }
  DigestRequest none;
  none.start = all.start;
  return none;
}

// The kind a file's stream record shows: the one its digest made.
DigestKind the_kind(const DigestTexts& texts) {
  for (DigestKind kind : kStreamOrder) {
    if (!text_of(texts, kind).empty()) return kind;
  }
  return DigestKind::kMd5;
}

// The reading put the carrier's stamps back through the stream's own handle; what is left
// here is to say when it could not.
void report_stream_reset(const std::string& full_path, bool reset_failed) {
  if (!reset_failed) return;
  for (int i = 0; i < 2; ++i) {
    std::fprintf(message_stream, "\nCan't reset filetime for %s\n",
                 printable_text(full_path).c_str());
  }
}

void append_file_stream_details(std::string* record, const StreamEntry& stream,
                                const FileTimes& times, const DirEntry& file) {
  FixedWidthRenderer line(RecordKind::kFileStream, record);
  line.size(stream.size);
  if (settings.time_kind != '0' && settings.show_times) {
    // The fixed form selects no stamp for some kinds ('W'); the zone then has nothing to
    // qualify and is left out with them.
    if (line.times(times)) line.zone();
  }
  if (settings.dos_name) {
    line.short_name(printable_text(file.short_name.empty() ? file.name : file.short_name));
  }
}

void write_file_stream_record(const Directory& dir, const DirEntry& file,
                              const StreamEntry& stream) {
  StreamRecord made = file_stream_record(dir, file, stream);
  report_digest_outcome(made.outcome, made.path);
  report_stream_reset(dir.path + file.name, made.reset_failed);
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

// The chosen digests among MD5, CRC-32 and SHA-1 of a directory's stream, of the whole stream
// and never lowered.
DigestRequest directory_stream_request() {
  const DigestRequest all = file_digest_request();
  DigestRequest request;  // the whole stream
  request.md5 = all.md5;
  request.crc32 = all.crc32;
  request.sha1 = all.sha1;
  return request;
}

DigestOutcome append_directory_stream_digests(std::string* record, const Directory& parent,
                                              const std::string& name, const StreamEntry& stream) {
  const DigestRequest request = directory_stream_request();
  if (kind_count(request) == 0) return DigestOutcome::kDone;
  DigestResult digest = digest_stream(parent, name, stream_bare_name(stream.name), request);
  FixedWidthRenderer line(RecordKind::kDirectoryStream, record);
  for (std::size_t i = 0; i < kDirectoryStreamKinds; ++i) {
    const DigestKind kind = kStreamOrder[i];
    if (wants(request, kind)) line.digest(kind, text_of(digest.texts, kind));
  }
  return digest.outcome;
}

void append_directory_stream_details(std::string* record, const StreamEntry& stream,
                                     const FileTimes& times) {
  FixedWidthRenderer line(RecordKind::kDirectoryStream, record);
  line.size(stream.size);
  if (settings.time_kind != '0' && settings.show_times) {
    line.times(times);
    line.zone();
  }
  if (settings.dos_name) line.short_name("");
}

std::string data_stream_record(const std::string& carrier, const StreamEntry& stream,
                               const DigestTexts& digests, const FileTimes& times,
                               const std::string& short_name) {
  DataFields fields;
  fields.name = carrier;
  fields.stream = stream_bare_name(stream.name);
  fields.digests = &digests;
  fields.size = stream.size;
  fields.times = &times;
  fields.short_name = short_name;
  return data_record(fields);
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
  const FileTimes times =
      read_stream_times(dir, file.name, made.path, kFileStreamFiletimeLine, kFileStreamModule);
  // As data, a stream shows every chosen digest, as its carrier does.
  DigestResult digest =
      digest_stream(dir, file.name, stream_bare_name(stream.name),
                    data_records() ? file_digest_request() : file_stream_request());
  made.outcome = digest.outcome;
  made.reset_failed = digest.reset_failed;
  if (data_records()) {
    made.text = data_stream_record(dir.path + file.name, stream, digest.texts, times,
                                   file.short_name.empty() ? file.name : file.short_name);
    return made;
  }
  const DigestKind kind = the_kind(digest.texts);
  FixedWidthRenderer(RecordKind::kFileStream, &made.text).digest(kind, text_of(digest.texts, kind));
  if (!settings.path_only) append_file_stream_details(&made.text, stream, times, file);
  return made;
}

StreamRecord directory_stream_record(const Directory& parent, const std::string& name,
                                     const std::string& dir_path, const StreamEntry& stream) {
  StreamRecord made;
  const std::string suffix = stream_path_suffix(stream.name);
  made.path = dir_path + suffix;
  const FileTimes times = read_stream_times(parent, name, made.path, kDirectoryStreamFiletimeLine,
                                            kDirectoryStreamModule);
  if (data_records()) {
    DigestResult digest =
        digest_stream(parent, name, stream_bare_name(stream.name), directory_stream_request());
    made.outcome = digest.outcome;
    made.text = data_stream_record(dir_path, stream, digest.texts, times, "");
    return made;
  }
  made.text = stream_name_column(last_component(dir_path), suffix, made.path);
  made.outcome = append_directory_stream_digests(&made.text, parent, name, stream);
  if (!settings.path_only) append_directory_stream_details(&made.text, stream, times);
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
  const NameTexts names = name_texts(owner_name + suffix, stream_path);
  // Both stream records lay their name column out alike.
  FixedWidthRenderer line(RecordKind::kFileStream, &column);
  line.escape_mark(names);
  line.name(names);
  return column;
}
