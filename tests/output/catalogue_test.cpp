#include "output/catalogue.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <tuple>
#include <vector>

#include "config/completion.h"
#include "output/catalogue_reader.h"
#include "output/data_catalogue.h"
#include "output/data_record.h"
#include "output/destinations.h"
#include "output/file_record.h"
#include "output/file_times.h"
#include "output/stream_record.h"
#include "run/run_state.h"
#include "run/settings.h"
#include "select/streams.h"
#include "select/walk.h"
#include "support/captured_streams.h"
#include "support/file_stamps.h"
#include "support/scripted_platform.h"
#include "support/stream_double.h"
#include "support/temp_dir.h"

namespace {

constexpr char kHeader[] = "\nStarted Wed Jan 02 10:03:55 1980 GMT, 02:03 UTC (UTC/:0)\n";
// A last-access column in any of its forms, its delimiter included.
const std::regex kAccessStamp("[0-9]{2,4}/[0-9]{2}/[0-9]{2,4}.[0-9]{2}:[0-9]{2}(:[0-9]{2})?a.");
constexpr char kSummary[] =
    "\n  1 directory, 2 files, 9 bytes: \n  Elapsed:  0 hrs. 0 mins. 0 secs.\n\n";

// The records of a catalogue's last run, read from files holding `texts`.
struct ReadBack {
  bool opened = false;
  std::string problem;
  CatalogueHead head;
  std::vector<std::string> records;
};

ReadBack read_back(const std::vector<std::string>& texts) {
  TempDir dir;
  std::vector<std::string> paths;
  for (std::size_t i = 0; i < texts.size(); ++i) {
    paths.push_back(dir.at("part" + std::to_string(i) + ".txt"));
    dir.write("part" + std::to_string(i) + ".txt", texts[i]);
  }
  ReadBack back;
  CatalogueReader reader;
  back.opened = reader.open(paths, &back.problem);
  if (!back.opened) return back;
  back.head = reader.head();
  std::string line;
  while (reader.next_record(&line, &back.problem)) back.records.push_back(line);
  return back;
}

TEST(ReadCatalogue, TheLastRunsHeadRecordsAndWidth) {
  const std::string first = std::string(kHeader) + "/bin/tallysum -f *.c -o list.txt \n\n" +
                            "one.c  1\ntwo.c  2\n" + kSummary;
  const std::string second = std::string(kHeader) + "/bin/tallysum -M -O list.txt \n\n" +
                             "Started here  3\nthree  4\n\n AUTOWIDTH -Mw= 31" + kSummary;
  const std::string console = std::string(kHeader) + "\n\n" + "bare  5\n";

  ReadBack back = read_back({first + second + console});
  ASSERT_TRUE(back.opened) << back.problem;
  EXPECT_EQ(back.head.earlier_runs, 2u);
  EXPECT_EQ(back.head.command_line, "");
  EXPECT_EQ(back.records, std::vector<std::string>{"bare  5"});
  // A record that happens to begin like a header is still a record.
  back = read_back({first + second});
  EXPECT_EQ(back.head.earlier_runs, 1u);
  EXPECT_EQ(back.head.command_line, "/bin/tallysum -M -O list.txt ");
  EXPECT_EQ(back.records, (std::vector<std::string>{"Started here  3", "three  4"}));
  EXPECT_EQ(back.head.auto_width, 31);
  EXPECT_EQ(back.head.started_line, std::string(kHeader).substr(1, sizeof kHeader - 3));

  // Line ends of either platform.
  std::string crlf = first;
  for (std::size_t at = crlf.find('\n'); at != std::string::npos; at = crlf.find('\n', at + 2)) {
    crlf.insert(at, "\r");
  }
  back = read_back({crlf});
  EXPECT_EQ(back.records, (std::vector<std::string>{"one.c  1", "two.c  2"}));
  EXPECT_EQ(back.head.command_line, "/bin/tallysum -f *.c -o list.txt ");
  // Text without a header is records up to its first empty line.
  back = read_back({"one.c  1\nStarted by hand\n\ntwo.c\n"});
  EXPECT_FALSE(back.head.has_header);
  EXPECT_EQ(back.records, (std::vector<std::string>{"one.c  1", "Started by hand"}));
  EXPECT_TRUE(read_back({""}).records.empty());
}

TEST(ReadCatalogue, ARunContinuedOverDisksIsReadAcrossItsFilesInOrder) {
  const std::string full =
      std::string(kHeader) + "/bin/tallysum -M -o A:\\CAT.TXT \n\n" +
      "one  1\ntwo  2\n\n Processed 2 files, 3 bytes:  See continuation disk \n";
  const std::string middle = "three  3\n\n Processed 3 files, 6 bytes:  See continuation disk \n";
  const std::string last = "four  4\n\n AUTOWIDTH -Mw= 40" + std::string(kSummary);
  ReadBack back = read_back({full, middle, last});
  ASSERT_TRUE(back.opened) << back.problem;
  EXPECT_EQ(back.records, (std::vector<std::string>{"one  1", "two  2", "three  3", "four  4"}));
  EXPECT_EQ(back.head.auto_width, 40);

  const std::pair<std::vector<std::string>, const char*> broken[] = {
      {{full}, "goes on on another disk: name its file too"},
      {{full, middle}, "goes on on another disk: name its file too"},
      {{full, last, middle}, "ends the run without going on to"},
      {{last, full}, "ends its run without going on to"},
  };
  for (const auto& [texts, problem] : broken) {
    back = read_back(texts);
    EXPECT_FALSE(back.opened);
    EXPECT_NE(back.problem.find(problem), std::string::npos) << back.problem;
  }
  CatalogueReader reader;
  std::string problem;
  EXPECT_FALSE(reader.open({"/nonexistent-tallysum-test/list.txt"}, &problem));
  EXPECT_NE(problem.find("cannot be opened"), std::string::npos) << problem;
}

TEST(ReadCatalogue, CommandWordsComeBackSplitAtEverySpace) {
  const std::pair<std::string, std::vector<std::string>> cases[] = {
      {"/bin/tallysum -r -o list.txt ", {"/bin/tallysum", "-r", "-o", "list.txt"}},
      {"/bin/tallysum ", {"/bin/tallysum"}},
      {"/bin/tallysum -C  -r ", {"/bin/tallysum", "-C", "", "-r"}},  // an empty word stays
      {"/bin/tallysum -r", {"/bin/tallysum", "-r"}},                 // the last space lost
      {"", {}},
  };
  for (const auto& [line, words] : cases) EXPECT_EQ(command_words(line), words) << line;
}

// A real file "a b.txt" with a stream "one", and its directory with a stream "tag": the three
// record forms as the writers make them under each option set.
class RecordColumns : public ::testing::Test {
 protected:
  void SetUp() override {
    tree.write("a b.txt", "alpha");
    ASSERT_TRUE(set_stamps(tree.at("a b.txt"), {1104537598, 0}, {1104673510, 0}));
    fake.add_stream(tree.at("a b.txt"), "one", "abc");
    fake.add_stream(tree.path(), "tag", "q");
    const StreamDouble::Times stamps{file_time_utc(2004, 12, 31, 8, 5, 1),
                                     file_time_utc(2005, 3, 4, 22, 0, 59),
                                     file_time_utc(2005, 1, 2, 13, 45, 10)};
    // A stream has the times of the file or directory that carries it.
    fake.set_times(tree.at("a b.txt"), stamps);
    fake.set_times(tree.path(), stamps);
  }

