#include "select/walk.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "run/output_stream.h"
#include "run/run_state.h"
#include "run/settings.h"
#include "run/termination.h"
#include "run/text_format.h"
#include "select/pattern_match.h"
#include "select/progress.h"
#include "select/streams.h"
#include "select/wildcard.h"

namespace {

constexpr int kEscape = 27;
constexpr int kCtrlC = 3;

bool counting() {
  return run.counting_pass != 0;
}

bool directory_streams_wanted() {
  return run.volume_kind == 2 && !counting() && settings.streams != 0;
}

std::string without_trailing_separator(const std::string& dir) {
  if (dir.size() > 1 && dir.back() == kSeparator) return dir.substr(0, dir.size() - 1);
  return dir;
}

// One line on the message stream for what the walk cannot read; counted for the summary. The
// counting pass stays quiet: the main pass meets the same and says it once.
void report_unreadable(const std::string& what, const std::string& path, const std::string& why,
                       WalkSink& sink) {
  if (counting()) return;
  sink.in_walk_order([what, path, why] {
    counters.unreadable_count += 1;
    std::fprintf(message_stream, "Can't read %s %s%s%s\n", what.c_str(),
                 printable_text(path).c_str(), why.empty() ? "" : ": ", why.c_str());
  });
}

// The enumeration fills the one stream table that the records read, so it runs as a step
// right before them.
void list_streams_of(const Directory& parent, const std::string& name, const std::string& path,
                     WalkSink& sink) {
  sink.in_walk_order([parent, name, path, &sink] {
    int n = count_streams(parent, name);
    counters.stream_count += n;
    if (n == 0) return;
    sink.directory_streams(parent, name, path, n);
    counters.stream_dir_count += 1;
  });
}

void poll_keyboard() {
  if (abort_key_pressed()) terminate_run(kUserAborted);
  check_interrupt();
}

void count_directory(WalkSink& sink) {
  if (counting()) return;
  sink.in_walk_order([] { counters.directory_count += 1; });
}

// Entries of the directory are reached through its handle until the last step before the
// closing has run.
void close_in_walk_order(DirHandle handle, WalkSink& sink) {
  sink.in_walk_order([handle] { os().close_directory(handle); });
}

// The counting pass looks a file up for its size only: nothing is opened, and a file that
// is gone or cannot be examined is left for the main pass to find and say.
void count_entry(const Directory& dir, std::string_view name) {
  if (settings.output_target == 0) return;
  DirEntry facts;
  if (os().entry_facts(dir, std::string(name), &facts) != Lookup::kFound) return;
  if ((facts.attributes & kAttrDirectory) != 0) return;
  run.precount_files += 1;
  run.precount_bytes += facts.size;
  if (settings.auto_width) {
    run.longest_path = std::max(run.longest_path, static_cast<int>(dir.path.size() + name.size()));
  }
}

void handle_entry(const Directory& dir, const DirListing& listing, std::size_t i, WalkSink& sink) {
  sink.in_walk_order(poll_keyboard);
  const std::string_view name = listing.name(i);
  if (listing.is_directory(i)) {
    if (directory_streams_wanted() && settings.recurse == 0) {
      list_streams_of(dir, std::string(name), dir.path + std::string(name), sink);
    }
    return;
  }
  if (counting()) return count_entry(dir, name);
  DirEntry entry;
  entry.name = name;
  if (settings.exclude_given && is_excluded(entry.name)) return;
  entry.short_name = listing.short_name(i);
  sink.file(dir, entry);
}

// Each pattern in list order, up to one beginning with "-"; a file two patterns match is
// handed on twice.
void scan_directory_files(const Directory& dir, const DirListing& listing, WalkSink& sink) {
  for (const std::string& pattern : settings.file_patterns) {
    if (!pattern.empty() && pattern[0] == '-') break;
    for_each_matching(listing, pattern,
                      [&](std::size_t i) { handle_entry(dir, listing, i, sink); });
  }
}

void walk_listed(const Directory& dir, WalkSink& sink);

void walk_subdirectory(const Directory& parent, const std::string& name, WalkSink& sink) {
  Directory sub{parent.path + name + kSeparator, nullptr};
  std::string why;
  sub.handle = os().open_subdirectory(parent, name, &why);
  if (sub.handle == nullptr) return report_unreadable("directory", sub.path, why, sink);
  walk_listed(sub, sink);
  close_in_walk_order(sub.handle, sink);
}

// The subdirectories of `listing`, each walked at once; only their names are kept meanwhile.
// False when there are none, and the listing is left whole.
bool descend(const Directory& dir, DirListing* listing, WalkSink& sink) {
  DirListing subdirectories;
  for (std::size_t i = 0; i < listing->size(); ++i) {
    if (listing->is_directory(i)) subdirectories.add(listing->name(i), true);
  }
  if (subdirectories.size() == 0) return false;
  listing->clear();
  for (std::size_t i = 0; i < subdirectories.size(); ++i) {
    sink.in_walk_order(check_interrupt);
    count_directory(sink);
    walk_subdirectory(dir, std::string(subdirectories.name(i)), sink);
  }
  return true;
}

void walk_listed(const Directory& dir, WalkSink& sink) {
  DirListing listing;
  std::string why;
  if (!os().list_directory(dir, &listing, &why)) {
    return report_unreadable("directory", dir.path, why, sink);
  }
  for (const std::string& name : listing.unreadable) {
    report_unreadable("file", dir.path + name, "", sink);
  }
  // A root has no "." entry, so its own streams are never listed.
  if (directory_streams_wanted() && !listing.is_root) {
    list_streams_of(dir, "", without_trailing_separator(dir.path), sink);
  }
  if (settings.recurse == 0) {
    count_directory(sink);
  } else if (descend(dir, &listing, sink) && !os().list_directory(dir, &listing, &why)) {
    // The files come after everything below them, and are searched for when the walk gets to
    // them: what the directory holds then is what is catalogued.
    return report_unreadable("directory", dir.path, why, sink);
  }
  sink.in_walk_order([path = dir.path] { show_progress(path); });
  scan_directory_files(dir, listing, sink);
  sink.in_walk_order(erase_shown_progress);
}

}  // namespace

void walk_directory(const std::string& dir, WalkSink& sink) {
  Directory start{dir, nullptr};
  std::string why;
  os().set_file_apis_ansi();
  start.handle = os().open_directory(dir, &why);
  if (start.handle == nullptr) return report_unreadable("directory", dir, why, sink);
  walk_listed(start, sink);
  close_in_walk_order(start.handle, sink);
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
