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

// The stamps go back through the open file: exactly as given, before 1970 and after 2038, on
// a file opened through a link (its target), on a read-only file, and a 0 leaves a stamp.
TEST(FileTimes, StampsGoBackExactlyThroughTheOpenFileAndZeroLeavesAStamp) {
  TempDir dir;
  dir.write("f", "x");
  ASSERT_EQ(symlink("f", dir.at("link").c_str()), 0);
  ASSERT_EQ(chmod(dir.at("f").c_str(), 0444), 0);
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
    InputHandle input =
        platform.open_file(open.dir(), "link", InputAccess::kReadAndRestoreTimes, nullptr);
    ASSERT_NE(input, nullptr);
    EXPECT_TRUE(
        platform.set_input_times(input, found_times(c.access, c.access_ns, c.write, c.write_ns)));
    // What the open file reports afterwards is exactly what was written.
    DirEntry facts;
    ASSERT_TRUE(platform.input_facts(input, &facts));
    platform.close_input(input);
    auto [access, write] = stamps_of(dir.at("f"));
    EXPECT_EQ(access.tv_sec, c.access_seconds);
    EXPECT_EQ(access.tv_nsec, c.access_nanoseconds);
    EXPECT_EQ(write.tv_sec, c.write_seconds);
    EXPECT_EQ(write.tv_nsec, c.write_nanoseconds);
    EXPECT_EQ(facts.last_access, c.access);
    EXPECT_EQ(facts.last_access_ns, c.access_ns);
    EXPECT_EQ(facts.last_write, c.write);
    EXPECT_EQ(facts.last_write_ns, c.write_ns);
    EXPECT_NE(facts.creation, 12345u);  // the creation time is not settable, and not a failure
  }
  InputHandle input = platform.open_file(open.dir(), "f", InputAccess::kRead, nullptr);
  ASSERT_NE(input, nullptr);
  EXPECT_TRUE(platform.set_input_times(input, found_times(0, 0, ticks(5, 0), 3)));
  platform.close_input(input);
  auto [access, write] = stamps_of(dir.at("f"));
  EXPECT_EQ(access.tv_sec, 4102444800LL);
  EXPECT_EQ(write.tv_sec, 5);
  EXPECT_EQ(write.tv_nsec, 3);
  EXPECT_FALSE(platform.set_input_times(nullptr, found_times(0, 0, 1, 0)));
}

// A stream's stamps are its carrier's, put back through the carrier's own descriptor: a
// directory's for a directory's stream.
TEST(FileTimes, AStreamsStampsGoBackToItsCarrier) {
  TempDir dir;
  dir.mkdir("sub");
  if (!set_xattr(dir.at("sub"), "user.note", "text")) GTEST_SKIP() << "no user attributes here";
  PosixPlatform platform;
  OpenDirectory sub(platform, dir.at("sub"));
  InputHandle stream =
      platform.open_stream(sub.dir(), "", "note", InputAccess::kReadAndRestoreTimes);
  ASSERT_NE(stream, nullptr);
  EXPECT_TRUE(platform.set_input_times(stream, found_times(ticks(7, 0), 7, ticks(8, 0), 8)));
  platform.close_input(stream);
  auto [access, write] = stamps_of(dir.at("sub"));
  EXPECT_EQ(access.tv_sec, 7);
  EXPECT_EQ(access.tv_nsec, 7);
  EXPECT_EQ(write.tv_sec, 8);
  EXPECT_EQ(write.tv_nsec, 8);
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