  // The file record, its stream's record and the directory's stream record.
  std::vector<std::string> records(const std::vector<std::string>& args) {
    reset_settings();
    parse_args(args);
    complete_settings();
    settings.streams = 1;
    make_zone_abbreviation();
    counters = RunCounters{};
    const Directory dir{tree.path() + kSeparator, nullptr};
    DirEntry entry;
    native_platform().entry_facts(dir, "a b.txt", &entry);
    entry.name = "a b.txt";
    const std::size_t before = captured.output().size();
    write_file_record(dir, entry);
    const Directory parent{tree.path().substr(0, tree.path().rfind(kSeparator) + 1), nullptr};
    const std::string own = tree.path().substr(tree.path().rfind(kSeparator) + 1);
    list_directory_streams(count_streams(parent, own), parent, own, tree.path());
    std::vector<std::string> lines = lines_of(captured.output().substr(before));
    const std::string line_end = kLineEnd;
    for (std::string& line : lines) {
      // lines_of splits at "\n": what else of the system's line end it leaves goes too.
      if (line_end.size() > 1 && line.size() >= line_end.size() - 1 &&
          line.compare(line.size() - (line_end.size() - 1), std::string::npos, line_end, 0,
                       line_end.size() - 1) == 0) {
        line.resize(line.size() - (line_end.size() - 1));
      }
    }
    return lines;
  }

