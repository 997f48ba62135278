#include "config/long_options.h"

#include <cstring>
#include <string>
#include <utility>

#include "run/settings.h"

namespace {

// More workers than this only cost memory and switching.
constexpr int kMaxJobs = 1024;

// A whole decimal number from 1 to kMaxJobs; anything else (a sign, a fraction, trailing text,
// too large a number) is refused rather than half read.
bool read_job_count(const std::string& text, int* jobs) {
  if (text.empty() || text.size() > 4) return false;
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  if (value < 1 || value > kMaxJobs) return false;
  *jobs = value;
  return true;
}

bool read_format(const std::string& text) {
  const std::pair<const char*, RecordFormat> formats[] = {{"fixed", RecordFormat::kFixedWidth},
                                                          {"csv", RecordFormat::kCsv},
                                                          {"json", RecordFormat::kJson}};
  for (const auto& [name, format] : formats) {
    if (text == name) {
      settings.record_format = format;
      return true;
    }
  }
  return false;
}

// "--name=value" or "--name value"; false when no value follows.
bool take_value(int argc, char** argv, int* index, const std::string& name, std::string* value) {
  const std::string arg = argv[*index];
  if (arg.size() > name.size() && arg[name.size()] == '=') {
    *value = arg.substr(name.size() + 1);
    return true;
  }
  if (*index + 1 >= argc) return false;
  *index += 1;
  *value = argv[*index];
  return true;
}

bool names(const std::string& arg, const std::string& name) {
  return arg == name || arg.rfind(name + "=", 0) == 0;
}

}  // namespace

bool is_long_option(const char* arg) {
  return std::strncmp(arg, "--", 2) == 0;
}

int parse_long_option(int argc, char** argv, int index, std::string* problem) {
  const std::string arg = argv[index];
  if (names(arg, "--jobs")) {
    std::string value;
    int jobs = 0;
    if (!take_value(argc, argv, &index, "--jobs", &value) || !read_job_count(value, &jobs)) {
      *problem = "Option --jobs needs a number of workers from 1 to " + std::to_string(kMaxJobs);
      return index;
    }
    settings.jobs = jobs;
    return index;
  }
  if (names(arg, "--format")) {
    std::string value;
    if (!take_value(argc, argv, &index, "--format", &value) || !read_format(value)) {
      *problem = "Option --format needs csv, json or fixed";
    }
    return index;
  }
  *problem = "Unknown option " + arg;
  return index;
}
