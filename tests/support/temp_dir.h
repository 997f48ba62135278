// A scratch directory for one test, removed with everything in it afterwards.
#pragma once

#include <string>
#include <vector>

// Asks for a scratch directory that a death test's child shares with its parent. Where the
// child is a copy of the parent (Linux) it shares everything anyway; where it runs the test
// again from its start (Windows), its n-th such directory of the test is the parent's n-th, so
// that both look at the same files. The parent must hold none of them open while the child
// runs: a file open for writing there cannot be opened again by the child.
struct SharedWithDeathTests {};
inline constexpr SharedWithDeathTests kSharedWithDeathTests{};

class TempDir {
 public:
  TempDir();
  explicit TempDir(SharedWithDeathTests);
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  // path(), the separator, and `relative` with each '/' read as the separator.
  std::string at(const std::string& relative) const;
  // Writes `content` to the file, creating parent directories.
  void write(const std::string& relative, const std::string& content) const;
  void mkdir(const std::string& relative) const;

 private:
  std::string path_;
  bool owned_ = true;  // false in a death test's child: the parent removes it
};

// The whole content of a file.
std::string read_file(const std::string& path);
// Sets an extended attribute (a named stream on Linux); false when the file system refuses
// it. Not on Windows.
bool set_xattr(const std::string& path, const std::string& name, const std::string& value);
// Removes one; false when there is none to remove.
bool remove_xattr(const std::string& path, const std::string& name);
// The lines of a text, without their line ends.
std::vector<std::string> lines_of(const std::string& text);
// The text with each "\n" as the program writes it into a file on this system.
std::string as_written(const std::string& text);
// The record lines of a listing: those that begin with one of the given names.
std::vector<std::string> records_naming(const std::string& text,
                                        const std::vector<std::string>& names);
