// Directories: opened once and listed by reading their names and the kinds they give, with no
// look at an entry unless its kind is left open; every entry is reached relative to the
// directory's descriptor, so neither the depth of a tree nor the length of its paths limits
// the walk.
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

enum class Listed { kFile, kDirectory, kNo, kUnreadable };

// What an entry whose kind the directory leaves open stands for: a directory, a regular file,
// or a link to a regular file (listed as that file under the link's name). Links to
// directories are left out so that no walk can loop; FIFOs, sockets and devices because
// reading them could block for ever; dangling links and entries that vanished since the
// directory was read because they are not there.
Listed examined_entry(int dir_fd, const char* name) {
  posix::FileStatus status;
  if (!posix::status_at(dir_fd, name, false, &status)) {
    return errno == ENOENT ? Listed::kNo : Listed::kUnreadable;
  }
  if (status.kind == posix::FileKind::kLink) {
    if (!posix::status_at(dir_fd, name, true, &status)) {
      bool dangling = errno == ENOENT || errno == ELOOP || errno == ENOTDIR;
      return dangling ? Listed::kNo : Listed::kUnreadable;
    }
    return status.kind == posix::FileKind::kRegular ? Listed::kFile : Listed::kNo;
  }
  if (status.kind == posix::FileKind::kDirectory) return Listed::kDirectory;
  return status.kind == posix::FileKind::kRegular ? Listed::kFile : Listed::kNo;
}

// The kind the directory gives with the name; only a link, or a file system that gives none,
// costs a look at the entry.
Listed listed_kind(int dir_fd, const char* name, unsigned char type) {
  switch (type) {
    case DT_REG:
      return Listed::kFile;
    case DT_DIR:
      return Listed::kDirectory;
    case DT_LNK:
    case DT_UNKNOWN:
      return examined_entry(dir_fd, name);
    default:
      return Listed::kNo;
  }
}

bool is_root(int dir_fd) {
  static struct stat root {};
  static bool root_known = stat("/", &root) == 0;
  struct stat here {};
  if (!root_known || fstat(dir_fd, &here) != 0) return false;
  return here.st_dev == root.st_dev && here.st_ino == root.st_ino;
}

// Every entry of the directory but the dots, read from its start however often it was read
// before (the descriptor's offset is where the last reading stopped).
bool read_entries(int dir_fd, DirListing* listing) {
  if (lseek(dir_fd, 0, SEEK_SET) < 0) return false;
  alignas(dirent64) char buffer[32768];
  while (true) {
    ssize_t got = getdents64(dir_fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return false;
    if (got == 0) return true;
    for (ssize_t at = 0; at < got;) {
      const auto* item = reinterpret_cast<const dirent64*>(buffer + at);
      at += item->d_reclen;
      std::string_view name = item->d_name;
      if (name == "." || name == "..") continue;
      Listed kind = listed_kind(dir_fd, item->d_name, item->d_type);
      if (kind == Listed::kFile || kind == Listed::kDirectory) {
        listing->add(name, kind == Listed::kDirectory);
      }
      if (kind == Listed::kUnreadable) listing->unreadable.emplace_back(name);
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
  listing->clear();
  DirHandle own = dir.handle != nullptr ? nullptr : open_directory(dir.path, error);
  if (dir.handle == nullptr && own == nullptr) return false;
  int fd = own != nullptr ? own->fd : dir.handle->fd;
  bool read = read_entries(fd, listing);
  if (!read && error != nullptr) *error = std::strerror(errno);
  if (read) {
    // The order of a Linux directory is arbitrary; byte order makes one tree one catalogue.
    listing->sort_by_name();
    std::sort(listing->unreadable.begin(), listing->unreadable.end());
    listing->is_root = is_root(fd);
  } else {
    listing->clear();
  }
  close_directory(own);
  return read;
}

// Links are followed as the listing follows them, so a link stands for the file it names.
Lookup PosixPlatform::entry_facts(const Directory& dir, const std::string& name, DirEntry* facts) {
  posix::EntryRef ref = posix::entry_ref(dir, name);
  posix::FileStatus status;
  if (!posix::status_at(ref.fd, ref.name.c_str(), true, &status)) {
    bool gone = errno == ENOENT || errno == ELOOP || errno == ENOTDIR;
    return gone ? Lookup::kGone : Lookup::kUnreadable;
  }
  if (status.kind == posix::FileKind::kOther) return Lookup::kGone;
  *facts = posix::entry_of(status, name);
  if (name.empty()) facts->attributes = posix::attributes_of(status, posix::base_name(dir.path));
  return Lookup::kFound;
}
