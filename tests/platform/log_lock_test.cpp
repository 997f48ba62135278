#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "platform/child_process.h"
#include "platform/posix/posix_platform.h"
#include "support/temp_dir.h"

TEST(LogLock, HeldAgainstASecondProcessUntilReleased) {
  TempDir dir;
  std::string log = dir.at("runs.log");
  PosixPlatform platform;
  auto other_process_locks = [&] {
    return run_in_child([&] {
      PosixPlatform other;
      std::string why;
      return other.acquire_log_lock(log, &why) ? 1 : why == "In use by another process" ? 0 : 2;
    });
  };
  ASSERT_TRUE(platform.acquire_log_lock(log, nullptr));
  EXPECT_TRUE(std::filesystem::exists(log));
  EXPECT_TRUE(platform.acquire_log_lock(log, nullptr));  // asking again keeps the same lock
  EXPECT_EQ(other_process_locks(), 0);
  platform.release_log_lock();
  EXPECT_EQ(other_process_locks(), 1);
  std::string why;
  EXPECT_FALSE(platform.acquire_log_lock(dir.at("no/such/dir/runs.log"), &why));
  EXPECT_EQ(why, std::strerror(ENOENT));
  EXPECT_FALSE(platform.acquire_log_lock(dir.path(), &why));  // a directory cannot be a log
  EXPECT_EQ(why, std::strerror(EISDIR));
}
