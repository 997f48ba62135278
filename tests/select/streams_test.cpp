#include "select/streams.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "output/stream_record.h"
#include "run/output_stream.h"
#include "run/run_state.h"
#include "run/settings.h"
#include "select/walk.h"
#include "support/captured_streams.h"
#include "support/rooted_path.h"
#include "support/stream_double.h"
#include "support/temp_dir.h"

namespace {

const std::string kSub = rooted_path("d/sub");
const std::string kFile = rooted_path("f");

// The directory that holds `path` and the name `path` has in it.
Directory parent_of(const std::string& path) {
  return Directory{path.substr(0, path.rfind(kSeparator) + 1), nullptr};
}
std::string name_of(const std::string& path) {
  return path.substr(path.rfind(kSeparator) + 1);
}
int count(const std::string& path) {
  return count_streams(parent_of(path), name_of(path));
}
void list_of(int n, const std::string& path) {
  list_directory_streams(n, parent_of(path), name_of(path), path);
}

constexpr char kMd5Abc[] = "900150983CD24FB0D6963F7D28E17F72";
constexpr char kMd5Empty[] = "D41D8CD98F00B204E9800998ECF8427E";
constexpr char kCrcAbc[] = "352441C2";
constexpr char kSha1Abc[] = "A9993E364706816ABA3E25717850C26C9CD0D89D";

std::string right40(const std::string& text) {
  return std::string(40 - text.size(), ' ') + text;
}

class DirectoryStreams : public ::testing::Test {
 protected:
  void SetUp() override {
    create_settings();
    apply_environment();
    apply_defaults();
    counters = RunCounters{};
    fake.add_stream(kSub, "note", "abc");
    fake.add_stream(kSub, "empty", "");
    fake.set_times(kSub,
                   {file_time_utc(2004, 12, 31, 8, 5, 1), file_time_utc(2005, 3, 4, 22, 0, 59),
                    file_time_utc(2005, 1, 2, 13, 45, 10)});
    settings.zulu = 1;  // times in UTC whatever the machine's zone
  }

  // The records of every stream of `path`.
  std::string list(const std::string& path) {
    std::size_t before = streams.output().size();
    int n = count(path);
    list_of(n, path);
    return streams.output().substr(before);
  }

  StreamDouble fake;
  CapturedStreams streams;
};

}  // namespace

TEST(StreamPathSuffix, CutsTheTypeAndKeepsTheNameWhole) {
  const struct {
    const char* name;
    const char* suffix;
  } cases[] = {
      {":summary:$DATA", ":summary"},
      {":a:b:$DATA", ":a:b"},  // a colon inside the name stays
      {":with space:$DATA", ":with space"},
      {"::$DATA", ":"},          // the unnamed main data
      {":summary", ":summary"},  // no type given
      {"plain", ":plain"},
      {"", ":"},
  };
  for (const auto& c : cases) EXPECT_EQ(stream_path_suffix(c.name), c.suffix) << c.name;
}

TEST(CountStreams, EntersOnlyNamedStreamsAllOfThem) {
  StreamDouble fake;
  fake.add_raw_entry(kFile, "::$DATA");
  fake.add_raw_entry(kFile, "");
  for (int i = 0; i < 15; ++i) fake.add_stream(kFile, std::string("s") += std::to_string(i), "x");
  std::string long_name(600, 'n');
  fake.add_stream(kFile, long_name, "");

  ASSERT_EQ(count(kFile), 16);
  ASSERT_EQ(stream_table.size(), 16u);
  EXPECT_EQ(stream_table[0].name, ":s0:$DATA");
  EXPECT_EQ(stream_table[14].name, ":s14:$DATA");
  EXPECT_EQ(stream_table[15].name, ":" + long_name + ":$DATA");
}

TEST(CountStreams, NothingForAPathWithoutStreamsOrThatCannotBeOpened) {
  StreamDouble fake;
  fake.add_stream(kFile, "old", "x");
  fake.add_stream(rooted_path("locked"), "hidden", "x");
  fake.make_unopenable(rooted_path("locked"));
  ASSERT_EQ(count(kFile), 1);

  EXPECT_EQ(count(rooted_path("plain")), 0);
  EXPECT_TRUE(stream_table.empty());
  ASSERT_EQ(count(kFile), 1);
  EXPECT_EQ(count(rooted_path("locked")), 0);
  EXPECT_TRUE(stream_table.empty()) << "an earlier path's streams must not linger";
}

TEST(StreamPrivilegesDeathTest, RefusalEndsTheProcessWithItsMessageAndAFailureStatus) {
  StreamDouble fake;
  fake.privileges_granted = false;
  EXPECT_EXIT(
      {
        dup2(2, 1);
        count(kFile);
      },
      ::testing::ExitedWithCode(7),
      "\n224 Streamfun Token open error\nTry using the -S option and rerun program\n\n");
}

