// What the process is handed at start: its words and its three standard descriptors.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/posix/posix_platform.h"

namespace {

// open() takes the lowest free descriptor, so filling 0, 1 and 2 in order puts each
// placeholder where it belongs; the check after it only guards against a surprise.
bool fill_if_closed(int fd) {
  if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) return false;
  // Read-only, so that a closed standard output stays unwritable: its writes fail with
  // EBADF as before, and the run reports them.
  int placeholder = open("/dev/null", O_RDONLY);
  if (placeholder >= 0 && placeholder != fd) {
    dup2(placeholder, fd);
    close(placeholder);
  }
  return true;
}

}  // namespace

std::vector<std::string> PosixPlatform::arguments(int argc, char** argv) {
  std::vector<std::string> words;
  for (int i = 0; i < argc && argv[i] != nullptr; ++i) words.emplace_back(argv[i]);
  return words;
}

StandardStreams PosixPlatform::secure_standard_streams() {
  StandardStreams closed;
  closed.input_closed = fill_if_closed(STDIN_FILENO);
  closed.output_closed = fill_if_closed(STDOUT_FILENO);
  closed.error_closed = fill_if_closed(STDERR_FILENO);
  return closed;
}
