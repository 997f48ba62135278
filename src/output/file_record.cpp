#include "output/file_record.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "config/settings.h"
#include "digest/file_digest.h"
#include "driver/run_state.h"
#include "driver/termination.h"
#include "output/banner.h"
#include "output/destinations.h"
#include "output/file_times.h"
#include "output/shorten.h"
#include "output/stream_record.h"
#include "output/text_format.h"
#include "select/filters.h"
#include "select/walk.h"

std::string last_digest_text;

namespace {

constexpr int kKeyReturn = 13;
constexpr int kKeyNewline = 10;  // what Return gives on a terminal that maps CR to NL
constexpr int kKeyEscape = 27;
constexpr int kKeyCtrlC = 3;

// Padding is cut from this with a precision, so it never exceeds 258 characters.
const std::string kSpaces(258, ' ');

// The entry of the file itself. Names may hold wildcard characters on this system, so the
// search can report siblings: only the entry with exactly this name describes the file. When
// the file is gone and only siblings match, no entry of theirs may stand in for it.
bool look_up_again(const std::string& full_path, const std::string& name, DirEntry* entry) {
  os().set_file_apis_ansi();
  SearchHandle search = os().find_first(full_path, entry);
  if (search == nullptr) return fallback_lookup(full_path, name, entry);
  bool exact = entry->name == name;
  while (!exact && os().find_next(search, entry)) exact = entry->name == name;
  os().find_close(search);
  return exact || fallback_lookup(full_path, name, entry);
}


// Between screenfuls: Return goes on, Esc, Ctrl-C or the end of input end the run.
void pause_for_key() {
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

std::string md5_text(const std::string& full_path) {
  const auto start = settings.start_offset;
  const auto end = settings.end_offset;
  std::string text = end != 0 ? md5_file_range(full_path, start, end) : md5_file(full_path, start);
  if (settings.lower_case_hex) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return text;
}

// The digest columns in reading order: MD5, SHA-1, CRC-32, SHA-256, SHA-384, SHA-512.
void append_digests(std::string* out, const std::string& full_path) {
  const char d = settings.delimiter;
  const auto start = settings.start_offset;
  if (settings.md5) {
    last_digest_text = md5_text(full_path);
    if (settings.name_width < 8) {
      append_format(out, "%s%c", last_digest_text.c_str(), d);
    } else {
      append_format(out, "%40s%c", last_digest_text.c_str(), d);
    }
  }
  if (settings.sha1) {
    last_digest_text = sha1_file(full_path, start);
    append_format(out, "%40s%c", last_digest_text.c_str(), d);
  }
  if (settings.crc32) {
    last_digest_text = crc32_file(full_path, nullptr, start);
    append_format(out, "%40s%c", last_digest_text.c_str(), d);
  }
  if (settings.sha256) {
    last_digest_text = sha256_file(full_path, start);
    append_format(out, " %s%c", last_digest_text.c_str(), d);
  }
  if (settings.sha384) {
    last_digest_text = sha384_file(full_path, start);
    append_format(out, " %s%c", last_digest_text.c_str(), d);
  }
  if (settings.sha512) {
    last_digest_text = sha512_file(full_path, start);
    append_format(out, " %s%c", last_digest_text.c_str(), d);
  }
}

void reset_times_after_reading(const std::string& full_path, const DirEntry& entry) {
  if (!settings.reset_access_time) return;
  if (reset_file_times(full_path, entry.creation, entry.last_access, entry.last_write) == 0) {
    return;
  }
  // Shown as the records show it: a line end in the name must not forge a line of its own.
  const std::string shown = printable_text(full_path);
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

}  // namespace

int page_length() {
  return run.record_width >= 80 ? 12 : 24;
}

void write_file_record(const std::string& directory, const std::string& name) {
  if (name == "." || name == "..") return;
  check_interrupt();
  const std::string full_path = directory + name;
  DirEntry entry;
  if (!look_up_again(full_path, name, &entry)) return;

  FileTimes times;
  convert_file_times(entry.creation, entry.last_access, entry.last_write, &times, settings.zulu);
  FileFacts facts{entry.size,       entry.creation,   entry.last_access,
                  entry.last_write, entry.attributes, full_path};
  if (!passes_filters(facts)) return;

  const std::string bare = printable_text(name);
  const std::string shown = settings.width_mode > 2
                                ? shorten_keep_head(printable_text(full_path), settings.name_width)
                                : shorten_keep_tail(printable_text(full_path), settings.name_width);
  if (settings.pause && (counters.file_count + 1) % page_length() == 0) pause_for_key();

  std::string record;
  if (settings.comment_given) {
    append_format(&record, "%s", settings.comment_text.c_str());
    if (settings.delimiter != ' ') append_format(&record, "%c", settings.delimiter);
  }
  if (settings.name_after_digest == 0) append_leading_name(&record, bare, shown);
  append_digests(&record, full_path);
  reset_times_after_reading(full_path, entry);
  // A Ctrl-C during the digests cut them short: end here, before a record with a wrong
  // digest column can be written.
  check_interrupt();
  records_on_disk += 1;
  if (settings.name_after_digest != 0) append_trailing_name(&record, bare, shown);
  append_details(&record, entry, times, bare);
  record += "\n";
  // Counted only now, so that a run ended during the digests counts exactly the records
  // it wrote.
  counters.file_count += 1;
  counters.byte_total += entry.size;
  write_output(record);
  check_interrupt();

  note_record_length(record.size());
  if (continuation_active() && records_on_disk >= disk_capacity) continue_on_new_disk();
  if (settings.streams && (entry.attributes & kAttrDirectory) == 0) {
    list_file_streams(full_path, name);
  }
  counters.record_length = static_cast<int>(record.size()) + 1;
}
