// Named streams: the user extended attributes of a file or directory, reached through the
// directory that holds it. Attribute names and values come from whoever wrote them, so every
// length is asked of the system, never assumed.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/posix/posix_platform.h"

namespace {

constexpr std::string_view kUserPrefix = "user.";
// The form a file server uses to keep a Windows client's streams.
constexpr std::string_view kServerPrefix = "user.DosStream.";
constexpr std::string_view kDataSuffix = ":$DATA";
constexpr std::uint32_t kStreamTypeData = 1;

bool is_server_form(std::string_view attribute) {
  return attribute.size() >= kServerPrefix.size() + kDataSuffix.size() &&
         attribute.substr(0, kServerPrefix.size()) == kServerPrefix &&
         attribute.substr(attribute.size() - kDataSuffix.size()) == kDataSuffix;
}

// Errors that say a path does not reach the entry, so the next way to it is worth a try.
bool path_missed(int error) {
  return error == ENOENT || error == ENOTDIR || error == ENAMETOOLONG || error == ELOOP;
}

// One attribute call on the carrier: through its descriptor, or along its paths until one
// reaches it.
template <typename ByFd, typename ByPath>
ssize_t on_carrier(const posix::Carrier& carrier, ByFd by_fd, ByPath by_path) {
  if (carrier.fd >= 0) return by_fd(carrier.fd);
  ssize_t result = -1;
  errno = ENOENT;
  for (const std::string& path : carrier.paths) {
    result = by_path(path.c_str());
    if (result >= 0 || !path_missed(errno)) break;
  }
  return result;
}

ssize_t list_names(const posix::Carrier& carrier, char* buffer, std::size_t size) {
  return on_carrier(
      carrier, [&](int fd) { return flistxattr(fd, buffer, size); },
      [&](const char* path) { return listxattr(path, buffer, size); });
}

ssize_t get_value(const posix::Carrier& carrier, const std::string& attribute, char* buffer,
                  std::size_t size) {
  return on_carrier(
      carrier, [&](int fd) { return fgetxattr(fd, attribute.c_str(), buffer, size); },
      [&](const char* path) { return getxattr(path, attribute.c_str(), buffer, size); });
}

// All attribute names of the carrier, NUL-separated as the system gives them. The list can
// grow between the size query and the read, so a too-small buffer is simply asked again.
bool attribute_names(const posix::Carrier& carrier, std::string* names) {
  while (true) {
    ssize_t size = list_names(carrier, nullptr, 0);
    if (size < 0) return false;
    names->assign(static_cast<std::size_t>(size), '\0');
    ssize_t got = list_names(carrier, names->data(), names->size());
    if (got >= 0) {
      names->resize(static_cast<std::size_t>(got));
      return true;
    }
    if (errno != ERANGE) return false;
  }
}

bool attribute_value(const posix::Carrier& carrier, const std::string& attribute,
                     std::string* value) {
  while (true) {
    ssize_t size = get_value(carrier, attribute, nullptr, 0);
    if (size < 0) return false;
    value->assign(static_cast<std::size_t>(size), '\0');
    ssize_t got = get_value(carrier, attribute, value->data(), value->size());
    if (got >= 0) {
      value->resize(static_cast<std::size_t>(got));
      return true;
    }
    if (errno != ERANGE) return false;
  }
}

bool has_attribute(const posix::Carrier& carrier, const std::string& attribute) {
  return get_value(carrier, attribute, nullptr, 0) >= 0;
}

// The value of one attribute as the stream's reader sees it.
bool stream_value(const posix::Carrier& carrier, const std::string& attribute, std::string* value) {
  if (!attribute_value(carrier, attribute, value)) return false;
  // The file server stores one terminating zero byte after a stream's data; its clients never
  // see it, so neither does a digest of the stream.
  if (is_server_form(attribute) && !value->empty() && value->back() == '\0') value->pop_back();
  return true;
}

// The stream name an extended attribute stands for; false when it is not a user attribute.
bool stream_name_of_attribute(std::string_view attribute, std::string* name) {
  if (attribute.substr(0, kUserPrefix.size()) != kUserPrefix) return false;
  if (is_server_form(attribute)) {
    std::size_t length = attribute.size() - kServerPrefix.size() - kDataSuffix.size();
    *name = attribute.substr(kServerPrefix.size(), length);
  } else {
    *name = attribute.substr(kUserPrefix.size());
  }
  return true;
}

}  // namespace

