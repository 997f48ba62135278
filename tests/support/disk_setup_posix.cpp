#include <fcntl.h>
#include <limits.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "support/disk_setup.h"

const std::size_t kSystemPathLimit = PATH_MAX;

bool make_fifo(const std::string& path) {
  return mkfifo(path.c_str(), 0600) == 0;
}

bool mount_read_only(const std::string& dir, const std::string& at, std::string* why) {
  if (mount(dir.c_str(), at.c_str(), nullptr, MS_BIND, nullptr) != 0) {
    *why = std::strerror(errno);
    return false;
  }
  // A bind mount takes the read-only flag only when it is mounted again.
  if (mount(nullptr, at.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0) {
    *why = std::strerror(errno);
    umount2(at.c_str(), MNT_DETACH);
    return false;
  }
  return true;
}

void unmount(const std::string& at) {
  umount2(at.c_str(), MNT_DETACH);
}

bool make_deep_tree(const std::string& root, const std::string& level, int depth,
                    const std::string& leaf) {
  // Each level is opened from the one above it, never named by its whole path.
  int fd = open(root.c_str(), O_RDONLY | O_DIRECTORY);
  bool ok = fd >= 0;
  for (int i = 0; ok && i < depth; ++i) {
    ok = mkdirat(fd, level.c_str(), 0700) == 0;
    int below = ok ? openat(fd, level.c_str(), O_RDONLY | O_DIRECTORY) : -1;
    close(fd);
    fd = below;
    ok = ok && fd >= 0;
  }
  if (!ok) return false;
  int file = openat(fd, leaf.c_str(), O_WRONLY | O_CREAT, 0600);
  ok = file >= 0 && write(file, "x", 1) == 1;
  if (file >= 0) close(file);
  close(fd);
  return ok;
}

void remove_deep_tree(const std::string& root, const std::string& level, int depth,
                      const std::string& leaf) {
  std::vector<int> opened{open(root.c_str(), O_RDONLY | O_DIRECTORY)};
  for (int i = 0; i < depth && opened.back() >= 0; ++i) {
    opened.push_back(openat(opened.back(), level.c_str(), O_RDONLY | O_DIRECTORY));
  }
  if (opened.back() >= 0) unlinkat(opened.back(), leaf.c_str(), 0);
  for (std::size_t i = opened.size() - 1; i > 0; --i) {
    if (opened[i] >= 0) close(opened[i]);
    if (opened[i - 1] >= 0) unlinkat(opened[i - 1], level.c_str(), AT_REMOVEDIR);
  }
  if (opened[0] >= 0) close(opened[0]);
}
