// Trees and files the scenario and walk tests set up in ways a plain write cannot.
#pragma once

#include <cstdint>
#include <string>

// The longest path the system takes in one call, in bytes or characters.
extern const std::size_t kSystemPathLimit;

// Makes a FIFO; false where the system has none.
bool make_fifo(const std::string& path);
// Shows the directory `dir` again, read-only, at the empty directory `at`; false with the
// system's reason in `why` where mounting is refused (no privilege, no such system).
bool mount_read_only(const std::string& dir, const std::string& at, std::string* why);
// Takes the view made by mount_read_only away again.
void unmount(const std::string& at);

// Makes `depth` nested directories each named `level` below `root` and, in the deepest, the
// file `leaf` holding "x": deeper than one path of the system can name, so through the
// system's own way around its path limit. False when a step is refused.
bool make_deep_tree(const std::string& root, const std::string& level, int depth,
                    const std::string& leaf);
// Removes what make_deep_tree made, from the bottom up.
void remove_deep_tree(const std::string& root, const std::string& level, int depth,
                      const std::string& leaf);
