#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "platform/posix/posix_platform.h"
#include "support/temp_dir.h"

namespace {

// Runs in `dir` and goes back to where it was.
class InDirectory {
 public:
  explicit InDirectory(const std::string& dir) : saved_(std::filesystem::current_path()) {
    std::filesystem::current_path(dir);
  }
  ~InDirectory() { std::filesystem::current_path(saved_); }

 private:
  std::filesystem::path saved_;
};

}  // namespace

TEST(FullPath, NormalisesLexicallyAndKeepsATrailingSeparator) {
  std::string long_name(300, 'n');
  struct Case {
    std::string path;
    std::string expected;
  } cases[] = {
      {"", "/home/u"},
      {".", "/home/u"},
      {"a/b", "/home/u/a/b"},
      {"a/", "/home/u/a/"},
      {"a/..", "/home/u"},
      {"../x", "/home/x"},
      {"../../../..", "/"},
      {"/a//b/./c/../d", "/a/b/d"},
      {"/a/b/", "/a/b/"},
      {"/a/b/..", "/a"},
      {"/", "/"},
      {"//", "/"},
      {"file:stream", "/home/u/file:stream"},
      {long_name + "/" + long_name, "/home/u/" + long_name + "/" + long_name},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(posix::normalise_path("/home/u", c.path), c.expected) << c.path;
  }
}

TEST(FullPath, RelativeToTheCurrentDirectoryWithoutResolvingLinks) {
  TempDir dir;
  dir.mkdir("real");
  ASSERT_EQ(symlink("real", dir.at("alias").c_str()), 0);
  InDirectory here(dir.path());
  PosixPlatform platform;
  std::string out;
  EXPECT_EQ(platform.current_directory(), std::filesystem::current_path().string());
  ASSERT_TRUE(platform.full_path("alias/../x", &out));
  EXPECT_EQ(out, dir.at("x"));
  ASSERT_TRUE(platform.full_path("", &out));
  EXPECT_EQ(out, dir.path());
  ASSERT_TRUE(platform.full_path("/etc/./passwd", &out));
  EXPECT_EQ(out, "/etc/passwd");
}

TEST(Paths, NamesFoundWithoutCasePreferExactThenLowestByteOrder) {
  TempDir dir;
  for (const char* name : {"Config.INI", "b", "B", "xY", "XY", "Xy"}) dir.write(name, "");
  PosixPlatform platform;
  EXPECT_EQ(platform.find_name_ignoring_case(dir.path(), "b"), "b");
  EXPECT_EQ(platform.find_name_ignoring_case(dir.path(), "B"), "B");
  EXPECT_EQ(platform.find_name_ignoring_case(dir.path(), "config.ini"), "Config.INI");
  EXPECT_EQ(platform.find_name_ignoring_case(dir.path(), "xy"), "XY");
  EXPECT_EQ(platform.find_name_ignoring_case(dir.path(), "missing"), "");
  EXPECT_EQ(platform.find_name_ignoring_case(dir.at("nodir"), "b"), "");
}

TEST(Paths, FactsAndDirectoriesFollowLinksToFilesAndDirectoriesOnly) {
  TempDir dir;
  dir.write(".file", "12345");
  dir.mkdir("sub");
  ASSERT_EQ(mkfifo(dir.at("pipe").c_str(), 0644), 0);
  ASSERT_EQ(symlink("sub", dir.at("dirlink").c_str()), 0);
  ASSERT_EQ(symlink(".file", dir.at("filelink").c_str()), 0);
  ASSERT_EQ(symlink("gone", dir.at("dangling").c_str()), 0);
  struct timespec times[2] = {{1000000000, 0}, {1000000001, 999999999}};
  ASSERT_EQ(utimensat(AT_FDCWD, dir.at(".file").c_str(), times, 0), 0);
  PosixPlatform platform;
  EXPECT_TRUE(platform.is_directory(dir.at("sub")));
  EXPECT_TRUE(platform.is_directory(dir.at("dirlink")));
  EXPECT_FALSE(platform.is_directory(dir.at(".file")));
  struct Case {
    std::string path;
    bool found;
    std::uint32_t attributes;
    std::int64_t size;
  } cases[] = {
      {dir.at(".file"), true, kAttrHidden, 5},
      {dir.at("filelink"), true, kAttrNormal, 5},  // named as the link, sized as its file
      {dir.at("sub/"), true, kAttrDirectory, 0},
      {dir.at("dirlink"), true, kAttrDirectory, 0},
      {dir.at("pipe"), false, 0, 0},
      {"/dev/null", false, 0, 0},
      {dir.at("dangling"), false, 0, 0},
      {dir.at("missing"), false, 0, 0},
      {"", false, 0, 0},
  };
  for (const Case& c : cases) {
    DirEntry facts;
    ASSERT_EQ(platform.path_facts(c.path, &facts), c.found) << c.path;
    if (!c.found) continue;
    EXPECT_EQ(facts.attributes, c.attributes) << c.path;
    EXPECT_EQ(facts.size, c.size) << c.path;
  }
  DirEntry facts;
  ASSERT_TRUE(platform.path_facts(dir.at(".file"), &facts));
  EXPECT_EQ(facts.name, ".file");
  EXPECT_EQ(facts.last_write, (1000000001ULL + 11644473600ULL) * 10000000ULL + 9999999);
  EXPECT_EQ(facts.last_write_ns, 99);
}

TEST(Paths, VolumeKindAndModulePath) {
  TempDir dir;
  PosixPlatform platform;
  EXPECT_EQ(platform.volume_kind(dir.path()), 2);  // ext4 or tmpfs
  EXPECT_EQ(platform.volume_kind("/proc"), 1);
  EXPECT_EQ(platform.volume_kind(dir.at("missing")), 1);
  std::string self = platform.module_path();
  EXPECT_EQ(std::filesystem::path(self).filename(), "tallysum_tests");
  EXPECT_TRUE(std::filesystem::is_regular_file(self));
}
