// Directory searches: one read of the directory per search, entries delivered sorted by name
// so that a catalogue of the same tree always comes out the same.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "platform/posix/posix_platform.h"

struct SearchState {
  std::vector<DirEntry> entries;
  std::size_t next = 0;
};

namespace {

bool has_wildcards(std::string_view pattern) {
  return pattern.find_first_of("*?") != std::string_view::npos;
}

// Fills `entry` when `name` is something a search lists: a directory, a regular file, or a
// link to a regular file (shown as that file under the link's name). Links to directories are
// left out so that no walk can loop; FIFOs, sockets and devices are left out because reading
// them could block for ever.
bool listable_entry(int dir_fd, const std::string& name, DirEntry* entry) {
  posix::FileStatus status;
  if (!posix::status_at(dir_fd, name.c_str(), false, &status)) return false;
  if (status.kind == posix::FileKind::kLink) {
    if (!posix::status_at(dir_fd, name.c_str(), true, &status)) return false;
    if (status.kind != posix::FileKind::kRegular) return false;
  }
  if (status.kind == posix::FileKind::kOther) return false;
  entry->attributes = posix::attributes_of(status, name);
  entry->creation = status.creation;
  entry->last_access = status.last_access;
  entry->last_write = status.last_write;
  entry->size = status.kind == posix::FileKind::kDirectory ? 0 : status.size;
  entry->name = name;
  entry->short_name.clear();
  return true;
}

bool is_root(int dir_fd) {
  struct stat here {};
  struct stat root {};
  if (fstat(dir_fd, &here) != 0 || stat("/", &root) != 0) return false;
  return here.st_dev == root.st_dev && here.st_ino == root.st_ino;
}

std::vector<std::string> matching_names(int dir_fd, std::string_view pattern) {
  std::vector<std::string> names;
  int list_fd = dup(dir_fd);
  if (list_fd < 0) return names;
  DIR* dir = fdopendir(list_fd);
  if (dir == nullptr) {
    close(list_fd);
    return names;
  }
  while (const dirent* item = readdir(dir)) {
    std::string_view name = item->d_name;
    if (name == "." || name == "..") continue;
    if (posix::wildcard_match(pattern, name)) names.emplace_back(name);
  }
  closedir(dir);
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<DirEntry> search_entries(int dir_fd, const std::string& pattern) {
  std::vector<DirEntry> entries;
  DirEntry entry;
  bool dots = pattern != "." && pattern != "..";
  // An exact name is found without reading the directory: records look every file up again.
  if (!has_wildcards(pattern) && dots && listable_entry(dir_fd, pattern, &entry)) {
    entries.push_back(entry);
    return entries;
  }
  if (!is_root(dir_fd)) {
    for (const char* dot : {".", ".."}) {
      if (posix::wildcard_match(pattern, dot) && listable_entry(dir_fd, dot, &entry)) {
        entries.push_back(entry);
      }
    }
  }
  for (const std::string& name : matching_names(dir_fd, pattern)) {
    if (listable_entry(dir_fd, name, &entry)) entries.push_back(entry);
  }
  // Linux names may hold '*' and '?'. A file looked up by its own name must come back first,
  // not a sibling the same text happens to match as a pattern.
  auto exact = std::find_if(entries.begin(), entries.end(),
                            [&](const DirEntry& e) { return e.name == pattern; });
  std::rotate(entries.begin(), exact, exact == entries.end() ? exact : exact + 1);
  return entries;
}

}  // namespace

SearchHandle PosixPlatform::find_first(const std::string& pattern, DirEntry* entry) {
  std::size_t slash = pattern.rfind('/');
  std::string directory = slash == std::string::npos ? std::string(".")
                          : slash == 0               ? std::string("/")
                                                     : pattern.substr(0, slash);
  std::string name_pattern = slash == std::string::npos ? pattern : pattern.substr(slash + 1);
  if (name_pattern.empty()) return nullptr;

  int dir_fd = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir_fd < 0) return nullptr;
  auto* search = new SearchState;
  search->entries = search_entries(dir_fd, name_pattern);
  close(dir_fd);
  if (!find_next(search, entry)) {
    delete search;
    return nullptr;
  }
  return search;
}

bool PosixPlatform::find_next(SearchHandle search, DirEntry* entry) {
  if (search == nullptr || search->next >= search->entries.size()) return false;
  *entry = search->entries[search->next++];
  return true;
}

void PosixPlatform::find_close(SearchHandle search) {
  delete search;
}
