#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config/completion.h"
#include "driver/echoed_line.h"
#include "driver/record_merge.h"
#include "run/settings.h"
#include "support/scripted_platform.h"
#include "support/temp_dir.h"

namespace {

const std::string kMd5A = "0CC175B9C0F1B6A831C399E269772661";
const std::string kMd5B = "92EB5FFEE6AE2FEC3AD71C777531578F";
constexpr char kMarker[] = "- ERROR - FILE POSSIBLY LOCKED -";

// A record of a run with -m -t3 -r -w 20: name, MD5, size, three stamps, zone.
std::string record(const std::string& name, const std::string& md5, const std::string& size,
                   const std::string& access_day = "01", const std::string& write_day = "02") {
  std::string padded = name + std::string(20 - name.size(), ' ');
  return padded + " " + std::string(40 - md5.size(), ' ') + md5 + " " +
         std::string(12 - size.size(), ' ') + size + " 07/04/2003 06:05:04c 01/" + write_day +
         "/2005 13:45:10w " + "01/" + access_day + "/2005 23:59:58a UTC ";
}

class Merge : public ::testing::Test {
 protected:
  void SetUp() override {
    reset_settings();
    parse_args({"-m", "-t3", "-r", "-w", "20"});
    complete_settings();
  }

  MergeRecord merged(const std::string& line) {
    MergeRecord record;
    EXPECT_TRUE(read_record(line, settings, &record.facts)) << line;
    record.directory = record.facts.name.substr(0, record.facts.name.rfind('/') + 1);
    return record;
  }

  // The older side from `older`; every line reported goes to `lines`.
  RecordMerge merge(const std::vector<std::string>& older) {
    older_ = older;
    at_ = 0;
    return RecordMerge(
        [this](MergeRecord* record) {
          if (at_ == older_.size()) return false;
          *record = merged(older_[at_++]);
          return true;
        },
        [this](const std::string& line) { lines.push_back(line); }, true);
  }

  ScriptedPlatform platform;
  std::vector<std::string> lines;
  std::vector<std::string> older_;
  std::size_t at_ = 0;
};

TEST_F(Merge, EachRecordGetsOneOutcomeAndAChangeNamesItsColumns) {
  RecordMerge comparison = merge({
      record("/d/sub/x", kMd5A, "1"),
      record("/d/sub/gone", kMd5A, "1"),
      record("/d/same", kMd5A, "1"),
      record("/d/edited", kMd5A, "1"),
      record("/d/read", kMd5A, "1"),
      record("/d/grown", kMd5A, "1"),
      record("/d/touched", kMd5A, "1"),
      record("/d/rewritten", kMd5A, "1"),
      record("/d/locked", kMd5A, "1"),
  });
  for (const std::string& line : {
           record("/d/sub/x", kMd5A, "1"),
           record("/d/sub/new0", kMd5B, "1"),
           record("/d/same", kMd5A, "1"),
           record("/d/edited", kMd5B, "1"),
           record("/d/read", kMd5A, "1", "09"),
           record("/d/grown", kMd5A, "2"),
           record("/d/touched", kMd5A, "1", "01", "03"),
           record("/d/rewritten", kMd5B, "2", "01", "04"),
           record("/d/locked", kMarker, "1"),
           record("/d/new1", kMd5A, "1"),
       }) {
    comparison.add_newer(merged(line));
  }
  comparison.finish();
  EXPECT_EQ(lines, (std::vector<std::string>{"MISSING /d/sub/gone", "NEW /d/sub/new0",
                                             "CHANGED /d/edited (MD5)", "CHANGED /d/grown (size)",
                                             "CHANGED /d/touched (last write)",
                                             "CHANGED /d/rewritten (size, last write, MD5)",
                                             "UNREADABLE /d/locked", "NEW /d/new1"}));
  EXPECT_EQ(tally_line(comparison.tally()),
            "Verified 11 records: 3 unchanged, 4 changed, 1 missing, 2 new, 1 unreadable");
  EXPECT_TRUE(comparison.tally().differs());
}

// A side that has left a directory behind decides what waits for it there: a large change
// is reported as the walk goes, and only what is out of step is held.
TEST_F(Merge, WhatADirectoryLeftBehindLacksIsDecidedThereAndThen) {
  std::vector<std::string> older;
  for (int i = 0; i < 3000; ++i) older.push_back(record("/d/a/" + std::to_string(i), kMd5A, "1"));
  for (int i = 0; i < 3000; ++i) older.push_back(record("/d/b/" + std::to_string(i), kMd5A, "1"));
  older.push_back(record("/d/z", kMd5A, "1"));
  RecordMerge comparison = merge(older);
  for (int i = 0; i < 3000; ++i) {
    comparison.add_newer(merged(record("/d/b/" + std::to_string(i), kMd5A, "1")));
  }
  for (int i = 0; i < 2000; ++i) {
    comparison.add_newer(merged(record("/d/c/" + std::to_string(i), kMd5A, "1")));
  }
  comparison.add_newer(merged(record("/d/z", kMd5A, "1")));
  // Before the end: every record of the deleted a/ and the added c/ is decided already.
  EXPECT_EQ(lines.size(), 5000u);
  EXPECT_EQ(lines.front(), "MISSING /d/a/0");
  EXPECT_EQ(lines.back(), "NEW /d/c/1999");
  comparison.finish();
  EXPECT_EQ(tally_line(comparison.tally()),
            "Verified 8001 records: 3001 unchanged, 0 changed, 3000 missing, 2000 new, 0 "
            "unreadable");
}

// Shortened names can repeat: records of one name meet in the order both sides give them.
TEST_F(Merge, RepeatedNamesAreMatchedInOrder) {
  RecordMerge comparison = merge({record("/d/.../x", kMd5A, "1"), record("/d/.../x", kMd5B, "2"),
                                  record("/d/.../y", kMd5A, "1")});
  comparison.add_newer(merged(record("/d/.../x", kMd5A, "1")));
  comparison.add_newer(merged(record("/d/.../x", kMd5A, "2")));
  comparison.add_newer(merged(record("/d/.../z", kMd5A, "1")));
  comparison.finish();
  EXPECT_EQ(lines, (std::vector<std::string>{"CHANGED /d/.../x (MD5)", "NEW /d/.../z",
                                             "MISSING /d/.../y"}));
  EXPECT_FALSE(RecordMerge([](MergeRecord*) { return false; }, [](const std::string&) {}, true)
                   .tally()
                   .differs());
}

// Counts the disk look-ups made while an echoed line is read back.
class CountingPlatform : public ScriptedPlatform {
 public:
  bool path_facts(const std::string& path, DirEntry* facts) override {
    ++look_ups;
    return ScriptedPlatform::path_facts(path, facts);
  }
  bool list_directory(const Directory& dir, DirListing* listing, std::string* error) override {
    ++look_ups;
    return ScriptedPlatform::list_directory(dir, listing, error);
  }
  int look_ups = 0;
};

}  // namespace

