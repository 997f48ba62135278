// Stand-in until the shortening rules are built.
#include "output/shorten.h"

std::string shorten_keep_tail(const std::string& path, int) { return path; }
std::string shorten_keep_head(const std::string& path, int) { return path; }
