#include "config/ini_file.h"

#include <cstdio>
#include <vector>

#include "config/ini_line.h"
#include "platform/platform.h"
#include "platform/text_file.h"
#include "run/run_state.h"
#include "run/termination.h"
#include "run/text_format.h"

namespace {

constexpr const char* kSharedFile = "KELDRAIN.INI";
constexpr const char* kOwnName = "TALLYSUM";

std::string join_path(const std::string& directory, const std::string& name) {
  if (!directory.empty() && directory.back() == kSeparator) return directory + name;
  return directory + kSeparator + name;
}

std::string directory_of(const std::string& path) {
  std::size_t last = path.rfind(kSeparator);
  if (last == std::string::npos) return "";
  return last == 0 ? path.substr(0, 1) : path.substr(0, last);
}

struct Candidate {
  std::string directory;
  std::string name;
  bool section_only;
};

std::vector<Candidate> candidates(const std::string& program_path) {
  std::string here = os().current_directory();
  std::string home = directory_of(program_path);
  std::string own = program_name(program_path);
  std::vector<Candidate> list;
  if (!own.empty()) {
    list.push_back({here, own + ".ini", false});
    list.push_back({home, own + ".ini", false});
    list.push_back({here, kSharedFile, true});
    list.push_back({home, kSharedFile, true});
  }
  list.push_back({here, std::string(kOwnName) + ".ini", false});
  list.push_back({home, std::string(kOwnName) + ".ini", false});
  return list;
}

// The configuration file's text, read whole, and the place of the next line in it.
struct LineSource {
  std::string text;
  std::size_t next = 0;
};

// One whole line of any length, its line end (LF or CR LF) removed. False at the end of the
// file.
bool read_line(LineSource* file, std::string* line) {
  if (file->next >= file->text.size()) return false;
  std::size_t end = file->text.find('\n', file->next);
  if (end == std::string::npos) end = file->text.size();
  line->assign(file->text, file->next, end - file->next);
  file->next = end + 1;
  if (!line->empty() && line->back() == '\r') line->pop_back();
  return true;
}

bool starts_with(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

std::string section_header(const std::string& program) {
  std::string header(1, '[');
  header += upper_case_ascii(program);
  header += ']';
  return header;
}

// Skips to the line after the program's section header; false when the file has none.
bool find_section(LineSource* file, const std::string& header) {
  std::string line;
  while (read_line(file, &line)) {
    if (starts_with(upper_case_ascii(line), header)) return true;
  }
  return false;
}

// Applies the line and keeps the first refusal met.
void apply_line(const std::string& line, std::string* refused) {
  std::string why = apply_configuration_line(line);
  if (refused->empty()) *refused = why;
}

void apply_section(LineSource* file, const std::string& header, std::string* refused) {
  if (!find_section(file, header)) return;
  std::string line;
  while (read_line(file, &line)) {
    std::string upper = upper_case_ascii(line);
    if (starts_with(upper, "[") || upper.find(header) != std::string::npos) return;
    apply_line(line, refused);
  }
}

void apply_whole_file(LineSource* file, std::string* refused) {
  std::string line;
  while (read_line(file, &line)) apply_line(line, refused);
}

// Reading a FIFO or a device could block for ever, and a directory holds no lines: only a
// regular file is read.
bool read_configuration(const std::string& path, LineSource* file, std::string* why) {
  return read_text_file(path, &file->text, why);
}

// The message does not name the file, so the line with the system's reason does.
void report_unopenable_file(const std::string& path, const std::string& why) {
  std::fputs("\nCouldn't open .ini file\n", stdout);
  if (!why.empty()) std::fprintf(stdout, "%s: %s\n", printable_text(path).c_str(), why.c_str());
  std::fflush(stdout);
  if (os().read_key() == kKeyInterrupted) check_interrupt();
}

bool asks_for_no_file(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (argv[i] != nullptr && upper_case_ascii(argv[i]) == "-.INI") return true;
  }
  return false;
}

}  // namespace

std::string program_name(const std::string& program_path) {
  std::size_t slash = program_path.rfind(kSeparator);
  std::string base = slash == std::string::npos ? program_path : program_path.substr(slash + 1);
  std::size_t dot = base.rfind('.');
  return dot == std::string::npos ? base : base.substr(0, dot);
}

bool find_configuration_file(const std::string& program_path, ConfigurationFile* found) {
  for (const Candidate& candidate : candidates(program_path)) {
    if (candidate.directory.empty()) continue;
    std::string name = os().find_name_ignoring_case(candidate.directory, candidate.name);
    if (name.empty()) continue;
    found->path = join_path(candidate.directory, name);
    found->section_only = candidate.section_only;
    return true;
  }
  return false;
}

std::string read_configuration_file(int argc, char** argv) {
  if (asks_for_no_file(argc, argv)) return "";
  std::string program = run.module_path;
  if (program.empty() && argc > 0 && argv[0] != nullptr) program = argv[0];
  ConfigurationFile config;
  if (!find_configuration_file(program, &config)) return "";
  LineSource file;
  std::string why;
  if (!read_configuration(config.path, &file, &why)) {
    report_unopenable_file(config.path, why);
    return "";
  }
  std::string refused;
  if (config.section_only) {
    apply_section(&file, section_header(program_name(program)), &refused);
  } else {
    apply_whole_file(&file, &refused);
  }
  return refused;
}
