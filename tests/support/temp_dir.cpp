#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#include "platform/platform.h"

namespace fs = std::filesystem;

namespace {

// The scratch directories of a death test's child. The child ends by exit, which runs no
// destructor; where it is a fresh start of the test binary (Windows) its directories are its
// own, and they go when it exits instead (all but one holding a file the child still has open).
std::vector<std::string>& made_in_child() {
  static std::vector<std::string> paths;
  return paths;
}

void remove_made_in_child() {
  std::error_code ignored;
  for (const std::string& path : made_in_child()) fs::remove_all(path, ignored);
}

}  // namespace

TempDir::TempDir() {
  // A name no other test or run can hold: created, not merely looked for.
  std::random_device seed;
  std::mt19937_64 draw(seed());
  const fs::path base = fs::temp_directory_path();
  for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
    fs::path candidate = base / ("tallysum-test-" + std::to_string(draw() % 1000000000));
    std::error_code error;
    if (fs::create_directory(candidate, error)) path_ = candidate.string();
  }
  if (path_.empty()) throw std::runtime_error("no scratch directory could be made");
  if (testing::internal::InDeathTestChild()) {
    if (made_in_child().empty()) std::atexit(remove_made_in_child);
    made_in_child().push_back(path_);
  }
}

TempDir::~TempDir() {
  std::error_code ignored;
  // Tests may leave read-only files behind; removal as root ignores the bits anyway.
  fs::remove_all(path_, ignored);
}

std::string TempDir::at(const std::string& relative) const {
  std::string native = relative;
  for (char& c : native) {
    if (c == '/') c = kSeparator;
  }
  return path_ + kSeparator + native;
}

void TempDir::write(const std::string& relative, const std::string& content) const {
  fs::path file = at(relative);
  fs::create_directories(file.parent_path());
  std::ofstream out(file, std::ios::binary);
  out << content;
}

void TempDir::mkdir(const std::string& relative) const {
  fs::create_directories(at(relative));
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::string as_written(const std::string& text) {
  std::string written;
  for (char c : text) written += c == '\n' ? std::string(kLineEnd) : std::string(1, c);
  return written;
}

std::vector<std::string> records_naming(const std::string& text,
                                        const std::vector<std::string>& names) {
  std::vector<std::string> found;
  for (const std::string& line : lines_of(text)) {
    for (const std::string& name : names) {
      if (line.rfind(name, 0) == 0) found.push_back(line);
    }
  }
  return found;
}
