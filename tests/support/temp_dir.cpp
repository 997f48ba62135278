#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#include "platform/platform.h"
#include "support/c_library.h"
#include "support/native_path.h"

namespace fs = std::filesystem;

namespace {

// The environment entry that hands the n-th scratch directory of the running test to a death
// test's child (the child inherits the environment as it is when the parent starts it).
std::string handed_down_entry() {
  static std::string test;
  static int made = 0;
  const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
  std::string current =
      info != nullptr ? std::string(info->test_suite_name()) + "." + info->name() : std::string();
  if (current != test) test = current, made = 0;
  return "TALLYSUM_TEST_SCRATCH_" + std::to_string(made++);
}

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

// A name no other test or run can hold: created, not merely looked for.
std::string new_scratch_directory() {
  std::random_device seed;
  std::mt19937_64 draw(seed());
  const fs::path base = fs::temp_directory_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    fs::path candidate = base / ("tallysum-test-" + std::to_string(draw() % 1000000000));
    std::error_code error;
    if (!fs::create_directory(candidate, error)) continue;
    if (testing::internal::InDeathTestChild()) {
      if (made_in_child().empty()) std::atexit(remove_made_in_child);
      made_in_child().push_back(candidate.string());
    }
    return candidate.string();
  }
  throw std::runtime_error("no scratch directory could be made");
}

}  // namespace

TempDir::TempDir() : path_(new_scratch_directory()) {}

TempDir::TempDir(SharedWithDeathTests) {
  const std::string entry = handed_down_entry();
  if (!GTEST_FLAG_GET(internal_run_death_test).empty()) {
    const char* inherited = std::getenv(entry.c_str());
    if (inherited != nullptr && *inherited != '\0') {
      path_ = inherited;
      owned_ = false;
      return;
    }
  }
  path_ = new_scratch_directory();
  set_environment(entry.c_str(), path_.c_str());
}

TempDir::~TempDir() {
  if (!owned_) return;
  std::error_code ignored;
  // Tests may leave read-only files behind; removal as root ignores the bits anyway.
  fs::remove_all(path_, ignored);
}

std::string TempDir::at(const std::string& relative) const {
  return path_ + kSeparator + native_path(relative);
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
