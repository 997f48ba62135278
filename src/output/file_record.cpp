#include "output/file_record.h"

#include <algorithm>
#include <cstdio>

#include "output/banner.h"
#include "output/data_record.h"
#include "output/destinations.h"
#include "output/file_times.h"
#include "output/fixed_width.h"
#include "output/stream_record.h"
#include "run/output_stream.h"
#include "run/run_state.h"
#include "run/settings.h"
#include "run/termination.h"
#include "run/text_format.h"
#include "select/filters.h"
#include "select/progress.h"

namespace {

constexpr int kKeyReturn = 13;
constexpr int kKeyNewline = 10;  // what Return gives on a terminal that maps CR to NL
constexpr int kKeyEscape = 27;
constexpr int kKeyCtrlC = 3;

// Between screenfuls: Return goes on, Esc, Ctrl-C or the end of input end the run.
void pause_for_key() {
  flush_output();
  for (;;) {
    print_centred(message_stream, "Hit return to continue: ^C to end", 80);
    std::fflush(message_stream);
    int key = os().read_key();
    std::fputs("\r", message_stream);
    if (key == kKeyInterrupted) {
      check_interrupt();
      continue;
    }
    if (key == kKeyReturn || key == kKeyNewline) return;
    if (key == kKeyEscape || key == kKeyCtrlC || key == kKeyEndOfInput) {
      terminate_run(kUserAborted);
    }
  }
}

// The escape mark of a record whose name is escaped, then the comment column.
void append_record_start(std::string* out, const NameTexts& names) {
  // Room for the widest usual record, so that it is not moved as it grows.
  out->reserve(512);
  FixedWidthRenderer line(RecordKind::kFile, out);
  line.escape_mark(names);
  if (settings.comment_given) line.comment(settings.comment_text);
}

void append_leading_name(std::string* out, const NameTexts& names) {
  FixedWidthRenderer(RecordKind::kFile, out).name(names);
}

void append_trailing_name(std::string* out, const NameTexts& names) {
  FixedWidthRenderer(RecordKind::kFile, out).trailing_name(names);
}

// The digest columns in the order MD5, SHA-1, CRC-32, SHA-256, SHA-384, SHA-512.
void append_digests(std::string* out, const DigestTexts& texts) {
  const DigestRequest chosen = file_digest_request();
  FixedWidthRenderer line(RecordKind::kFile, out);
  for (DigestKind kind : kAllDigestKinds) {
    if (wants(chosen, kind)) line.digest(kind, text_of(texts, kind));
  }
}

// The reading put the stamps back itself, through the handle it read from; what is left here
// is to say when it could not.
void report_reset(const std::string& full_path, const DigestResult& digest) {
  if (!settings.reset_access_time || !digest.reset_failed) return;
  // Shown as the records show it: a line end in the name must not forge a line of its own.
  const std::string shown = printable_text(full_path);
  std::fprintf(message_stream, "\nCan't reset filetime for %s\n", shown.c_str());
  std::fprintf(message_stream, "\nCan't reset filetime for %s\n", shown.c_str());
}

// Size, time columns, zone column and short name; `name` stands in for a missing short name.
void append_details(std::string* out, const DirEntry& entry, const std::string& name) {
  if (settings.path_only) return;
  FileTimes times;
  convert_file_times(entry.creation, entry.last_access, entry.last_write, &times, settings.zulu);
  FixedWidthRenderer line(RecordKind::kFile, out);
  line.size(entry.size);
  line.times(times);
  line.zone();
  if (settings.dos_name) {
    line.short_name(printable_text(entry.short_name.empty() ? name : entry.short_name));
  }
}

bool passes(const Directory& dir, const DirEntry& facts) {
  FileFacts file{facts.size,       facts.creation,   facts.last_access,
                 facts.last_write, facts.attributes, dir.path + facts.name};
  return passes_filters(file);
}

}  // namespace

std::string file_record_name(const Directory& dir, const DirEntry& entry) {
  if (data_records()) return dir.path + entry.name;
  const NameTexts names = name_texts(entry.name, dir.path + entry.name);
  if (settings.name_only) return names.bare;
  if (settings.name_width > 8 &&
      names.shown.size() > static_cast<std::size_t>(settings.name_width)) {
    return names.shown.substr(0, static_cast<std::size_t>(settings.name_width));
  }
  return names.shown;
}

bool gives_record(DigestOutcome outcome) {
  return outcome != DigestOutcome::kGone && outcome != DigestOutcome::kRejected &&
         outcome != DigestOutcome::kPutBack && outcome != DigestOutcome::kUnreadable;
}

int page_length() {
  return run.record_width >= 80 ? 12 : 24;
}

DigestRequest file_digest_request(const Settings& s) {
  DigestRequest request;
  request.md5 = s.md5 != 0;
  request.sha1 = s.sha1 != 0;
  request.crc32 = s.crc32 != 0;
  request.sha256 = s.sha256 != 0;
  request.sha384 = s.sha384 != 0;
  request.sha512 = s.sha512 != 0;
  request.start = static_cast<std::uint64_t>(s.start_offset);
  request.md5_end = static_cast<std::uint64_t>(s.end_offset);
  request.reset_times = s.reset_access_time != 0;
  return request;
}

