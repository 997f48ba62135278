// The accounting log's exclusive lock: advisory, held by an open descriptor, so it ends with
// the process however the process ends.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "platform/posix/posix_platform.h"

bool PosixPlatform::acquire_log_lock(const std::string& path) {
  // A second lock on the same file from this process would conflict with the first.
  if (log_lock_fd_ >= 0 && path == log_lock_path_) return true;
  int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY, 0666);
  if (fd < 0) return false;
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    close(fd);
    return false;
  }
  release_log_lock();
  log_lock_fd_ = fd;
  log_lock_path_ = path;
  return true;
}

void PosixPlatform::release_log_lock() {
  if (log_lock_fd_ < 0) return;
  close(log_lock_fd_);
  log_lock_fd_ = -1;
  log_lock_path_.clear();
}
