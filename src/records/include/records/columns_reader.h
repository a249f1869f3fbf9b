// The columns line list: one line a peak, numbers in fields separated by
// blanks, tabs, commas or semicolons, with comments and blank lines.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "numbers/decimal_scan.h"

namespace broaden {

/// Which fields of a line hold what: 1-based field numbers, distinct.
/// `width` 0 means the lines carry no width field.
struct ColumnLayout {
  int frequency = 1;
  int intensity = 2;
  int width = 0;
};

/// How the values read are turned into the table's values: every frequency
/// is multiplied by `frequency_scale` and every width divided by
/// `width_divisor`,
/// each product rounded once.
struct ColumnScaling {
  double frequency_scale = 1.0;
  double width_divisor = 1.0;
};

/// How numbers are written in the columns: an optional sign, digits with
/// at most one point, and an optional exponent of E, e, D or d.
inline constexpr DecimalGrammar kColumnsGrammar{.d_exponent = true};

/// The peaks read, in file order; `width` is empty when the layout has no
/// width field, else as long as the other two.
struct LineTable {
  std::vector<double> frequency;
  std::vector<double> intensity;
  std::vector<double> width;
};

/// Where and why a line could not be read: 1-based line number and 1-based
/// byte column (of the field at fault, or just past the line's last
/// character when a field is missing), and what was expected there.
struct ColumnsError {
  std::size_t line = 0;
  std::size_t column = 0;
  std::string expected;

  friend bool operator==(const ColumnsError&, const ColumnsError&) = default;
};

struct ColumnsResult {
  LineTable table;
  std::optional<ColumnsError> error;  ///< set: the table is to be ignored
};

/// Reads a whole columns line list held in `text`.
///
/// Lines end at a line feed (a carriage return is a blank); the last may
/// lack it. `#` starts a comment to the end of the line. A line holding
/// nothing but blanks and a comment is skipped. A UTF-8 byte-order mark at
/// the very start is skipped. Fields are separated by runs of blanks and
/// tabs holding at most one comma or semicolon; two commas or semicolons
/// with only blanks between them stand around an empty field, as in CSV.
/// Fields past those the layout names are not read (they may hold names).
/// Numbers are of kColumnsGrammar, converted to the nearest double. Frequencies and intensities
/// must stay finite once scaled; widths must be finite and positive, and stay so once scaled. Stops
/// at the first line that cannot be read.
///
///   read_columns("# f  I\n1000 2.5\n1.5D3,1e-1\n", {1, 2})
///     -> {frequency {1000, 1500}, intensity {2.5, 0.1}}
///   read_columns("1000 x\n", {1, 2})
///     -> error {line 1, column 6, "a number for the intensity (field 2), not 'x'"}
///   read_columns("1000\n", {1, 2})
///     -> error {line 1, column 5, "2 fields (the intensity is field 2), not 1"}
ColumnsResult read_columns(std::string_view text, const ColumnLayout& layout,
                           const ColumnScaling& scaling = {});

}  // namespace broaden
