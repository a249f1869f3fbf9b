// The whole broaden-batch run: command line in, spectrum out, exit status.
#pragma once

#include <cstddef>
#include <ostream>
#include <span>
#include <string>
#include <vector>

#include "batch/options.h"
#include "io/file_system.h"
#include "records/columns_reader.h"

namespace broaden {

/// Exit statuses.
inline constexpr int kBatchDone = 0;        ///< the spectrum was written
inline constexpr int kBatchFailed = 1;      ///< reading or writing failed
inline constexpr int kBatchUsageError = 2;  ///< the command line was refused

/// Reads a line list held in `text` as `options` say (columns, or the fixed
/// records of the classic line list, every record of it), with frequencies
/// scaled and per-line widths in the shape's own measure. On a line that
/// cannot be read, `error` holds "LINE:COLUMN: expected ..." and the table
/// is to be ignored.
///
///   read_line_list("1000 2\n", columns) -> {frequency {1000}, intensity {2}}
///   read_line_list("1.2.3\n", fixed)    -> error "1:1: expected the frequency ..."
struct LineListResult {
  LineTable table;
  std::string error;
};
LineListResult read_line_list(std::string_view text, const BatchOptions& options);

/// How many of `frequency` lie outside [first, last].
std::size_t count_outside(std::span<const double> frequency, double first, double last) noexcept;

/// Runs broaden-batch with the command line `argc`/`argv`: the line list
/// from its file opened through `files`, or from `input_fd` when it is "-"
/// or not given; the
/// spectrum to its file (made whole, see AtomicFile) or to `out`; help and
/// version on `out`; warnings and failures as lines "broaden-batch: ..." on
/// `err`. Returns the exit status.
int run_batch(int argc, const char* const* argv, int input_fd, std::ostream& out, std::ostream& err,
              FileSystem& files);

}  // namespace broaden
