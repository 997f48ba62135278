// A platform double for the digest driver: files served from memory, with the faults a real
// disk cannot give on demand (a refused open in either code page, a refused shared open, a
// read or seek that fails, a file rewritten while it is read, Ctrl-C after some reads) and a
// log of every input call. Everything else passes through to the native platform. Files are
// named by their full path: the directory's path and the name.
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
  // The file is rewritten (content and last-write time) when its Nth read is made, counted
  // over the whole test; each entry is used once.
  std::map<std::string, std::vector<int>> rewrite_at_read;
  // The size the facts of a file report, where it is not the size of its bytes (a file of the
  // system's own making).
  std::map<std::string, std::int64_t> reported_size;
  int interrupt_after_reads = -1;      // Ctrl-C once this many reads were made
  bool interrupt_fails_reads = false;  // a read that Ctrl-C interrupts fails
  bool ansi = true;

  // --- What the test inspects -------------------------------------------------------------
  std::vector<std::string> log;  // "open ANSI name", "shared name", "seek N", "times name"...
  std::vector<std::size_t> read_sizes;  // the count asked for by every read
  std::map<std::string, int> opens;     // successful opens per file
  int open_handles = 0;
  int reads = 0;
  int facts_taken = 0;  // of open files

  // Reads made of a file so far.
  int reads_of(const std::string& path) { return reads_of_[path]; }

  // The facts of a file of `files` as a look-up or the open file gives them.
  DirEntry listed(const std::string& path) {
    DirEntry entry;
    entry.name = path.substr(path.rfind('/') + 1);
    entry.size = static_cast<std::int64_t>(files[path].size());
    if (reported_size.count(path) != 0) entry.size = reported_size[path];
    entry.last_write = version_[path];
    return entry;
  }

  InputHandle open_file(const Directory& dir, const std::string& name, InputAccess,
                        std::string*) override {
    const std::string path = dir.path + name;
    log.push_back(std::string("open ") + (ansi ? "ANSI " : "OEM ") + path);
    if (files.count(path) == 0 || refuse_open.count(path) != 0) return nullptr;
    if (ansi && refuse_ansi_open.count(path) != 0) return nullptr;
    return make_handle(path);
  }
  InputHandle open_file_shared(const Directory& dir, const std::string& name, InputAccess,
                               std::string*) override {
    const std::string path = dir.path + name;
    log.push_back("shared " + path);
    if (files.count(path) == 0 || refuse_shared.count(path) != 0) return nullptr;
    return make_handle(path);
  }
  Lookup entry_facts(const Directory& dir, const std::string& name, DirEntry* facts) override {
    log.push_back("look up " + dir.path + name);
    if (files.count(dir.path + name) == 0) return Lookup::kGone;
    *facts = listed(dir.path + name);
    return Lookup::kFound;
  }
  InputHandle open_path(const std::string& path, std::string*) override {
    if (files.count(path) == 0) return nullptr;
    return make_handle(path);
  }
  long long read_input(InputHandle input, void* buffer, std::size_t count) override {
    Open* file = from_handle(input);
    read_sizes.push_back(count);
    ++reads;
    ++reads_of_[file->path];
    auto rewrites = rewrite_at_read.find(file->path);
    if (rewrites != rewrite_at_read.end() && !rewrites->second.empty() &&
        rewrites->second.front() == reads_of_[file->path]) {
      rewrites->second.erase(rewrites->second.begin());
      files[file->path] += "!";
      version_[file->path] += 1;
    }
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
  bool input_facts(InputHandle input, DirEntry* facts) override {
    ++facts_taken;
    *facts = listed(from_handle(input)->path);
    return true;
  }
  bool set_input_times(InputHandle input, const DirEntry& found) override {
    log.push_back("times " + from_handle(input)->path + " " + std::to_string(found.last_write));
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

 private:
  struct Open {
    std::string path;
    std::uint64_t position = 0;
  };

  InputHandle make_handle(const std::string& path) {
    ++open_handles;
    ++opens[path];
    return reinterpret_cast<InputHandle>(new Open{path, 0});
  }
  static Open* from_handle(InputHandle input) { return reinterpret_cast<Open*>(input); }

  std::map<std::string, FileTime> version_;
  std::map<std::string, int> reads_of_;
};
