#include "driver/verify.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config/completion.h"
#include "run/settings.h"
#include "support/scripted_platform.h"
#include "support/temp_dir.h"

namespace {

const std::string kMd5A = "0CC175B9C0F1B6A831C399E269772661";
const std::string kMd5B = "92EB5FFEE6AE2FEC3AD71C777531578F";
constexpr char kMarker[] = "- ERROR - FILE POSSIBLY LOCKED -";

// A record of a run with -m -t3 -r -w 20: name, MD5, size, three stamps, zone.
std::string record(const std::string& name, const std::string& md5, const std::string& size,
                   const std::string& access_day = "01") {
  std::string padded = name + std::string(20 - name.size(), ' ');
  return padded + " " + std::string(40 - md5.size(), ' ') + md5 + " " +
         std::string(12 - size.size(), ' ') + size + " 07/04/2003 06:05:04c 01/02/2005 13:45:10w " +
         "01/" + access_day + "/2005 23:59:58a UTC ";
}

class Comparison : public ::testing::Test {
 protected:
  void SetUp() override {
    reset_settings();
    parse_args({"-m", "-t3", "-r", "-w", "20"});
    complete_settings();
  }
  ScriptedPlatform platform;
  std::string problem;
};

TEST_F(Comparison, EachRecordGetsOneOutcomeAndTheLinesComeInCatalogueThenWalkOrder) {
  RecordComparison comparison;
  ASSERT_TRUE(
      comparison.index_catalogue({record("/d/same", kMd5A, "1"), record("/d/gone", kMd5A, "1"),
                                  record("/d/edited", kMd5A, "1"), record("/d/read", kMd5A, "1"),
                                  record("/d/grown", kMd5A, "1"), record("/d/locked", kMd5A, "1")},
                                 &problem))
      << problem;
  const std::vector<std::string> now = {
      record("/d/new2", kMd5B, "1"),        record("/d/locked", kMarker, "1"),
      record("/d/read", kMd5A, "1", "09"),  record("/d/edited", kMd5B, "1"),
      record("/d/same", kMd5A, "1") + "\n", record("/d/grown", kMd5A, "2"),
      record("/d/new1", kMd5A, "1"),
  };
  for (const std::string& line : now) ASSERT_TRUE(comparison.compare(line, &problem)) << problem;

  EXPECT_EQ(comparison.difference_lines(),
            (std::vector<std::string>{"MISSING /d/gone", "CHANGED /d/edited", "CHANGED /d/grown",
                                      "UNREADABLE /d/locked", "NEW /d/new2", "NEW /d/new1"}));
  const VerifyTally tally = comparison.tally();
  EXPECT_EQ(tally_line(tally),
            "Verified 8 records: 2 unchanged, 2 changed, 1 missing, 2 new, 1 unreadable");
}

TEST_F(Comparison, NamesThatCannotBeToldApartAreRefused) {
  RecordComparison twice_in_catalogue;
  EXPECT_FALSE(twice_in_catalogue.index_catalogue(
      {record("/d/one", kMd5A, "1"), record("/d/two", kMd5A, "1"), record("/d/one", kMd5B, "2")},
      &problem));
  EXPECT_NE(problem.find("two records show the name \"/d/one\""), std::string::npos) << problem;

  RecordComparison twice_now;
  ASSERT_TRUE(twice_now.index_catalogue({record("/d/one", kMd5A, "1")}, &problem));
  EXPECT_TRUE(twice_now.compare(record("/d/one", kMd5A, "1"), &problem));
  EXPECT_FALSE(twice_now.compare(record("/d/one", kMd5A, "1"), &problem));
  EXPECT_NE(problem.find("the disk now gives two records the name \"/d/one\""), std::string::npos);
  RecordComparison new_twice;
  ASSERT_TRUE(new_twice.index_catalogue({}, &problem));
  EXPECT_TRUE(new_twice.compare(record("/d/x", kMd5A, "1"), &problem));
  EXPECT_FALSE(new_twice.compare(record("/d/x", kMd5B, "1"), &problem));

  // A name taken out of the comparison is neither reported nor counted, and a second record
  // of it is still a collision.
  RecordComparison own;
  ASSERT_TRUE(
      own.index_catalogue({record("/d/list", kMd5A, "1"), record("/d/one", kMd5A, "1")}, &problem));
  own.leave_out(record("/d/list", kMd5B, "9"));
  own.leave_out(record("/d/elsewhere", kMd5B, "9"));
  EXPECT_TRUE(own.compare(record("/d/one", kMd5A, "1"), &problem));
  EXPECT_TRUE(own.difference_lines().empty());
  EXPECT_EQ(tally_line(own.tally()),
            "Verified 1 records: 1 unchanged, 0 changed, 0 missing, 0 new, 0 unreadable");
  EXPECT_FALSE(own.compare(record("/d/list", kMd5B, "9"), &problem));

  RecordComparison misfit;
  EXPECT_FALSE(misfit.index_catalogue({record("/d/one", kMd5A, "1"), "/d/two  1"}, &problem));
  EXPECT_NE(problem.find("record 2 does not fit"), std::string::npos) << problem;
}

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
  EXPECT_EQ(echoed_words(line, "tallysum"),
            (std::vector<std::string>{dir.at("prog dir/tallysum"), docs, dir.at("my docs/*.txt"),
                                      "-r", "-f", "*.a", "b.c", "-o", dir.at("my docs/list.txt"),
                                      "-p", docs, "-C", "two", "words"}));

  // The program need not be on the disk being verified: its own file name ends its path.
  const std::string gone = dir.at("gone dir/tallysum");
  EXPECT_EQ(echoed_words(gone + " -r", "tallysum"), (std::vector<std::string>{gone, "-r"}));
  // Without either, nothing is joined.
  const std::string other = dir.at("gone dir/other");
  const std::size_t space = other.find(' ');
  EXPECT_EQ(echoed_words(other + " -r", "tallysum"),
            (std::vector<std::string>{other.substr(0, space), other.substr(space + 1), "-r"}));
}
