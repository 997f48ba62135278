#include "output/stream_record.h"

#include <gtest/gtest.h>

#include <string>

#include "output/destinations.h"
#include "run/output_stream.h"
#include "run/run_state.h"
#include "run/settings.h"
#include "support/captured_streams.h"
#include "support/native_path.h"
#include "support/stream_double.h"
#include "support/temp_dir.h"

namespace {

constexpr char kMd5Abc[] = "900150983CD24FB0D6963F7D28E17F72";
constexpr char kMd5Bc[] = "5360AF35BDE9EBD8F01F492DC059593C";
constexpr char kMd5B[] = "92EB5FFEE6AE2FEC3AD71C777531578F";
constexpr char kCrcBc[] = "C2A92B38";
constexpr char kSha1Abc[] = "A9993E364706816ABA3E25717850C26C9CD0D89D";
constexpr char kSha256Abc[] = "BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD";
constexpr char kSha384Abc[] =
    "CB00753F45A35E8BB5A03D699AC65007272C32AB0EDED1631A8B605A43FF5BED8086072BA1E7CC2358BAECA134C"
    "825A7";

std::string right40(const std::string& text) {
  return text.size() >= 40 ? text : std::string(40 - text.size(), ' ') + text;
}

const Directory kData{native_path("/data/")};
const std::string kReport = kData.path + "report.doc";

// A file of /data/ as the walk lists it.
DirEntry listed(const std::string& name) {
  DirEntry entry;
  entry.name = name;
  return entry;
}

class FileStreams : public ::testing::Test {
 protected:
  void SetUp() override {
    create_settings();
    apply_environment();
    apply_defaults();
    counters = RunCounters{};
    records_on_disk = 0;
    report = listed("report.doc");
    fake.add_stream(kReport, "summary", "abc");
    fake.add_stream(kReport, "empty", "");
    fake.set_times(kReport,  // a stream has its file's times
                   {file_time_utc(2004, 12, 31, 8, 5, 1), file_time_utc(2005, 3, 4, 22, 0, 59),
                    file_time_utc(2005, 1, 2, 13, 45, 10)});
    settings.zulu = 1;  // times in UTC whatever the machine's zone
    settings.name_only = 1;
  }

  // The record of the first stream, summary, whose value is "abc".
  std::string first_record() {
    std::size_t before = streams.output().size();
    list_file_streams(kData, report);
    std::string text = streams.output().substr(before);
    return text.substr(0, text.find('\n') + 1);
  }

  StreamDouble fake;
  CapturedStreams streams;
  DirEntry report;
};

}  // namespace

TEST_F(FileStreams, AFileWithoutStreamsOrThatCannotBeOpenedGivesNothing) {
  fake.add_stream(native_path("/data/locked.doc"), "x", "abc");
  fake.make_unopenable(native_path("/data/locked.doc"));
  ::testing::internal::CaptureStdout();
  list_file_streams(kData, listed("plain.txt"));  // also a volume without user attributes
  list_file_streams(kData, listed("locked.doc"));
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(streams.output(), as_written(""));
  EXPECT_EQ(counters.stream_count, 0);
  EXPECT_EQ(counters.file_count, 0);
}

TEST_F(FileStreams, AStreamBeyond4GiBIsCountedWhole) {
  const std::int64_t size = 5LL << 30;
  fake.add_raw_entry(native_path("/data/huge.bin"), ":big:$DATA", size);
  settings.path_only = 0;
  list_file_streams(kData, listed("huge.bin"));
  EXPECT_NE(streams.output().find(as_written("  5368709120 \n")), std::string::npos)
      << streams.output();
  EXPECT_EQ(counters.byte_total, size);
}

TEST_F(FileStreams, NameColumnForEachWidthRule) {
  const struct {
    int name_only;
    int name_width;
    int name_only_width;
    int width_mode;
    std::string column;
  } cases[] = {
      {1, 25, 25, 1, "report.doc:summary        "},
      {1, 25, 10, 1, "report.doc:summary "},  // longer than the width: never cut
      {0, 5, 25, 1, native_path("/data ")},   // below 9 the stream path is cut
      {0, 8, 25, 1, native_path("/d/.../r ")},
      {0, 20, 25, 1, native_path("/d/.../report.doc:su ")},
      {0, 20, 25, 3, native_path("/data/report.doc:sum ")},
      {0, 30, 25, 3, native_path("/data/report.doc:summary       ")},
      // A negative width (a configuration file may give one) pads and cuts nothing.
      {0, -30, 25, 1, native_path("/data/report.doc:summary       ")},
  };
  for (const auto& c : cases) {
    settings.name_only = c.name_only;
    settings.name_width = c.name_width;
    settings.name_only_width = c.name_only_width;
    settings.width_mode = c.width_mode;
    EXPECT_EQ(first_record(), as_written(c.column + right40(kMd5Abc) + " \n")) << c.column;
  }
  EXPECT_EQ(records_on_disk, 0) << "path-only stream records are not counted for the disk";
}

