// The whole broaden-batch run: command line in, spectrum out, exit status.
#pragma once

#include <ostream>

#include "batch/gnuplot.h"
#include "batch/progress.h"
#include "io/file_system.h"

namespace broaden {

/// Exit statuses.
inline constexpr int kBatchDone = 0;        ///< the spectrum was written
inline constexpr int kBatchFailed = 1;      ///< reading or writing failed
inline constexpr int kBatchUsageError = 2;  ///< the command line was refused
/// Standard output was closed by its reader (EPIPE): the run ends without a
/// word, with the status of a process ended by SIGPIPE (128 + 13), as the
/// writer of a pipeline whose reader has gone (`broaden-batch ... | head`).
/// The program itself then ends by SIGPIPE's default action.
inline constexpr int kBatchOutputClosed = 141;

/// What the run may do on a terminal: with `progress` (standard error is a
/// terminal) a run whose broadening lasts longer than `timing.after` shows a
/// progress line on `err`, rewritten in place and blanked out at its end
/// (progress.h); never with --quiet.
struct BatchTerminal {
  bool progress = false;
  ProgressTiming timing;
};

/// Runs broaden-batch with the command line `argc`/`argv`: reads the line
/// list from its file, opened through `files`, or from the descriptor
/// `input_fd` when it is "-" or not given (and the names --inputs-from
/// lists, the list read first; a gzip inflated, what is not text refused:
/// input_text.h); writes the spectrum to its file,
/// made whole through `files` (see AtomicFile), or to `out`; help and
/// version go to `out`; warnings and failures are lines "broaden-batch:
/// ..." on `err`, names in them quoted with control characters escaped.
/// A line list read with notes (a header row skipped) gives them on `err`
/// as "broaden-batch: note: NAME:LINE: ...". With --plot the picture is
/// drawn through `driver` (nullptr: gnuplot found on PATH) once the data
/// output is whole, and made whole beside its name as -o's file is; a
/// picture that cannot be drawn is a failure (status 1) that leaves the data
/// output as written. Returns the exit status.
///
///   {"broaden-batch", "--fwhm", "1", "absent.txt"}
///     -> 1, err "broaden-batch: cannot open 'absent.txt': No such file or directory\n"
///   {"broaden-batch", "--fwhm", "1", "-o", "ir.tsv", "--plot", "ir.png", "lines.txt"},
///   gnuplot missing
///     -> 1, ir.tsv written, err "broaden-batch: cannot draw the plot: gnuplot is not
///        installed (Debian package gnuplot-nox)\n"
int run_batch(int argc, const char* const* argv, int input_fd, std::ostream& out, std::ostream& err,
              FileSystem& files, const BatchTerminal& terminal = {}, PlotDriver* driver = nullptr);

}  // namespace broaden
