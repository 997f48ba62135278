#include "select/walk.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "run/output_stream.h"
#include "run/run_state.h"
#include "run/settings.h"
#include "select/progress.h"
#include "support/captured_streams.h"
#include "support/disk_setup.h"
#include "support/scripted_platform.h"
#include "support/temp_dir.h"

namespace {

std::vector<std::string> handed_on;
const TempDir* current_tree = nullptr;
std::string vanish_after;  // a directory to remove once the first file is handed on
// Runs with the relative name of every file handed on: the tree changing under the walk.
std::function<void(const std::string&)> when_handed_on;

// Records what the walk hands on, relative to the tree and with '/' between its names,
// instead of writing records.
class Recorder : public WalkSink {
 public:
  void file(const Directory& dir, const DirEntry& entry) override {
    std::string relative = dir.path.substr(current_tree->path().size() + 1) + entry.name;
    std::replace(relative.begin(), relative.end(), kSeparator, '/');
    handed_on.push_back(relative);
    if (when_handed_on) when_handed_on(relative);
    if (!vanish_after.empty()) {
      std::filesystem::remove_all(current_tree->at(vanish_after));
      vanish_after.clear();
    }
  }
  void directory_streams(const Directory&, const std::string&, const std::string& path,
                         int n) override {
    handed_on.push_back("streams " + std::to_string(n) + " " + path);
  }
};

// Counts the listings and look-ups the walk makes and refuses the subdirectories named in
// `refused`.
class ListingCounter : public ScriptedPlatform {
 public:
  int listings = 0;
  int look_ups = 0;
  std::vector<std::string> refused;
  bool list_directory(const Directory& dir, DirListing* listing, std::string* error) override {
    ++listings;
    return native_platform().list_directory(dir, listing, error);
  }
  Lookup entry_facts(const Directory& dir, const std::string& name, DirEntry* facts) override {
    ++look_ups;
    return native_platform().entry_facts(dir, name, facts);
  }
  DirHandle open_subdirectory(const Directory& parent, const std::string& name,
                              std::string* error) override {
    for (const std::string& no : refused) {
      if (no == name) {
        *error = "Permission denied";
        return nullptr;
      }
    }
    return native_platform().open_subdirectory(parent, name, error);
  }
};

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
    when_handed_on = nullptr;
    current_tree = &tree;
  }
  void walk() { walk_directory(tree.path() + kSeparator, recorder); }

  TempDir tree;
  Recorder recorder;
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
  // Where names ignore case, the three spellings of x.tmp were one file, the first written.
  Strings expected = {"a1.log", "ab.log", "r1.doc", "vv.dat"};
  if (!kNamesIgnoreCase) expected.push_back("x.Tmp");
  expected.push_back("x.tmp");
  EXPECT_EQ(handed_on, expected);
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
  EXPECT_EQ(run.longest_path, static_cast<int>(tree.at("A/one.tmp").size()));
}

TEST_F(WalkTest, MissingVanishingAndSpecialEntriesAreSkipped) {
  {
    CapturedStreams streams;
    walk_directory(tree.at("missing/"), recorder);
    EXPECT_TRUE(handed_on.empty());
    EXPECT_EQ(counters.directory_count, 0);
    // A search path that is not there is said once, in the system's words, and counted.
    std::string reason;
    EXPECT_EQ(native_platform().open_directory(tree.at("missing/"), &reason), nullptr);
    EXPECT_FALSE(reason.empty());
    EXPECT_EQ(streams.messages(),
              "Can't read directory " + tree.at("missing/") + ": " + reason + "\n");
    EXPECT_EQ(counters.unreadable_count, 1);
  }

  tree.write("d1/first.txt", "x");
  tree.write("d2/second.txt", "x");
  vanish_after = "d2";
  settings.recurse = 1;
  walk();
  EXPECT_EQ(handed_on, Strings{"d1/first.txt"});
}

TEST_F(WalkTest, FifosAndLinksThatLoopAreSkipped) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows has no FIFOs, and Wine makes no symbolic links";
#endif
  tree.write("d1/first.txt", "x");
  ASSERT_TRUE(make_fifo(tree.at("d1/pipe")));
  std::error_code error;
  std::filesystem::create_directory_symlink("..", tree.at("d1/loop"), error);
  ASSERT_FALSE(error) << error.message();  // a loop under recursion
  settings.recurse = 1;
  walk();
  EXPECT_EQ(handed_on, Strings{"d1/first.txt"});
}

TEST_F(WalkTest, TreesDeeperThanTheSystemPathLimitAreWalkedWhole) {
  // Levels of 200 bytes to twice what the system accepts in one path: 8,200 bytes on Linux,
  // 600 characters on Windows (where Wine's own limit is Linux's). The tree is made, and
  // removed, the ways around that limit for the same reason.
  const std::string level(200, 'd');
  const int depth = static_cast<int>(2 * kSystemPathLimit / level.size()) + 1;
  std::string deep;
  for (int i = 0; i < depth; ++i) deep += level + "/";
  struct Removal {
    const TempDir& tree;
    const std::string& level;
    int depth;
    ~Removal() { remove_deep_tree(tree.path(), level, depth, "leaf.txt"); }
  } removal{tree, level, depth};
  ASSERT_TRUE(make_deep_tree(tree.path(), level, depth, "leaf.txt"));
  tree.write("top.txt", "y");
  settings.recurse = 1;
  walk();
  EXPECT_EQ(handed_on, (Strings{deep + "leaf.txt", "top.txt"}));
  EXPECT_EQ(counters.directory_count, depth);
  EXPECT_EQ(counters.unreadable_count, 0);
}

