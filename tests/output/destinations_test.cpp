#include "output/destinations.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#ifndef _WIN32
#include <unistd.h>
#endif

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "output/catalogue_digest.h"
#include "run/output_stream.h"
#include "run/run_state.h"
#include "run/settings.h"
#include "support/captured_streams.h"
#include "support/death_test.h"
#include "support/native_path.h"
#include "support/reference_digest.h"
#include "support/scripted_platform.h"
#include "support/temp_dir.h"

namespace {

constexpr std::int64_t kFeb5th2006LateUtc = 1139182200;  // 2006-02-05 23:30:00 UTC

class Destinations : public testing::Test {
 protected:
  void SetUp() override {
    create_settings();
    apply_environment();
    apply_defaults();
    counters = RunCounters{};
    run = RunState{};
    messages = std::tmpfile();
    message_stream = messages;
    use_standard_output();
    platform.now = kFeb5th2006LateUtc;
    platform.zone = ZoneInfo{"", "", -86400, false};  // local dates run a day ahead of UTC
  }
  void TearDown() override {
    finish_output();
    use_standard_output();
    message_stream = stderr;
    std::fclose(messages);
  }

  // An output file on a removable drive, open with `content` already written to it.
  void open_removable_output(const std::string& content) {
    settings.output_target = 1;
    settings.output_path = dir.at("list.txt");
    OutputHandle file = open_output_file(settings.output_path, false);
    ASSERT_NE(file, nullptr);
    use_output_file(file, settings.output_path);
    write_output(content);
    platform.removable = true;
    platform.free_bytes = 1000000;
    run.record_width = 100;
    set_up_disk_capacity();
  }

