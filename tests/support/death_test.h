// What death tests need to read the same on every system.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "support/temp_dir.h"

// Finds `pattern`, a POSIX extended regular expression, anywhere in a death test's standard
// error, each "\r\n" of it read as "\n" so that one pattern holds whatever the line ends. Where
// GoogleTest's own expressions are simpler (no '.' across line ends, no groups), a bare string
// pattern would read differently, so the death tests spell it this way.
testing::Matcher<const std::string&> ContainsPattern(const std::string& pattern);
// `text` as a pattern that matches exactly it (a Windows path's '\' included).
std::string pattern_literal(const std::string& text);
