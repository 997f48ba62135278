// The program's manual page as its help file, shown with the system's manual viewer.
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "platform/posix/posix_platform.h"

namespace {

bool is_regular_file(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::vector<std::string> manual_directories(const std::string& program_dir, const char* manpath) {
  std::vector<std::string> directories = {program_dir, program_dir + "/../share/man/man1"};
  std::string list = manpath != nullptr ? manpath : "";
  if (list.empty()) list = "/usr/local/share/man:/usr/share/man";
  std::size_t start = 0;
  while (start <= list.size()) {
    std::size_t end = list.find(':', start);
    if (end == std::string::npos) end = list.size();
    if (end > start) directories.push_back(list.substr(start, end - start) + "/man1");
    start = end + 1;
  }
  return directories;
}

}  // namespace

namespace posix {

std::string find_manual_page(const std::string& program_path, const char* manpath) {
  std::size_t slash = program_path.rfind('/');
  std::string program_dir = slash == std::string::npos ? std::string(".")
                            : slash == 0               ? std::string("/")
                                                       : program_path.substr(0, slash);
  std::string base = slash == std::string::npos ? program_path : program_path.substr(slash + 1);
  std::size_t dot = base.find('.');
  if (dot != std::string::npos) base.resize(dot);
  if (base.empty()) return "";
  for (const std::string& directory : manual_directories(program_dir, manpath)) {
    for (const char* suffix : {".1", ".1.gz"}) {
      std::string candidate = directory;
      candidate.append("/").append(base).append(suffix);
      if (is_regular_file(candidate)) return candidate;
    }
  }
  return "";
}

}  // namespace posix

// A manual page is only worth finding when someone can read it on the terminal.
std::string PosixPlatform::find_help_file(const std::string& program_path) {
  if (isatty(STDIN_FILENO) != 1 || isatty(STDOUT_FILENO) != 1) return "";
  return posix::find_manual_page(program_path, std::getenv("MANPATH"));
}

// The viewer's pager shares the terminal with us, so we wait for it, give the terminal its
// usual settings for that time, and leave a Ctrl-C meant for the pager to the pager.
bool PosixPlatform::show_help_file(const std::string& help_path) {
  // A name that begins with '-' would be taken for an option of the viewer.
  std::string page = (!help_path.empty() && help_path[0] == '-') ? "./" + help_path : help_path;
  std::fflush(nullptr);
  bool key_mode = posix::leave_key_mode();
  struct sigaction ignore {};
  struct sigaction previous {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  sigaction(SIGINT, &ignore, &previous);
  pid_t child = fork();
  if (child == 0) {
    signal(SIGINT, SIG_DFL);  // an ignored signal would stay ignored in the viewer
    execlp("man", "man", "-l", page.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  bool waited = false;
  if (child > 0) {
    pid_t done = -1;
    while ((done = waitpid(child, &status, 0)) < 0 && errno == EINTR) {
    }
    waited = done == child;
  }
  sigaction(SIGINT, &previous, nullptr);
  if (key_mode) posix::enter_key_mode();
  return waited && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}
