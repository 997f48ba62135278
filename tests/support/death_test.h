// What death tests need to read the same on every system.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "support/temp_dir.h"

// Finds `pattern`, a POSIX extended regular expression, anywhere in a death test's standard
// error. Where GoogleTest's own expressions are simpler (no '.' across line ends, no groups),
// a bare string pattern would read differently, so the death tests spell it this way.
testing::Matcher<const std::string&> ContainsPattern(const std::string& pattern);
// `text` as a pattern that matches exactly it (a Windows path's '\' included).
std::string pattern_literal(const std::string& text);

// A scratch directory that a death test's child sees as well. A forked child shares the
// test's own; a child that is a fresh start of the test binary (Windows) takes the one its
// parent made from the environment, rather than making a second that the parent never reads.
class DeathTestDir {
 public:
  DeathTestDir();
  DeathTestDir(const DeathTestDir&) = delete;
  DeathTestDir& operator=(const DeathTestDir&) = delete;

  const std::string& path() const { return path_; }
  // path(), the separator, and `relative` with each '/' read as the separator.
  std::string at(const std::string& relative) const;

 private:
  std::unique_ptr<TempDir> own_;  // none in a child that took its parent's
  std::string path_;
};
