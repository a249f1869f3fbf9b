// The run sequence: the whole console dialogue from the first prompt to the
// exit status.
#pragma once

#include <istream>
#include <ostream>

#include "io/file_system.h"

namespace broaden {

/// Exit statuses of a run.
inline constexpr int kStatusDone = 0;   ///< a complete run, or a handled failure
inline constexpr int kStatusFatal = 2;  ///< a fatal input, file or console failure

/// Runs the dialogue once: asks for the line-list file name, the number of
/// frequencies, the spectrum file name and the width on `out`, reading each
/// answer from `in`; reads and echoes the line list, computes the spectrum
/// and writes the spectrum file through `files`. Returns the exit status.
///
/// Every prompt is flushed before its answer is read. A bad line-list field
/// prints "Error in input file" and a spectrum file that cannot be created
/// "Error in output file" (status 0). Every other failure flushes `out`,
/// writes one line "broaden: <what failed>" on `err` and returns 2; nothing
/// else is ever written on `err`.
///
/// Each run has its own grid and spectrum: runs may follow one another in
/// one process, or overlap in threads of their own.
int run(std::istream& in, std::ostream& out, std::ostream& err, FileSystem& files);

}  // namespace broaden