namespace posix {

// When the carrier cannot be opened (a process out of descriptors, another's lease, a
// permission the open needs and the attribute calls may not), its attributes are asked by
// path: through the directory's descriptor in /proc first, which reaches any depth, and the
// pasted path last.
bool open_carrier(const Directory& dir, const std::string& name, Carrier* carrier) {
  *carrier = Carrier{};
  EntryRef ref = entry_ref(dir, name);
  const char* target = ref.name.empty() ? "." : ref.name.c_str();
  carrier->fd = openat(ref.fd, target, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (carrier->fd >= 0) return true;
  if (path_missed(errno)) return false;
  if (dir.handle != nullptr) {
    std::string proc = "/proc/self/fd/" + std::to_string(dir.handle->fd);
    carrier->paths.push_back(name.empty() ? proc : proc + "/" + name);
  }
  carrier->paths.push_back(joined_path(dir, name));
  return true;
}

void close_carrier(Carrier* carrier) {
  if (carrier->fd >= 0) close(carrier->fd);
  *carrier = Carrier{};
}

bool read_stream_value(const Carrier& carrier, const std::string& stream, std::string* value) {
  if (stream.empty()) return false;
  std::string plain = std::string(kUserPrefix) + stream;
  if (stream_value(carrier, plain, value)) return true;
  if (errno != ENODATA) return false;
  std::string served = std::string(kServerPrefix) + stream + std::string(kDataSuffix);
  return stream_value(carrier, served, value);
}

bool carrier_status(const Carrier& carrier, FileStatus* status) {
  if (carrier.fd >= 0) return status_at(carrier.fd, "", true, status);
  for (const std::string& path : carrier.paths) {
    if (status_at(AT_FDCWD, path.c_str(), true, status)) return true;
    if (!path_missed(errno)) return false;
  }
  return false;
}

}  // namespace posix

bool PosixPlatform::list_streams(const Directory& dir, const std::string& name,
                                 std::vector<StreamEntry>* streams) {
  streams->clear();
  posix::Carrier carrier;
  if (!posix::open_carrier(dir, name, &carrier)) return false;
  std::string names;
  bool listed = attribute_names(carrier, &names);
  if (!listed) {
    bool unsupported = errno == ENOTSUP;
    posix::close_carrier(&carrier);
    return unsupported;
  }
  std::size_t start = 0;
  while (start < names.size()) {
    std::size_t end = names.find('\0', start);
    if (end == std::string::npos) end = names.size();
    std::string attribute = names.substr(start, end - start);
    start = end + 1;
    std::string stream;
    std::string value;
    if (!stream_name_of_attribute(attribute, &stream)) continue;
    // A plain attribute of the same name would take the server stream's name, so that stream
    // goes under its whole attribute name, which opens it.
    if (is_server_form(attribute) && has_attribute(carrier, std::string(kUserPrefix) + stream)) {
      stream = attribute.substr(kUserPrefix.size());
    }
    // An attribute removed since the list was read is simply no longer there.
    if (!stream_value(carrier, attribute, &value)) continue;
    StreamEntry entry;
    entry.type = kStreamTypeData;
    entry.size = static_cast<std::int64_t>(value.size());
    entry.name = ":" + stream + std::string(kDataSuffix);
    streams->push_back(entry);
  }
  posix::close_carrier(&carrier);
  std::sort(streams->begin(), streams->end(),
            [](const StreamEntry& a, const StreamEntry& b) { return a.name < b.name; });
  return true;
}
