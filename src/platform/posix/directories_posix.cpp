// Directories: opened once, listed with one read of the directory and one status query per
// entry relative to its descriptor, so neither the depth of a tree nor the length of its
// paths limits the walk.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/posix/posix_platform.h"

namespace {

constexpr int kDirectoryFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;

DirHandle handle_of(int fd, std::string* error) {
  if (fd < 0) {
    if (error != nullptr) *error = std::strerror(errno);
    return nullptr;
  }
  return new DirectoryState{fd};
}

enum class Listed { kYes, kNo, kUnreadable };

// What the listing makes of `name`: a directory, a regular file, or a link to a regular file
// (shown as that file under the link's name). Links to directories are left out so that no
// walk can loop; FIFOs, sockets and devices because reading them could block for ever;
// dangling links and entries that vanished since the directory was read because they are
// not there.
Listed listable_entry(int dir_fd, const std::string& name, DirEntry* entry) {
  posix::FileStatus status;
  if (!posix::status_at(dir_fd, name.c_str(), false, &status)) {
    return errno == ENOENT ? Listed::kNo : Listed::kUnreadable;
  }
  if (status.kind == posix::FileKind::kLink) {
    if (!posix::status_at(dir_fd, name.c_str(), true, &status)) {
      bool dangling = errno == ENOENT || errno == ELOOP || errno == ENOTDIR;
      return dangling ? Listed::kNo : Listed::kUnreadable;
    }
    if (status.kind != posix::FileKind::kRegular) return Listed::kNo;
  }
  if (status.kind == posix::FileKind::kOther) return Listed::kNo;
  *entry = posix::entry_of(status, name);
  return Listed::kYes;
}

bool is_root(int dir_fd) {
  static struct stat root {};
  static bool root_known = stat("/", &root) == 0;
  struct stat here {};
  if (!root_known || fstat(dir_fd, &here) != 0) return false;
  return here.st_dev == root.st_dev && here.st_ino == root.st_ino;
}

// Every name of the directory but the dots, read from its start however often it was read
// before (the descriptor's offset is where the last reading stopped).
bool read_names(int dir_fd, std::vector<std::string>* names) {
  if (lseek(dir_fd, 0, SEEK_SET) < 0) return false;
  alignas(dirent64) char buffer[32768];
  while (true) {
    ssize_t got = getdents64(dir_fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return false;
    if (got == 0) return true;
    for (ssize_t at = 0; at < got;) {
      const auto* item = reinterpret_cast<const dirent64*>(buffer + at);
      std::string_view name = item->d_name;
      if (name != "." && name != "..") names->emplace_back(name);
      at += item->d_reclen;
    }
  }
}

}  // namespace

DirHandle PosixPlatform::open_directory(const std::string& path, std::string* error) {
  return handle_of(open(path.c_str(), kDirectoryFlags), error);
}

// The listing never shows a link to a directory; one put in its place since must not be
// followed out of the tree.
DirHandle PosixPlatform::open_subdirectory(const Directory& parent, const std::string& name,
                                           std::string* error) {
  if (name.empty()) {
    errno = ENOENT;
    return handle_of(-1, error);
  }
  posix::EntryRef ref = posix::entry_ref(parent, name);
  return handle_of(openat(ref.fd, ref.name.c_str(), kDirectoryFlags | O_NOFOLLOW), error);
}

void PosixPlatform::close_directory(DirHandle dir) {
  if (dir == nullptr) return;
  close(dir->fd);
  delete dir;
}

bool PosixPlatform::list_directory(const Directory& dir, DirListing* listing, std::string* error) {
  *listing = DirListing{};
  DirHandle own = dir.handle != nullptr ? nullptr : open_directory(dir.path, error);
  if (dir.handle == nullptr && own == nullptr) return false;
  int fd = own != nullptr ? own->fd : dir.handle->fd;
  std::vector<std::string> names;
  bool read = read_names(fd, &names);
  if (!read && error != nullptr) *error = std::strerror(errno);
  if (read) {
    std::sort(names.begin(), names.end());
    listing->is_root = is_root(fd);
    DirEntry entry;
    for (const std::string& name : names) {
      Listed listed = listable_entry(fd, name, &entry);
      if (listed == Listed::kYes) listing->entries.push_back(std::move(entry));
      if (listed == Listed::kUnreadable) listing->unreadable.push_back(name);
    }
  }
  close_directory(own);
  return read;
}

// Links are followed as the listing follows them, so the facts compare with the listed ones.
bool PosixPlatform::entry_facts(const Directory& dir, const std::string& name, DirEntry* facts) {
  posix::EntryRef ref = posix::entry_ref(dir, name);
  posix::FileStatus status;
  if (!posix::status_at(ref.fd, ref.name.c_str(), true, &status)) return false;
  if (status.kind == posix::FileKind::kOther) return false;
  *facts = posix::entry_of(status, name);
  if (name.empty()) facts->attributes = posix::attributes_of(status, posix::base_name(dir.path));
  return true;
}
