#include "output/accounting_log.h"

#include <cstdio>
#include <vector>

#include "output/destinations.h"
#include "platform/platform.h"
#include "run/output_stream.h"
#include "run/settings.h"
#include "run/termination.h"

namespace {

// Module name of the general helpers, printed in fatal messages.
constexpr const char* kModule = "Generic7";
constexpr std::size_t kScanChunk = 1 << 16;
constexpr const char* kEntryStartLine =
    "\n***********************************************************\n";

// The status a log that cannot be prepared has always ended the process with, which the
// table of reasons happens to name so.
constexpr ExitReason kLogUnusable = kUserAborted;

// `why`: the system's reason, on a line of its own after the message when there is one.
[[noreturn]] void exit_error_opening(int line, const std::string& path, const std::string& why) {
  std::fprintf(stderr, "\n%s\n%d\nerror opening %s\n", kModule, line, path.c_str());
  if (!why.empty()) std::fprintf(stderr, "%s\n", why.c_str());
  end_run_at_once(kLogUnusable);
}

bool is_padding(char c) {
  return c == 0x1A || c == 0x00;
}

// Where the trailing run of padding starts: the file's size when there is none. Read from the
// end in pieces, so a log of any size is scanned.
std::uint64_t padding_start(InputHandle input, std::uint64_t size) {
  std::vector<char> chunk(kScanChunk);
  std::uint64_t end = size;
  while (end > 0) {
    std::uint64_t begin = end > kScanChunk ? end - kScanChunk : 0;
    std::size_t length = static_cast<std::size_t>(end - begin);
    if (!os().seek_input(input, begin) ||
        os().read_input(input, chunk.data(), length) != static_cast<long long>(length)) {
      return size;
    }
    for (std::size_t i = length; i > 0; --i) {
      if (!is_padding(chunk[i - 1])) return begin + i;
    }
    end = begin;
  }
  return 0;
}

}  // namespace

void trim_accounting_file(const std::string& path) {
  DirEntry facts;
  std::string why;
  if (!os().path_facts(path, &facts) || (facts.attributes & kAttrDirectory) != 0) {
    // Missing, it is created; a directory the system refuses, in its own words; a device has
    // nothing to cut, and reading one could wait for ever.
    OutputHandle created = os().open_output(path, OutputMode::kAppend, &why);
    if (created == nullptr) exit_error_opening(__LINE__, path, why);
    os().close_output(created);
    return;
  }
  if (facts.size <= 0) return;
  InputHandle input = os().open_path(path, &why);
  if (input == nullptr) exit_error_opening(__LINE__, path, why);
  const std::uint64_t size = static_cast<std::uint64_t>(facts.size);
  const std::uint64_t keep = padding_start(input, size);
  os().close_input(input);
  if (keep < size) os().truncate_file(path, keep);
}

bool open_accounting_log(const std::string& path) {
  std::string why;
  if (!os().acquire_log_lock(path, &why)) exit_error_opening(__LINE__, path, why);
  trim_accounting_file(path);
  OutputHandle log = os().open_output(path, OutputMode::kAppend, nullptr);
  if (log == nullptr) {
    write_stdout_message("Can't open accounting file " + path + "\n");
    os().release_log_lock();
    return false;
  }
  settings.accounting_file = log;
  settings.accounting_path = path;
  start_log_entry();
  // Each piece of the entry is written as it comes: what is written survives a crash.
  write_log(kEntryStartLine);
  return true;
}

void hand_over_accounting_log(const std::string& note) {
  if (settings.accounting_file == nullptr) return;
  write_log("This file closed.\n");
  write_log(note);
  close_accounting_log();
}

void close_accounting_log() {
  if (settings.accounting_file == nullptr) return;
  os().close_output(settings.accounting_file);
  settings.accounting_file = nullptr;
  os().release_log_lock();
}
