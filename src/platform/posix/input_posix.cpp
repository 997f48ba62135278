// Digest input: regular files through a descriptor opened relative to their directory, named
// streams from memory.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>

#include "platform/posix/posix_platform.h"

struct InputFile {
  int fd = -1;          // the open file; -1 for a stream, whose content is in `data`
  std::string name;     // as listed, for the attributes it shows
  bool stream = false;  // a stream's facts are its own size and its carrier's times
  posix::Carrier carrier;
  std::string data;
  std::uint64_t position = 0;
};

namespace {

// O_NONBLOCK does nothing to a regular file; it only keeps the open from waiting for a writer
// when a FIFO took the name since the listing. Nothing else is asked before the read: the
// facts taken at the end refuse anything that is not a regular file.
constexpr int kInputFlags = O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;

InputHandle input_of(int fd, const std::string& name, std::string* error) {
  if (fd < 0) {
    if (error != nullptr) *error = std::strerror(errno);
    return nullptr;
  }
  auto* input = new InputFile;
  input->fd = fd;
  input->name = name;
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

InputHandle PosixPlatform::open_file(const Directory& dir, const std::string& name,
                                     std::string* error) {
  if (name.empty()) {
    errno = EISDIR;
    return input_of(-1, name, error);
  }
  posix::EntryRef ref = posix::entry_ref(dir, name);
  return input_of(openat(ref.fd, ref.name.c_str(), kInputFlags), name, error);
}

// Linux has no sharing modes that could refuse the first open, so the second is the same.
InputHandle PosixPlatform::open_file_shared(const Directory& dir, const std::string& name,
                                            std::string* error) {
  return open_file(dir, name, error);
}

InputHandle PosixPlatform::open_stream(const Directory& dir, const std::string& carrier,
                                       const std::string& stream) {
  auto* input = new InputFile;
  input->stream = true;
  input->name = carrier.empty() ? std::string(posix::base_name(dir.path)) : carrier;
  if (!posix::open_carrier(dir, carrier, &input->carrier) ||
      !posix::read_stream_value(input->carrier, stream, &input->data)) {
    close_input(input);
    return nullptr;
  }
  return input;
}

// Only a regular file: a FIFO named in a configuration could otherwise hold the run, and the
// descriptor is checked rather than the name so that nothing can change in between.
InputHandle PosixPlatform::open_path(const std::string& path, std::string* error) {
  int fd = open(path.c_str(), kInputFlags);
  if (fd < 0) return input_of(fd, path, error);
  struct stat info {};
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    close(fd);
    if (error != nullptr)
      *error = S_ISDIR(info.st_mode) ? std::strerror(EISDIR) : "Not a regular file";
    return nullptr;
  }
  return input_of(fd, std::string(posix::base_name(path)), error);
}

long long PosixPlatform::read_input(InputHandle input, void* buffer, std::size_t count) {
  if (input == nullptr) return -1;
  if (input->stream) return read_memory(input, buffer, count);
  count = std::min<std::size_t>(count, SSIZE_MAX);
  while (true) {
    ssize_t got = read(input->fd, buffer, count);
    if (got >= 0) return got;
    if (errno != EINTR || interrupt_pending()) return -1;
  }
}

bool PosixPlatform::seek_input(InputHandle input, std::uint64_t offset) {
  if (input == nullptr) return false;
  if (input->stream) {
    input->position = offset;
    return true;
  }
  if (offset > static_cast<std::uint64_t>(INT64_MAX)) return false;
  return lseek(input->fd, static_cast<off_t>(offset), SEEK_SET) != -1;
}

bool PosixPlatform::input_facts(InputHandle input, DirEntry* facts) {
  if (input == nullptr) return false;
  posix::FileStatus status;
  if (input->stream) {
    if (!posix::carrier_status(input->carrier, &status)) return false;
    *facts = posix::entry_of(status, input->name);
    facts->size = static_cast<std::int64_t>(input->data.size());
    return true;
  }
  if (!posix::status_at(input->fd, "", true, &status)) return false;
  if (status.kind != posix::FileKind::kRegular) return false;
  *facts = posix::entry_of(status, input->name);
  return true;
}

void PosixPlatform::close_input(InputHandle input) {
  if (input == nullptr) return;
  if (input->fd >= 0) close(input->fd);
  posix::close_carrier(&input->carrier);
  delete input;
}
