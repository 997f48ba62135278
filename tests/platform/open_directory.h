// A directory opened through the platform for one test and closed with it.
#pragma once

#include <string>

#include "platform/platform.h"

class OpenDirectory {
 public:
  OpenDirectory(Platform& platform, const std::string& path) : platform_(platform) {
    dir_.path = path.empty() || path.back() == '/' ? path : path + "/";
    dir_.handle = platform.open_directory(path, &error_);
  }
  ~OpenDirectory() { platform_.close_directory(dir_.handle); }
  OpenDirectory(const OpenDirectory&) = delete;
  OpenDirectory& operator=(const OpenDirectory&) = delete;

  const Directory& dir() const { return dir_; }
  bool is_open() const { return dir_.handle != nullptr; }
  const std::string& error() const { return error_; }

 private:
  Platform& platform_;
  Directory dir_;
  std::string error_;
};
