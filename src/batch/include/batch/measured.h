// A measured spectrum as broaden-batch reads it, for --overlay and
// --compare alike: the one place a measured file's text becomes points.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "batch/messages.h"
#include "batch/options.h"
#include "records/columns_reader.h"

namespace broaden {

/// The points of a measured spectrum, in the file's order, and the quantity
/// its file names (the intensity's field of its header row, or of the
/// comment line just before its first row; empty where it names none).
struct Measured {
  std::vector<double> x, y;
  std::string label;
  /// The unit x is in: the axis asked for; for a JCAMP-DX curve read
  /// without one, its XUNITS; none for columns read without one.
  std::optional<AxisUnit> unit;
};

/// The measured spectrum `text` (a file's whole text, named `name` as
/// given): a JCAMP-DX file (recognised past a byte-order mark,
/// records/jcamp_reader.h) as its curve, its abscissae converted from its
/// XUNITS to `axis` (none: left in its XUNITS) and its label its y
/// quantity; else two columns, the fields of `layout` (as --columns reads a
/// columns line list), taken to be on `axis` already. The reader's notes are added to `messages` as
/// ReaderNote. Throws BatchFailure (status 1) "NAME:LINE:COLUMN: expected ...".
///   "# cm-1 absorbance\n400 0.1\n402 0.2\n", layout 1,2 -> x {400, 402},
///   y {0.1, 0.2}, label "absorbance"
///   a JCAMP-DX curve in MICROMETERS at 10 and 5, axis cm-1 -> x {1000, 2000}
Measured read_measured(std::string_view text, const std::string& name, const ColumnLayout& layout,
                       std::optional<AxisUnit> axis, std::vector<Message>& messages);

}  // namespace broaden
