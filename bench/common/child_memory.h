#pragma once
// Peak memory of a piece of work, run in a child process so that each measurement starts from the
// same state (the parent's pages) and nothing freed by one run hides another's peak.

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

namespace vt::bench {

// Runs `work` in a forked child and answers its peak resident size in MB (-1 on failure).
template <class Work>
double ChildPeakMegabytes(Work&& work) {
  pid_t pid = fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    work();
    std::_Exit(0);
  }
  int status = 0;
  rusage usage{};
  if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    return -1;
  }
  return usage.ru_maxrss / 1024.0;
}

}  // namespace vt::bench