TEST_F(FileStreams, ExactlyOneDigestChosenByItsOwnOrder) {
  const struct {
    int md5, crc32, sha1, sha256, sha384, end_offset, start_offset, lower;
    std::string digest;
  } cases[] = {
      {1, 0, 0, 0, 0, 0, 0, 0, kMd5Abc},
      {1, 0, 1, 0, 0, 0, 0, 0, kMd5Abc},  // MD5 with SHA-1: MD5 only
      {1, 1, 1, 1, 0, 0, 1, 0, kMd5Bc},   // from the start offset
      {1, 0, 0, 0, 0, 2, 1, 0, kMd5B},    // and up to the end offset
      {1, 0, 0, 0, 0, 0, 0, 1, kMd5Abc},  // never lowered
      {0, 1, 1, 0, 0, 0, 1, 0, kCrcBc},
      {0, 0, 1, 1, 0, 0, 0, 0, kSha1Abc},
      {0, 0, 0, 1, 1, 0, 0, 0, kSha256Abc},  // only SHA-2: the stream's own, first kind
      {0, 0, 0, 0, 1, 0, 0, 0, kSha384Abc},
  };
  for (const auto& c : cases) {
    settings.md5 = c.md5;
    settings.crc32 = c.crc32;
    settings.sha1 = c.sha1;
    settings.sha256 = c.sha256;
    settings.sha384 = c.sha384;
    settings.start_offset = c.start_offset;
    settings.end_offset = c.end_offset;
    settings.lower_case_hex = c.lower;
    EXPECT_EQ(first_record(), as_written("report.doc:summary        " + right40(c.digest) + " \n"))
        << c.digest;
  }
}

TEST_F(FileStreams, DetailColumnsUseTheFixedTimeFormOnlyWithTimesShown) {
  settings.path_only = 0;
  settings.show_times = 1;
  settings.year_first_dates = 1;  // never year first here
  const std::string head = "report.doc:summary        " + right40(kMd5Abc) + "            3 ";
  const struct {
    int time_kind;
    int show_times;
    std::string rest;
  } cases[] = {
      {'w', 1, "01/02/2005 13:45:10w GMT \n"},
      {'m', 1, "01/02/2005 13:45:10w GMT \n"},
      {'W', 1, "\n"},  // no time column and no zone column
      {'a', 1, "03/04/2005 22:00:59a GMT \n"},
      {'3', 1, "12/31/2004 08:05:01c 01/02/2005 13:45:10w 03/04/2005 22:00:59a GMT \n"},
      {'0', 1, "\n"},
      {'w', 0, "\n"},
  };
  for (const auto& c : cases) {
    settings.time_kind = c.time_kind;
    settings.show_times = c.show_times;
    EXPECT_EQ(first_record(), as_written(head + c.rest)) << static_cast<char>(c.time_kind);
  }
  EXPECT_EQ(records_on_disk, 2 * 7);
}

TEST_F(FileStreams, ShortNameColumnTakesTheFilesEntry) {
  settings.path_only = 0;
  settings.dos_name = 1;
  settings.delimiter = ',';
  const std::string head = "report.doc:summary       ," + right40(kMd5Abc) + ",           3,";
  report.short_name = "REPORT~1.DOC";
  EXPECT_EQ(first_record(), as_written(head + " REPORT~1.DOC   ,\n"));
  report.short_name.clear();
  EXPECT_EQ(first_record(), as_written(head + " report.doc     ,\n"));
}

TEST_F(FileStreams, AccessTimesAreWrittenBackAndAFailureNamesTheFile) {
  settings.reset_access_time = 1;
  first_record();
  ASSERT_EQ(fake.times_written.size(), 2u);
  EXPECT_EQ(fake.times_written[0].path, kReport);  // the stream's file
  EXPECT_EQ(fake.times_written[0].times.last_access, file_time_utc(2005, 3, 4, 22, 0, 59));
  EXPECT_EQ(fake.times_written[0].times.last_write, file_time_utc(2005, 1, 2, 13, 45, 10));
  EXPECT_EQ(streams.messages(), "");

  fake.times_writable = false;
  first_record();
  const std::string reset = "\nCan't reset filetime for " + kReport + "\n";
  EXPECT_EQ(streams.messages(), reset + reset + reset + reset);
}

TEST_F(FileStreams, FailedTimesAreReportedAndNothingIsWrittenBack) {
  settings.reset_access_time = 1;
  settings.path_only = 0;
  settings.show_times = 1;
  fake.times_readable = false;
  ::testing::internal::CaptureStdout();
  std::string record = first_record();
  std::string said = ::testing::internal::GetCapturedStdout();

  EXPECT_EQ(record, as_written("report.doc:summary        " + right40(kMd5Abc) +
                               "            3 00/00/1980 00:00:00w GMT \n"));
  // The capture is read back as text: the system's line end comes back as "\n".
  EXPECT_EQ(said, "\n604 Tallysum\nCouldn't get filetime for " + kReport +
                      ":summary\n"
                      "\n604 Tallysum\nCouldn't get filetime for " +
                      kReport + ":empty\n");
  EXPECT_TRUE(fake.times_written.empty()) << "unknown times must never be written back";
  const std::string reset = "\nCan't reset filetime for " + kReport + "\n";
  EXPECT_EQ(streams.messages(), reset + reset + reset + reset);
}

TEST(FileStreamsDeathTest, InterruptEndsTheRunBetweenWholeRecords) {
  create_settings();
  apply_environment();
  apply_defaults();
  settings.name_only = 1;
  const struct {
    int pressed_after;  // time reads; each stream's come before its digest
    std::string written;
  } cases[] = {
      {1, ""},  // while the first stream is read: no record with a cut-short digest
      {2, "f:one                     " + right40(kMd5Abc) + " \n"},
  };
  for (const auto& c : cases) {
    StreamDouble fake;
    fake.add_stream(native_path("/f"), "one", "abc");
    fake.add_stream(native_path("/f"), "two", "abc");
    fake.interrupt_after_time_reads = c.pressed_after;
    TempDir dir{kSharedWithDeathTests};
    const std::string out = dir.at("out");
    EXPECT_EXIT(
        {
          finish_output();
          use_output_file(os().open_output(out, OutputMode::kCreate, nullptr), out);
          list_file_streams(Directory{native_path("/")}, listed("f"));
        },
        ::testing::ExitedWithCode(2), "");
    EXPECT_EQ(read_file(out), as_written(c.written)) << c.pressed_after;
  }
}