TEST(EchoedWords, WordsThatHeldASpaceAreMadeWholeWhereTheDiskNamesThem) {
  TempDir dir;
  dir.write("my docs/a.txt", "a");
  dir.write("my docs/list.txt", "");
  dir.write("prog dir/tallysum", "");
  const std::string docs = dir.at("my docs");
  const std::string line = dir.at("prog dir/tallysum") + " " + docs + " " +
                           dir.at("my docs/*.txt") + " -r -f *.a b.c -o " +
                           dir.at("my docs/list.txt") + " -p " + docs + " -C two words";
  const NameStyle here = NameStyle::kThisSystem;
  EXPECT_EQ(echoed_words(line, "tallysum", here),
            (std::vector<std::string>{dir.at("prog dir/tallysum"), docs, dir.at("my docs/*.txt"),
                                      "-r", "-f", "*.a", "b.c", "-o", dir.at("my docs/list.txt"),
                                      "-p", docs, "-C", "two", "words"}));

  // The program need not be on the disk being verified: its own file name ends its path.
  const std::string gone = dir.at("gone dir/tallysum");
  EXPECT_EQ(echoed_words(gone + " -r", "tallysum", here), (std::vector<std::string>{gone, "-r"}));
  // Without either, nothing is joined.
  const std::string other = dir.at("gone dir/other");
  const std::size_t space = other.find(' ');
  EXPECT_EQ(echoed_words(other + " -r", "tallysum", here),
            (std::vector<std::string>{other.substr(0, space), other.substr(space + 1), "-r"}));
}

// Words that name nothing cost a look or two each, however many there are.
TEST(EchoedWords, ALongLineIsReadWithAFewLooksAtTheDiskPerWord) {
  TempDir dir;
  dir.write("my docs/a.txt", "a");
  CountingPlatform platform;
  platform.current = dir.path();
  std::string line = "/bin/tallysum " + dir.at("my docs");
  const int extra = 4000;
  for (int i = 0; i < extra; ++i) line += " w" + std::to_string(i);
  line += " -r";
  const std::vector<std::string> words = echoed_words(line, "tallysum", NameStyle::kThisSystem);
  ASSERT_EQ(words.size(), static_cast<std::size_t>(extra + 3));
  EXPECT_EQ(words[1], dir.at("my docs"));
  EXPECT_EQ(words[extra + 1], "w" + std::to_string(extra - 1));
  EXPECT_LE(platform.look_ups, 3 * extra);
}

TEST(EchoedWords, ALineOfTheOtherSystemIsReadAsThatSystemReadsIt) {
  if (kSeparator == '/') {
    EXPECT_EQ(name_style_of("Z:\\bin\\tallysum.exe"), NameStyle::kWindows);
    EXPECT_EQ(name_style_of("/usr/bin/tallysum"), NameStyle::kThisSystem);
    EXPECT_EQ(echoed_words("Z:\\bin\\tallysum.exe Z:\\tmp\\data /r -B /o Z:\\list.txt ", "tallysum",
                           NameStyle::kWindows),
              (std::vector<std::string>{"/bin/tallysum.exe", "/tmp/data", "-r", "-B", "-o",
                                        "/list.txt"}));
  } else {
    EXPECT_EQ(name_style_of("/usr/bin/tallysum"), NameStyle::kPosix);
    EXPECT_EQ(name_style_of("C:\\bin\\tallysum.exe"), NameStyle::kThisSystem);
    EXPECT_EQ(echoed_words("/usr/bin/tallysum /tmp/data -r -o /tmp/list.txt ", "tallysum",
                           NameStyle::kPosix),
              (std::vector<std::string>{"\\usr\\bin\\tallysum", "\\tmp\\data", "-r", "-o",
                                        "\\tmp\\list.txt"}));
  }
  EXPECT_EQ(neutral_name("Z:\\tmp\\a b\\c.txt"), "/tmp/a b/c.txt");
  EXPECT_EQ(neutral_name("/tmp/a b/c.txt"), "/tmp/a b/c.txt");
}
