// A platform double for the digest drivers: files served from memory, with the faults a real
// disk cannot give on demand (a refused open in either code page, a refused shared open, a
// read or seek that fails, Ctrl-C after some reads) and a log of every input call. Everything
// else passes through to the native platform.
#pragma once

#include <algorithm>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "support/platform_double.h"

class MemoryPlatform : public PassThroughPlatform {
 public:
  MemoryPlatform() { set_platform(this); }
  ~MemoryPlatform() override { set_platform(nullptr); }
  MemoryPlatform(const MemoryPlatform&) = delete;
  MemoryPlatform& operator=(const MemoryPlatform&) = delete;

  // --- What the test arranges ------------------------------------------------------------
  std::map<std::string, std::string> files;
  std::set<std::string> refuse_open;       // the normal open fails in both code pages
  std::set<std::string> refuse_ansi_open;  // the normal open fails in ANSI mode only
  std::set<std::string> refuse_shared;     // the shared open fails
  std::set<std::string> refuse_seek;
  std::map<std::string, std::size_t> fail_read_at;  // reads fail once this offset is reached
  int interrupt_after_reads = -1;                   // Ctrl-C once this many reads were made
  bool interrupt_fails_reads = false;               // a read that Ctrl-C interrupts fails
  bool ansi = true;

  // --- What the test inspects -------------------------------------------------------------
  std::vector<std::string> log;         // "open ANSI name", "shared name", "seek N", "read N"...
  std::vector<std::size_t> read_sizes;  // the count asked for by every read
  int open_handles = 0;
  int reads = 0;

  InputHandle open_input(const std::string& path) override {
    log.push_back(std::string("open ") + (ansi ? "ANSI " : "OEM ") + path);
    if (files.count(path) == 0 || refuse_open.count(path) != 0) return nullptr;
    if (ansi && refuse_ansi_open.count(path) != 0) return nullptr;
    return make_handle(path);
  }
  InputHandle open_input_shared(const std::string& path) override {
    log.push_back("shared " + path);
    if (files.count(path) == 0 || refuse_shared.count(path) != 0) return nullptr;
    return make_handle(path);
  }
  long long read_input(InputHandle input, void* buffer, std::size_t count) override {
    Open* file = from_handle(input);
    read_sizes.push_back(count);
    ++reads;
    if (interrupt_fails_reads && interrupt_pending()) return -1;
    const std::string& bytes = files[file->path];
    auto failing = fail_read_at.find(file->path);
    std::size_t limit = bytes.size();
    if (failing != fail_read_at.end()) {
      if (file->position >= failing->second) return -1;
      limit = std::min(limit, failing->second);
    }
    if (file->position >= limit) return 0;
    std::size_t n = std::min(count, static_cast<std::size_t>(limit - file->position));
    std::memcpy(buffer, bytes.data() + file->position, n);
    file->position += n;
    return static_cast<long long>(n);
  }
  bool seek_input(InputHandle input, std::uint64_t offset) override {
    Open* file = from_handle(input);
    log.push_back("seek " + std::to_string(offset));
    if (refuse_seek.count(file->path) != 0) return false;
    file->position = offset;
    return true;
  }
  void close_input(InputHandle input) override {
    log.push_back("close");
    delete from_handle(input);
    --open_handles;
  }
  void set_file_apis_ansi() override { ansi = true; }
  void set_file_apis_oem() override { ansi = false; }
  bool file_apis_are_ansi() override { return ansi; }
  bool interrupt_pending() override {
    return interrupt_after_reads >= 0 && reads >= interrupt_after_reads;
  }
  bool file_exists(const std::string& path) override { return files.count(path) != 0; }

 private:
  struct Open {
    std::string path;
    std::uint64_t position = 0;
  };

  InputHandle make_handle(const std::string& path) {
    ++open_handles;
    return reinterpret_cast<InputHandle>(new Open{path, 0});
  }
  static Open* from_handle(InputHandle input) { return reinterpret_cast<Open*>(input); }
};
