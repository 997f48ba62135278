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

TEST(FileTimesOnDisk, SearchAndHandleReadTheStampsOfARealFile) {
  TempDir dir;
  dir.write("a.txt", "abc");
  set_times(dir.at("a.txt"), kAccess, kWrite);
  FileTimes by_search, by_handle;
  ASSERT_EQ(times_by_search(dir.at("a.txt"), &by_search, 1), 0);
  ASSERT_EQ(times_by_handle(dir.at("a.txt"), &by_handle, 1), 0);
  for (const FileTimes* t : {&by_search, &by_handle}) {
    EXPECT_EQ(t->raw_last_write, raw(kWrite));
    EXPECT_EQ(t->raw_last_access, raw(kAccess));
    EXPECT_EQ(t->last_write.year, 2005);
    EXPECT_EQ(t->last_write.hour, 13);
    EXPECT_EQ(t->last_access.month, 12);
    EXPECT_EQ(t->last_access.second, 58);
  }
  FileTimes none;
  EXPECT_EQ(times_by_search(dir.at("missing.txt"), &none, 1), 1);
  EXPECT_EQ(times_by_handle(dir.at("missing.txt"), &none, 1), 1);
}

TEST(FileTimesOnDisk, ResetPutsTimesBackAndAReadOnlyFileStaysReadOnly) {
  TempDir dir;
  dir.write("ro.txt", "abc");
  const std::string path = dir.at("ro.txt");
  set_times(path, kAccess + 500, kWrite + 500);  // what reading and writing left
  ASSERT_EQ(chmod(path.c_str(), 0444), 0);

  // No birth time can be set here; that is not a failure.
  EXPECT_EQ(reset_file_times(path, raw(kAccess - 99), raw(kAccess), raw(kWrite)), 0);
  struct stat info {};
  ASSERT_EQ(stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_atim.tv_sec, kAccess);
  EXPECT_EQ(info.st_mtim.tv_sec, kWrite);
  EXPECT_EQ(info.st_mode & 07777, 0444u);

  EXPECT_EQ(reset_file_times(dir.at("missing.txt"), 0, raw(kAccess), raw(kWrite)), 1);
}

}  // namespace
