// The accounting log's exclusive lock: advisory, held by an open descriptor, so it ends with
// the process however the process ends.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/posix/posix_platform.h"

namespace {

std::string kind_refused(const struct stat& info) {
  if (S_ISFIFO(info.st_mode)) return "Is a named pipe";
  if (S_ISSOCK(info.st_mode)) return "Is a socket";
  return "";
}

// Why the file open on `fd` cannot hold a log; empty when it can. A regular file keeps the
// entries, and a device is the user's choice (/dev/null discards them on purpose).
std::string unfit_for_log(int fd) {
  struct stat info {};
  if (fstat(fd, &info) != 0) return std::strerror(errno);
  return kind_refused(info);
}

// Why `path` could not be opened: a socket refuses with words that do not say it is one.
std::string open_failure(const std::string& path, int error) {
  struct stat info {};
  if (stat(path.c_str(), &info) == 0 && !kind_refused(info).empty()) return kind_refused(info);
  return std::strerror(error);
}

bool fail(std::string* error, const std::string& why) {
  if (error != nullptr) *error = why;
  return false;
}

}  // namespace

bool PosixPlatform::acquire_log_lock(const std::string& path, std::string* error) {
  // A second lock on the same file from this process would conflict with the first.
  if (log_lock_fd_ >= 0 && path == log_lock_path_) return true;
  // O_NONBLOCK: a named pipe must be refused, not waited on.
  int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0666);
  if (fd < 0) return fail(error, open_failure(path, errno));
  const std::string unfit = unfit_for_log(fd);
  if (!unfit.empty()) {
    close(fd);
    return fail(error, unfit);
  }
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int lock_error = errno;
    close(fd);
    return fail(
        error, lock_error == EWOULDBLOCK ? "In use by another process" : std::strerror(lock_error));
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
