// File times against real files through the native platform.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>

#include "digest/file_digest.h"
#include "output/file_times.h"
#include "support/file_stamps.h"
#include "support/platform_double.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

constexpr std::int64_t kWrite = 1104673510;   // 2005-01-02 13:45:10 UTC
constexpr std::int64_t kAccess = 1104537598;  // 2004-12-31 23:59:58 UTC

FileTime raw(std::int64_t seconds) {
  return static_cast<FileTime>(seconds + static_cast<std::int64_t>(kEpochDifferenceSeconds)) *
         kFileTimeTicksPerSecond;
}

// The directory of a scratch tree as the walk holds it: path with its separator, no handle.
Directory folder(const TempDir& dir) {
  return Directory{dir.path() + kSeparator};
}

TEST(FileTimesOnDisk, TheStampsOfARealFileAreReadThroughItsDirectory) {
  TempDir dir;
  dir.write("a.txt", "abc");
  ASSERT_TRUE(set_stamps(dir.at("a.txt"), {kAccess, 0}, {kWrite, 0}));
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

// The stamps go back through the handle the file was read from, exactly as they were when it
// was reached, on a read-only file too; reading leaves the access time before the write time,
// so a system that keeps access times moves it and only the putting back brings it home.
TEST(FileTimesOnDisk, ReadingWithResetPutsTheStampsBackAndAReadOnlyFileStaysReadOnly) {
  TempDir dir;
  dir.write("ro.txt", "abc");
  const std::string path = dir.at("ro.txt");
  ASSERT_TRUE(set_stamps(path, {kAccess, 342}, {kWrite, 7}));
  const fs::perms writable =
      fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
  fs::permissions(path, writable, fs::perm_options::remove);

  DigestRequest request;
  request.md5 = true;
  request.reset_times = true;
  DirEntry listed;
  listed.name = "ro.txt";
  DigestResult result = digest_file(folder(dir), listed, request);
  EXPECT_EQ(result.outcome, DigestOutcome::kDone);
  EXPECT_FALSE(result.reset_failed);
  DiskStamp access;
  DiskStamp write;
  ASSERT_TRUE(read_stamps(path, &access, &write));
  if (opening_keeps_access_time()) {
    EXPECT_EQ(access.seconds, kAccess);
    EXPECT_EQ(access.nanoseconds, kStampsKeepSubTicks ? 342 : 300);
  }
  EXPECT_EQ(write.seconds, kWrite);
  EXPECT_EQ(write.nanoseconds, kStampsKeepSubTicks ? 7 : 0);
  const fs::perms left = fs::status(path).permissions();
  EXPECT_EQ(left & writable, fs::perms::none);
  EXPECT_NE(left & fs::perms::owner_read, fs::perms::none);

  // Nothing read, nothing to put back: a file that is not there fails nothing.
  listed.name = "missing.txt";
  DigestResult missing = digest_file(folder(dir), listed, request);
  EXPECT_EQ(missing.outcome, DigestOutcome::kGone);
  EXPECT_FALSE(missing.reset_failed);
  fs::permissions(path, fs::perms::owner_write, fs::perm_options::add);  // so it can go
}

// Swaps the file being read for a link to another file at its first read, the way someone who
// may write the directory could while a privileged run reads it.
class SwapWhileReading : public PassThroughPlatform {
 public:
  SwapWhileReading(std::string path, std::string target)
      : path_(std::move(path)), target_(std::move(target)) {
    set_platform(this);
  }
  ~SwapWhileReading() override { set_platform(nullptr); }
  long long read_input(InputHandle input, void* buffer, std::size_t count) override {
    if (!swapped_) {
      swapped_ = true;
      fs::rename(path_, path_ + ".moved");
      fs::create_symlink(target_, path_);
    }
    return PassThroughPlatform::read_input(input, buffer, count);
  }

 private:
  std::string path_;
  std::string target_;
  bool swapped_ = false;
};

// The stamps go back on the file that was read, never through the name it had: a file swapped
// for a link meanwhile leads them nowhere else.
TEST(FileTimesOnDisk, AFileSwappedForALinkWhileItIsReadKeepsTheResetOffTheLinksTarget) {
#ifdef _WIN32
  GTEST_SKIP() << "Wine makes no symbolic links";
#endif
  TempDir dir;
  dir.write("read.txt", "read by the run");
  dir.write("victim.txt", "anyone's file");
  ASSERT_TRUE(set_stamps(dir.at("read.txt"), {kAccess, 0}, {kWrite, 0}));
  ASSERT_TRUE(set_stamps(dir.at("victim.txt"), {kAccess + 7, 0}, {kWrite + 7, 0}));
  DigestRequest request;
  request.md5 = true;
  request.reset_times = true;
  DirEntry listed;
  listed.name = "read.txt";
  {
    SwapWhileReading swap(dir.at("read.txt"), dir.at("victim.txt"));
    digest_file(folder(dir), listed, request);
  }
  DiskStamp access;
  DiskStamp write;
  ASSERT_TRUE(read_stamps(dir.at("victim.txt"), &access, &write));
  EXPECT_EQ(access.seconds, kAccess + 7);
  EXPECT_EQ(write.seconds, kWrite + 7);
  ASSERT_TRUE(read_stamps(dir.at("read.txt.moved"), &access, &write));
  EXPECT_EQ(access.seconds, kAccess);
  EXPECT_EQ(write.seconds, kWrite);
}

}  // namespace
