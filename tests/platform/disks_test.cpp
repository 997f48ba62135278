#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "platform/posix/posix_platform.h"
#include "support/temp_dir.h"

TEST(Disks, RemovableFlagOfADeviceOrOfAPartitionsDisk) {
  // A miniature sysfs: a removable disk sdb and a fixed disk sda, one partition each.
  TempDir sys;
  sys.write("block/sdb/removable", "1\n");
  sys.mkdir("block/sdb/sdb1");
  sys.write("block/sda/removable", "0\n");
  sys.mkdir("block/sda/sda1");
  sys.mkdir("dev/block");
  for (auto [device, target] :
       {std::pair{"8:16", "sdb"}, {"8:17", "sdb/sdb1"}, {"8:0", "sda"}, {"8:1", "sda/sda1"}}) {
    std::string link = sys.at(std::string("dev/block/") + device);
    ASSERT_EQ(symlink((std::string("../../block/") + target).c_str(), link.c_str()), 0);
  }
  struct Case {
    unsigned major, minor;
    bool removable;
  } cases[] = {{8, 16, true}, {8, 17, true}, {8, 0, false}, {8, 1, false}, {9, 9, false}};
  for (const Case& c : cases) {
    EXPECT_EQ(posix::device_is_removable(sys.path(), c.major, c.minor), c.removable)
        << c.major << ":" << c.minor;
  }
  PosixPlatform platform;
  EXPECT_FALSE(platform.is_removable_drive("/proc"));  // no block device at all
}

TEST(Disks, FreeBytesForExistingAndNewFiles) {
  TempDir dir;
  PosixPlatform platform;
  struct statvfs info {};
  ASSERT_EQ(statvfs(dir.path().c_str(), &info), 0);
  std::uint64_t total = static_cast<std::uint64_t>(info.f_blocks) * info.f_frsize;
  std::uint64_t free_bytes = 0;
  ASSERT_TRUE(platform.disk_free_bytes(dir.path(), &free_bytes));
  EXPECT_GT(free_bytes, 0u);
  EXPECT_LE(free_bytes, total);
  free_bytes = 0;
  ASSERT_TRUE(platform.disk_free_bytes(dir.at("not-yet-written.txt"), &free_bytes));
  EXPECT_GT(free_bytes, 0u);
  EXPECT_FALSE(platform.disk_free_bytes(dir.at("no/such/dir/file"), &free_bytes));
}

// A run that is not the superuser's cannot fill the blocks kept back for it: counting them
// would let the disk fill before the change of disk comes.
TEST(Disks, FreeBytesAreWhatTheCallerMayWrite) {
  TempDir dir;
  PosixPlatform platform;
  struct statvfs before {};
  struct statvfs after {};
  std::uint64_t free_bytes = 0;
  ASSERT_EQ(statvfs(dir.path().c_str(), &before), 0);
  ASSERT_TRUE(platform.disk_free_bytes(dir.path(), &free_bytes));
  ASSERT_EQ(statvfs(dir.path().c_str(), &after), 0);
  // Others write on this disk meanwhile: allow what they changed, and 64 MiB more.
  const std::uint64_t slack = 64ull << 20;
  EXPECT_GE(free_bytes + slack, std::min(before.f_bavail, after.f_bavail) * before.f_frsize);
  EXPECT_LE(free_bytes, std::max(before.f_bavail, after.f_bavail) * before.f_frsize + slack);
}

TEST(Disks, TruncateShortensAndExtends) {
  TempDir dir;
  dir.write("f", std::string(100, 'x'));
  PosixPlatform platform;
  ASSERT_TRUE(platform.truncate_file(dir.at("f"), 10));
  EXPECT_EQ(read_file(dir.at("f")), std::string(10, 'x'));
  ASSERT_TRUE(platform.truncate_file(dir.at("f"), 50));
  EXPECT_EQ(std::filesystem::file_size(dir.at("f")), 50u);
  EXPECT_FALSE(platform.truncate_file(dir.at("missing"), 0));
  EXPECT_FALSE(platform.truncate_file(dir.at("f"), UINT64_MAX));
}
