// The wildcard rules of file patterns: '*' any run of bytes, '?' exactly one byte, ASCII
// letters without case, and "name.*" also matching the bare name, so that "*.*" matches every
// name, dot or not.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "platform/platform.h"

bool wildcard_match(std::string_view pattern, std::string_view name);

// Hands `visit` the index of every entry of a listing that a file pattern selects by long or
// 8.3 name, in listing order. A pattern without wildcards names one entry: the one of exactly
// that name when there is one, else those equal to it without case.
void for_each_matching(const DirListing& listing, const std::string& pattern,
                       const std::function<void(std::size_t)>& visit);
