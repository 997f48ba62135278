#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/child_process.h"
#include "platform/posix/posix_platform.h"

namespace {

// Makes the read end of a new pipe standard input; returns the write end.
int pipe_as_stdin(const char* text) {
  int ends[2];
  if (pipe(ends) != 0) return -1;
  if (write(ends[1], text, std::strlen(text)) < 0) return -1;
  dup2(ends[0], STDIN_FILENO);
  close(ends[0]);
  return ends[1];
}

}  // namespace

TEST(Console, KeysFromAPipeThenEndOfInput) {
  int status = run_in_child([] {
    int writer = pipe_as_stdin("a\x1b");
    close(writer);
    PosixPlatform platform;
    if (platform.stdin_is_terminal()) return 1;
    if (platform.read_key() != 'a') return 2;
    if (platform.read_key() != 27) return 3;
    if (platform.read_key() != kKeyEndOfInput) return 4;
    return platform.read_key() == kKeyEndOfInput ? 0 : 5;
  });
  EXPECT_EQ(status, 0);
}

TEST(Console, KeyWaitingNeverReadsAPipe) {
  int status = run_in_child([] {
    int writer = pipe_as_stdin("x");
    PosixPlatform platform;
    if (platform.key_waiting()) return 1;      // data is there, but a pipe is not a keyboard
    if (platform.read_key() != 'x') return 2;  // and nothing was consumed
    close(writer);
    return platform.key_waiting() ? 3 : 0;
  });
  EXPECT_EQ(status, 0);
}

TEST(Console, CtrlCIsRecordedAndEndsAWaitingKeyRead) {
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  pid_t child = fork();
  if (child == 0) {
    alarm(5);
    int writer = pipe_as_stdin("");  // kept open: the read below waits
    PosixPlatform platform;
    platform.install_interrupt_handler();
    bool clean_before = !platform.interrupt_pending();
    if (write(ready[1], "r", 1) != 1) _exit(9);
    int key = platform.read_key();
    close(writer);
    _exit(clean_before && key == kKeyInterrupted && platform.interrupt_pending() ? 0 : 1);
  }
  char byte = 0;
  ASSERT_EQ(read(ready[0], &byte, 1), 1);
  usleep(100000);  // let the child reach its read
  kill(child, SIGINT);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << "the child did not end by itself";
  EXPECT_EQ(WEXITSTATUS(status), 0);
  close(ready[0]);
  close(ready[1]);
}

TEST(Console, TerminalKeysArriveOneByOneWithoutEchoAndSettingsComeBack) {
  int master = posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_EQ(grantpt(master), 0);
  ASSERT_EQ(unlockpt(master), 0);
  std::string terminal = ptsname(master);
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  pid_t child = fork();
  if (child == 0) {
    alarm(5);
    setsid();  // a session of its own, with the pseudo-terminal as controlling terminal
    int slave = open(terminal.c_str(), O_RDWR);
    if (slave < 0) _exit(9);
    dup2(slave, STDIN_FILENO);
    PosixPlatform platform;
    if (!platform.stdin_is_terminal() || platform.key_waiting()) _exit(1);
    termios mode{};
    tcgetattr(STDIN_FILENO, &mode);
    if ((mode.c_lflag & (ICANON | ECHO)) != 0 || (mode.c_lflag & ISIG) == 0) _exit(2);
    if (write(ready[1], "r", 1) != 1) _exit(9);
    while (!platform.key_waiting()) usleep(1000);
    exit(platform.read_key() == 'k' ? 0 : 3);  // exit(): the settings go back at exit
  }
  close(ready[1]);
  char byte = 0;
  if (read(ready[0], &byte, 1) == 1) {
    EXPECT_EQ(write(master, "k", 1), 1);  // no line end
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  close(ready[0]);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  int slave = open(terminal.c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(slave, 0);
  termios after{};
  ASSERT_EQ(tcgetattr(slave, &after), 0);
  EXPECT_NE(after.c_lflag & ICANON, 0u);
  EXPECT_NE(after.c_lflag & ECHO, 0u);
  close(slave);
  close(master);
}

TEST(Console, HangUpAndTerminateRequestsAreRecordedAndAGoneReaderIsNoSignal) {
  for (int request : {SIGINT, SIGTERM, SIGHUP}) {
    int status = run_in_child([request] {
      PosixPlatform platform;
      platform.install_interrupt_handler();
      if (platform.interrupt_pending()) return 1;
      raise(request);
      if (!platform.interrupt_pending()) return 2;
      int ends[2];
      if (pipe(ends) != 0) return 9;
      close(ends[0]);
      // Without a reader the write fails instead of ending the process.
      return write(ends[1], "x", 1) == -1 && errno == EPIPE ? 0 : 3;
    });
    EXPECT_EQ(status, 0) << strsignal(request);
  }
}

TEST(Console, WhetherInputIsATerminalIsAskedOnce) {
  int status = run_in_child([] {
    int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return 9;
    int slave = open(ptsname(master), O_RDWR | O_NOCTTY);
    if (slave < 0) return 9;
    int writer = pipe_as_stdin("");
    PosixPlatform platform;
    if (platform.stdin_is_terminal()) return 1;
    dup2(slave, STDIN_FILENO);  // the answer holds for the run
    if (platform.stdin_is_terminal() || platform.key_waiting()) return 2;
    close(writer);
    PosixPlatform fresh;
    return fresh.stdin_is_terminal() ? 0 : 3;
  });
  EXPECT_EQ(status, 0);
}
