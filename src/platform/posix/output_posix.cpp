// Output files written by the program itself: each piece in one write() call, so that runs
// appending to the same file interleave only between the pieces they hand over whole.
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>

#include "platform/posix/posix_platform.h"

struct OutputFileState {
  int fd = -1;
  bool standard = false;  // fd 1: never closed here
};

namespace {

int open_flags(OutputMode mode) {
  constexpr int kCommon = O_WRONLY | O_CREAT | O_CLOEXEC | O_NOCTTY;
  return mode == OutputMode::kAppend ? kCommon | O_APPEND : kCommon | O_TRUNC;
}

// A file added to is opened for reading too, as an appending text stream always was: a named
// pipe then opens at once instead of waiting for a reader that may never come. A file the
// process may write but not read is opened for writing alone.
int open_for_mode(const std::string& path, OutputMode mode) {
  if (mode != OutputMode::kAppend) return open(path.c_str(), open_flags(mode), 0666);
  int fd = open(path.c_str(), (open_flags(mode) & ~O_WRONLY) | O_RDWR, 0666);
  if (fd < 0 && errno == EACCES) fd = open(path.c_str(), open_flags(mode), 0666);
  return fd;
}

WriteResult::Status failure_of(int error) {
  switch (error) {
    case EINTR:
      return WriteResult::kShort;
    case ENOSPC:
    case EDQUOT:
      return WriteResult::kFull;
    case EPIPE:
      return WriteResult::kBrokenPipe;
    default:
      return WriteResult::kFailed;
  }
}

}  // namespace

OutputHandle PosixPlatform::open_output(const std::string& path, OutputMode mode,
                                        std::string* error) {
  int fd = open_for_mode(path, mode);
  if (fd < 0) {
    if (error != nullptr) *error = std::strerror(errno);
    return nullptr;
  }
  return new OutputFileState{fd, false};
}

OutputHandle PosixPlatform::standard_output() {
  static OutputFileState standard{STDOUT_FILENO, true};
  return &standard;
}

// A write that stops early is handed back as such rather than continued here: a second call
// could land after another appending run's piece. A standard output left non-blocking by
// whoever shares the pipe refuses a piece whole while the pipe is full; that is a wait, not a
// failure, and the piece is still written in one call once there is room.
WriteResult PosixPlatform::write_output(OutputHandle output, const char* data, std::size_t count) {
  WriteResult result;
  if (output == nullptr) {
    result.status = WriteResult::kFailed;
    return result;
  }
  if (count == 0) return result;
  count = std::min<std::size_t>(count, SSIZE_MAX);
  ssize_t written = write(output->fd, data, count);
  while (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
    pollfd room = {output->fd, POLLOUT, 0};
    if (poll(&room, 1, -1) < 0) break;
    written = write(output->fd, data, count);
  }
  if (written < 0) {
    result.status = failure_of(errno);
    return result;
  }
  result.written = static_cast<std::size_t>(written);
  if (result.written < count) result.status = WriteResult::kShort;
  return result;
}

std::int64_t PosixPlatform::output_size(OutputHandle output) {
  struct stat info {};
  if (output == nullptr || fstat(output->fd, &info) != 0 || !S_ISREG(info.st_mode)) return -1;
  return static_cast<std::int64_t>(info.st_size);
}

bool PosixPlatform::cut_output(OutputHandle output, std::uint64_t size) {
  if (output == nullptr || size > static_cast<std::uint64_t>(INT64_MAX)) return false;
  return ftruncate(output->fd, static_cast<off_t>(size)) == 0;
}

// close() is where a network file system reports a write it could not complete.
bool PosixPlatform::close_output(OutputHandle output) {
  if (output == nullptr) return false;
  if (output->standard) return true;
  bool closed = close(output->fd) == 0;
  delete output;
  return closed;
}
