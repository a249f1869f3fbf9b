// broaden: a line list in, a Gaussian-broadened spectrum file out.

#include <csignal>
#include <iostream>

#include "io/posix_file_system.h"
#include "run/run.h"

int main() {
  // A closed pipe or an exceeded file-size limit then fails the write that
  // met it, which the run reports, instead of killing the process.
  std::signal(SIGPIPE, SIG_IGN);
  std::signal(SIGXFSZ, SIG_IGN);
  std::ios::sync_with_stdio(false);
  std::cin.tie(nullptr);

  broaden::PosixFileSystem files;
  return broaden::run(std::cin, std::cout, std::cerr, files);
}