  TempDir tree;
  StreamDouble fake;
  CapturedStreams captured;
};

struct LayoutCase {
  std::vector<std::string> args;
  bool full_paths;         // names shown as paths rather than bare names
  std::size_t stream_cut;  // the streams' name column cut to this width; 0: whole
  std::size_t access;      // last-access columns in each record
};

TEST_F(RecordColumns, EachFormSplitsIntoItsColumnsUnderEveryOptionSet) {
  const LayoutCase cases[] = {
      {{}, false, 0, 0},
      {{"-r", "-w", "0"}, true, 0, 0},
      {{"-m", "-ta"}, false, 0, 1},
      {{"-T3", "-d", ","}, false, 0, 1},
      {{"-B", "-8", "-m"}, false, 0, 0},
      {{"-A3", "-c"}, false, 0, 0},
      {{"-r", "-w", "5"}, true, 5, 0},
      {{"-C", "note", "-U", "-m", "-z", "-t3"}, false, 0, 1},
      {{"-256", "-tA"}, false, 0, 1},
      {{"-N", "-r", "-w", "0"}, true, 0, 0},
      {{"-r", "-w", "0", "-A2", "-512", "-tC", "-8"}, true, 0, 0},
      {{"-s", "-d", "|", "-T", "a", "-W", "200", "-r"}, true, 0, 1},
  };
  const RecordForm forms[] = {RecordForm::kFile, RecordForm::kFileStream,
                              RecordForm::kDirectoryStream};
  for (const LayoutCase& c : cases) {
    const std::string options = testing::PrintToString(c.args);
    const std::vector<std::string> lines = records(c.args);
    ASSERT_EQ(lines.size(), 3u) << options << captured.output();
    std::string names[] = {tree.at("a b.txt"), tree.at("a b.txt:one"), tree.path() + ":tag"};
    if (!c.full_paths) {
      const std::string dir_name = tree.path().substr(tree.path().rfind(kSeparator) + 1);
      names[0] = "a b.txt", names[1] = "a b.txt:one", names[2] = dir_name + ":tag";
    }
    if (c.stream_cut != 0) names[1].resize(c.stream_cut), names[2].resize(c.stream_cut);

    for (int i = 0; i < 3; ++i) {
      const std::string& line = lines[i];
      std::vector<Column> columns;
      ASSERT_TRUE(split_record(line, forms[i], settings, &columns)) << options << "\n" << line;
      std::size_t end = 0;
      std::size_t access = 0;
      for (const Column& column : columns) {
        EXPECT_EQ(column.start, end) << options << line;
        end = column.start + column.length;
        if (column.kind != ColumnKind::kAccessTime) continue;
        ++access;
        EXPECT_TRUE(std::regex_match(line.substr(column.start, column.length), kAccessStamp))
            << options << line;
      }
      EXPECT_EQ(end, line.size()) << options << line;
      EXPECT_EQ(access, c.access) << options << line;
      EXPECT_EQ(record_name(line, columns), names[i]) << options << line;
      // What a verification compares: no last-access stamp (reading moves it), every digest
      // read (none a marker), the size where the layout has one.
      RecordFacts facts;
      ASSERT_TRUE(read_record(line, settings, &facts)) << options << line;
      EXPECT_EQ(facts.name, names[i]) << options;
      std::size_t times = 0;
      for (const Column& column : columns) times += column.kind == ColumnKind::kTime ? 1 : 0;
      EXPECT_EQ(facts.stamps.size(), times) << options << line;
      for (const StampColumn& stamp : facts.stamps) EXPECT_NE(stamp.letter, 'a') << options;
      for (const DigestColumn& digest : facts.digests) {
        EXPECT_FALSE(is_digest_marker(digest.text)) << options << line;
        EXPECT_NE(std::string(digest.kind), "") << options << line;
      }
      EXPECT_EQ(facts.has_size, !settings.path_only) << options << line;
      if (facts.has_size) {
        EXPECT_EQ(facts.size, i == 0 ? 5 : i == 1 ? 3 : 1) << options << line;
      }
      // Any form that fits finds the same name.
      ASSERT_TRUE(split_any_record(line, settings, &columns)) << options;
      EXPECT_EQ(record_name(line, columns), names[i]) << options << line;
      // A record cut short fits no form.
      EXPECT_FALSE(split_any_record(line.substr(0, line.size() - 1), settings, &columns))
          << options << line;
    }
  }
}

TEST_F(RecordColumns, ARecordOfOtherOptionsDoesNotFit) {
  const std::pair<std::vector<std::string>, std::vector<std::string>> cases[] = {
      {{"-m"}, {}},  // detail columns the layout does not have
      {{"-B"}, {}},  // a second digest
      {{}, {"-m"}},  // detail columns missing
      {{"-m", "-tw"}, {"-m", "-t3"}},
      {{"-256"}, {"-384"}},  // a digest of another width
  };
  for (const auto& [written_with, read_with] : cases) {
    const std::string file_record = records(written_with)[0];
    reset_settings();
    parse_args(read_with);
    complete_settings();
    std::vector<Column> columns;
    EXPECT_FALSE(split_record(file_record, RecordForm::kFile, settings, &columns))
        << testing::PrintToString(written_with) << file_record;
  }
}

// A line beginning with '\\' is an escaped record when the rest fits and its name unescapes
// cleanly; otherwise it is read as it stands.
TEST(ReadRecord, EscapedLinesAreReadBackAndOtherLinesAsTheyStand) {
  reset_settings();
  parse_args({"-n", "-r"});
  complete_settings();
  const std::string md5 = "        2C1743A391305FBF367DF8E4F069F9F9 ";
  auto line = [&md5](const std::string& name) {
    return name + std::string(name.size() < 25 ? 25 - name.size() : 0, ' ') + " " + md5;
  };
  const std::pair<std::string, std::string> cases[] = {
      {"\\" + line("a\\nb.txt"), "a\\nb.txt"},
      {"\\" + line("tab\\there\\\\x\\xC2\\x85"), "tab\\there\\\\x\\xC2\\x85"},
      {"\\" + line("low\\x1b"), "\\low\\x1b"},  // lower-case digits: not an escape
      {"\\" + line("s\\q"), "\\s\\q"},          // no such escape
      {"\\" + line("cut\\x4"), "\\cut\\x4"},    // an escape cut short
      {line("plain\\name"), "plain\\name"},     // no leading mark: as it stands
  };
  for (const auto& [text, name] : cases) {
    RecordFacts facts;
    ASSERT_TRUE(read_record(text, settings, &facts)) << text;
    EXPECT_EQ(facts.name, name) << text;
    ASSERT_EQ(facts.digests.size(), 1u) << text;
    EXPECT_EQ(facts.digests[0].text, "2C1743A391305FBF367DF8E4F069F9F9");
  }
  RecordFacts facts;
  EXPECT_FALSE(read_record("\\" + line("x").substr(0, 30), settings, &facts));
}

// Times of data records name instants: whatever offset they were written with, they come back
// as the same UTC date and time, across days, leap days and 1970; a text of another form is
// refused rather than half read.
TEST(ReadRecord, DataTimesComeBackAsTheInstantsTheyName) {
  const std::pair<const char*, Stamp> instants[] = {
      {"2005-10-20T14:03:07.1234567-04:00", {10, 20, 2005, 18, 3, 7}},
      {"1969-12-31T23:30:00.0000000-01:00", {1, 1, 1970, 0, 30, 0}},
      {"2000-03-01T00:10:00.5+05:30", {2, 29, 2000, 18, 40, 0}},
      {"2005-01-02T13:45:10Z", {1, 2, 2005, 13, 45, 10}},
  };
  for (const auto& [text, expected] : instants) {
    Stamp utc;
    ASSERT_TRUE(read_iso_time(text, &utc)) << text;
    EXPECT_EQ(std::tie(utc.year, utc.month, utc.day, utc.hour, utc.minute, utc.second),
              std::tie(expected.year, expected.month, expected.day, expected.hour, expected.minute,
                       expected.second))
        << text;
  }
  for (const char* bad :
       {"2005-10-20 14:03:07+00:00", "2005-10-20T14:03:07+4", "2005-1x-20T14:03:07Z"}) {
    Stamp utc;
    EXPECT_FALSE(read_iso_time(bad, &utc)) << bad;
  }
  const FileTime raw =
      (1104673510ULL + kEpochDifferenceSeconds) * kFileTimeTicksPerSecond + 1234567;
  EXPECT_EQ(iso_time(raw, true), "2005-01-02T13:45:10.1234567+00:00");
}

// A name holding a comma, a quote and a line end, a stream, and a byte that is no UTF-8 come
// back whole from both forms; a row of the wrong width does not fit.
TEST(ReadRecord, DataRecordsGiveBackWhatTheirWriterWrote) {
  const std::string name = std::string("/d/we,ird \"q\"\nname\x85.txt");
  const std::vector<std::string> columns = {"name", "stream", "md5", "size", "last_write"};
  const std::string md5 = "0CC175B9C0F1B6A831C399E269772661";
  const std::string csv = csv_field(name) + ",one," + md5 + ",12,2005-01-02T08:45:10-05:00";
  const std::string json = "{\"name\":" + json_string(name) + ",\"stream\":\"one\",\"md5\":\"" +
                           md5 + "\",\"size\":12,\"last_write\":\"2005-01-02T13:45:10Z\"}";
  EXPECT_NE(json.find("\\u0085"), std::string::npos) << json;
  for (const auto& [format, text] :
       {std::pair{RecordFormat::kCsv, csv}, std::pair{RecordFormat::kJson, json}}) {
    RecordFacts facts;
    ASSERT_TRUE(read_data_record(text, format, columns, &facts)) << text;
    EXPECT_EQ(facts.name, name + ":one");
    ASSERT_EQ(facts.digests.size(), 1u);
    EXPECT_EQ(facts.digests[0].text, md5);
    EXPECT_EQ(facts.size, 12);
    ASSERT_EQ(facts.stamps.size(), 1u);
    EXPECT_EQ(facts.stamps[0].stamp.hour, 13);
  }
  EXPECT_TRUE(csv_record_open(csv.substr(0, csv.find('\n'))));
  EXPECT_FALSE(csv_record_open(csv));
  RecordFacts facts;
  EXPECT_FALSE(read_data_record(csv + ",extra", RecordFormat::kCsv, columns, &facts));
  EXPECT_FALSE(read_data_record("x\"y,one," + md5 + ",12,", RecordFormat::kCsv, columns, &facts));
}

}  // namespace
