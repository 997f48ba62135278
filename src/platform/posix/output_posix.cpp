// Output files written by the program itself: each piece in one write() call, so that runs
// appending to the same file interleave only between the pieces they hand over whole.
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
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

// How long a pipe or terminal that takes nothing may hold the run once an interrupt came: a
// reader that is only slow still gets the records, one that has stopped does not stop the run.
constexpr auto kInterruptGrace = std::chrono::milliseconds(500);

bool is_regular_file(int fd) {
  struct stat info {};
  return fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
}

// Waits until `fd` can take a write of up to PIPE_BUF bytes without blocking. The wait also
// ends when a request to end arrives (on whichever thread the signal lands); from then on it
// lasts at most until the grace after that request has passed, for every write of the run
// together. False when the grace is over and the output still takes nothing.
bool wait_for_room(int fd, Platform& platform) {
  using Clock = std::chrono::steady_clock;
  static Clock::time_point deadline{};  // set at the first wait after the request
  for (;;) {
    pollfd ready[2] = {{fd, POLLOUT, 0}, {posix::interrupt_wake_fd(), POLLIN, 0}};
    nfds_t count = ready[1].fd >= 0 ? 2 : 1;
    int timeout = -1;
    const bool interrupted = platform.interrupt_pending();
    if (interrupted) {
      if (deadline == Clock::time_point{}) deadline = Clock::now() + kInterruptGrace;
      auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
      timeout = static_cast<int>(std::max<std::int64_t>(left.count(), 0));
      count = 1;  // the wake-up byte stays unread: it has said what it had to say
    }
    int found = poll(ready, count, timeout);
    if (found < 0 && errno != EINTR) return true;  // the write itself reports the fault
    if (found > 0 && ready[0].revents != 0) return true;
    if (interrupted && Clock::now() >= deadline) return false;
  }
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

OutputHandle PosixPlatform::standard_error() {
  static OutputFileState standard{STDERR_FILENO, true};
  return &standard;
}

// A write that stops early is handed back as such rather than continued here: a second call
// could land after another appending run's piece. A pipe or a terminal is written only when it
// has room, at most PIPE_BUF bytes a call, so that the write never blocks: a reader that
// stops reading cannot hold the run past an interrupt. A standard output left non-blocking by
// whoever shares the pipe refuses a piece whole while the pipe is full; that is a wait, not a
// failure.
WriteResult PosixPlatform::write_output(OutputHandle output, const char* data, std::size_t count) {
  WriteResult result;
  if (output == nullptr) {
    result.status = WriteResult::kFailed;
    return result;
  }
  if (count == 0) return result;
  const bool waits = !is_regular_file(output->fd);
  const std::size_t piece = std::min<std::size_t>(count, waits ? PIPE_BUF : SSIZE_MAX);
  for (;;) {
    if (waits && !wait_for_room(output->fd, *this)) {
      result.status = WriteResult::kInterrupted;
      return result;
    }
    ssize_t written = write(output->fd, data, piece);
    if (written >= 0) {
      result.written = static_cast<std::size_t>(written);
      if (result.written < count) result.status = WriteResult::kShort;
      return result;
    }
    const int error = errno;
    // Another writer of the pipe took the room first.
    if (waits && (error == EAGAIN || error == EWOULDBLOCK)) continue;
    result.status = failure_of(error);
    result.error = std::strerror(error);
    return result;
  }
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
