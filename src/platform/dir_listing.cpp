#include "platform/dir_listing.h"

#include <algorithm>

namespace {

// Small directories take a small block; large ones grow to blocks of 64 KiB, the most an
// item's offset can reach.
constexpr std::size_t kFirstBlock = 4096;
constexpr std::size_t kLargestBlock = 65536;
constexpr std::size_t kLongestName = 32767;

}  // namespace

void DirListing::add(std::string_view name, bool directory, std::string_view short_name) {
  // No file system gives names this long; one that did is named rather than cut.
  if (name.size() > kLongestName || short_name.size() > kLongestName) {
    unreadable.emplace_back(name);
    return;
  }
  const std::size_t need = name.size() + short_name.size() + 2;
  if (blocks_.empty() || used_ + need > room_) {
    room_ = blocks_.empty() ? kFirstBlock : std::min(2 * room_, kLargestBlock);
    room_ = std::max(room_, need);
    blocks_.emplace_back(new char[room_]);
    used_ = 0;
  }
  char* at = blocks_.back().get() + used_;
  name.copy(at, name.size());
  at[name.size()] = '\0';
  short_name.copy(at + name.size() + 1, short_name.size());
  at[need - 1] = '\0';
  items_.push_back(Item{static_cast<std::uint32_t>(blocks_.size() - 1),
                        static_cast<std::uint16_t>(used_), static_cast<std::uint16_t>(name.size()),
                        static_cast<std::uint16_t>(directory ? 1 : 0)});
  used_ += need;
}

void DirListing::sort_by_name() {
  std::sort(items_.begin(), items_.end(), [this](const Item& a, const Item& b) {
    return std::string_view(text_of(a), a.length) < std::string_view(text_of(b), b.length);
  });
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
  return std::string_view(text_of(items_[i]), items_[i].length);
}

std::string_view DirListing::short_name(std::size_t i) const {
  return std::string_view(text_of(items_[i]) + items_[i].length + 1);
}

const char* DirListing::text_of(const Item& item) const {
  return blocks_[item.block].get() + item.at;
}
