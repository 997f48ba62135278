// A platform double for the record writers: the facts, attributes and time stamps of files are
// scripted by the test, every attempt to change a file is logged, and the zone is fixed.
// Digest input is refused, so digest columns show their marker texts. Keys, clock and disks
// come from ScriptedPlatform.
#pragma once

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "support/scripted_platform.h"

class RecordPlatform : public ScriptedPlatform {
 public:
  static constexpr const char* kDiskFull = "Disk full";

  RecordPlatform() { zone = ZoneInfo{}; }

  // The facts of each file by its full path, as a listing gives them.
  std::map<std::string, DirEntry> entries;
  std::map<std::string, std::uint32_t> attributes;
  bool set_times_succeeds = true;
  bool interrupt_on_set_times = false;  // Ctrl-C arrives while the times are put back

  struct TimesCall {
    std::string path;
    FileTime creation, access, write;
    std::uint32_t attributes_then;
  };
  std::vector<TimesCall> set_times_calls;
  std::vector<std::pair<std::string, std::uint32_t>> attribute_calls;
  bool oem_mode = false;

  // Output writes to `limited_output` (nullptr: every output) take at most `write_piece` bytes
  // a call and report the rest short (0: no limit); once `disk_room` bytes have gone in, the
  // disk reports itself full (-1: never), in the words of kDiskFull.
  OutputHandle limited_output = nullptr;
  std::size_t write_piece = 0;
  std::int64_t disk_room = -1;
  int output_writes = 0;

  void add_file(const std::string& path, const DirEntry& entry) { entries[path] = entry; }

  InputHandle open_file(const Directory&, const std::string&, std::string*) override {
    return nullptr;
  }
  InputHandle open_file_shared(const Directory&, const std::string&, std::string*) override {
    return nullptr;
  }
  InputHandle open_stream(const Directory&, const std::string&, const std::string&) override {
    return nullptr;
  }
  bool entry_facts(const Directory& dir, const std::string& name, DirEntry* facts) override {
    auto found = entries.find(dir.path + name);
    if (found == entries.end()) return false;
    *facts = found->second;
    return true;
  }
  bool set_file_times(const Directory& dir, const std::string& name,
                      const DirEntry& found) override {
    set_times_calls.push_back({dir.path + name, found.creation, found.last_access, found.last_write,
                               get_attributes(dir, name)});
    if (interrupt_on_set_times) interrupted = true;
    return set_times_succeeds;
  }
  std::uint32_t get_attributes(const Directory& dir, const std::string& name) override {
    auto found = attributes.find(dir.path + name);
    return found == attributes.end() ? kInvalidAttributes : found->second;
  }
  bool set_attributes(const Directory& dir, const std::string& name, std::uint32_t value) override {
    attribute_calls.emplace_back(dir.path + name, value);
    attributes[dir.path + name] = value;
    return true;
  }
  bool list_streams(const Directory&, const std::string&,
                    std::vector<StreamEntry>* streams) override {
    streams->clear();
    return true;
  }
  WriteResult write_output(OutputHandle output, const char* data, std::size_t count) override {
    if (limited_output != nullptr && output != limited_output) {
      return ScriptedPlatform::write_output(output, data, count);
    }
    ++output_writes;
    std::size_t take = count;
    if (write_piece != 0) take = std::min(take, write_piece);
    if (disk_room >= 0) take = std::min(take, static_cast<std::size_t>(disk_room));
    WriteResult result = ScriptedPlatform::write_output(output, data, take);
    if (disk_room >= 0) disk_room -= static_cast<std::int64_t>(result.written);
    if (result.status != WriteResult::kDone || result.written == count) return result;
    result.status = disk_room == 0 ? WriteResult::kFull : WriteResult::kShort;
    if (disk_room == 0) result.error = kDiskFull;
    return result;
  }
  void set_file_apis_ansi() override { oem_mode = false; }
  void set_file_apis_oem() override { oem_mode = true; }
  bool file_apis_are_ansi() override { return !oem_mode; }
};
