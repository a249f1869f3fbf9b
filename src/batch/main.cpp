// broaden-batch: a line list in, a broadened spectrum out, driven by options.

#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <iostream>

#include "batch/batch.h"
#include "batch/gnuplot.h"
#include "io/posix_file_system.h"

int main(int argc, char** argv) {
  // A closed pipe or an exceeded file-size limit then fails the write that
  // met it, which the run reports (a closed standard output quietly, then
  // ending by SIGPIPE all the same), instead of killing the process.
  std::signal(SIGPIPE, SIG_IGN);
  std::signal(SIGXFSZ, SIG_IGN);
  broaden::remove_temporary_files_on_signals();
  std::ios::sync_with_stdio(false);
  broaden::PosixFileSystem files;
  broaden::BatchTerminal terminal;
  terminal.progress = ::isatty(STDERR_FILENO) == 1;
  // BROADEN_GNUPLOT names the program that draws --plot's picture (tests
  // name a missing one); by default gnuplot, found on PATH.
  const char* gnuplot = std::getenv("BROADEN_GNUPLOT");
  broaden::GnuplotDriver driver(gnuplot != nullptr && *gnuplot != '\0' ? gnuplot : "gnuplot");
  const int status =
      broaden::run_batch(argc, argv, STDIN_FILENO, std::cout, std::cerr, files, terminal, &driver);
  if (status == broaden::kBatchOutputClosed) {
    // End as the writer of a pipeline ends when its reader has gone.
    std::signal(SIGPIPE, SIG_DFL);
    std::raise(SIGPIPE);
  }
  return status;
}
