#include "driver/disk_records.h"

#include <algorithm>
#include <utility>

#include "output/catalogue.h"
#include "output/data_record.h"
#include "output/file_record.h"
#include "output/file_times.h"
#include "output/fixed_width.h"
#include "output/stream_record.h"
#include "run/output_stream.h"
#include "run/run_state.h"
#include "run/settings.h"
#include "run/termination.h"
#include "run/text_format.h"
#include "select/path_lists.h"
#include "select/streams.h"

namespace {

std::string without_trailing_spaces(std::string text) {
  text.erase(text.find_last_not_of(' ') + 1);
  return text;
}

// A raw time as the local time of a zone at a fixed offset: moved by the offset, then read
// as UTC. An unset time stays unset.
FileTime at_offset(FileTime raw, long offset_seconds) {
  if (raw == 0) return 0;
  const auto shift = static_cast<std::int64_t>(offset_seconds) *
                     static_cast<std::int64_t>(kFileTimeTicksPerSecond);
  return static_cast<FileTime>(static_cast<std::int64_t>(raw) - shift);
}

}  // namespace

std::string zone_text() {
  std::string column;
  FixedWidthRenderer(RecordKind::kFile, &column).zone();
  column.pop_back();
  column.erase(0, column.find_first_not_of(' '));
  return column;
}

DiskRecords::DiskRecords(const DiskView& view, std::vector<std::string> own_files,
                         RecordMerge& merge)
    : view_(view),
      own_files_(std::move(own_files)),
      merge_(merge),
      layouts_(settings),
      shows_times_(layouts_.shows_times()),
      zone_(zone_text()) {}

bool DiskRecords::wanted(const Directory& dir, const DirEntry& entry) const {
  for (const std::string& own : own_files_) {
    if (own.size() == dir.path.size() + entry.name.size() &&
        same_name(own, dir.path + entry.name)) {
      return false;
    }
  }
  return file_record_wanted(dir, entry);
}

std::string DiskRecords::key_of(std::string name) const {
  // A data record's name stands whole, padding never added.
  if (!data_records()) name = without_trailing_spaces(std::move(name));
  return view_.style == NameStyle::kThisSystem ? name : neutral_name(name);
}

std::string DiskRecords::placed(const std::string& directory) const {
  return view_.style == NameStyle::kThisSystem ? directory : neutral_name(directory);
}

FileTimes DiskRecords::times_of(const DirEntry& f) const {
  FileTimes times;
  if (!shows_times_) return times;  // no column would show them
  if (view_.other_zone && !settings.zulu) {
    const long offset = view_.zone_offset_seconds;
    convert_file_times(at_offset(f.creation, offset), at_offset(f.last_access, offset),
                       at_offset(f.last_write, offset), &times, 1);
  } else {
    // Data records name instants: they are compared in UTC.
    convert_file_times(f.creation, f.last_access, f.last_write, &times,
                       data_records() ? 1 : settings.zulu);
  }
  return times;
}

void DiskRecords::take_file(const Directory& dir, const DigestResult& digest) {
  const DirEntry& entry = digest.facts;
  const std::string full_path = dir.path + entry.name;
  report_digest_outcome(digest.outcome, full_path);
  // Vanished since the walk listed it, or no file now: its catalogue record is missing.
  if (!gives_record(digest.outcome)) return;
  counters.file_count += 1;
  counters.byte_total += digest.facts.size;

  ShownValues values;
  values.name = key_of(file_record_name(dir, entry));
  // Both ways of shortening leave a path alone below eight characters of width.
  longest_path_ = std::max(longest_path_, full_path.size());
  if (!data_records() && !settings.name_only && settings.name_width >= 8 &&
      full_path.size() > static_cast<std::size_t>(settings.name_width)) {
    names_shortened_ = true;
  }
  values.digests = &digest.texts;
  values.size = digest.facts.size;
  const FileTimes times = times_of(digest.facts);
  values.times = &times;
  values.zone = zone_;
  const DirEntry& facts = digest.facts;
  if (settings.dos_name) {
    values.short_name = printable_text(facts.short_name.empty() ? entry.name : facts.short_name);
  }
  MergeRecord record;
  layouts_.file_facts(values, &record.facts);
  record.directory = placed(dir.path);
  merge_.add_newer(std::move(record));

  if (!settings.streams || (entry.attributes & kAttrDirectory) != 0) return;
  count_streams(dir, entry.name);
  // Copied: each enumeration overwrites the table.
  const std::vector<StreamEntry> streams = stream_table;
  for (const StreamEntry& stream : streams) {
    check_interrupt();
    StreamRecord made = file_stream_record(dir, entry, stream);
    report_digest_outcome(made.outcome, made.path);
    take_stream(made.text, dir.path);
  }
}

void DiskRecords::take_directory_streams(const Directory& parent, const std::string& name,
                                         const std::string& path, int n) {
  const int count = std::min(n, static_cast<int>(stream_table.size()));
  const std::vector<StreamEntry> streams(stream_table.begin(), stream_table.begin() + count);
  for (const StreamEntry& stream : streams) {
    check_interrupt();
    StreamRecord made = directory_stream_record(parent, name, path, stream);
    report_digest_outcome(made.outcome, made.path);
    // A directory's own streams come before what lies in it; those of a subdirectory met
    // without recursion come among its parent's files.
    take_stream(made.text, parent.path);
  }
}

// Streams are few: their record is made as the writers make it and read back.
void DiskRecords::take_stream(const std::string& text, const std::string& directory) {
  MergeRecord record;
  if (!layouts_.read(text, &record.facts)) return;
  record.facts.name = key_of(record.facts.name);
  record.directory = placed(directory);
  record.file = false;
  merge_.add_newer(std::move(record));
}

void DiskSink::file(const Directory& dir, const DirEntry& entry) {
  check_interrupt();
  auto gate = [&](const DirEntry& facts) {
    if (!records_.wanted(dir, facts)) return Admission::kReject;
    if (facts.size >= kLongReadSize) flush_before_long_wait();
    return Admission::kRead;
  };
  records_.take_file(dir, digest_file(dir, entry, file_digest_request(), gate));
}

void DiskSink::directory_streams(const Directory& parent, const std::string& name,
                                 const std::string& path, int n) {
  records_.take_directory_streams(parent, name, path, n);
}

void OrderedDiskSink::directory_streams(const Directory& parent, const std::string& name,
                                        const std::string& path, int n) {
  records_.take_directory_streams(parent, name, path, n);
}

bool OrderedDiskSink::wanted(const Directory& dir, const DirEntry& facts) {
  return records_.wanted(dir, facts);
}

void OrderedDiskSink::digested(const Directory& dir, const DigestResult& digest) {
  check_interrupt();
  records_.take_file(dir, digest);
}
