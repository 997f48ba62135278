// Attribute bits of an entry, reached through its directory. Links are followed, as the
// listing follows them.
#include <fcntl.h>
#include <sys/stat.h>

#include "platform/posix/posix_platform.h"

namespace {

// The name the hidden bit is read from: the entry's, or the directory's own for the directory.
std::string_view shown_name(const Directory& dir, const std::string& name) {
  return name.empty() ? posix::base_name(dir.path) : std::string_view(name);
}

}  // namespace

std::uint32_t PosixPlatform::get_attributes(const Directory& dir, const std::string& name) {
  posix::EntryRef ref = posix::entry_ref(dir, name);
  posix::FileStatus status;
  if (!posix::status_at(ref.fd, ref.name.c_str(), true, &status)) return kInvalidAttributes;
  return posix::attributes_of(status, shown_name(dir, name));
}

// Only the read-only bit has a Linux counterpart: the owner's write permission. Touching
// nothing else lets a caller clear the bit and set it again with the mode exactly restored.
bool PosixPlatform::set_attributes(const Directory& dir, const std::string& name,
                                   std::uint32_t attributes) {
  posix::EntryRef ref = posix::entry_ref(dir, name);
  struct stat info {};
  bool found = ref.name.empty() ? fstat(ref.fd, &info) == 0
                                : fstatat(ref.fd, ref.name.c_str(), &info, 0) == 0;
  if (!found) return false;
  mode_t mode = info.st_mode & 07777;
  mode_t wanted = (attributes & kAttrReadOnly) != 0 ? (mode & ~S_IWUSR) : (mode | S_IWUSR);
  if (wanted == mode) return true;
  if (ref.name.empty()) return fchmod(ref.fd, wanted) == 0;
  return fchmodat(ref.fd, ref.name.c_str(), wanted, 0) == 0;
}
