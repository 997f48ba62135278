#include "support/temp_dir.h"

#include <sys/xattr.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

TempDir::TempDir() {
  std::string pattern = (fs::temp_directory_path() / "tallysum-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  // Tests may leave read-only files behind; removal as root ignores the bits anyway.
  fs::remove_all(path_, ignored);
}

std::string TempDir::at(const std::string& relative) const { return path_ + "/" + relative; }

void TempDir::write(const std::string& relative, const std::string& content) const {
  fs::path file = at(relative);
  fs::create_directories(file.parent_path());
  std::ofstream out(file, std::ios::binary);
  out << content;
}

void TempDir::mkdir(const std::string& relative) const { fs::create_directories(at(relative)); }

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

bool set_xattr(const std::string& path, const std::string& name, const std::string& value) {
  return setxattr(path.c_str(), name.c_str(), value.data(), value.size(), 0) == 0;
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}
