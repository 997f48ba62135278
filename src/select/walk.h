// The directory walk: search paths and patterns into the files of a catalogue. Each pass lists
// a directory when it gets to it (with recursion, once for its subdirectories and again, after
// them, for its files) and keeps nothing of it afterwards; the listing gives names and kinds,
// and a file's facts are taken when its record is made. Everything in a directory is reached
// through it, so no path length limits the depth of a tree.
#pragma once

#include <functional>
#include <string>

#include "platform/platform.h"

// Where the main pass hands what it selects. The driver wires it to the record writers; a test
// can record the calls instead.
class WalkSink {
 public:
  virtual ~WalkSink() = default;
  // A file of `dir` that matched a pattern and no exclusion pattern; `entry` holds its name
  // and 8.3 name only, the rest being taken when the file is reached.
  virtual void file(const Directory& dir, const DirEntry& entry) = 0;
  // The directory `name` of `parent` (empty: `parent` itself), whose full path without its
  // separator is `path`, carries `n` named streams, which the stream table now holds. Called
  // from within a step handed to in_walk_order.
  virtual void directory_streams(const Directory& parent, const std::string& name,
                                 const std::string& path, int n) = 0;
  // Everything else the main pass does as it goes (messages, progress, counters, the key
  // poll, the interrupt check, closing a directory) comes here as a step, so that a sink that
  // writes its records later than the walk hands the files on can run each step after the
  // records of the files handed on before it. By default the step runs at once.
  virtual void in_walk_order(std::function<void()> step) { step(); }
};

// Walks the search path `dir` (a full path ending in the separator) in the current pass: the
// counting pass only counts; the main pass hands files and directory streams to `sink`.
void walk_directory(const std::string& dir, WalkSink& sink);
// True when the bare file name matches an exclusion pattern.
bool is_excluded(const std::string& name);
// Polls the keyboard: true for Esc or a typed Ctrl-C; any other key is consumed.
bool abort_key_pressed();
