#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

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

// A named pipe or a socket would carry the entries away: refused, and without waiting for a
// reader of the pipe (the child's alarm ends a wait). A device stays the user's choice.
TEST(LogLock, PipesAndSocketsAreNoLogButDevicesAre) {
  TempDir dir;
  PosixPlatform platform;
  ASSERT_EQ(mkfifo(dir.at("pipe").c_str(), 0600), 0);
  int listener = socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(listener, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string socket_path = dir.at("socket");
  ASSERT_LT(socket_path.size(), sizeof address.sun_path);
  std::strcpy(address.sun_path, socket_path.c_str());
  ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  const int refused = run_in_child([&] {
    std::string pipe_why, socket_why;
    if (platform.acquire_log_lock(dir.at("pipe"), &pipe_why)) return 1;
    if (platform.acquire_log_lock(socket_path, &socket_why)) return 2;
    if (pipe_why != "Is a named pipe" || socket_why != "Is a socket") return 3;
    return platform.acquire_log_lock("/dev/null", nullptr) ? 0 : 4;
  });
  close(listener);
  EXPECT_EQ(refused, 0);
}
