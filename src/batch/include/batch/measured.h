// A measured spectrum as broaden-batch reads it, for --overlay and
// --compare alike: the one place a measured file's text becomes points.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "batch/messages.h"
#include "records/columns_reader.h"

namespace broaden {

/// The points of a measured spectrum, in the file's order, and the quantity
/// its file names (the intensity's field of its header row, or of the
/// comment line just before its first row; empty where it names none).
struct Measured {
  std::vector<double> x, y;
  std::string label;
};

/// The measured spectrum `text` (a file's whole text, named `name` as
/// given), its two fields those of `layout` (as --columns reads a columns
/// line list); the reader's notes added to `messages` as ReaderNote. Throws
/// BatchFailure (status 1) "NAME:LINE:COLUMN: expected ...".
///   "# cm-1 absorbance\n400 0.1\n402 0.2\n", layout 1,2 -> x {400, 402},
///   y {0.1, 0.2}, label "absorbance"
Measured read_measured(std::string_view text, const std::string& name, const ColumnLayout& layout,
                       std::vector<Message>& messages);

}  // namespace broaden
