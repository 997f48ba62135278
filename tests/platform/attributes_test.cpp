#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/xattr.h>

#include "platform/posix/posix_platform.h"
#include "support/temp_dir.h"

namespace {

mode_t mode_of(const std::string& path) {
  struct stat info {};
  EXPECT_EQ(stat(path.c_str(), &info), 0);
  return info.st_mode & 07777;
}

FileTime ticks(std::int64_t seconds, std::int64_t hundreds_of_ns) {
  return static_cast<FileTime>((seconds + 11644473600LL) * 10000000LL + hundreds_of_ns);
}

}  // namespace

TEST(FileTimes, SetTimesReadBackExactlyAndZeroLeavesATime) {
  TempDir dir;
  dir.write("f", "x");
  ASSERT_EQ(symlink("f", dir.at("link").c_str()), 0);
  PosixPlatform platform;
  struct Case {
    FileTime access;
    FileTime write;
  } cases[] = {
      {ticks(1000000000, 1234567), ticks(1200000000, 9999999)},
      {ticks(-86400, 5), ticks(0, 0)},        // before 1970
      {ticks(4102444800LL, 1), ticks(1, 1)},  // 2100
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(platform.set_file_times(dir.at("link"), 12345, c.access, c.write));
    FileTime creation = 1, access = 0, write = 0;
    ASSERT_TRUE(platform.file_times(dir.at("f"), &creation, &access, &write));
    EXPECT_EQ(access, c.access);
    EXPECT_EQ(write, c.write);
    EXPECT_NE(creation, 12345u);  // the creation time is not settable, and not a failure
  }
  ASSERT_TRUE(platform.set_file_times(dir.at("f"), 0, 0, ticks(5, 0)));
  FileTime access = 0, write = 0;
  ASSERT_TRUE(platform.file_times(dir.at("f"), nullptr, &access, &write));
  EXPECT_EQ(access, cases[2].access);
  EXPECT_EQ(write, ticks(5, 0));
  EXPECT_FALSE(platform.file_times(dir.at("missing"), nullptr, &access, &write));
  EXPECT_FALSE(platform.set_file_times(dir.at("missing"), 0, access, write));
}

TEST(FileTimes, StreamPathsUseTheirCarrier) {
  TempDir dir;
  dir.write("f", "x");
  ASSERT_EQ(setxattr(dir.at("f").c_str(), "user.s", "v", 1, 0), 0);
  PosixPlatform platform;
  ASSERT_TRUE(platform.set_file_times(dir.at("f:s"), 0, ticks(7, 0), ticks(8, 0)));
  FileTime file_times[3] = {}, stream_times[3] = {};
  ASSERT_TRUE(platform.file_times(dir.at("f"), &file_times[0], &file_times[1], &file_times[2]));
  ASSERT_TRUE(
      platform.file_times(dir.at("f:s"), &stream_times[0], &stream_times[1], &stream_times[2]));
  EXPECT_EQ(file_times[1], ticks(7, 0));
  EXPECT_EQ(file_times[2], ticks(8, 0));
  EXPECT_TRUE(std::equal(file_times, file_times + 3, stream_times));
  EXPECT_EQ(platform.get_attributes(dir.at("f:s")), platform.get_attributes(dir.at("f")));
}

TEST(Attributes, ReadOnlyBitFollowsOwnerWritePermissionAndRoundTrips) {
  TempDir dir;
  dir.write("locked", "x");
  dir.write(".dotfile", "x");
  dir.mkdir("sub");
  chmod(dir.at("locked").c_str(), 0464);
  PosixPlatform platform;
  std::uint32_t saved = platform.get_attributes(dir.at("locked"));
  EXPECT_EQ(saved, kAttrReadOnly);
  ASSERT_TRUE(platform.set_attributes(dir.at("locked"), saved & ~kAttrReadOnly));
  EXPECT_EQ(mode_of(dir.at("locked")), 0664u);
  EXPECT_EQ(platform.get_attributes(dir.at("locked")), kAttrNormal);
  ASSERT_TRUE(platform.set_attributes(dir.at("locked"), saved));
  EXPECT_EQ(mode_of(dir.at("locked")), 0464u);  // exactly as before, not just "read-only"
  EXPECT_EQ(platform.get_attributes(dir.at(".dotfile")), kAttrHidden);
  EXPECT_EQ(platform.get_attributes(dir.at("sub/")), kAttrDirectory);
  EXPECT_EQ(platform.get_attributes(dir.at("missing")), kInvalidAttributes);
  EXPECT_FALSE(platform.set_attributes(dir.at("missing"), kAttrNormal));
}
