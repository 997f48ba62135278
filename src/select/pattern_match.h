// Whole-name matching of exclusion patterns with the shell rules: '*' any run (dots and
// separators included), '?' one byte, "[...]" one byte of a set with ranges, classes such as
// "[:digit:]" (ASCII meanings) and '!' or '^' negation, '\' makes the next character literal
// (a pattern ending in a lone '\' matches nothing). Bytes are compared as they stand.
#pragma once

#include <string>

bool pattern_matches(const std::string& pattern, const std::string& name);
