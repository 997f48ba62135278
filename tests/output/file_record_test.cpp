#include "output/file_record.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>

#include "digest/file_digest.h"
#include "output/destinations.h"
#include "output/file_times.h"
#include "run/output_stream.h"
#include "run/run_state.h"
#include "run/settings.h"
#include "support/captured_streams.h"
#include "support/death_test.h"
#include "support/native_path.h"
#include "support/record_platform.h"
#include "support/temp_dir.h"

namespace {

constexpr std::int64_t kWrite = 1104673510;     // 2005-01-02 13:45:10 UTC
constexpr std::int64_t kAccess = 1104537598;    // 2004-12-31 23:59:58 UTC
constexpr std::int64_t kCreation = 1057298704;  // 2003-07-04 06:05:04 UTC
const std::string kDir = native_path("/data/Projects/Report/");
const std::string kName = "final.doc";
const std::string kPath = kDir + kName;
const Directory kFolder{kDir};

// What the message stream says of a file whose digests could not be computed: the double
// refuses every input.
std::string not_opened(const std::string& path) {
  return "Can't open file for reading, digest not computed: " + path + "\n";
}

// A digest text right-aligned in the 40-column field.
std::string in40(const std::string& text) {
  return std::string(40 - text.size(), ' ') + text;
}

class FileRecordTest : public ::testing::Test {
 protected:
  void SetUp() override {
    create_settings();
    apply_defaults();
    settings.name_only = 1;  // what a run without recursion has
    counters = RunCounters{};
    run.record_width = 65;
    records_on_disk = 0;
    platform.zone = ZoneInfo{"UTC", "", 0, false};
    set_platform(&platform);
    set_up_disk_capacity();  // no output file here, so no disk continuation
    make_zone_abbreviation();
    entry.name = kName;
    entry.size = 1234;
    entry.attributes = kAttrArchive;
    entry.creation = file_time_of(kCreation);
    entry.last_access = file_time_of(kAccess);
    entry.last_write = file_time_of(kWrite);
    platform.add_file(kPath, entry);
  }
  void TearDown() override { set_platform(nullptr); }

  // Records go to a file of their own from here on (in a death test's child only).
  OutputHandle send_output_to(const std::string& path) {
    finish_output();  // the captured file is closed, not lost
    OutputHandle file = os().open_output(path, OutputMode::kCreate, nullptr);
    use_output_file(file, path);
    return file;
  }

  std::string record() {
    write_file_record(kFolder, entry);
    return streams.output();
  }

