// The names of one directory, kept compactly: a directory of hundreds of thousands of entries
// is listed in a few bytes per entry beyond its names, all of them in a few large blocks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// Every entry of one directory except "." and "..", in the order the program walks them: its
// name, its 8.3 name where the system keeps one, and whether it is a directory. What else is
// known of a file is taken when the file is reached, not here.
class DirListing {
 public:
  bool is_root = false;  // a drive or file-system root: it has no "." entry
  // Entries the directory names but whose kind cannot be told (not those that vanished
  // between the reading of the names and the look at them).
  std::vector<std::string> unreadable;

  void add(std::string_view name, bool directory, std::string_view short_name = {});
  // Byte order of the names, as the program walks them where the system's order is arbitrary.
  void sort_by_name();
  void clear();

  std::size_t size() const { return items_.size(); }
  std::string_view name(std::size_t i) const;
  std::string_view short_name(std::size_t i) const;
  bool is_directory(std::size_t i) const;

 private:
  // Each entry lives in `blocks_` as its kind (1: a directory), its name and its 8.3 name,
  // both names ended by a NUL, which no name holds; an item is where: its block's number in
  // the high half, the offset in the block in the low half.
  using Item = std::uint32_t;

  const char* text_of(Item item) const;

  std::vector<Item> items_;
  std::vector<std::unique_ptr<char[]>> blocks_;
  std::size_t used_ = 0;  // bytes taken of the last block
  std::size_t room_ = 0;  // the last block's size
};
