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
// when a FIFO took the name since the listing. Nothing is asked before the open: the facts
// taken of the open file refuse anything that is not a regular file.
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

// A zero time means "leave this stamp as it is".
struct timespec to_timespec(FileTime time, std::uint8_t below_tick) {
  struct timespec stamp {};
  if (time == 0) {
    stamp.tv_nsec = UTIME_OMIT;
    return stamp;
  }
  std::int64_t seconds = 0;
  long nanoseconds = 0;
  posix::from_file_time(time, below_tick, &seconds, &nanoseconds);
  stamp.tv_sec = static_cast<time_t>(seconds);
  stamp.tv_nsec = nanoseconds;
  return stamp;
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

// A descriptor opened for reading is enough for the owner to set the stamps, so the access
// asked for changes nothing here.
InputHandle PosixPlatform::open_file(const Directory& dir, const std::string& name, InputAccess,
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
                                            InputAccess access, std::string* error) {
  return open_file(dir, name, access, error);
}

InputHandle PosixPlatform::open_stream(const Directory& dir, const std::string& carrier,
                                       const std::string& stream, InputAccess) {
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

// The creation time cannot be set on Linux; leaving it as it is counts as success. A stream's
// stamps are its carrier's, put back through the carrier's own descriptor; a carrier reached
// only by path has none, and a path is exactly what must not be trusted here.
bool PosixPlatform::set_input_times(InputHandle input, const DirEntry& found) {
  if (input == nullptr) return false;
  int fd = input->stream ? input->carrier.fd : input->fd;
  if (fd < 0) return false;
  struct timespec times[2] = {to_timespec(found.last_access, found.last_access_ns),
                              to_timespec(found.last_write, found.last_write_ns)};
  return futimens(fd, times) == 0;
}

int posix::descriptor_of(InputHandle input) {
  return input == nullptr || input->stream ? -1 : input->fd;
}

void PosixPlatform::close_input(InputHandle input) {
  if (input == nullptr) return;
  if (input->fd >= 0) close(input->fd);
  posix::close_carrier(&input->carrier);
  delete input;
}
