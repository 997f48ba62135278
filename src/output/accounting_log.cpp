#include "output/accounting_log.h"

#include <cstdlib>
#include <filesystem>
#include <vector>

#include "config/settings.h"
#include "output/destinations.h"
#include "platform/platform.h"

namespace {

// Module name of the general helpers, printed in fatal messages.
constexpr const char* kModule = "Generic7";
constexpr long kMinimumScannedSize = 10;
constexpr std::size_t kScanChunk = 1 << 16;
constexpr const char* kEntryStartLine =
    "\n***********************************************************\n";

[[noreturn]] void exit_error_opening(int line, const std::string& path) {
  std::fprintf(stderr, "\n%s\n%d\nerror opening %s\n", kModule, line, path.c_str());
  std::fflush(nullptr);
  std::exit(1);
}

// Opens the log for reading, creating it when it does not exist yet.
std::FILE* open_for_scan(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file != nullptr) return file;
  std::FILE* created = std::fopen(path.c_str(), "ab");
  if (created == nullptr) return nullptr;
  std::fclose(created);
  return std::fopen(path.c_str(), "rb");
}

// Offset of the first 0x1A or 0x00 byte, or -1 when there is none. Read in pieces, so a log
// of any size can be scanned.
long long find_end_mark(std::FILE* file) {
  std::vector<char> chunk(kScanChunk);
  long long offset = 0;
  for (;;) {
    std::size_t got = std::fread(chunk.data(), 1, chunk.size(), file);
    for (std::size_t i = 0; i < got; ++i) {
      if (chunk[i] == 0x1A || chunk[i] == 0x00) return offset + static_cast<long long>(i);
    }
    if (got < chunk.size()) return -1;
    offset += static_cast<long long>(got);
  }
}

bool holds_at_least(std::FILE* file, long bytes) {
  bool enough = std::fseek(file, bytes - 1, SEEK_SET) == 0 && std::fgetc(file) != EOF;
  std::rewind(file);
  return enough;
}

}  // namespace

void trim_accounting_file(const std::string& path) {
  // A named pipe or a device has nothing to cut, and reading one could wait for ever.
  std::error_code error;
  auto kind = std::filesystem::status(path, error).type();
  if (kind != std::filesystem::file_type::regular &&
      kind != std::filesystem::file_type::not_found) {
    return;
  }
  std::FILE* file = open_for_scan(path);
  if (file == nullptr) exit_error_opening(__LINE__, path);
  long long mark = holds_at_least(file, kMinimumScannedSize) ? find_end_mark(file) : -1;
  std::fclose(file);
  if (mark >= 0) os().truncate_file(path, static_cast<std::uint64_t>(mark));
}

std::FILE* open_accounting_log(const std::string& path) {
  if (!os().acquire_log_lock(path)) exit_error_opening(__LINE__, path);
  trim_accounting_file(path);
  remove_trailing_ctrl_z(path);
  std::FILE* log = std::fopen(path.c_str(), "a+");
  if (log == nullptr) {
    std::printf("Can't open accounting file %s\n", path.c_str());
    os().release_log_lock();
    return nullptr;
  }
  std::fseek(log, 0, SEEK_END);
  std::fputs(kEntryStartLine, log);
  // The entry grows over the whole run; what is written so far survives a crash.
  std::fflush(log);
  return log;
}

void hand_over_accounting_log(const std::string& note) {
  if (settings.accounting_file == nullptr) return;
  std::fputs("This file closed.\n", settings.accounting_file);
  std::fputs(note.c_str(), settings.accounting_file);
  close_accounting_log();
}

void close_accounting_log() {
  if (settings.accounting_file == nullptr) return;
  std::fclose(settings.accounting_file);
  settings.accounting_file = nullptr;
  os().release_log_lock();
}
