#include "platform/dir_listing.h"

#include <algorithm>
#include <cstring>

namespace {

// Small directories take a small block; large ones grow to blocks of 64 KiB, the most an
// item's offset can reach.
constexpr std::size_t kFirstBlock = 4096;
constexpr std::size_t kLargestBlock = 65536;
constexpr std::size_t kLongestName = 32767;
constexpr std::size_t kMostBlocks = 65536;

}  // namespace

void DirListing::add(std::string_view name, bool directory, std::string_view short_name) {
  // No file system gives names this long or holding a NUL, nor a directory this large; such a
  // name is named rather than cut or lost.
  if (name.size() > kLongestName || short_name.size() > kLongestName ||
      name.find('\0') != std::string_view::npos) {
    unreadable.emplace_back(name);
    return;
  }
  const std::size_t need = 1 + name.size() + 1 + short_name.size() + 1;
  if (blocks_.empty() || used_ + need > room_) {
    if (blocks_.size() == kMostBlocks) {
      unreadable.emplace_back(name);
      return;
    }
    room_ = blocks_.empty() ? kFirstBlock : std::min(2 * room_, kLargestBlock);
    room_ = std::max(room_, need);
    blocks_.emplace_back(new char[room_]);
    used_ = 0;
  }
  char* at = blocks_.back().get() + used_;
  at[0] = directory ? 1 : 0;
  name.copy(at + 1, name.size());
  at[1 + name.size()] = '\0';
  short_name.copy(at + 2 + name.size(), short_name.size());
  at[need - 1] = '\0';
  items_.push_back(static_cast<Item>((blocks_.size() - 1) << 16 | used_));
  used_ += need;
}

void DirListing::sort_by_name() {
  // strcmp orders by unsigned bytes, as the names' own comparison does.
  std::sort(items_.begin(), items_.end(),
            [this](Item a, Item b) { return std::strcmp(text_of(a) + 1, text_of(b) + 1) < 0; });
}

void DirListing::clear() {
  is_root = false;
  unreadable.clear();
  items_.clear();
  items_.shrink_to_fit();
  blocks_.clear();
  used_ = 0;
  room_ = 0;
}

std::string_view DirListing::name(std::size_t i) const {
  return std::string_view(text_of(items_[i]) + 1);
}

std::string_view DirListing::short_name(std::size_t i) const {
  const std::string_view long_name = name(i);
  return std::string_view(long_name.data() + long_name.size() + 1);
}

bool DirListing::is_directory(std::size_t i) const {
  return text_of(items_[i])[0] != 0;
}

const char* DirListing::text_of(Item item) const {
  return blocks_[item >> 16].get() + (item & 0xFFFF);
}
