// The run settings record: every option of a run, filled from defaults, the environment, the
// configuration file and the command line, then only read.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

// A size limit as written, sign and all: the magnitude takes the whole 64-bit range, never
// clamped or wrapped, and a negative limit (-1) is one every file is above and none below.
struct SizeLimit {
  bool negative = false;
  std::uint64_t bytes = 0;
  bool operator==(const SizeLimit&) const = default;
};

// How records are written: the fixed-width catalogue, or data for other tools.
enum class RecordFormat { kFixedWidth, kCsv, kJson };

struct Settings {
  // The flat record of signed 32-bit fields, in their declared order.
  int date_filter = 0;
  int all_hash_times = 0;
  int append_output = 0;
  int attribute_filter = 0;
  int auto_width = 0;
  int comment_given = 0;
  int crc32 = 0;
  int size_greater = 0;
  int md5 = 0;
  int size_less = 0;
  int lower_case_hex = 0;
  int name_width = 0;
  int show_times = 0;
  int name_only = 0;
  int path_only = 0;
  int name_after_digest = 0;
  int output_target = 0;  // 0 console, 1 output file, -1 standard output named explicitly
  int pause = 0;
  int recurse = 0;
  int reset_access_time = 0;
  int time_seconds = 0;
  int sha1 = 0;
  int sha256 = 0;
  int sha384 = 0;
  int sha512 = 0;
  int dos_name = 0;
  int name_only_width = 0;
  int streams = 0;
  int year_first_dates = 0;
  int time_kind = 0;  // a character: 'a', 'c', 'w', '3', '0' or whatever was given
  int silent = 0;
  int zulu = 0;
  int immediate = 0;
  int exclude_given = 0;
  int exclude_case_sensitive = 0;
  int older_given = 0;
  int newer_given = 0;

  // Companion values.
  int width_mode = 0;
  std::string comment_text;
  char delimiter = ' ';
  // Byte offsets cover the whole range of a file: never clamped, never wrapped.
  std::uint64_t start_offset = 0;
  std::uint64_t end_offset = 0;
  int end_is_count = 0;
  SizeLimit size_greater_than;
  SizeLimit size_less_than;
  int older_days = 0;
  int newer_days = 8000;
  FileTime older_date = 0;
  FileTime newer_date = 0;
  struct {
    int access = 0;
    int creation = 0;
    int write = 0;
  } date_test_times;
  std::string output_path;
  std::vector<std::string> exclude_patterns;
  std::vector<std::string> file_patterns;
  std::vector<std::string> search_paths;
  OutputHandle accounting_file = nullptr;  // the open accounting log
  std::string accounting_path;             // its name, as messages show it
  struct {
    std::uint32_t plus = 0;
    std::uint32_t minus = 0;
  } attr_masks;
  // Workers that digest files (--jobs); 0: one per processor.
  int jobs = 0;
  // --format.
  RecordFormat record_format = RecordFormat::kFixedWidth;
};

// The widest name column a width option or key may ask for: a record is assembled whole in
// memory, and the record-length arithmetic stays well inside an int.
constexpr int kWidestNameColumn = 32767;

// The one instance, reachable from everywhere.
extern Settings settings;

// Back to the state at creation: zero fields, empty lists, `newer_days` 8000, space delimiter.
void create_settings();
// zulu 0, time_kind 'w'; RESET and SILENT holding "ON" anywhere after upper-casing.
void apply_environment();
// The defaults that the environment's values survive.
void apply_defaults();
// True when the upper-cased value contains "ON".
bool environment_switch_on(const char* value);
