#include "select/walk.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "run/settings.h"
#include "run/run_state.h"
#include "output/file_record.h"
#include "support/scripted_platform.h"
#include "support/temp_dir.h"

namespace {

std::vector<std::string> handed_on;
const TempDir* current_tree = nullptr;
std::string vanish_after;  // a directory to remove once the first file is handed on

void record_file(const std::string& directory, const std::string& name) {
  handed_on.push_back(directory.substr(current_tree->path().size() + 1) + name);
  if (!vanish_after.empty()) {
    std::filesystem::remove_all(current_tree->at(vanish_after));
    vanish_after.clear();
  }
}

class WalkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    create_settings();
    apply_environment();
    apply_defaults();
    settings.file_patterns = {"*.*"};
    counters = RunCounters{};
    run = RunState{};
    run.counting_pass = 0;
    handed_on.clear();
    current_tree = &tree;
    file_sink = record_file;
  }
  void TearDown() override { file_sink = write_file_record; }
  void walk() { walk_directory(tree.path() + "/"); }

  TempDir tree;
};

using Strings = std::vector<std::string>;

TEST_F(WalkTest, RecursionIsPostOrderAndCountsOnlySubdirectories) {
  tree.write("A/B/deep.txt", "1");
  tree.write("A/mid.txt", "2");
  tree.write("top.txt", "3");
  tree.write("C/c.txt", "4");
  settings.recurse = 1;
  walk();
  EXPECT_EQ(handed_on, (Strings{"A/B/deep.txt", "A/mid.txt", "C/c.txt", "top.txt"}));
  EXPECT_EQ(counters.directory_count, 3);

  handed_on.clear();
  counters = RunCounters{};
  settings.recurse = 0;
  walk();
  EXPECT_EQ(handed_on, Strings{"top.txt"});
  EXPECT_EQ(counters.directory_count, 1);
}

TEST_F(WalkTest, EachPatternSearchesOnceAndADashPatternEndsTheList) {
  tree.write("abc.txt", "x");
  tree.write("b.doc", "x");
  settings.file_patterns = {"*.txt", "a*", "-stop", "*.doc"};
  walk();
  EXPECT_EQ(handed_on, (Strings{"abc.txt", "abc.txt"}));
}

TEST_F(WalkTest, ExclusionsFollowTheCaseRule) {
  for (const char* name : {"x.tmp", "X.TMP", "x.Tmp", "a1.log", "B7.LOG", "ab.log", "r[1].doc",
                           "r1.doc", "v2.dat", "vv.dat"}) {
    tree.write(name, "x");
  }
  settings.exclude_given = 1;
  // Stored as the options store them without -X: upper-cased, class names included.
  settings.exclude_patterns = {"*.TMP", "*[0-9].LOG", "*\\[1\\]*", "V[[:DIGIT:]].DAT"};
  walk();
  EXPECT_EQ(handed_on, (Strings{"ab.log", "r1.doc", "vv.dat"}));

  handed_on.clear();
  settings.exclude_case_sensitive = 1;
  settings.exclude_patterns = {"*.TMP", "*[0-9].LOG", "*\\[1\\]*", "v[[:digit:]].dat"};
  walk();
  EXPECT_EQ(handed_on,
            (Strings{"a1.log", "ab.log", "r1.doc", "vv.dat", "x.Tmp", "x.tmp"}));
}

TEST_F(WalkTest, CountingPassCountsEverythingAndHandsNothingOn) {
  tree.write("A/one.tmp", "12345");
  tree.write("two.txt", "123");
  settings.recurse = 1;
  settings.output_target = 1;
  settings.auto_width = 1;
  settings.exclude_given = 1;
  settings.exclude_patterns = {"*.TMP"};
  run.counting_pass = 1;
  walk();
  EXPECT_TRUE(handed_on.empty());
  EXPECT_EQ(counters.directory_count, 0);
  EXPECT_EQ(run.precount_files, 2);
  EXPECT_EQ(run.precount_bytes, 8);
  EXPECT_EQ(run.longest_path, static_cast<int>(tree.path().size() + std::string("/A/one.tmp").size()));
}

TEST_F(WalkTest, MissingVanishingAndSpecialEntriesAreSkipped) {
  walk_directory(tree.at("missing/"));
  EXPECT_TRUE(handed_on.empty());
  EXPECT_EQ(counters.directory_count, 0);

  tree.write("d1/first.txt", "x");
  tree.write("d2/second.txt", "x");
  ASSERT_EQ(mkfifo(tree.at("d1/pipe").c_str(), 0600), 0);
  ASSERT_EQ(symlink("..", tree.at("d1/loop").c_str()), 0);  // a loop under recursion
  vanish_after = "d2";
  settings.recurse = 1;
  walk();
  EXPECT_EQ(handed_on, Strings{"d1/first.txt"});
}

TEST_F(WalkTest, PathsLongerThanTheOldLimitAreWalkedWhole) {
  std::string deep = std::string(120, 'a') + "/" + std::string(120, 'b') + "/" +
                     std::string(120, 'c');
  tree.write(deep + "/leaf.txt", "x");
  settings.recurse = 1;
  walk();
  EXPECT_EQ(handed_on, Strings{deep + "/leaf.txt"});
}

TEST_F(WalkTest, EscOrTypedCtrlCEndsTheRunAndOtherKeysAreIgnored) {
  tree.write("a.txt", "x");
  tree.write("b.txt", "x");
  {
    ScriptedPlatform console;
    console.keys = {'q', ' '};
    walk();
  }
  EXPECT_EQ(handed_on, (Strings{"a.txt", "b.txt"}));
  for (int key : {27, 3}) {
    EXPECT_EXIT(
        {
          ScriptedPlatform console;
          console.keys = {key};
          walk();
        },
        ::testing::ExitedWithCode(1), "");
  }
}

}  // namespace
