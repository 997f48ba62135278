// A platform double for the record writers: the facts, attributes and time stamps of files are
// scripted by the test, every attempt to change a file is logged, and the zone is fixed.
// Digest input is refused, so digest columns show their marker texts, except for the files
// given a content, which open and read from memory with their scripted facts. Keys, clock and
// disks come from ScriptedPlatform.
#pragma once

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "support/scripted_platform.h"

class RecordPlatform : public ScriptedPlatform {
 public:
  static constexpr const char* kDiskFull = "Disk full";

  RecordPlatform() { zone = ZoneInfo{}; }

  // The facts of each file by its full path, as a look-up or the open file gives them.
  std::map<std::string, DirEntry> entries;
  std::map<std::string, std::string> contents;  // files that open, by their full path
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

  InputHandle open_file(const Directory& dir, const std::string& name, InputAccess,
                        std::string*) override {
    auto found = contents.find(dir.path + name);
    if (found == contents.end()) return nullptr;
    Reader* reader = new Reader{found->first, 0};
    readers.insert(reader);
    return reinterpret_cast<InputHandle>(reader);
  }
  InputHandle open_file_shared(const Directory&, const std::string&, InputAccess,
                               std::string*) override {
    return nullptr;
  }
  InputHandle open_stream(const Directory&, const std::string&, const std::string&,
                          InputAccess) override {
    return nullptr;
  }
  long long read_input(InputHandle input, void* buffer, std::size_t count) override {
    if (!own(input)) return ScriptedPlatform::read_input(input, buffer, count);
    Reader* reader = reinterpret_cast<Reader*>(input);
    const std::string& bytes = contents[reader->path];
    std::size_t n = std::min(count, bytes.size() - std::min(bytes.size(), reader->offset));
    std::copy_n(bytes.data() + reader->offset, n, static_cast<char*>(buffer));
    reader->offset += n;
    return static_cast<long long>(n);
  }
  bool input_facts(InputHandle input, DirEntry* facts) override {
    if (!own(input)) return ScriptedPlatform::input_facts(input, facts);
    *facts = entries[reinterpret_cast<Reader*>(input)->path];
    return true;
  }
  bool set_input_times(InputHandle input, const DirEntry& found) override {
    const std::string& path = reinterpret_cast<Reader*>(input)->path;
    set_times_calls.push_back(
        {path, found.creation, found.last_access, found.last_write, attributes[path]});
    if (interrupt_on_set_times) interrupted = true;
    return set_times_succeeds;
  }
  // Inputs it did not open itself (a log or catalogue named by its path) are the base's.
  void close_input(InputHandle input) override {
    if (!own(input)) return ScriptedPlatform::close_input(input);
    readers.erase(reinterpret_cast<Reader*>(input));
    delete reinterpret_cast<Reader*>(input);
  }
  Lookup entry_facts(const Directory& dir, const std::string& name, DirEntry* facts) override {
    auto found = entries.find(dir.path + name);
    if (found == entries.end()) return Lookup::kGone;
    *facts = found->second;
    return Lookup::kFound;
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

 private:
  struct Reader {
    std::string path;
    std::size_t offset;
  };
  bool own(InputHandle input) const { return readers.count(reinterpret_cast<Reader*>(input)) != 0; }
  std::set<Reader*> readers;
};
