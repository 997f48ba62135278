// Runs a piece of a test in a child process: for behaviour that is process-wide (signals,
// standard input, locks held by another process) or that could block if it were wrong.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

// The child's exit status, or -1 when it did not exit normally (killed by the alarm after
// `seconds`, or by any other signal). `body` returns the status to exit with.
template <typename Body>
int run_in_child(Body body, unsigned seconds = 5) {
  pid_t child = fork();
  if (child == 0) {
    alarm(seconds);
    _exit(body());
  }
  int status = 0;
  if (child < 0 || waitpid(child, &status, 0) != child) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
