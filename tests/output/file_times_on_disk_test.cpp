// File times against real files through the native platform.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "output/file_times.h"
#include "support/temp_dir.h"

namespace {

constexpr std::int64_t kWrite = 1104673510;   // 2005-01-02 13:45:10 UTC
constexpr std::int64_t kAccess = 1104537598;  // 2004-12-31 23:59:58 UTC

FileTime raw(std::int64_t seconds) {
  return static_cast<FileTime>(seconds + static_cast<std::int64_t>(kEpochDifferenceSeconds)) *
         kFileTimeTicksPerSecond;
}

void set_times(const std::string& path, std::int64_t access, std::int64_t write) {
  const timespec times[2] = {{access, 0}, {write, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

// The directory of a scratch tree as the walk holds it: path with its separator, no handle.
Directory folder(const TempDir& dir) {
  return Directory{dir.path() + "/"};
}

TEST(FileTimesOnDisk, TheStampsOfARealFileAreReadThroughItsDirectory) {
  TempDir dir;
  dir.write("a.txt", "abc");
  set_times(dir.at("a.txt"), kAccess, kWrite);
  FileTimes t;
  ASSERT_EQ(times_by_handle(folder(dir), "a.txt", &t, 1), 0);
  EXPECT_EQ(t.raw_last_write, raw(kWrite));
  EXPECT_EQ(t.raw_last_access, raw(kAccess));
  EXPECT_EQ(t.last_write.year, 2005);
  EXPECT_EQ(t.last_write.hour, 13);
  EXPECT_EQ(t.last_access.month, 12);
  EXPECT_EQ(t.last_access.second, 58);
  FileTimes none;
  EXPECT_EQ(times_by_handle(folder(dir), "missing.txt", &none, 1), 1);
}

TEST(FileTimesOnDisk, ResetPutsTimesBackAndAReadOnlyFileStaysReadOnly) {
  TempDir dir;
  dir.write("ro.txt", "abc");
  const std::string path = dir.at("ro.txt");
  set_times(path, kAccess + 500, kWrite + 500);  // what reading and writing left
  ASSERT_EQ(chmod(path.c_str(), 0444), 0);

  // No birth time can be set here; that is not a failure.
  DirEntry found;
  found.creation = raw(kAccess - 99);
  found.last_access = raw(kAccess);
  found.last_write = raw(kWrite);
  found.last_access_ns = 42;  // kept below the 100-ns unit where the system has it
  EXPECT_EQ(reset_file_times(folder(dir), "ro.txt", found), 0);
  struct stat info {};
  ASSERT_EQ(stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_atim.tv_sec, kAccess);
  EXPECT_EQ(info.st_mtim.tv_sec, kWrite);
  EXPECT_EQ(info.st_atim.tv_nsec, 42);
  EXPECT_EQ(info.st_mtim.tv_nsec, 0);
  EXPECT_EQ(info.st_mode & 07777, 0444u);

  EXPECT_EQ(reset_file_times(folder(dir), "missing.txt", found), 1);
}

}  // namespace
