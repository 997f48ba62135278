#include "output/file_record.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "output/banner.h"
#include "output/destinations.h"
#include "output/file_times.h"
#include "output/shorten.h"
#include "output/stream_record.h"
#include "run/output_stream.h"
#include "run/run_state.h"
#include "run/settings.h"
#include "run/termination.h"
#include "run/text_format.h"
#include "select/filters.h"

namespace {

constexpr int kKeyReturn = 13;
constexpr int kKeyNewline = 10;  // what Return gives on a terminal that maps CR to NL
constexpr int kKeyEscape = 27;
constexpr int kKeyCtrlC = 3;

// Padding is cut from this with a precision, so it never exceeds 258 characters.
const std::string kSpaces(258, ' ');

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

void append_leading_name(std::string* out, const std::string& name, const std::string& shown) {
  const char d = settings.delimiter;
  if (settings.name_only) {
    append_format(out, "%-*s%c", settings.name_only_width, name.c_str(), d);
  } else if (settings.name_width > 8) {
    append_format(out, "%-*.*s%c", settings.name_width, settings.name_width, shown.c_str(), d);
  } else {
    append_format(out, "%s%c", shown.c_str(), d);
  }
}

void append_trailing_name(std::string* out, const std::string& name, const std::string& shown) {
  const char d = settings.delimiter;
  const int x = settings.name_after_digest;
  if (settings.name_only) {
    append_format(out, "%.*s%-*s%c", x, kSpaces.c_str(), settings.name_only_width, name.c_str(), d);
  } else if (settings.name_width > 8) {
    append_format(out, "%-*.*s%c", settings.name_width, settings.name_width, shown.c_str(), d);
  } else {
    append_format(out, "%.*s%s%c", x, kSpaces.c_str(), shown.c_str(), d);
  }
}

// The digest columns in the order MD5, SHA-1, CRC-32, SHA-256, SHA-384, SHA-512.
void append_digests(std::string* out, DigestTexts* texts) {
  const char d = settings.delimiter;
  if (settings.md5) {
    if (settings.lower_case_hex) {
      for (char& c : texts->md5) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    if (settings.name_width < 8) {
      append_format(out, "%s%c", texts->md5.c_str(), d);
    } else {
      append_format(out, "%40s%c", texts->md5.c_str(), d);
    }
  }
  if (settings.sha1) append_format(out, "%40s%c", texts->sha1.c_str(), d);
  if (settings.crc32) append_format(out, "%40s%c", texts->crc32.c_str(), d);
  if (settings.sha256) append_format(out, " %s%c", texts->sha256.c_str(), d);
  if (settings.sha384) append_format(out, " %s%c", texts->sha384.c_str(), d);
  if (settings.sha512) append_format(out, " %s%c", texts->sha512.c_str(), d);
}

void reset_times_after_reading(const Directory& dir, const DirEntry& entry) {
  if (!settings.reset_access_time) return;
  if (reset_file_times(dir, entry.name, entry) == 0) return;
  // Shown as the records show it: a line end in the name must not forge a line of its own.
  const std::string shown = printable_text(dir.path + entry.name);
  std::fprintf(message_stream, "\nCan't reset filetime for %s\n", shown.c_str());
  std::fprintf(message_stream, "\nCan't reset filetime for %s\n", shown.c_str());
}

// Size, time columns, zone column and short name.
void append_details(std::string* out, const DirEntry& entry, const FileTimes& times,
                    const std::string& name) {
  if (settings.path_only) return;
  append_format(out, "%12lld%c", static_cast<long long>(entry.size), settings.delimiter);
  out->append(standard_time_columns(times));
  out->append(zone_column());
  if (settings.dos_name) {
    const std::string shown = entry.short_name.empty() ? name : printable_text(entry.short_name);
    append_format(out, " %-15s%c", shown.c_str(), settings.delimiter);
  }
}

// What the name column shows of the bare name, and of the full path under its width.
std::string bare_name_text(const std::string& name) {
  return printable_text(name);
}

std::string display_name(const std::string& full_path) {
  return settings.width_mode > 2
             ? shorten_keep_head(printable_text(full_path), settings.name_width)
             : shorten_keep_tail(printable_text(full_path), settings.name_width);
}

bool passes(const Directory& dir, const DirEntry& entry) {
  FileFacts facts{entry.size,       entry.creation,   entry.last_access,
                  entry.last_write, entry.attributes, dir.path + entry.name};
  return passes_filters(facts);
}

}  // namespace

std::string file_record_name(const Directory& dir, const DirEntry& entry) {
  if (settings.name_only) return bare_name_text(entry.name);
  std::string shown = display_name(dir.path + entry.name);
  if (settings.name_width > 8 && shown.size() > static_cast<std::size_t>(settings.name_width)) {
    shown.resize(static_cast<std::size_t>(settings.name_width));
  }
  return shown;
}

int page_length() {
  return run.record_width >= 80 ? 12 : 24;
}

DigestRequest file_digest_request() {
  DigestRequest request;
  request.md5 = settings.md5 != 0;
  request.sha1 = settings.sha1 != 0;
  request.crc32 = settings.crc32 != 0;
  request.sha256 = settings.sha256 != 0;
  request.sha384 = settings.sha384 != 0;
  request.sha512 = settings.sha512 != 0;
  request.start = static_cast<std::uint64_t>(settings.start_offset);
  request.md5_end = static_cast<std::uint64_t>(settings.end_offset);
  return request;
}

void report_digest_outcome(DigestOutcome outcome, const std::string& path) {
  const std::string shown = printable_text(path);
  switch (outcome) {
    case DigestOutcome::kDone:
      return;
    case DigestOutcome::kInterrupted:
      terminate_run(kInputFile);
    case DigestOutcome::kGone:
      return;
    case DigestOutcome::kNotOpened:
      std::fprintf(message_stream, "Can't open file for reading, digest not computed: %s\n",
                   shown.c_str());
      break;
    case DigestOutcome::kReadFailed:
      std::fprintf(message_stream, "Read error, digest not computed: %s\n", shown.c_str());
      break;
    case DigestOutcome::kChanged:
      std::fprintf(message_stream, "File changed while it was read, digest not computed: %s\n",
                   shown.c_str());
      break;
  }
  counters.unreadable_count += 1;
}

namespace {

void pause_when_due() {
  if (settings.pause && (counters.file_count + 1) % page_length() == 0) pause_for_key();
}

// Everything of the record after its pause, the digest made.
void write_record_of(const Directory& dir, const DirEntry& entry, DigestResult digest) {
  // Vanished since the walk listed it: no record and no count, as for a file never found.
  if (digest.outcome == DigestOutcome::kGone) return;
  const std::string full_path = dir.path + entry.name;
  const std::string bare = bare_name_text(entry.name);
  const std::string shown = display_name(full_path);
  std::string record;
  if (settings.comment_given) {
    append_format(&record, "%s", settings.comment_text.c_str());
    if (settings.delimiter != ' ') append_format(&record, "%c", settings.delimiter);
  }
  if (settings.name_after_digest == 0) append_leading_name(&record, bare, shown);
  // An interrupt during the reading ends the run here, before a record with a wrong digest
  // column can be written.
  report_digest_outcome(digest.outcome, full_path);
  append_digests(&record, &digest.texts);
  reset_times_after_reading(dir, entry);
  check_interrupt();
  records_on_disk += 1;
  if (settings.name_after_digest != 0) append_trailing_name(&record, bare, shown);
  FileTimes times;
  const DirEntry& facts = digest.facts;
  convert_file_times(facts.creation, facts.last_access, facts.last_write, &times, settings.zulu);
  append_details(&record, facts, times, bare);
  record += "\n";
  // Counted as the record goes out, so that a run ended during the digests counts exactly
  // the records it wrote.
  counters.file_count += 1;
  counters.byte_total += facts.size;
  write_record(record, 1, facts.size);
  check_interrupt();

  note_record_length(record.size());
  if (continuation_active() && records_on_disk >= disk_capacity) continue_on_new_disk();
  if (settings.streams && (entry.attributes & kAttrDirectory) == 0) list_file_streams(dir, entry);
  counters.record_length = static_cast<int>(record.size()) + 1;
}

}  // namespace

void write_file_record(const Directory& dir, const DirEntry& entry) {
  check_interrupt();
  if (!passes(dir, entry)) return;
  pause_when_due();
  if (entry.size >= kLongReadSize) flush_before_long_wait();
  write_record_of(dir, entry, digest_file(dir, entry, file_digest_request()));
}

bool file_record_wanted(const Directory& dir, const DirEntry& entry) {
  return passes(dir, entry);
}

void write_digested_record(const Directory& dir, const DirEntry& entry,
                           const DigestResult& digest) {
  check_interrupt();
  pause_when_due();
  write_record_of(dir, entry, digest);
}
