#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstring>

#include "support/run_program.h"

namespace {

void drain(int fd, std::string* into, bool* open) {
  char buffer[4096];
  ssize_t n = read(fd, buffer, sizeof buffer);
  if (n > 0) {
    into->append(buffer, static_cast<std::size_t>(n));
  } else if (n == 0 || errno != EINTR) {
    *open = false;
  }
}

// A pseudo-terminal as a pipe: [0] the side the test reads, [1] the program's terminal, raw,
// so that its line ends arrive as written.
bool open_terminal(int ends[2]) {
  int reader = -1, terminal = -1;
  if (openpty(&reader, &terminal, nullptr, nullptr, nullptr) != 0) return false;
  termios mode;
  if (tcgetattr(terminal, &mode) == 0) {
    cfmakeraw(&mode);
    tcsetattr(terminal, TCSANOW, &mode);
  }
  ends[0] = reader;
  ends[1] = terminal;
  return true;
}

}  // namespace

ProgramResult run_tallysum(const ProgramRun& how) {
  int in[2], out[2], err[2];
  if (pipe(in) != 0 || pipe(out) != 0) return {};
  if (how.error_on_terminal ? !open_terminal(err) : pipe(err) != 0) return {};
  pid_t pid = fork();
  if (pid == 0) {
    dup2(in[0], 0);
    dup2(out[1], 1);
    dup2(err[1], 2);
    for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) close(fd);
    for (int fd : how.closed) close(fd);
    if (!how.directory.empty() && chdir(how.directory.c_str()) != 0) _exit(127);
    // The test's own entries come first: a lookup takes the first, so TZ=... overrides.
    std::vector<std::string> env = how.environment;
    env.push_back("PATH=/usr/bin:/bin");
    env.push_back("TZ=UTC0");
    std::vector<char*> envp;
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::vector<std::string> args = {TALLYSUM_BINARY};
    args.insert(args.end(), how.args.begin(), how.args.end());
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    execve(argv[0], argv.data(), envp.data());
    _exit(127);
  }
  close(in[0]);
  // Kept while the output is unread, to see the pipe through the program's eyes: full is when
  // this end takes nothing more.
  int probe = how.output_unread ? out[1] : -1;
  if (probe < 0) close(out[1]);
  close(err[1]);
  signal(SIGPIPE, SIG_IGN);
  if (!how.input.empty()) {
    ssize_t ignored = write(in[1], how.input.data(), how.input.size());
    (void)ignored;
  }
  close(in[1]);

  ProgramResult result;
  bool out_open = !how.output_unread, err_open = true;
  bool signalled = how.signal == 0;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(how.timeout_seconds);
  while (out_open || err_open) {
    pollfd fds[2] = {{out_open ? out[0] : -1, POLLIN, 0}, {err[0], POLLIN, 0}};
    int ready = poll(fds, 2, 200);
    if (ready > 0) {
      if (out_open && (fds[0].revents & (POLLIN | POLLHUP))) drain(out[0], &result.out, &out_open);
      if (err_open && (fds[1].revents & (POLLIN | POLLHUP | POLLERR)))
        drain(err[0], &result.err, &err_open);
    }
    if (probe >= 0) {
      pollfd room = {probe, POLLOUT, 0};
      if (poll(&room, 1, 0) == 0 && !signalled) {
        kill(pid, how.signal);
        signalled = true;
      }
      if (signalled) {
        close(probe);
        probe = -1;
      }
    }
    if (!signalled && !how.output_unread && result.out.find(how.signal_when) != std::string::npos) {
      // SIGPIPE stands for a reader that leaves: the pipe is closed, the program is not told.
      if (how.signal == SIGPIPE) {
        close(out[0]);
        out[0] = -1;
        out_open = false;
      } else {
        kill(pid, how.signal);
      }
      signalled = true;
    }
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid, SIGKILL);
      break;
    }
  }
  if (probe >= 0) close(probe);
  close(err[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  // What reached the reader that never read, now that nothing more can come.
  for (bool open = how.output_unread; open;) drain(out[0], &result.out, &open);
  if (out[0] >= 0) close(out[0]);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}
