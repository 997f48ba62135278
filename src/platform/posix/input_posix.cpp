// Digest input: regular files through a descriptor, named streams from memory.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>

#include "platform/posix/posix_platform.h"

struct InputFile {
  int fd = -1;       // -1 for a stream held in `data`
  std::string data;  // the stream's content
  std::uint64_t position = 0;
};

namespace {

// Only a regular file is ever opened: opening a FIFO could wait for a writer for ever and
// opening a device can have effects of its own (a tape rewinds when closed). The status is
// checked before the open and again on the descriptor, in case the name changed in between.
InputHandle open_regular_file(const std::string& path) {
  int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat info {};
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    close(fd);
    return nullptr;
  }
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  auto* input = new InputFile;
  input->fd = fd;
  return input;
}

InputHandle open_stream(const std::string& path) {
  posix::StreamLocation location = posix::locate_stream(path);
  if (!location.found) return nullptr;
  auto* input = new InputFile;
  if (!posix::read_stream_value(location.carrier, location.attribute, &input->data)) {
    delete input;
    return nullptr;
  }
  return input;
}

long long read_memory(InputFile* input, void* buffer, std::size_t count) {
  if (input->position >= input->data.size()) return 0;
  std::size_t available = input->data.size() - static_cast<std::size_t>(input->position);
  std::size_t length = std::min(count, available);
  std::memcpy(buffer, input->data.data() + input->position, length);
  input->position += length;
  return static_cast<long long>(length);
}

}  // namespace

InputHandle PosixPlatform::open_input(const std::string& path) {
  struct stat info {};
  if (stat(path.c_str(), &info) == 0) {
    return S_ISREG(info.st_mode) ? open_regular_file(path) : nullptr;
  }
  return open_stream(path);
}

// Linux has no sharing modes that could refuse the first open, so the second is the same.
InputHandle PosixPlatform::open_input_shared(const std::string& path) {
  return open_input(path);
}

long long PosixPlatform::read_input(InputHandle input, void* buffer, std::size_t count) {
  if (input == nullptr) return -1;
  if (input->fd < 0) return read_memory(input, buffer, count);
  count = std::min<std::size_t>(count, SSIZE_MAX);
  while (true) {
    ssize_t got = read(input->fd, buffer, count);
    if (got >= 0) return got;
    if (errno != EINTR || interrupt_pending()) return -1;
  }
}

bool PosixPlatform::seek_input(InputHandle input, std::uint64_t offset) {
  if (input == nullptr) return false;
  if (input->fd < 0) {
    input->position = offset;
    return true;
  }
  if (offset > static_cast<std::uint64_t>(INT64_MAX)) return false;
  return lseek(input->fd, static_cast<off_t>(offset), SEEK_SET) != -1;
}

void PosixPlatform::close_input(InputHandle input) {
  if (input == nullptr) return;
  if (input->fd >= 0) close(input->fd);
  delete input;
}
