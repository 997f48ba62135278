#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/xattr.h>

#include "platform/open_directory.h"
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

// The access and write stamps of a path as the system keeps them.
std::pair<timespec, timespec> stamps_of(const std::string& path) {
  struct stat info {};
  EXPECT_EQ(stat(path.c_str(), &info), 0) << path;
  return {info.st_atim, info.st_mtim};
}

DirEntry found_times(FileTime access, int access_ns, FileTime write, int write_ns) {
  DirEntry found;
  found.creation = 12345;
  found.last_access = access;
  found.last_access_ns = static_cast<std::uint8_t>(access_ns);
  found.last_write = write;
  found.last_write_ns = static_cast<std::uint8_t>(write_ns);
  return found;
}

}  // namespace

TEST(FileTimes, SetTimesPutBackExactlyWhatWasListedAndZeroLeavesAStamp) {
  TempDir dir;
  dir.write("f", "x");
  ASSERT_EQ(symlink("f", dir.at("link").c_str()), 0);
  PosixPlatform platform;
  OpenDirectory open(platform, dir.path());
  struct Case {
    FileTime access;
    int access_ns;
    FileTime write;
    int write_ns;
    long long access_seconds, access_nanoseconds, write_seconds, write_nanoseconds;
  } cases[] = {
      {ticks(1000000000, 1234567), 0, ticks(1200000000, 1234567), 89,  //
       1000000000, 123456700, 1200000000, 123456789},
      {ticks(-86400, 5), 99, ticks(0, 0), 1, -86400, 599, 0, 1},  // before 1970
      {ticks(4102444800LL, 9999999), 99, ticks(1, 1), 0,          // 2100
       4102444800LL, 999999999, 1, 100},
  };
  for (const Case& c : cases) {
    // Through the link, as the listing shows it: the target's stamps change.
    ASSERT_TRUE(platform.set_file_times(open.dir(), "link",
                                        found_times(c.access, c.access_ns, c.write, c.write_ns)));
    auto [access, write] = stamps_of(dir.at("f"));
    EXPECT_EQ(access.tv_sec, c.access_seconds);
    EXPECT_EQ(access.tv_nsec, c.access_nanoseconds);
    EXPECT_EQ(write.tv_sec, c.write_seconds);
    EXPECT_EQ(write.tv_nsec, c.write_nanoseconds);
    // And a listing reads back the very values that were written.
    DirEntry facts;
    ASSERT_TRUE(platform.entry_facts(open.dir(), "f", &facts));
    EXPECT_EQ(facts.last_access, c.access);
    EXPECT_EQ(facts.last_access_ns, c.access_ns);
    EXPECT_EQ(facts.last_write, c.write);
    EXPECT_EQ(facts.last_write_ns, c.write_ns);
    EXPECT_NE(facts.creation, 12345u);  // the creation time is not settable, and not a failure
  }
  ASSERT_TRUE(platform.set_file_times(open.dir(), "f", found_times(0, 0, ticks(5, 0), 3)));
  auto [access, write] = stamps_of(dir.at("f"));
  EXPECT_EQ(access.tv_sec, 4102444800LL);
  EXPECT_EQ(write.tv_sec, 5);
  EXPECT_EQ(write.tv_nsec, 3);
  EXPECT_FALSE(platform.set_file_times(open.dir(), "missing", found_times(0, 0, 1, 0)));
}

TEST(FileTimes, ADirectorysOwnTimesAndDirectoriesWithoutAHandle) {
  TempDir dir;
  dir.mkdir("sub");
  dir.write("f", "x");
  PosixPlatform platform;
  OpenDirectory sub(platform, dir.at("sub"));
  ASSERT_TRUE(platform.set_file_times(sub.dir(), "", found_times(ticks(7, 0), 7, ticks(8, 0), 8)));
  auto [access, write] = stamps_of(dir.at("sub"));
  EXPECT_EQ(access.tv_sec, 7);
  EXPECT_EQ(access.tv_nsec, 7);
  EXPECT_EQ(write.tv_sec, 8);
  EXPECT_EQ(write.tv_nsec, 8);
  Directory by_path{dir.path() + "/", nullptr};
  ASSERT_TRUE(platform.set_file_times(by_path, "f", found_times(ticks(9, 1), 2, ticks(10, 3), 4)));
  std::tie(access, write) = stamps_of(dir.at("f"));
  EXPECT_EQ(access.tv_nsec, 102);
  EXPECT_EQ(write.tv_sec, 10);
  EXPECT_EQ(write.tv_nsec, 304);
}

TEST(Attributes, ReadOnlyBitFollowsOwnerWritePermissionAndRoundTrips) {
  TempDir dir;
  dir.write("locked", "x");
  dir.write(".dotfile", "x");
  dir.mkdir("sub");
  dir.mkdir(".hid");
  chmod(dir.at("locked").c_str(), 0464);
  PosixPlatform platform;
  OpenDirectory open(platform, dir.path());
  std::uint32_t saved = platform.get_attributes(open.dir(), "locked");
  EXPECT_EQ(saved, kAttrReadOnly);
  ASSERT_TRUE(platform.set_attributes(open.dir(), "locked", saved & ~kAttrReadOnly));
  EXPECT_EQ(mode_of(dir.at("locked")), 0664u);
  EXPECT_EQ(platform.get_attributes(open.dir(), "locked"), kAttrNormal);
  ASSERT_TRUE(platform.set_attributes(open.dir(), "locked", saved));
  EXPECT_EQ(mode_of(dir.at("locked")), 0464u);  // exactly as before, not just "read-only"
  EXPECT_EQ(platform.get_attributes(open.dir(), ".dotfile"), kAttrHidden);
  EXPECT_EQ(platform.get_attributes(open.dir(), "sub"), kAttrDirectory);
  EXPECT_EQ(platform.get_attributes(open.dir(), "missing"), kInvalidAttributes);
  EXPECT_FALSE(platform.set_attributes(open.dir(), "missing", kAttrNormal));
  // A directory's own bits, through its handle or its path.
  OpenDirectory hid(platform, dir.at(".hid"));
  EXPECT_EQ(platform.get_attributes(hid.dir(), ""), kAttrDirectory | kAttrHidden);
  ASSERT_TRUE(platform.set_attributes(hid.dir(), "", kAttrDirectory | kAttrReadOnly));
  EXPECT_EQ(mode_of(dir.at(".hid")) & S_IWUSR, 0u);
  Directory by_path{dir.at(".hid/"), nullptr};
  EXPECT_EQ(platform.get_attributes(by_path, ""), kAttrDirectory | kAttrHidden | kAttrReadOnly);
  ASSERT_TRUE(platform.set_attributes(by_path, "", kAttrDirectory));
  EXPECT_NE(mode_of(dir.at(".hid")) & S_IWUSR, 0u);
}