  ScriptedPlatform platform;
  TempDir dir{kSharedWithDeathTests};
  std::FILE* messages = nullptr;
};

TEST_F(Destinations, DatedPathTakesTodaysUtcDateAndTheExtensionAfterTheMarker) {
  struct Case {
    std::string path;
    std::string expected;
  } cases[] = {
      {native_path("/a/list/MMDD.txt"), native_path("/a/list/20060205.txt")},
      {native_path("/c/x/YYMMold.log"),
       native_path("/c/x/20060205.log")},  // text between marker and dot dropped
      {native_path("/c/logs/YYMM"), native_path("/c/logs/20060205")},
      {native_path("/c/logs/MMDD"), native_path("/c/logs/20060205")},
      {native_path("/my.dir/MMDD.txt"),
       native_path("/my.dir/20060205.txt")},  // a dot before the marker is no extension
      {native_path("/my.dir/MMDD"), native_path("/my.dir/20060205")},
      {native_path("/x/MMDD.tar.gz"), native_path("/x/20060205.tar.gz")},
      {native_path("/x/YYMM/MMDD.txt"),
       native_path("/x/YYMM/20060205.txt")},  // MMDD is looked for first
      {native_path("/x/list.txt"), native_path("/x/list.txt")},
      {native_path("/x/mmdd.txt"), native_path("/x/mmdd.txt")},  // the marker is upper case
      {"MMDD.txt", "MMDD.txt"},  // the marker begins with the separator
      {native_path("/x/MMD.txt"), native_path("/x/MMD.txt")},
  };
  for (const Case& c : cases) {
    std::string path = c.path;
    expand_dated_path(&path);
    EXPECT_EQ(path, c.expected) << c.path;
  }
  platform.now = 946641600;  // 1999-12-31 12:00 UTC; the local date would be 2000-01-01
  std::string path = native_path("/out/MMDD.TXT");
  expand_dated_path(&path);
  EXPECT_EQ(path, native_path("/out/19991231.TXT"));
}

TEST_F(Destinations, CapacityKeepsReserveAndNeverWrapsBelowIt) {
  struct Case {
    std::uint64_t free_bytes;
    int record_width;
    int expected;
  } cases[] = {
      {1000000, 100, 9959},
      {4196, 100, 1},
      {4195, 100, 0},
      {4096, 100, 0},
      {4095, 100, 0},  // below the reserve: full, not four billion records
      {0, 65, 0},
      {1ULL << 50, 40, INT_MAX},  // a large drive caps the count instead of overflowing it
      {1000000, 0, 995904},       // no width to divide by: one byte per record
  };
  for (const Case& c : cases) {
    EXPECT_EQ(capacity_for_free_space(c.free_bytes, c.record_width), c.expected)
        << c.free_bytes << " / " << c.record_width;
  }
}

TEST_F(Destinations, AppendRemovesOnlyATrailingCtrlZAndKeepsEarlierContent) {
  struct Case {
    std::string before;
    std::string after_append;
  } cases[] = {
      {"old\n\x1A", "old\nnew"},
      {"old\x1A\x1A", "old\x1Anew"},
      {"o\x1A"
       "d\n",
       "o\x1A"
       "d\nnew"},
      {"\x1A", "new"},
      {"", "new"},
      {"old\n", "old\nnew"},
  };
  for (const Case& c : cases) {
    dir.write("out.txt", c.before);
    OutputHandle file = open_output_file(dir.at("out.txt"), true);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(os().write_output(file, "new", 3).status, WriteResult::kDone);
    os().close_output(file);
    EXPECT_EQ(read_file(dir.at("out.txt")), c.after_append) << c.before;
  }
}

TEST_F(Destinations, CreateModeTruncatesAndAppendModeCreates) {
  dir.write("out.txt", "earlier run\n");
  OutputHandle created = open_output_file(dir.at("out.txt"), false);
  ASSERT_NE(created, nullptr);
  os().close_output(created);
  EXPECT_EQ(read_file(dir.at("out.txt")), "");

  OutputHandle appended = open_output_file(dir.at("fresh.txt"), true);
  ASSERT_NE(appended, nullptr);
  os().close_output(appended);
  EXPECT_TRUE(std::filesystem::exists(dir.at("fresh.txt")));

  EXPECT_EQ(open_output_file(dir.at("missing/out.txt"), false), nullptr);
  EXPECT_EQ(open_output_file(dir.at("missing/out.txt"), true), nullptr);
}

TEST_F(Destinations, ContinuationAppliesOnlyToAFileOnARemovableDrive) {
  settings.output_target = 1;
  settings.output_path = dir.at("list.txt");
  use_output_file(open_output_file(settings.output_path, false), settings.output_path);
  platform.free_bytes = 1000000;
  run.record_width = 100;

  set_up_disk_capacity();
  EXPECT_FALSE(continuation_active());
  EXPECT_TRUE(platform.free_space_queries.empty());

  platform.removable = true;
  set_up_disk_capacity();
  EXPECT_TRUE(continuation_active());
  EXPECT_EQ(disk_capacity, 9959);
  EXPECT_EQ(records_on_disk, 1);
  EXPECT_EQ(platform.removable_queries.back(), settings.output_path);
  ASSERT_EQ(platform.free_space_queries.size(), 1u);
  EXPECT_EQ(platform.free_space_queries[0], dir.path());
  // A disk without the file's directory: the space is read where the path still exists.
  settings.output_path = dir.at("gone/deeper/list.txt");
  set_up_disk_capacity();
  EXPECT_EQ(platform.free_space_queries.back(), dir.path());
  // A closing line would break CSV or JSON data apart: data is never continued.
  for (RecordFormat format : {RecordFormat::kCsv, RecordFormat::kJson}) {
    settings.record_format = format;
    set_up_disk_capacity();
    EXPECT_FALSE(continuation_active());
  }
  settings.record_format = RecordFormat::kFixedWidth;

  finish_output();
  use_standard_output();  // standard output named as the destination has no disk to change
  settings.output_target = -1;
  set_up_disk_capacity();
  EXPECT_FALSE(continuation_active());
  settings.output_target = 0;
  set_up_disk_capacity();
  EXPECT_FALSE(continuation_active());
}

// Drive questions answered by the system itself; keys still come from the script.
class SystemDrives : public ScriptedPlatform {
 public:
  bool is_removable_drive(const std::string& path) override {
    return native_platform().is_removable_drive(path);
  }
  bool disk_free_bytes(const std::string& path, std::uint64_t* out) override {
    free_space_queries.push_back(path);
    return native_platform().disk_free_bytes(path, out);
  }
};

// Over a drive the system reports as removable, where the test machine has one: its letter
// comes in TALLYSUM_TEST_REMOVABLE.
TEST_F(Destinations, ContinuationFollowsWhatTheSystemSaysOfTheDrive) {
  const char* drive = std::getenv("TALLYSUM_TEST_REMOVABLE");
  if (drive == nullptr || *drive == '\0') GTEST_SKIP() << "no removable drive to write on";
  SystemDrives system;
  settings.output_target = 1;
  run.record_width = 100;
  // A scratch directory's disk is no removable one.
  settings.output_path = dir.at("list.txt");
  use_output_file(open_output_file(settings.output_path, false), settings.output_path);
  set_up_disk_capacity();
  EXPECT_FALSE(continuation_active());
  finish_output();

  settings.output_path = std::string(drive) + "tallysum-continued.txt";
  use_output_file(open_output_file(settings.output_path, false), settings.output_path);
  set_up_disk_capacity();
  ASSERT_TRUE(continuation_active());
  EXPECT_GT(disk_capacity, 0);
  ASSERT_FALSE(system.free_space_queries.empty());
  EXPECT_EQ(system.free_space_queries.back(), std::string(drive).substr(0, 2) + kSeparator);

  write_output("record 1\n");
  counters.file_count = 1;
  counters.byte_total = 7;
  std::string full_disk;
  system.keys = {'\n'};
  system.on_key = [&] {
    full_disk = read_file(settings.output_path);
    std::filesystem::remove(settings.output_path);
  };
  continue_on_new_disk();
  write_output("record 2\n");
  finish_output();
  EXPECT_EQ(full_disk, as_written("record 1\n\n Processed 1 files, 7 bytes:  See continuation "
                                  "disk \n"));
  EXPECT_EQ(read_file(settings.output_path), as_written("record 2\n"));
  EXPECT_EQ(system.key_reads, 1);
  std::filesystem::remove(settings.output_path);
}

TEST_F(Destinations, CapacityFollowsTheLongestRecordSoTheDiskNeverFillsBeforeTheChange) {
  // An estimated width of 65 against records of 68 bytes: counted in the estimate, 2000
  // records would be due on a disk that holds only 1911 of them.
  open_removable_output("");
  platform.free_bytes = 4096 + 65 * 2000;
  run.record_width = 65;
  set_up_disk_capacity();
  ASSERT_EQ(disk_capacity, 2000);
  note_record_length(60);  // shorter than the estimate: nothing changes
  EXPECT_EQ(disk_capacity, 2000);
  // 67 characters and "\n": 68 bytes on the disk here, 69 where a line ends in CR LF.
  const std::uint64_t on_disk = 67 + std::strlen(kLineEnd);
  note_record_length(68);
  const int capacity = disk_capacity;
  EXPECT_EQ(capacity, kLineEnd[1] == '\0' ? 1911 : 1884);
  EXPECT_LE(capacity * on_disk, platform.free_bytes - 4096);
  EXPECT_GT((capacity + 1) * on_disk, platform.free_bytes - 4096);
  note_record_length(66);  // a shorter record later does not raise it again
  EXPECT_EQ(disk_capacity, capacity);

  // The next disk is counted in the longest record from the start.
  platform.keys = {'\r'};
  platform.on_key = [] { std::filesystem::remove(settings.output_path); };  // the disk is swapped
  continue_on_new_disk();
  EXPECT_EQ(disk_capacity, capacity);
  EXPECT_EQ(records_on_disk, 1);

  // Off a removable drive nothing is counted.
  finish_output();
  use_standard_output();
  settings.output_target = 0;
  set_up_disk_capacity();
  note_record_length(500);
  EXPECT_EQ(disk_capacity, capacity);
}

TEST_F(Destinations, UnreadableFreeSpaceEndsTheRunWithReasonThree) {
  settings.output_target = 1;
  settings.output_path = dir.at("list.txt");
  platform.removable = true;
  platform.free_space_readable = false;
  message_stream = stderr;
  EXPECT_EXIT(
      {
        use_output_file(open_output_file(settings.output_path, false), settings.output_path);
        set_up_disk_capacity();
      },
      testing::ExitedWithCode(3), ContainsPattern("can't get disk free space\n"));
}

TEST_F(Destinations, DiskChangeClosesWithTotalsAndContinuesInANewFile) {
  open_removable_output("record 1\n");
  counters.file_count = 9958;
  counters.byte_total = 12345678901LL;
  std::string full_disk;
  platform.keys = {'\n'};
  platform.on_key = [&] {  // the user swaps the disk: the full one's file goes with it
    full_disk = read_file(settings.output_path);
    std::filesystem::remove(settings.output_path);
  };
  platform.free_bytes = 504096;
  records_on_disk = 9959;

  continue_on_new_disk();
  write_output("record 9959\n");
  flush_output();

  EXPECT_EQ(full_disk, as_written("record 1\n\n Processed 9958 files, 12345678901 bytes:  See "
                                  "continuation disk \n"));
  EXPECT_EQ(read_file(settings.output_path), as_written("record 9959\n"));
  EXPECT_EQ(stream_text(messages), "\n\nOutput disk is full, replace and hit return\n");
  EXPECT_EQ(platform.key_reads, 1);
  EXPECT_EQ(disk_capacity, 5000);
  EXPECT_EQ(records_on_disk, 1);
  EXPECT_EQ(platform.free_space_queries.back(), dir.path());
}

// Each disk of a continued catalogue leaves its digest for the run's log entry, in disk order:
// the full disk's taken before it leaves the drive, the last one's once it is finished.
TEST_F(Destinations, EachDiskOfAContinuedCatalogueLeavesItsDigestForTheLog) {
  const std::string first_disk = dir.at("first-disk.txt");
  EXPECT_EXIT(
      {
        open_removable_output("record 1\n");
        counters.file_count = 1;
        counters.byte_total = 10;
        settings.accounting_file = os().open_output(dir.at("log"), OutputMode::kAppend, nullptr);
        platform.keys = {'\n'};
        platform.on_key = [&] { std::filesystem::rename(settings.output_path, first_disk); };
        continue_on_new_disk();
        write_output("record 2\n");
        finish_output();
        const std::string expected =
            catalogue_digest_line(reference_digest("sha256", first_disk)) +
            catalogue_digest_line(reference_digest("sha256", settings.output_path));
        std::exit(catalogue_digest_lines(settings.output_path) == expected ? 0 : 1);
      },
      testing::ExitedWithCode(0), "");
  // What the first disk held when it was digested.
  EXPECT_EQ(read_file(first_disk),
            as_written("record 1\n\n Processed 1 files, 10 bytes:  See continuation disk \n"));
}

TEST_F(Destinations, DiskChangeWaitsUntilTheFullDiskIsReallyReplaced) {
  open_removable_output("record 1\n");
  counters.file_count = 1;
  counters.byte_total = 10;
  platform.keys = {'\n', 'x', '\n'};
  platform.on_key = [&] {
    if (platform.key_reads == 3) std::filesystem::remove(settings.output_path);
  };

  continue_on_new_disk();
  write_output("record 2\n");
  flush_output();

  EXPECT_EQ(platform.key_reads, 3);
  EXPECT_EQ(read_file(settings.output_path), as_written("record 2\n"));
  std::string prompt = "\n\nOutput disk is full, replace and hit return\n";
  std::string still = "\nThe full disk is still in the drive\n";
  EXPECT_EQ(stream_text(messages), prompt + still + prompt + still + prompt);
}

TEST_F(Destinations, DiskChangeFailuresEndTheRunAndKeepTheFullDisksRecords) {
  open_removable_output("record 1\n");
  counters.file_count = 1;
  counters.byte_total = 10;
  const std::string kept =
      as_written("record 1\n\n Processed 1 files, 10 bytes:  See continuation disk \n");
  message_stream = stderr;
  // Each child takes the full disk's file over, added to: this process lets it go first.
  finish_output();
  const auto continued = [] {
    use_output_file(open_output_file(settings.output_path, true), settings.output_path);
    continue_on_new_disk();
  };

  // End of input: nobody can confirm a new disk. The run's file summary follows the closing
  // line in the output file, the last the run wrote.
  const std::string summary =
      "^record 1\n\n Processed 1 files, 10 bytes:  See continuation disk \n"
      "\n  0 directories, 1 files, 10 bytes: \n  Elapsed: ";
  EXPECT_EXIT(continued(), testing::ExitedWithCode(3), "no new output disk");
  EXPECT_THAT(read_file(settings.output_path), ContainsPattern(summary));

  // Ctrl-C at the prompt, over the same records as before.
  dir.write("list.txt", as_written("record 1\n"));
  platform.keys = {kKeyInterrupted};
  platform.interrupted = true;
  EXPECT_EXIT(continued(), testing::ExitedWithCode(2), "");
  EXPECT_THAT(read_file(settings.output_path), ContainsPattern(summary));

  // Free space unreadable on the new disk.
  platform.keys = {'\n'};
  platform.on_key = [&] { std::filesystem::remove(settings.output_path); };
  platform.free_space_readable = false;
  EXPECT_EXIT(continued(), testing::ExitedWithCode(3),
              ContainsPattern("can't get disk free space\n"));
}

TEST_F(Destinations, ReopenFailureNamesTheFileOnStandardOutput) {
#ifdef _WIN32
  GTEST_SKIP() << "the check moves the child's standard output onto its standard error";
#else
  std::string missing = dir.at("gone/list.txt");
  settings.output_target = 1;
  settings.output_path = dir.at("list.txt");
  use_output_file(open_output_file(settings.output_path, false), settings.output_path);
  platform.keys = {'\n'};
  platform.on_key = [&] { settings.output_path = missing; };
  EXPECT_EXIT(
      {
        // Only standard output may carry the message: it goes where the test reads, and
        // standard error goes nowhere.
        std::fflush(stdout);
        dup2(2, 1);
        std::freopen("/dev/null", "w", stderr);
        continue_on_new_disk();
      },
      testing::ExitedWithCode(3),
      ContainsPattern("\ncan't reopen output file " + pattern_literal(missing) + "\n"));
#endif
}

TEST_F(Destinations, FailedWriteEndsTheRunWithReasonEight) {
#ifdef _WIN32
  GTEST_SKIP() << "no device that is always full";
#endif
  settings.output_path = "/dev/full";
  OutputHandle full = open_output_file("/dev/full", false);
  ASSERT_NE(full, nullptr);
  use_output_file(full, "/dev/full");
  message_stream = stderr;
  EXPECT_EXIT(
      {
        write_output("a record\n");
        flush_output();
      },
      testing::ExitedWithCode(8), "Error writing output file /dev/full");

  // Found only when the full disk's file is closed at a disk change.
  settings.output_target = 1;
  platform.removable = true;
  set_up_disk_capacity();
  EXPECT_EXIT(continue_on_new_disk(), testing::ExitedWithCode(8),
              "Error writing output file /dev/full\n");
}

}  // namespace
