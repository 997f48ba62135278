// Named streams of real files: user extended attributes set by the test.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "digest/file_digest.h"
#include "output/stream_record.h"
#include "run/run_state.h"
#include "run/settings.h"
#include "select/streams.h"
#include "support/captured_streams.h"
#include "support/temp_dir.h"

namespace {

constexpr char kMd5Abc[] = "900150983CD24FB0D6963F7D28E17F72";
constexpr char kMd5Empty[] = "D41D8CD98F00B204E9800998ECF8427E";

std::vector<std::string> sorted_lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    lines.push_back(text.substr(start, end - start));
  }
  std::sort(lines.begin(), lines.end());
  return lines;
}

class StreamsOnDisk : public ::testing::Test {
 protected:
  void SetUp() override {
    create_settings();
    apply_environment();
    apply_defaults();
    counters = RunCounters{};
    settings.name_only = 1;
    settings.name_only_width = 12;
    settings.path_only = 0;
    dir.write("a.txt", "main data");
    if (!set_xattr(dir.at("a.txt"), "user.probe", "")) {
      GTEST_SKIP() << "no user attributes where the scratch directory lies";
    }
    ASSERT_TRUE(remove_xattr(dir.at("a.txt"), "user.probe"));
  }

  std::string line(const std::string& name, const std::string& digest, long long size) {
    char text[200];
    std::snprintf(text, sizeof text, "%-12s %40s %12lld ", name.c_str(), digest.c_str(), size);
    return text;
  }

  // `name` in the scratch directory, as the walk would hand it on.
  void list(const std::string& name) {
    DirEntry entry;
    entry.name = name;
    list_file_streams(here(), entry);
  }
  Directory here() const { return Directory{dir.path() + "/", nullptr}; }

  TempDir dir;
  CapturedStreams streams;
};

}  // namespace

TEST_F(StreamsOnDisk, EachUserAttributeIsAStreamWithItsOwnDigestAndSize) {
  std::string file = dir.at("a.txt");
  ASSERT_TRUE(set_xattr(file, "user.summary", "abc"));
  ASSERT_TRUE(set_xattr(file, "user.empty", ""));
  list("a.txt");
  EXPECT_EQ(sorted_lines(streams.output()),
            (std::vector<std::string>{line("a.txt:empty", kMd5Empty, 0),
                                      line("a.txt:summary", kMd5Abc, 3)}));
  EXPECT_EQ(counters.stream_count, 2);
  EXPECT_EQ(counters.file_count, 2);
  EXPECT_EQ(counters.byte_total, 3);
}

TEST_F(StreamsOnDisk, AFileWithoutUserAttributesHasNoStreams) {
  std::string file = dir.at("a.txt");
  // Attributes outside the user class are no streams (the test runs as root where it can).
  set_xattr(file, "trusted.hidden", "abc");
  list("a.txt");
  EXPECT_EQ(streams.output(), "");
  EXPECT_EQ(counters.stream_count, 0);
  EXPECT_EQ(count_streams(here(), "missing.txt"), 0);
}

TEST_F(StreamsOnDisk, UntrustedNamesAreListedWholeAndNeverSplitARecord) {
  std::string file = dir.at("a.txt");
  // A name with control characters is escaped, its record marked by a leading backslash.
  const struct {
    std::string name;
    std::string mark;
    std::string shown;
  } cases[] = {
      {"with space", "", "with space"},
      {"a:b", "", "a:b"},
      {"caf\xc3\xa9", "", "caf\xc3\xa9"},
      {"\xff\xfe%s%n", "", "\xff\xfe%s%n"},
      {"forged\nline\r", "\\", "forged\\nline\\r"},
  };
  std::vector<std::string> expected;
  for (const auto& c : cases) {
    ASSERT_TRUE(set_xattr(file, "user." + c.name, "abc"));
    expected.push_back(c.mark + line("a.txt:" + c.shown, kMd5Abc, 3));
  }
  std::sort(expected.begin(), expected.end());
  ASSERT_EQ(count_streams(here(), "a.txt"), 5);
  list("a.txt");
  EXPECT_EQ(sorted_lines(streams.output()), expected);
}

TEST_F(StreamsOnDisk, TheLargestValueIsReadWhole) {
  std::string file = dir.at("a.txt");
  // The largest value this file system takes, found by halving the gap.
  std::size_t good = 0;
  std::size_t bad = 1 << 17;
  while (bad - good > 1) {
    std::size_t mid = (good + bad) / 2;
    (set_xattr(file, "user.big", std::string(mid, 'v')) ? good : bad) = mid;
  }
  std::string value(good, '\0');
  for (std::size_t i = 0; i < good; ++i) value[i] = static_cast<char>(i * 7 + 3);
  ASSERT_TRUE(set_xattr(file, "user.big", value));
  dir.write("copy", value);

  list("a.txt");
  DigestRequest md5;
  md5.md5 = true;
  EXPECT_EQ(streams.output(),
            line("a.txt:big", digest_path(dir.at("copy"), md5).texts.md5, good) + "\n");
  EXPECT_EQ(counters.byte_total, static_cast<std::int64_t>(good));
}

TEST_F(StreamsOnDisk, AStreamIsItsCarriersNeverASiblingFileOfTheSameText) {
  // On this system ':' is an ordinary character: "a.txt:summary" may be a file of its own.
  ASSERT_TRUE(set_xattr(dir.at("a.txt"), "user.summary", "abc"));
  dir.write("a.txt:summary", "the sibling's own bytes");
  list("a.txt");
  EXPECT_EQ(streams.output(), line("a.txt:summary", kMd5Abc, 3) + "\n");
}
