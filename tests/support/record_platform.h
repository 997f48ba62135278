// A platform double for the record writers: directory entries, attributes and time stamps
// are scripted by the test, every attempt to change a file is logged, and the zone is fixed.
// Digest input is refused, so digest columns show their marker texts. Keys, clock and disks
// come from ScriptedPlatform.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "support/scripted_platform.h"

class RecordPlatform : public ScriptedPlatform {
 public:
  RecordPlatform() { zone = ZoneInfo{}; }

  // What a directory search on each exact pattern text finds, in order.
  std::map<std::string, std::vector<DirEntry>> searches;
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

  void add_file(const std::string& path, const DirEntry& entry) { searches[path] = {entry}; }

  SearchHandle find_first(const std::string& pattern, DirEntry* entry) override {
    auto found = searches.find(pattern);
    if (found == searches.end() || found->second.empty()) return nullptr;
    cursor_ = found->second;
    position_ = 0;
    *entry = cursor_[position_++];
    return reinterpret_cast<SearchHandle>(this);
  }
  bool find_next(SearchHandle, DirEntry* entry) override {
    if (position_ >= cursor_.size()) return false;
    *entry = cursor_[position_++];
    return true;
  }
  void find_close(SearchHandle) override {}

  InputHandle open_input(const std::string&) override { return nullptr; }
  InputHandle open_input_shared(const std::string&) override { return nullptr; }

  bool file_times(const std::string& path, FileTime* creation, FileTime* last_access,
                  FileTime* last_write) override {
    auto found = searches.find(path);
    if (found == searches.end() || found->second.empty()) return false;
    *creation = found->second[0].creation;
    *last_access = found->second[0].last_access;
    *last_write = found->second[0].last_write;
    return true;
  }
  bool set_file_times(const std::string& path, FileTime creation, FileTime last_access,
                      FileTime last_write) override {
    set_times_calls.push_back({path, creation, last_access, last_write, get_attributes(path)});
    if (interrupt_on_set_times) interrupted = true;
    return set_times_succeeds;
  }
  std::uint32_t get_attributes(const std::string& path) override {
    auto found = attributes.find(path);
    return found == attributes.end() ? kInvalidAttributes : found->second;
  }
  bool set_attributes(const std::string& path, std::uint32_t value) override {
    attribute_calls.emplace_back(path, value);
    attributes[path] = value;
    return true;
  }
  bool list_streams(const std::string&, std::vector<StreamEntry>* streams) override {
    streams->clear();
    return true;
  }
  void set_file_apis_ansi() override { oem_mode = false; }
  void set_file_apis_oem() override { oem_mode = true; }
  bool file_apis_are_ansi() override { return !oem_mode; }

 private:
  std::vector<DirEntry> cursor_;
  std::size_t position_ = 0;
};
