#include <sys/xattr.h>

#include "support/temp_dir.h"

bool set_xattr(const std::string& path, const std::string& name, const std::string& value) {
  return setxattr(path.c_str(), name.c_str(), value.data(), value.size(), 0) == 0;
}

bool remove_xattr(const std::string& path, const std::string& name) {
  return removexattr(path.c_str(), name.c_str()) == 0;
}
