// Between the walk and a verification: each file the walk reaches, read once for its digests,
// and each of its named streams, as the facts a verification compares with a catalogue's.
// Nothing here writes, resets, pauses or asks: a verification leaves the disk as it found it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "digest/file_digest.h"
#include "driver/echoed_line.h"
#include "driver/record_merge.h"
#include "output/ordered_records.h"
#include "select/walk.h"

// How the disk's records are shown for the comparison, to match what the catalogue's run
// showed.
struct DiskView {
  // The catalogue's names are of the other system: names compare in their neutral form.
  NameStyle style = NameStyle::kThisSystem;
  // The catalogue's times are local times of another zone, at this offset (seconds west of
  // Greenwich), rather than this system's.
  bool other_zone = false;
  long zone_offset_seconds = 0;
};

// The zone column as this run's records write it, without its padding and delimiter.
std::string zone_text();

class DiskRecords {
 public:
  // `own_files`: full paths of the catalogue's own files, which the comparison leaves out.
  DiskRecords(const DiskView& view, std::vector<std::string> own_files, RecordMerge& merge);
  // Whether the comparison takes a file with these facts: it passes the filters and is not
  // the catalogue. Asked by whichever thread reaches the file.
  bool wanted(const Directory& dir, const DirEntry& facts) const;
  // A file's digest pass: its record and its streams' go to the merge, unless the pass found
  // no file to compare.
  void take_file(const Directory& dir, const DigestResult& digest);
  // The first `n` streams of the stream table, of the directory `name` of `parent` (empty:
  // `parent` itself) whose full path is `path`.
  void take_directory_streams(const Directory& parent, const std::string& name,
                              const std::string& path, int n);
  // The longest full path met, and whether a name column could not show a path whole.
  std::size_t longest_path() const { return longest_path_; }
  bool names_shortened() const { return names_shortened_; }

 private:
  std::string key_of(std::string name) const;
  std::string placed(const std::string& directory) const;
  FileTimes times_of(const DirEntry& facts) const;
  void take_stream(const std::string& text, const std::string& directory);

  DiskView view_;
  std::vector<std::string> own_files_;
  RecordMerge& merge_;
  const RecordLayouts layouts_;
  const bool shows_times_;
  const std::string zone_;  // the zone column's text, the same for every record
  std::size_t longest_path_ = 0;
  bool names_shortened_ = false;
};

// One file at a time on this thread.
class DiskSink : public WalkSink {
 public:
  explicit DiskSink(DiskRecords& records) : records_(records) {}
  void file(const Directory& dir, const DirEntry& entry) override;
  void directory_streams(const Directory& parent, const std::string& name, const std::string& path,
                         int n) override;

 private:
  DiskRecords& records_;
};

// Several files read at once by workers, taken in the walk's order on this thread.
class OrderedDiskSink : public OrderedRecordWriters {
 public:
  OrderedDiskSink(DiskRecords& records, WorkPool& workers, std::size_t window)
      : OrderedRecordWriters(workers, window), records_(records) {}
  void directory_streams(const Directory& parent, const std::string& name, const std::string& path,
                         int n) override;

 protected:
  bool wanted(const Directory& dir, const DirEntry& facts) override;
  void digested(const Directory& dir, const DigestResult& digest) override;

 private:
  DiskRecords& records_;
};
