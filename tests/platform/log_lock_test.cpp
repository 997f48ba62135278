#include <gtest/gtest.h>

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
      return other.acquire_log_lock(log) ? 1 : 0;
    });
  };
  ASSERT_TRUE(platform.acquire_log_lock(log));
  EXPECT_TRUE(std::filesystem::exists(log));
  EXPECT_TRUE(platform.acquire_log_lock(log));  // asking again keeps the same lock
  EXPECT_EQ(other_process_locks(), 0);
  platform.release_log_lock();
  EXPECT_EQ(other_process_locks(), 1);
  EXPECT_FALSE(platform.acquire_log_lock(dir.at("no/such/dir/runs.log")));
  EXPECT_FALSE(platform.acquire_log_lock(dir.path()));  // a directory cannot be a log
}
