#include "select/path_lists.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/platform.h"
#include "run/settings.h"
#include "support/rooted_path.h"
#include "support/temp_dir.h"

namespace {

class PathListsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    create_settings();
    apply_environment();
    apply_defaults();
  }
  TempDir tree;
};

using Strings = std::vector<std::string>;

TEST_F(PathListsTest, PathArgumentSplitsIntoDirectoryAndPattern) {
  tree.mkdir("dir");
  tree.write("dir/report.doc", "x");
  add_path_argument(tree.at("dir/*.txt"));
  add_path_argument(tree.at("dir"));                // an existing directory: no pattern
  add_path_argument(tree.at("dir/*"));              // a directory and "*"
  add_path_argument(tree.at("dir/report.doc"));     // an existing file names itself
  add_path_argument(tree.at("dir/sub/../x?.log"));  // made absolute and normalised first
  EXPECT_EQ(settings.search_paths, Strings{tree.at("dir")});
  EXPECT_EQ(settings.file_patterns, (Strings{"*.txt", "*", "report.doc", "x?.log"}));
}

TEST_F(PathListsTest, PatternAtTheRootSearchesTheRootItself) {
  // Without its separator the root's text would name the current directory (of its drive).
  add_path_argument(rooted_path("*.txt"));
  add_path_argument(rooted_path(""));
  EXPECT_EQ(settings.search_paths, Strings{rooted_path("")});
  EXPECT_EQ(settings.file_patterns, Strings{"*.txt"});
}

TEST_F(PathListsTest, BarePatternTakesTheCurrentDirectory) {
  std::string here = os().current_directory();
  add_path_argument("*.c");
  ASSERT_EQ(settings.search_paths.size(), 1u);
  EXPECT_EQ(settings.search_paths[0],
            here.size() > 1 && here.back() == kSeparator ? here.substr(0, here.size() - 1) : here);
  EXPECT_EQ(settings.file_patterns, Strings{"*.c"});
}

TEST_F(PathListsTest, SearchPathDuplicatesAreExactAndFoundBeforeTheSeparatorGoes) {
  const std::string upper = rooted_path("data/WORK"), lower = rooted_path("data/work");
  add_search_path(upper);
  add_search_path(lower);               // another directory where names keep their case: added
  add_search_path(lower);               // the same text again: not added
  add_search_path(upper + kSeparator);  // compared with its separator: added again
  add_search_path(upper + kSeparator);  // and again: the stored texts have lost theirs
  add_search_path(rooted_path(""));     // the root keeps its separator
  add_search_path(rooted_path("data/./x/../WORK"));
  Strings expected = {upper};
  if (!kNamesIgnoreCase) expected.push_back(lower);
  expected.insert(expected.end(), {upper, upper, rooted_path("")});
  EXPECT_EQ(settings.search_paths, expected);
}

TEST_F(PathListsTest, PatternDuplicatesAreExactAndListsGrowPastFifteen) {
  add_file_pattern("*.c");
  add_file_pattern("*.c");
  add_file_pattern("*.C");
  EXPECT_EQ(settings.file_patterns, (Strings{"*.c", "*.C"}));
  for (int i = 0; i < 40; ++i) add_search_path(rooted_path("p/" + std::to_string(i)));
  EXPECT_EQ(settings.search_paths.size(), 40u);
  std::string long_path = rooted_path(std::string(300, 'a') + "/" + std::string(300, 'b'));
  add_search_path(long_path);
  EXPECT_EQ(settings.search_paths.back(), long_path);
}

}  // namespace