TEST_F(WalkTest, UnreadableDirectoriesAreNamedAndCountedAndTheRestIsWalked) {
  tree.write("locked/inside.txt", "x");
  tree.write("open/seen.txt", "x");
  ListingCounter platform;
  platform.refused = {"locked"};
  settings.recurse = 1;
  CapturedStreams streams;
  walk();
  EXPECT_EQ(handed_on, Strings{"open/seen.txt"});
  EXPECT_EQ(streams.messages(),
            "Can't read directory " + tree.at("locked/") + ": Permission denied\n");
  EXPECT_EQ(counters.unreadable_count, 1);
  EXPECT_EQ(counters.directory_count, 2);
}

// Each pass lists a directory when it gets to it, and a directory's files only after
// everything below it, so a file made where the walk has not yet got to is catalogued. The
// walk looks at no file: only the counting pass looks up the files it counts, for their size.
TEST_F(WalkTest, EachPassListsADirectoryWhenItGetsToItAndLooksAtNoFile) {
  tree.write("A/one.txt", "1");
  tree.write("B/two.txt", "22");
  tree.write("three.txt", "333");
  tree.write("skip.dat", "4444");
  ListingCounter platform;
  settings.recurse = 1;
  settings.output_target = 1;
  settings.file_patterns = {"*.txt"};
  run.counting_pass = 1;
  walk();
  EXPECT_EQ(run.precount_files, 3);
  EXPECT_EQ(run.precount_bytes, 6);
  EXPECT_EQ(platform.look_ups, 3);
  EXPECT_EQ(platform.listings, 4) << "the top twice: for its subdirectories, then its files";

  tree.write("A/made.txt", "after the count");
  when_handed_on = [&](const std::string& name) {
    if (name == "A/one.txt") tree.write("late.txt", "while A was walked");
  };
  run.counting_pass = 0;
  platform.look_ups = 0;
  walk();
  EXPECT_EQ(platform.listings, 8);
  EXPECT_EQ(platform.look_ups, 0);
  EXPECT_EQ(handed_on, (Strings{"A/made.txt", "A/one.txt", "B/two.txt", "late.txt", "three.txt"}));
}

// A terminal obeys the C1 controls as it obeys the C0 ones: CSI (U+009B) and NEL (U+0085) in
// UTF-8, and on a system whose names are bytes, the lone byte 0x9B of an 8-bit code page. The
// same bytes inside other characters ("\u0100", "\u20AC") are text and stay.
TEST_F(WalkTest, ProgressShowsEveryControlCharacterAsAQuestionMark) {
  std::vector<std::pair<std::string, std::string>> names = {
      {"c1\xC2\x9B"
       "2J\xC2\x85",
       "c1?2J?"},
      {"text\xC4\x80\xE2\x82\xAC", "text\xC4\x80\xE2\x82\xAC"},
  };
#ifndef _WIN32
  names.push_back(
      {"raw\x9B"
       "31m\x85\x1B",
       "raw?31m??"});
  names.push_back({"latin\xE9\xC2", "latin\xE9\xC2"});  // no control, no UTF-8: as it is
#endif
  // Made from the UTF-8 spelling, which a plain string is not taken as on every system.
  for (const auto& [name, shown] : names) {
    std::filesystem::create_directory(std::filesystem::path(tree.path()) /
                                      std::u8string(name.begin(), name.end()));
  }
  settings.recurse = 1;
  settings.output_target = 1;  // progress is shown for an output file, on a terminal
  run.progress_on_terminal = true;
  CapturedStreams streams;
  walk();
  const std::string progress = streams.messages();
  for (const auto& [name, shown] : names) {
    EXPECT_NE(progress.find(tree.at(shown) + kSeparator + " "), std::string::npos) << progress;
    if (name != shown) {
      EXPECT_EQ(progress.find(name), std::string::npos) << progress;
    }
  }
}

// What a terminal line shows after `drawn`: a backspace steps back, a character overwrites.
std::string terminal_line(const std::string& drawn) {
  std::string line;
  std::size_t cursor = 0;
  for (char c : drawn) {
    if (c == '\b') {
      if (cursor > 0) --cursor;
      continue;
    }
    if (cursor == line.size())
      line += c;
    else
      line[cursor] = c;
    ++cursor;
  }
  return line;
}

TEST_F(WalkTest, ALargeFilesProgressIsRedrawnSeldomAndLeavesNothingBehind) {
  settings.output_target = 1;
  run.progress_on_terminal = true;
  run.precount_bytes = 4000;
  CapturedStreams streams;
  show_progress(tree.path());
  for (std::uint64_t reached = 1; reached <= 1000; ++reached) show_read_progress(reached, 2000);
  const std::string drawn = streams.messages();
  // One draw, however fast the reads come; a slow machine may let a second through.
  const std::size_t draws = std::count(drawn.begin(), drawn.end(), '%') / 2;
  EXPECT_GE(draws, 1u) << drawn;
  EXPECT_LE(draws, 3u) << drawn;
  EXPECT_NE(drawn.find(" 1 of 2,000 bytes 0%, run 0%"), std::string::npos) << drawn;
  erase_shown_progress();
  EXPECT_EQ(terminal_line(streams.messages()).find_first_not_of(' '), std::string::npos)
      << streams.messages();

  // Without a terminal nothing at all is drawn.
  run.progress_on_terminal = false;
  CapturedStreams piped;
  show_progress(tree.path());
  show_read_progress(1000, 2000);
  erase_shown_progress();
  EXPECT_EQ(piped.messages(), "");
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