TEST_F(DirectoryStreams, PathOnlyRecordsNameTheDirectoryAndEachStream) {
  settings.name_only = 1;
  std::string text = list(kSub);
  EXPECT_EQ(text, as_written("sub:note                  " + right40(kMd5Abc) + " \n" +
                             "sub:empty                 " + right40(kMd5Empty) + " \n"));
  EXPECT_EQ(counters.file_count, 2);
  EXPECT_EQ(counters.byte_total, 3);
  EXPECT_EQ(counters.stream_dir_count, 0) << "the walk counts directories, not the writer";
}

TEST_F(DirectoryStreams, NameColumnIsFixedWidthForEveryWidth) {
  const struct {
    int name_width;
    int name_only_width;
    int name_only;
    std::string column;
  } cases[] = {
      {25, 25, 0, kSub + ":note" + std::string(25 - kSub.size() - 5, ' ')},
      {5, 25, 0, kSub.substr(0, 5)},  // a narrow column cuts the path
      {25, 4, 1, "sub:note"},         // never cut under name_only
      {25, 10, 1, "sub:note  "},
  };
  for (const auto& c : cases) {
    settings.name_width = c.name_width;
    settings.name_only_width = c.name_only_width;
    settings.name_only = c.name_only;
    counters = RunCounters{};
    std::size_t before = streams.output().size();
    int n = count(kSub);
    list_of(1, kSub);
    EXPECT_EQ(n, 2);
    EXPECT_EQ(streams.output().substr(before),
              as_written(c.column + " " + right40(kMd5Abc) + " \n"))
        << c.column;
    EXPECT_EQ(counters.file_count, 1) << "only the first n entries are written";
  }
}

TEST_F(DirectoryStreams, DigestsAreMd5Crc32Sha1OfTheWholeStreamInUpperCase) {
  settings.name_only = 1;
  settings.md5 = settings.crc32 = settings.sha1 = 1;
  settings.sha256 = settings.sha512 = 1;  // not computed for directory streams
  settings.lower_case_hex = 1;
  settings.start_offset = 1;  // a byte range never applies here
  settings.end_offset = 2;
  std::string text = list(kSub);
  EXPECT_EQ(text.substr(0, text.find('\n') + 1),
            as_written("sub:note                  " + right40(kMd5Abc) + " " + right40(kCrcAbc) +
                       " " + right40(kSha1Abc) + " \n"));
}

TEST_F(DirectoryStreams, DetailColumnsUseTheStandardTimeFormOnlyWithTimesShown) {
  settings.name_only = 1;
  settings.path_only = 0;
  settings.year_first_dates = 1;
  settings.dos_name = 1;
  settings.delimiter = ',';
  const std::string head = "sub:note                 ," + right40(kMd5Abc) + ",           3,";
  const struct {
    int time_kind;
    int show_times;
    std::string rest;
  } cases[] = {
      {'3', 1, "2004/12/31,08:05:01c,2005/01/02,13:45:10w,2005/03/04,22:00:59a,GMT,"},
      {'0', 1, ""},
      {'w', 0, ""},
  };
  for (const auto& c : cases) {
    settings.time_kind = c.time_kind;
    settings.show_times = c.show_times;
    std::string text = list(kSub);
    EXPECT_EQ(text.substr(0, text.find('\n') + 1),
              as_written(head + c.rest + "                ,\n"));
  }
}

TEST_F(DirectoryStreams, UnreadableTimesAreReportedOnALineOfTheirOwn) {
  settings.name_only = 1;
  settings.path_only = 0;
  settings.show_times = 1;
  settings.time_kind = 'w';
  fake.times_readable = false;
  finish_output();        // the captured file is closed, not dropped
  use_standard_output();  // records and the message share standard output
  ::testing::internal::CaptureStdout();
  count(kSub);
  list_of(2, kSub);
  flush_output();
  std::string said = ::testing::internal::GetCapturedStdout();
  EXPECT_EQ(said, "\n167 Ads_md5\nCouldn't get filetime for " + kSub + ":note\n" +
                      "sub:note                  " + right40(kMd5Abc) +
                      "            3 00/00/1980 00:00w GMT \n" +
                      "\n167 Ads_md5\nCouldn't get filetime for " + kSub + ":empty\n" +
                      "sub:empty                 " + right40(kMd5Empty) +
                      "            0 00/00/1980 00:00w GMT \n");
  EXPECT_EQ(counters.file_count, 2);
}

namespace {
class Ignore : public WalkSink {
 public:
  void file(const Directory&, const DirEntry&) override {}
  void directory_streams(const Directory&, const std::string&, const std::string&, int) override {
    ++lists;
  }
  int lists = 0;
};
}  // namespace

TEST(WalkedDirectoryStreams, TheRootNeverListsItsOwnStreams) {
  create_settings();
  apply_environment();
  apply_defaults();
  counters = RunCounters{};
  settings.streams = 1;
  run.volume_kind = 2;
  run.counting_pass = 0;
  StreamDouble fake;
  fake.add_stream(rooted_path(""), "tag", "abc");
  fake.add_stream("", "tag", "abc");
  CapturedStreams streams;
  Ignore sink;
  walk_directory(rooted_path(""), sink);
  run = RunState{};
  EXPECT_EQ(sink.lists, 0);
  EXPECT_EQ(streams.output(), "");
  EXPECT_EQ(counters.stream_dir_count, 0);
}
