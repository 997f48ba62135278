#include "select/walk.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "config/settings.h"
#include "driver/run_state.h"
#include "driver/termination.h"
#include "output/destinations.h"
#include "output/file_record.h"
#include "output/text_format.h"
#include "select/pattern_match.h"
#include "select/streams.h"

DirEntry current_entry;
FileSink file_sink = write_file_record;

namespace {

constexpr int kEscape = 27;
constexpr int kCtrlC = 3;
constexpr int kProgressDirectoryWidth = 60;

bool is_dot_entry(const std::string& name) { return name == "." || name == ".."; }

bool is_directory_entry(const DirEntry& entry) {
  return (entry.attributes & kAttrDirectory) != 0;
}

// Lists the named streams of a directory when streams are listed on this volume.
void list_streams_of_directory(const std::string& path) {
  int n = count_streams(path);
  counters.stream_count += n;
  if (n != 0) {
    list_directory_streams(n, path);
    counters.stream_dir_count += 1;
  }
}

bool directory_streams_wanted() {
  return run.volume_kind == 2 && run.counting_pass == 0 && settings.streams != 0;
}

std::string without_trailing_separator(const std::string& dir) {
  if (dir.size() > 1 && dir.back() == kSeparator) return dir.substr(0, dir.size() - 1);
  return dir;
}

// Descends into every subdirectory of the open search, the first entry included.
void walk_subdirectories(const std::string& dir, SearchHandle search, DirEntry entry) {
  do {
    check_interrupt();
    if (is_directory_entry(entry) && !is_dot_entry(entry.name)) {
      if (run.counting_pass == 0) counters.directory_count += 1;
      walk_directory(dir + entry.name + kSeparator);
    }
  } while (os().find_next(search, &entry));
}

void handle_entry(const std::string& dir, const DirEntry& entry) {
  current_entry = entry;
  if (abort_key_pressed()) terminate_run(1);
  check_interrupt();
  if (directory_streams_wanted() && settings.recurse == 0 && is_directory_entry(entry) &&
      !is_dot_entry(entry.name)) {
    list_streams_of_directory(dir + entry.name);
  }
  if (is_directory_entry(entry)) return;
  if (run.counting_pass != 0) {
    if (settings.output_target != 0) {
      run.precount_files += 1;
      run.precount_bytes += entry.size;
      if (settings.auto_width) {
        run.longest_path =
            std::max(run.longest_path, static_cast<int>(dir.size() + entry.name.size()));
      }
    }
    return;
  }
  if (settings.exclude_given && is_excluded(entry.name)) return;
  file_sink(dir, entry.name);
}

}  // namespace

void walk_directory(const std::string& dir) {
  DirEntry entry;
  os().set_file_apis_ansi();
  SearchHandle search = os().find_first(dir + "*.*", &entry);
  if (search == nullptr) return;
  // A root has no "." entry, so its own streams are never listed.
  if (directory_streams_wanted() && entry.name == ".") {
    list_streams_of_directory(without_trailing_separator(dir));
  }
  if (settings.recurse == 0) {
    if (run.counting_pass == 0) counters.directory_count += 1;
  } else {
    walk_subdirectories(dir, search, entry);
  }
  os().find_close(search);

  int count_chars = 0;
  int dir_chars = 0;
  bool show_count = settings.immediate == 0 && settings.silent == 0 && run.counting_pass == 0;
  if (settings.output_target != 0) {
    if (show_count) count_chars = std::fprintf(message_stream, " %6ld ", static_cast<long>(counters.file_count));
    dir_chars = std::fprintf(message_stream, "%.*s ", kProgressDirectoryWidth, dir.c_str());
  }
  scan_directory_files(dir);
  if (settings.output_target != 0) {
    erase_progress(dir_chars);
    if (show_count) erase_progress(count_chars);
  }
}

void scan_directory_files(const std::string& dir) {
  for (const std::string& pattern : settings.file_patterns) {
    if (!pattern.empty() && pattern[0] == '-') break;
    DirEntry entry;
    os().set_file_apis_ansi();
    SearchHandle search = os().find_first(dir + pattern, &entry);
    if (search == nullptr) continue;
    do {
      handle_entry(dir, entry);
    } while (os().find_next(search, &entry));
    os().find_close(search);
  }
}

bool is_excluded(const std::string& name) {
  const std::string subject = settings.exclude_case_sensitive ? name : upper_case_ascii(name);
  for (const std::string& pattern : settings.exclude_patterns) {
    if (pattern_matches(pattern, subject)) return true;
  }
  return false;
}

bool abort_key_pressed() {
  if (!os().key_waiting()) return false;
  int key = os().read_key();
  if (key == kKeyInterrupted) check_interrupt();
  return key == kCtrlC || key == kEscape;
}

void erase_progress(int n) {
  if (n <= 0) return;
  std::string text(static_cast<std::size_t>(n), '\b');
  text.append(static_cast<std::size_t>(n), ' ');
  text.append(static_cast<std::size_t>(n), '\b');
  std::fputs(text.c_str(), message_stream);
}

bool fallback_lookup(const std::string& path, const std::string& name, DirEntry* entry) {
  std::string pattern = path;
  for (char& c : pattern) {
    if (static_cast<unsigned char>(c) > 128) c = '?';
  }
  os().set_file_apis_ansi();
  SearchHandle search = os().find_first(pattern, entry);
  if (search == nullptr) return false;
  // Every entry is compared, the first included, and a search that finds no entry of that
  // exact name fails: handing on the last entry seen would describe another file.
  bool found = false;
  do {
    found = entry->name == name;
  } while (!found && os().find_next(search, entry));
  os().find_close(search);
  return found;
}
