// Named streams: the user extended attributes of a file or directory. Attribute names and
// values come from whoever wrote them, so every length is asked of the system, never assumed.
#include <sys/stat.h>
#include <sys/xattr.h>

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

// All attribute names of `path`, NUL-separated as the system gives them. The list can grow
// between the size query and the read, so a too-small buffer is simply asked again.
bool attribute_names(const std::string& path, std::string* names) {
  while (true) {
    ssize_t size = listxattr(path.c_str(), nullptr, 0);
    if (size < 0) return false;
    names->assign(static_cast<std::size_t>(size), '\0');
    ssize_t got = listxattr(path.c_str(), names->data(), names->size());
    if (got >= 0) {
      names->resize(static_cast<std::size_t>(got));
      return true;
    }
    if (errno != ERANGE) return false;
  }
}

bool attribute_value(const std::string& path, const std::string& attribute, std::string* value) {
  while (true) {
    ssize_t size = getxattr(path.c_str(), attribute.c_str(), nullptr, 0);
    if (size < 0) return false;
    value->assign(static_cast<std::size_t>(size), '\0');
    ssize_t got = getxattr(path.c_str(), attribute.c_str(), value->data(), value->size());
    if (got >= 0) {
      value->resize(static_cast<std::size_t>(got));
      return true;
    }
    if (errno != ERANGE) return false;
  }
}

bool has_attribute(const std::string& path, const std::string& attribute) {
  return getxattr(path.c_str(), attribute.c_str(), nullptr, 0) >= 0;
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

bool path_exists(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0;
}

}  // namespace

namespace posix {

bool read_stream_value(const std::string& carrier, const std::string& attribute,
                       std::string* value) {
  if (!attribute_value(carrier, attribute, value)) return false;
  // The file server stores one terminating zero byte after a stream's data; its clients never
  // see it, so neither does a digest of the stream.
  if (is_server_form(attribute) && !value->empty() && value->back() == '\0') value->pop_back();
  return true;
}

StreamLocation locate_stream(const std::string& path) {
  StreamLocation location;
  // A stream name may itself hold colons and separators: the leftmost split that works wins.
  for (std::size_t colon = path.find(':'); colon != std::string::npos;
       colon = path.find(':', colon + 1)) {
    std::string carrier = path.substr(0, colon);
    if (carrier.empty() || !path_exists(carrier)) continue;
    std::string name = path.substr(colon + 1);
    std::string candidates[] = {std::string(kUserPrefix) + name,
                                std::string(kServerPrefix) + name + std::string(kDataSuffix)};
    for (const std::string& attribute : candidates) {
      if (has_attribute(carrier, attribute)) {
        location.found = true;
        location.carrier = carrier;
        location.attribute = attribute;
        return location;
      }
    }
  }
  return location;
}

std::string times_source(const std::string& path) {
  if (path_exists(path)) return path;
  StreamLocation location = locate_stream(path);
  return location.found ? location.carrier : path;
}

}  // namespace posix

bool PosixPlatform::list_streams(const std::string& path, std::vector<StreamEntry>* streams) {
  streams->clear();
  std::string names;
  if (!attribute_names(path, &names)) return errno == ENOTSUP;
  std::size_t start = 0;
  while (start < names.size()) {
    std::size_t end = names.find('\0', start);
    if (end == std::string::npos) end = names.size();
    std::string attribute = names.substr(start, end - start);
    start = end + 1;
    std::string name;
    std::string value;
    if (!stream_name_of_attribute(attribute, &name)) continue;
    // A plain attribute of the same name would take the server stream's path NAME, so that
    // stream goes under its whole attribute name, which opens it.
    if (is_server_form(attribute) && has_attribute(path, std::string(kUserPrefix) + name)) {
      name = attribute.substr(kUserPrefix.size());
    }
    // An attribute removed since the list was read is simply no longer there.
    if (!posix::read_stream_value(path, attribute, &value)) continue;
    StreamEntry entry;
    entry.type = kStreamTypeData;
    entry.size = static_cast<std::int64_t>(value.size());
    entry.name = ":" + name + std::string(kDataSuffix);
    streams->push_back(entry);
  }
  std::sort(streams->begin(), streams->end(),
            [](const StreamEntry& a, const StreamEntry& b) { return a.name < b.name; });
  return true;
}