  RecordPlatform platform;
  CapturedStreams streams;
  DirEntry entry;
};

TEST_F(FileRecordTest, DefaultRecordIsThePaddedNameAndTheMd5In40Columns) {
  const std::string expected =
      "final.doc                " + std::string(" ") + in40(kMd5Marker) + " \n";
  EXPECT_EQ(record(), as_written(expected));
  EXPECT_EQ(expected.size(), 68u);
  EXPECT_EQ(counters.record_length, 69);
  EXPECT_EQ(counters.file_count, 1);
  EXPECT_EQ(counters.byte_total, 1234);
  EXPECT_EQ(records_on_disk, 1);
}

TEST_F(FileRecordTest, TimesAddSizeTimeColumnsAndZone) {
  settings.path_only = 0;
  EXPECT_EQ(record(), as_written("final.doc                 " + in40(kMd5Marker) +
                                 "         1234 01/02/2005 13:45w UTC \n"));

  // Three stamps, year first, with seconds; a comma ends every column.
  counters = RunCounters{};
  settings.time_kind = '3';
  settings.year_first_dates = 1;
  settings.delimiter = ',';
  settings.zulu = 1;
  write_file_record(kFolder, entry);
  const std::string all = streams.output();
  const std::string second = all.substr(all.find('\n') + 1);
  EXPECT_EQ(second, as_written("final.doc                ," + in40(kMd5Marker) +
                               ",        1234,2003/07/04,06:05:04c,2005/01/02,13:45:10w,"
                               "2004/12/31,23:59:58a,GMT,\n"));
}

TEST_F(FileRecordTest, DigestColumnsComeInReadingOrderWithTheirOwnWidths) {
  struct Case {
    int md5, sha1, crc32, sha256, sha384, sha512;
    std::string digests;
  };
  const Case cases[] = {
      {1, 1, 0, 0, 0, 0, in40(kMd5Marker) + " " + in40(kSha1Marker) + " "},
      {0, 0, 1, 0, 0, 0, in40(kCrc32Marker) + " "},
      {0, 0, 0, 1, 0, 0, std::string(" ") + kSha256Marker + " "},
      {1, 0, 1, 1, 1, 1,
       in40(kMd5Marker) + " " + in40(kCrc32Marker) + " " + " " + kSha256Marker + " " + " " +
           kSha384Marker + " " + " " + kSha512Marker + " "},
  };
  for (const Case& c : cases) {
    CapturedStreams local;
    settings.md5 = c.md5;
    settings.sha1 = c.sha1;
    settings.crc32 = c.crc32;
    settings.sha256 = c.sha256;
    settings.sha384 = c.sha384;
    settings.sha512 = c.sha512;
    write_file_record(kFolder, entry);
    EXPECT_EQ(local.output(), as_written("final.doc                 " + c.digests + "\n"));
  }
}

TEST_F(FileRecordTest, LowerCaseHexLowersTheMd5ColumnOnly) {
  settings.lower_case_hex = 1;
  settings.sha1 = 1;
  settings.crc32 = 1;
  std::string md5 = kMd5Marker;
  for (char& ch : md5) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  EXPECT_EQ(record(), as_written("final.doc                 " + in40(md5) + " " +
                                 in40(kSha1Marker) + " " + in40(kCrc32Marker) + " \n"));
}

TEST_F(FileRecordTest, CommentIsFollowedByTheNameOrByANonSpaceDelimiter) {
  settings.comment_given = 1;
  settings.comment_text = "disk 7";
  EXPECT_EQ(record(), as_written("disk 7final.doc                 " + in40(kMd5Marker) + " \n"));

  CapturedStreams local;
  settings.delimiter = ',';
  write_file_record(kFolder, entry);
  EXPECT_EQ(local.output(),
            as_written("disk 7,final.doc                ," + in40(kMd5Marker) + ",\n"));
}

TEST_F(FileRecordTest, NameColumnFollowsTheWidthRules) {
  settings.name_only = 0;
  struct Case {
    int width;
    int width_mode;
    std::string expected;
  };
  const Case cases[] = {
      // Up to 7: the whole path unpadded and the digest unpadded.
      {1, 2, kPath + " " + kMd5Marker + " \n"},
      {7, 2, kPath + " " + kMd5Marker + " \n"},
      // 8: the shortened path unpadded, the digest already 40 wide.
      {8, 2, native_path("/d/.../final.doc ") + in40(kMd5Marker) + " \n"},
      // 9 and up: exactly the width, cut or padded.
      {9, 2, native_path("/d/.../fi ") + in40(kMd5Marker) + " \n"},
      {25, 2, native_path("/d/.../Report/final.doc   ") + in40(kMd5Marker) + " \n"},
      {25, 3, native_path("/data/Projec.../final.doc ") + in40(kMd5Marker) + " \n"},
      {40, 2, kPath + "          " + in40(kMd5Marker) + " \n"},
  };
  for (const Case& c : cases) {
    CapturedStreams local;
    settings.name_width = c.width;
    settings.width_mode = c.width_mode;
    write_file_record(kFolder, entry);
    EXPECT_EQ(local.output(), as_written(c.expected)) << "width " << c.width;
  }
}

TEST_F(FileRecordTest, NameAfterDigestPlacesSpacesOnlyWhereTheRulesSay) {
  settings.name_after_digest = 3;
  struct Case {
    int name_only;
    int width;
    std::string expected;
  };
  const Case cases[] = {
      {0, 1, std::string(kMd5Marker) + "    " + kPath + " \n"},
      {0, 25, in40(kMd5Marker) + native_path(" /d/.../Report/final.doc   \n")},
      {1, 25, in40(kMd5Marker) + "    final.doc                 \n"},
  };
  for (const Case& c : cases) {
    CapturedStreams local;
    settings.name_only = c.name_only;
    settings.name_width = c.width;
    write_file_record(kFolder, entry);
    EXPECT_EQ(local.output(), as_written(c.expected))
        << "name_only " << c.name_only << " width " << c.width;
  }
  // The spaces ahead of a trailing name never exceed 258.
  CapturedStreams local;
  settings.name_after_digest = 300;
  settings.name_only = 1;
  write_file_record(kFolder, entry);
  EXPECT_EQ(local.output(), as_written(in40(kMd5Marker) + " " + std::string(258, ' ') +
                                       "final.doc" + std::string(25 - kName.size(), ' ') + " \n"));
}

TEST_F(FileRecordTest, SizeAndShortNameColumns) {
  settings.path_only = 0;
  settings.time_kind = '0';
  settings.dos_name = 1;
  entry.size = 5LL << 30;  // 5 GiB does not fit 32 bits
  entry.short_name = "FINAL~1.DOC";
  platform.add_file(kPath, entry);
  EXPECT_EQ(record(), as_written("final.doc                 " + in40(kMd5Marker) +
                                 "   5368709120 UTC  FINAL~1.DOC     \n"));
  EXPECT_EQ(counters.byte_total, 5LL << 30);

  // Without a short name the bare name stands in the field; a size beyond 12 digits widens it.
  CapturedStreams local;
  entry.short_name.clear();
  entry.size = 1234567890123456LL;
  platform.add_file(kPath, entry);
  write_file_record(kFolder, entry);
  EXPECT_EQ(local.output(), as_written("final.doc                 " + in40(kMd5Marker) +
                                       " 1234567890123456 UTC  final.doc       \n"));
}

TEST_F(FileRecordTest, FilesAFilterRejectsGiveNoRecordAndNoCount) {
  settings.size_greater = 1;
  settings.size_greater_than.bytes = 1235;  // the file has 1234 bytes
  write_file_record(kFolder, entry);
  settings.size_greater = 0;
  settings.size_less = 1;
  settings.size_less_than.bytes = 1233;  // limits take a file of exactly their size
  write_file_record(kFolder, entry);
  EXPECT_EQ(streams.output(), "");
  EXPECT_EQ(streams.messages(), "");  // not even opened
  EXPECT_EQ(counters.file_count, 0);
  EXPECT_EQ(counters.byte_total, 0);
  EXPECT_EQ(records_on_disk, 0);
}

// A name that holds a control character is written escaped, its line marked with a leading
// backslash, so that no name can split a record, forge one, or pass for another name.
TEST_F(FileRecordTest, NamesWithControlCharactersAreWrittenEscapedAndTellApart) {
  const struct {
    std::string name;
    std::string written;  // the line's start, then the name column's text before padding
  } cases[] = {
      {"evil\nname\r\x7f", "\\evil\\nname\\r\\x7F"},
      {"evil?name??", "evil?name??"},
      {"tab\there\x01", "\\tab\\there\\x01"},
      {"back\\slash", "back\\slash"},
      {"back\\slash\x1b", "\\back\\\\slash\\x1B"},
      {"nel\xc2\x85", "\\nel\\xC2\\x85"},
      {"caf\xc3\xa9 \xc2\xa0", "caf\xc3\xa9 \xc2\xa0"},
      // Past the first eight bytes, a C1 pair across two words, and one that is no control.
      {"12345678abcdefg\xc2\x85", "\\12345678abcdefg\\xC2\\x85"},
      {"12345678\x7f", "\\12345678\\x7F"},
      {"1234567\xc2\xa9 ok", "1234567\xc2\xa9 ok"},
  };
  for (const auto& c : cases) {
    CapturedStreams local;
    DirEntry odd = entry;
    odd.name = c.name;
    platform.add_file(kDir + c.name, odd);
    write_file_record(kFolder, odd);
    const std::size_t mark = c.written[0] == '\\' ? 1 : 0;
    const std::string column = c.written + std::string(25 + mark - c.written.size(), ' ');
    EXPECT_EQ(local.output(), as_written(column + " " + in40(kMd5Marker) + " \n")) << c.written;
  }

  // The mark comes before the comment; the display name is made from the escaped path, whose
  // separators are escaped too where they are backslashes; the short-name column and the
  // messages go on showing '?'.
  CapturedStreams local;
  const std::string name = "evil\nname\r\x7f";
  DirEntry odd = entry;
  odd.name = name;
  platform.add_file(kDir + name, odd);
  settings.comment_given = 1;
  settings.comment_text = "disk 7";
  settings.name_only = 0;
  settings.name_width = 60;
  settings.path_only = 0;
  settings.time_kind = '0';
  settings.dos_name = 1;
  settings.reset_access_time = 1;
  platform.set_times_succeeds = false;
  platform.contents[kDir + name] = "abc";
  write_file_record(kFolder, odd);
  std::string written;
  for (char c : kDir) written += c == '\\' ? std::string("\\\\") : std::string(1, c);
  written += "evil\\nname\\r\\x7F";
  const std::string md5 = "900150983CD24FB0D6963F7D28E17F72";
  const std::string details = in40(md5) + "         1234 UTC  evil?name??     \n";
  EXPECT_EQ(local.output(),
            as_written("\\disk 7" + written + std::string(61 - written.size(), ' ') + details));
  const std::string shown = kDir + "evil?name??";
  const std::string line = "\nCan't reset filetime for " + shown + "\n";
  // The reading could not put the stamps back, and the message names the file as messages do.
  EXPECT_EQ(local.messages(), line + line);

  // Shortened, it is cut as its escaped text says: here the whole escaped name is kept.
  if (kSeparator == '/') {
    CapturedStreams shortened;
    settings.name_width = 25;
    write_file_record(kFolder, odd);
    EXPECT_EQ(shortened.output(), as_written("\\disk 7/d/.../evil\\nname\\r\\x7F   " + details));
  }
}

TEST_F(FileRecordTest, AccessTimesAreResetAfterTheDigestsAndFailuresReported) {
  settings.reset_access_time = 1;
  platform.contents[kPath] = "abc";
  record();
  ASSERT_EQ(platform.set_times_calls.size(), 1u);
  EXPECT_EQ(platform.set_times_calls[0].path, kPath);
  EXPECT_EQ(platform.set_times_calls[0].access, file_time_of(kAccess));
  EXPECT_EQ(platform.set_times_calls[0].write, file_time_of(kWrite));
  EXPECT_EQ(streams.messages(), "");

  platform.set_times_succeeds = false;
  write_file_record(kFolder, entry);
  const std::string line = "\nCan't reset filetime for " + kPath + "\n";
  EXPECT_EQ(streams.messages(), line + line);
  EXPECT_EQ(counters.file_count, 2);  // the record is written all the same

  // A file that could not be opened was not read: there is nothing to put back.
  platform.contents.clear();
  write_file_record(kFolder, entry);
  EXPECT_EQ(platform.set_times_calls.size(), 2u);
  EXPECT_EQ(streams.messages(), line + line + not_opened(kPath));
}

TEST_F(FileRecordTest, PausePromptsBeforeEveryPageAndRepeatsForOtherKeys) {
  settings.pause = 1;
  EXPECT_EQ(page_length(), 24);
  run.record_width = 80;
  EXPECT_EQ(page_length(), 12);
  run.record_width = 79;
  platform.keys = {'x', 'q', 10};
  for (int i = 0; i < 24; ++i) write_file_record(kFolder, entry);
  const std::string prompt = std::string(23, ' ') + "Hit return to continue: ^C to end\r";
  std::string before_page;
  for (int i = 0; i < 23; ++i) before_page += not_opened(kPath);
  EXPECT_EQ(streams.messages(), before_page + prompt + prompt + prompt + not_opened(kPath));
  EXPECT_EQ(platform.key_reads, 3);
  EXPECT_EQ(counters.file_count, 24);
}

using FileRecordDeathTest = FileRecordTest;

TEST_F(FileRecordDeathTest, EscCtrlCOrEndOfInputAtThePromptEndTheRun) {
  message_stream = stderr;  // where the run's end is reported
  settings.pause = 1;
  counters.file_count = 23;
  for (int key : {27, 3, kKeyEndOfInput}) {
    platform.keys = {key};
    EXPECT_EXIT(write_file_record(kFolder, entry), ::testing::ExitedWithCode(1), "USER_ABORTED");
  }
  platform.keys = {kKeyInterrupted};
  platform.interrupted = true;
  EXPECT_EXIT(write_file_record(kFolder, entry), ::testing::ExitedWithCode(2), "INPUT_FILE");
}

TEST_F(FileRecordDeathTest, AnInterruptEndsTheRunBeforeARecordIsStarted) {
  message_stream = stderr;
  platform.interrupted = true;
  EXPECT_EXIT(
      {
        write_file_record(kFolder, entry);
        std::exit(99);
      },
      ::testing::ExitedWithCode(2), "Reason: INPUT_FILE");
}

TEST_F(FileRecordDeathTest, CtrlCDuringAFileEndsTheRunBeforeItsRecordWithExactCounts) {
  TempDir dir{kSharedWithDeathTests};
  const std::string list = dir.at("list.txt");
  message_stream = stderr;
  settings.reset_access_time = 1;
  platform.contents[kPath] = "abc";
  platform.interrupt_on_set_times = true;
  EXPECT_EXIT(
      {
        send_output_to(list);
        write_file_record(kFolder, entry);
        std::exit(99);
      },
      ::testing::ExitedWithCode(2),
      ContainsPattern("Reason: INPUT_FILE.*  0 directories, 0 files, 0 bytes"));
  EXPECT_EQ(read_file(list), "");
}

TEST_F(FileRecordDeathTest, AFullRemovableDiskIsChangedRightAfterTheRecordThatFillsIt) {
  TempDir dir{kSharedWithDeathTests};
  settings.output_target = 1;
  settings.output_path = dir.at("list.txt");
  message_stream = stderr;
  platform.removable = true;
  platform.free_bytes = 4096 + 2 * 65;  // room for two records of width 65
  EXPECT_EXIT(
      {
        send_output_to(settings.output_path);
        set_up_disk_capacity();
        if (!continuation_active()) std::exit(98);
        write_file_record(kFolder, entry);
        std::exit(99);
      },
      ::testing::ExitedWithCode(3), "Output disk is full");
  const std::string closed =
      as_written("final.doc                 " + in40(kMd5Marker) +
                 " \n\n Processed 1 files, 1234 bytes:  See continuation disk \n");
  const std::string written = read_file(settings.output_path);
  EXPECT_EQ(written.substr(0, closed.size()), closed);
  // No key came to confirm a new disk: the run's summary follows in the same file.
  EXPECT_NE(written.find("1 files, 1,234 bytes", closed.size()), std::string::npos);
}

TEST_F(FileRecordTest, AShortWriteIsResumedUntilEveryRecordIsOut) {
  const std::string one = "final.doc                 " + in40(kMd5Marker) + " \n";
  platform.write_piece = 10;
  write_file_record(kFolder, entry);
  write_file_record(kFolder, entry);
  EXPECT_EQ(streams.output(), as_written(one + one));
  EXPECT_EQ(platform.output_writes, static_cast<int>((2 * as_written(one).size() + 9) / 10));
  EXPECT_EQ(counters.file_count, 2);
  EXPECT_EQ(counters.byte_total, 2 * 1234);
}

TEST_F(FileRecordDeathTest, AFullDiskKeepsTheLastWholeRecordAndCountsOnlyWhatReachedIt) {
  const std::string one = "final.doc                 " + in40(kMd5Marker) + " \n";
  const std::int64_t size = static_cast<std::int64_t>(as_written(one).size());
  struct Case {
    std::int64_t room;
    std::string kept;
    std::string totals;
  };
  const Case cases[] = {
      {size + size / 2, one, "1 files, 1,234 bytes"},
      {size - 1, "", "0 files, 0 bytes"},
      {2 * size, one + one, "2 files, 2,468 bytes"},  // the third record gets no byte in
  };
  message_stream = stderr;
  for (const Case& c : cases) {
    TempDir dir{kSharedWithDeathTests};
    const std::string list = dir.at("list.txt");
    EXPECT_EXIT(
        {
          platform.limited_output = send_output_to(list);
          platform.disk_room = c.room;
          for (int i = 0; i < 3; ++i) write_file_record(kFolder, entry);
          flush_output();
          std::exit(99);
        },
        ::testing::ExitedWithCode(kWriteError),
        ::testing::AllOf(::testing::HasSubstr("Error writing output file " + list),
                         ::testing::HasSubstr("  0 directories, " + c.totals + ": ")));
    EXPECT_EQ(read_file(list), as_written(c.kept)) << c.room << " bytes of room";
  }
}

}  // namespace
