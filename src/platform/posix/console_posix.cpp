// Console keys and the requests to end the run. Keys are read one byte at a time without echo; the
// terminal keeps ISIG so that Ctrl-C still arrives as a signal, and gets its own settings
// back when the process exits.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>

#include "platform/posix/posix_platform.h"

namespace {

// Set by the handler on whichever thread takes the signal, read by every thread: a lock-free
// atomic is both safe in a handler and free of a data race.
std::atomic<int> interrupt_requested{0};
static_assert(std::atomic<int>::is_always_lock_free);
int wake_pipe[2] = {-1, -1};

void on_interrupt(int) {
  interrupt_requested = 1;
  if (wake_pipe[1] >= 0) {
    const int saved = errno;
    ssize_t ignored = write(wake_pipe[1], "!", 1);  // a full pipe wakes its readers already
    (void)ignored;
    errno = saved;
  }
}

struct TerminalState {
  bool switched = false;
  struct termios saved {};
};

TerminalState terminal;

// A process in the background that changes the terminal would be stopped by SIGTTOU;
// blocking the signal for the call lets the change go through instead.
void set_terminal(const struct termios& settings) {
  sigset_t block;
  sigset_t previous;
  sigemptyset(&block);
  sigaddset(&block, SIGTTOU);
  sigprocmask(SIG_BLOCK, &block, &previous);
  tcsetattr(STDIN_FILENO, TCSANOW, &settings);
  sigprocmask(SIG_SETMASK, &previous, nullptr);
}

void restore_terminal() {
  if (!terminal.switched) return;
  set_terminal(terminal.saved);
  terminal.switched = false;
}

bool input_is_terminal() {
  return isatty(STDIN_FILENO) == 1;
}

bool in_foreground() {
  return tcgetpgrp(STDIN_FILENO) == getpgrp();
}

void switch_to_key_mode() {
  static bool restore_registered = false;
  // A background process must not change the settings of the job in the foreground.
  if (terminal.switched || !input_is_terminal() || !in_foreground()) return;
  if (tcgetattr(STDIN_FILENO, &terminal.saved) != 0) return;
  struct termios keys = terminal.saved;
  keys.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
  keys.c_cc[VMIN] = 1;
  keys.c_cc[VTIME] = 0;
  if (!restore_registered) {
    std::atexit(restore_terminal);
    restore_registered = true;
  }
  set_terminal(keys);
  terminal.switched = true;
}

}  // namespace

namespace posix {

int interrupt_wake_fd() {
  return wake_pipe[0];
}

bool leave_key_mode() {
  bool was_switched = terminal.switched;
  restore_terminal();
  return was_switched;
}
void enter_key_mode() {
  switch_to_key_mode();
}

}  // namespace posix

bool PosixPlatform::stderr_is_terminal() {
  static const bool terminal = isatty(STDERR_FILENO) == 1;
  return terminal;
}

bool PosixPlatform::stdin_is_terminal() {
  if (stdin_terminal_ < 0) stdin_terminal_ = input_is_terminal() ? 1 : 0;
  return stdin_terminal_ == 1;
}

// Only a terminal in the foreground is asked: a pipe or file must never be read by the walk's
// abort poll, and a background process reading the terminal would be stopped. The walk asks
// once per entry, so the terminal itself is asked at most every 50 ms: a key waits that long
// at worst, and a tree of small files pays no system call per file for it.
bool PosixPlatform::key_waiting() {
  constexpr auto kPollInterval = std::chrono::milliseconds(50);
  if (!stdin_is_terminal()) return false;
  auto now = std::chrono::steady_clock::now();
  if (key_polled_ && now - last_key_poll_ < kPollInterval) return false;
  key_polled_ = true;
  last_key_poll_ = now;
  if (!in_foreground()) return false;
  switch_to_key_mode();
  pollfd input = {STDIN_FILENO, POLLIN, 0};
  return poll(&input, 1, 0) == 1 && (input.revents & (POLLIN | POLLHUP)) != 0;
}

int PosixPlatform::read_key() {
  switch_to_key_mode();
  while (true) {
    unsigned char key = 0;
    ssize_t got = read(STDIN_FILENO, &key, 1);
    if (got == 1) return key;
    if (got == 0) return kKeyEndOfInput;
    if (errno == EINTR) {
      if (interrupt_pending()) return kKeyInterrupted;
      continue;
    }
    if (errno == EAGAIN) {
      pollfd input = {STDIN_FILENO, POLLIN, 0};
      if (poll(&input, 1, -1) < 0 && errno == EINTR && interrupt_pending()) {
        return kKeyInterrupted;
      }
      continue;
    }
    return kKeyEndOfInput;
  }
}

// No SA_RESTART: a read waiting for a key must return so the run can end. A hang-up or a
// terminate request ends the run as Ctrl-C does, with the output cut at a record boundary.
// SIGPIPE would kill the process in the middle of a record; ignored, a reader that left a
// pipe shows as EPIPE on the write, which the run reports.
void PosixPlatform::install_interrupt_handler() {
  if (wake_pipe[0] < 0 && pipe2(wake_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
    wake_pipe[0] = wake_pipe[1] = -1;
  }
  struct sigaction action {};
  action.sa_handler = on_interrupt;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;
  for (int request : {SIGINT, SIGTERM, SIGHUP}) sigaction(request, &action, nullptr);
  signal(SIGPIPE, SIG_IGN);
}

bool PosixPlatform::interrupt_pending() {
  return interrupt_requested.load() != 0;
}