void report_digest_outcome(DigestOutcome outcome, const std::string& path) {
  const char* what = "";
  switch (outcome) {
    case DigestOutcome::kDone:
    case DigestOutcome::kGone:
    case DigestOutcome::kRejected:
    case DigestOutcome::kPutBack:
      return;
    case DigestOutcome::kInterrupted:
      terminate_run(kInputFile);
    case DigestOutcome::kUnreadable:
      // As the walk says it of an entry whose kind it cannot tell.
      what = "Can't read file ";
      break;
    case DigestOutcome::kNotOpened:
      what = "Can't open file for reading, digest not computed: ";
      break;
    case DigestOutcome::kReadFailed:
      what = "Read error, digest not computed: ";
      break;
    case DigestOutcome::kChanged:
      what = "File changed while it was read, digest not computed: ";
      break;
  }
  std::fprintf(message_stream, "%s%s\n", what, printable_text(path).c_str());
  counters.unreadable_count += 1;
}

namespace {

// An interrupt during the reading ends the run in the record's making, before a record with a
// wrong digest column can be written.
void report_reading(const std::string& full_path, const DigestResult& digest) {
  report_digest_outcome(digest.outcome, full_path);
  report_reset(full_path, digest);
  check_interrupt();
  records_on_disk += 1;
}

std::string fixed_width_record(const Directory& dir, const DigestResult& digest) {
  const DirEntry& entry = digest.facts;
  const std::string full_path = dir.path + entry.name;
  const NameTexts names = name_texts(entry.name, full_path);
  std::string record;
  append_record_start(&record, names);
  if (settings.name_after_digest == 0) append_leading_name(&record, names);
  report_reading(full_path, digest);
  append_digests(&record, digest.texts);
  if (settings.name_after_digest != 0) append_trailing_name(&record, names);
  append_details(&record, entry, entry.name);
  return record + "\n";
}

std::string data_file_record(const std::string& full_path, const DigestResult& digest) {
  report_reading(full_path, digest);
  const DirEntry& entry = digest.facts;
  FileTimes times;
  times.raw_creation = entry.creation;
  times.raw_last_access = entry.last_access;
  times.raw_last_write = entry.last_write;
  DataFields fields;
  fields.name = full_path;
  fields.digests = &digest.texts;
  fields.size = entry.size;
  fields.times = &times;
  fields.short_name = entry.short_name.empty() ? entry.name : entry.short_name;
  return data_record(fields) + "\n";
}

void pause_when_due() {
  if (settings.pause && (counters.file_count + 1) % page_length() == 0) pause_for_key();
}

// Everything of the record after its pause, the digest made.
void write_record_of(const Directory& dir, const DigestResult& digest) {
  const DirEntry& entry = digest.facts;
  if (!gives_record(digest.outcome)) {
    return report_digest_outcome(digest.outcome, dir.path + entry.name);
  }
  std::string record = data_records() ? data_file_record(dir.path + entry.name, digest)
                                      : fixed_width_record(dir, digest);
  // Counted as the record goes out, so that a run ended during the digests counts exactly
  // the records it wrote.
  counters.file_count += 1;
  counters.byte_total += entry.size;
  write_record(record, 1, entry.size);
  check_interrupt();

  note_record_length(record.size());
  if (continuation_active() && records_on_disk >= disk_capacity) continue_on_new_disk();
  if (settings.streams && (entry.attributes & kAttrDirectory) == 0) list_file_streams(dir, entry);
  counters.record_length = static_cast<int>(record.size()) + 1;
}

}  // namespace

void write_file_record(const Directory& dir, const DirEntry& entry) {
  check_interrupt();
  // The screen pauses before the file is read, once, however often the file is reached.
  bool paused = false;
  std::uint64_t long_read = 0;  // the size of a file large enough to show its progress
  auto gate = [&](const DirEntry& facts) {
    if (!passes(dir, facts)) return Admission::kReject;
    if (!paused) pause_when_due();
    paused = true;
    if (facts.size >= kLongReadSize) flush_before_long_wait();
    long_read = facts.size >= kLongReadSize ? static_cast<std::uint64_t>(facts.size) : 0;
    return Admission::kRead;
  };
  DigestRequest request = file_digest_request();
  ReadProgress progress;
  progress.tick = [&](std::uint64_t reached) {
    if (long_read != 0) show_read_progress(reached, long_read);
  };
  if (progress_drawn()) request.progress = &progress;
  DigestResult digest = digest_file(dir, entry, request, gate);
  erase_read_progress();
  write_record_of(dir, digest);
}

bool file_record_wanted(const Directory& dir, const DirEntry& facts) {
  return passes(dir, facts);
}

void write_digested_record(const Directory& dir, const DigestResult& digest) {
  check_interrupt();
  if (gives_record(digest.outcome)) pause_when_due();
  write_record_of(dir, digest);
}
