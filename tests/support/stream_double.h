// A platform double for named streams: in-memory streams with their values and times,
// injected failures, and a log of the times written back. It installs itself for its
// lifetime; everything else goes to the native platform.
#pragma once

#include <algorithm>
#include <cstring>
#include <ctime>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/platform.h"
#include "support/platform_double.h"

class StreamDouble : public PassThroughPlatform {
 public:
  struct Times {
    FileTime creation = 0;
    FileTime last_access = 0;
    FileTime last_write = 0;
  };
  struct TimesWritten {
    std::string path;
    Times times;
  };

  StreamDouble() { set_platform(this); }
  ~StreamDouble() override { set_platform(nullptr); }

  // A named stream of `path`; its stream path is path + ":" + name.
  void add_stream(const std::string& path, const std::string& name, const std::string& value) {
    listed_[path].push_back(
        StreamEntry{0, 0, static_cast<std::int64_t>(value.size()), ":" + name + ":$DATA"});
    values_[path + ":" + name] = value;
  }
  // An entry the enumeration reports as it stands (unnamed kinds, odd names).
  void add_raw_entry(const std::string& path, const std::string& raw_name, std::int64_t size = 0) {
    listed_[path].push_back(StreamEntry{0, 0, size, raw_name});
  }
  void set_times(const std::string& path, Times times) { times_[path] = times; }
  void make_unopenable(const std::string& path) { unopenable_.push_back(path); }

  bool privileges_granted = true;
  bool times_readable = true;
  bool times_writable = true;
  // Ctrl-C shows as pressed once the times of this many paths have been read.
  int interrupt_after_time_reads = -1;
  std::vector<TimesWritten> times_written;
  std::vector<std::string> opened_streams;  // "carrier path:stream" of every stream opened

  // The path a directory and a name stand for: the directory itself when the name is empty.
  static std::string path_of(const Directory& dir, const std::string& name) {
    if (!name.empty()) return dir.path + name;
    std::string path = dir.path;
    if (path.size() > 1 && path.back() == kSeparator) path.pop_back();
    return path;
  }

  bool list_streams(const Directory& dir, const std::string& name,
                    std::vector<StreamEntry>* streams) override {
    const std::string path = path_of(dir, name);
    for (const std::string& bad : unopenable_) {
      if (bad == path) return false;
    }
    auto found = listed_.find(path);
    streams->clear();
    if (found != listed_.end()) *streams = found->second;
    return true;
  }
  bool enable_stream_privileges() override { return privileges_granted; }

  InputHandle open_stream(const Directory& dir, const std::string& carrier,
                          const std::string& stream, InputAccess) override {
    opened_streams.push_back(path_of(dir, carrier) + ":" + stream);
    auto found = values_.find(path_of(dir, carrier) + ":" + stream);
    if (found == values_.end()) return nullptr;
    auto* reader = new Reader{found->second, 0, path_of(dir, carrier)};
    readers_.insert(reader);
    return reinterpret_cast<InputHandle>(reader);
  }
  // Files are read by the native layer; only the streams are this double's.
  long long read_input(InputHandle input, void* buffer, std::size_t count) override {
    if (!ours(input)) return native_platform().read_input(input, buffer, count);
    Reader* reader = as_reader(input);
    if (reader->offset >= reader->data.size()) return 0;
    std::size_t n = std::min(count, reader->data.size() - reader->offset);
    std::memcpy(buffer, reader->data.data() + reader->offset, n);
    reader->offset += n;
    return static_cast<long long>(n);
  }
  bool seek_input(InputHandle input, std::uint64_t offset) override {
    if (!ours(input)) return native_platform().seek_input(input, offset);
    as_reader(input)->offset = static_cast<std::size_t>(offset);
    return true;
  }
  // A stream has its own size and its carrier's times.
  bool input_facts(InputHandle input, DirEntry* facts) override {
    if (!ours(input)) return native_platform().input_facts(input, facts);
    if (!times_readable) return false;
    Times t = times_[as_reader(input)->carrier];
    *facts = DirEntry{};
    facts->size = static_cast<std::int64_t>(as_reader(input)->data.size());
    facts->creation = t.creation;
    facts->last_access = t.last_access;
    facts->last_write = t.last_write;
    return true;
  }
  bool set_input_times(InputHandle input, const DirEntry& found) override {
    if (!ours(input)) return native_platform().set_input_times(input, found);
    times_written.push_back(
        {as_reader(input)->carrier, {found.creation, found.last_access, found.last_write}});
    return times_writable;
  }
  void close_input(InputHandle input) override {
    if (!ours(input)) return native_platform().close_input(input);
    readers_.erase(as_reader(input));
    delete as_reader(input);
  }

  Lookup entry_facts(const Directory& dir, const std::string& name, DirEntry* facts) override {
    ++time_reads_;
    if (!times_readable) return Lookup::kUnreadable;
    auto found = times_.find(path_of(dir, name));
    Times t = found != times_.end() ? found->second : Times{};
    *facts = DirEntry{};
    facts->name = name;
    facts->creation = t.creation;
    facts->last_access = t.last_access;
    facts->last_write = t.last_write;
    return Lookup::kFound;
  }
  bool interrupt_pending() override {
    return interrupt_after_time_reads >= 0 && time_reads_ >= interrupt_after_time_reads;
  }

 private:
  struct Reader {
    std::string data;
    std::size_t offset;
    std::string carrier;  // the path of the file or directory that carries the stream
  };
  static Reader* as_reader(InputHandle input) { return reinterpret_cast<Reader*>(input); }
  bool ours(InputHandle input) const { return readers_.count(as_reader(input)) != 0; }
  std::set<Reader*> readers_;

  std::map<std::string, std::vector<StreamEntry>> listed_;
  std::map<std::string, std::string> values_;
  std::map<std::string, Times> times_;
  std::vector<std::string> unopenable_;
  int time_reads_ = 0;
};

// A FileTime from a UTC calendar date and time (days counted from the civil calendar, so no
// C library zone is involved).
inline FileTime file_time_utc(int year, int month, int day, int hour, int minute, int second) {
  const int y = month <= 2 ? year - 1 : year;
  const int era = (y >= 0 ? y : y - 399) / 400;
  const int year_of_era = y - era * 400;
  const int day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  const std::int64_t days = static_cast<std::int64_t>(era) * 146097 + day_of_era - 719468;
  return file_time_of(days * 86400 + hour * 3600 + minute * 60 + second);
}
