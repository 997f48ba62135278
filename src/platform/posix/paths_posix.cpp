// Path texts and simple questions about names on disk.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <cerrno>
#include <optional>

#include "platform/posix/posix_platform.h"

namespace {

// File-system type numbers that statfs reports.
constexpr std::uint32_t kExtMagic = 0xEF53;
constexpr std::uint32_t kXfsMagic = 0x58465342;
constexpr std::uint32_t kBtrfsMagic = 0x9123683E;
constexpr std::uint32_t kTmpfsMagic = 0x01021994;
constexpr std::uint32_t kF2fsMagic = 0xF2F52010;
constexpr std::uint32_t kZfsMagic = 0x2FC12FC1;
constexpr std::uint32_t kFatMagic = 0x4D44;  // msdos and vfat alike

std::vector<std::string_view> split_components(std::string_view path) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find('/', start);
    if (end == std::string_view::npos) end = path.size();
    if (end > start) parts.push_back(path.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

// The link's target read whole, however long it is.
std::optional<std::string> read_link(const char* path) {
  std::string target(256, '\0');
  while (true) {
    ssize_t length = readlink(path, target.data(), target.size());
    if (length < 0) return std::nullopt;
    if (static_cast<std::size_t>(length) < target.size()) {
      target.resize(static_cast<std::size_t>(length));
      return target;
    }
    target.resize(target.size() * 2);
  }
}

bool entry_exists(const std::string& directory, const std::string& name) {
  struct stat info {};
  return lstat((directory + "/" + name).c_str(), &info) == 0;
}

bool equal_ignoring_case(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = (a[i] >= 'A' && a[i] <= 'Z') ? static_cast<char>(a[i] + 32) : a[i];
    char y = (b[i] >= 'A' && b[i] <= 'Z') ? static_cast<char>(b[i] + 32) : b[i];
    if (x != y) return false;
  }
  return true;
}

}  // namespace

namespace posix {

std::string normalise_path(const std::string& cwd, const std::string& path) {
  std::string whole = (!path.empty() && path[0] == '/') ? path : cwd + "/" + path;
  std::vector<std::string_view> kept;
  for (std::string_view part : split_components(whole)) {
    if (part == ".") continue;
    if (part == "..") {
      if (!kept.empty()) kept.pop_back();
      continue;
    }
    kept.push_back(part);
  }
  std::string result;
  for (std::string_view part : kept) {
    result += '/';
    result += part;
  }
  if (result.empty() || (!path.empty() && path.back() == '/')) result += '/';
  return result;
}

}  // namespace posix

bool PosixPlatform::full_path(const std::string& path, std::string* out) {
  if (!path.empty() && path[0] == '/') {
    *out = posix::normalise_path("/", path);
    return true;
  }
  std::string cwd = current_directory();
  if (cwd.empty()) return false;
  *out = posix::normalise_path(cwd, path);
  return true;
}

std::string PosixPlatform::current_directory() {
  std::string buffer(256, '\0');
  while (getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE) return "";
    buffer.resize(buffer.size() * 2);
  }
  buffer.resize(buffer.find('\0'));
  return buffer;
}

bool PosixPlatform::change_directory(const std::string& path) {
  return chdir(path.c_str()) == 0;
}

std::string PosixPlatform::module_path() {
  return read_link("/proc/self/exe").value_or("");
}

bool PosixPlatform::is_directory(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool PosixPlatform::path_facts(const std::string& path, DirEntry* facts) {
  posix::FileStatus status;
  if (path.empty() || !posix::status_at(AT_FDCWD, path.c_str(), true, &status)) return false;
  if (status.kind != posix::FileKind::kRegular && status.kind != posix::FileKind::kDirectory) {
    return false;
  }
  *facts = posix::entry_of(status, std::string(posix::base_name(path)));
  return true;
}

std::string PosixPlatform::find_name_ignoring_case(const std::string& directory,
                                                   const std::string& name) {
  std::string dir = directory.empty() ? "." : directory;
  if (name.empty()) return "";
  if (entry_exists(dir, name)) return name;
  DIR* listing = opendir(dir.c_str());
  if (listing == nullptr) return "";
  // The smallest matching name in byte order, so the choice does not depend on disk order.
  std::string found;
  while (const dirent* item = readdir(listing)) {
    std::string_view candidate = item->d_name;
    if (equal_ignoring_case(candidate, name) && (found.empty() || candidate < found)) {
      found = candidate;
    }
  }
  closedir(listing);
  return found;
}

int PosixPlatform::volume_kind(const std::string& path) {
  struct statfs info {};
  if (statfs(path.c_str(), &info) != 0) return 1;
  switch (static_cast<std::uint32_t>(info.f_type)) {
    case kExtMagic:
    case kXfsMagic:
    case kBtrfsMagic:
    case kTmpfsMagic:
    case kF2fsMagic:
    case kZfsMagic:
      return 2;
    case kFatMagic:
      return 4;
    default:
      return 1;
  }
}
