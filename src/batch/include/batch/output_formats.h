// The spectrum formats broaden-batch writes: one row each, its name, the
// text before the points, the points, the text after them.
//
// To add a format: give it a row at the end of src/batch/output_formats.cpp
// with its three functions beside it, its cases in
// tests/batch/output_formats_test.cpp, and its description in
// doc/broaden-batch.1 under --format and FILE FORMATS. --format, its help
// and its refusals read the table.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

#include "batch/grid.h"
#include "batch/header_fields.h"
#include "numbers/double_to_shortest.h"

namespace broaden {

/// The points of one block of a spectrum, and how to write their numbers.
struct PointBlock {
  std::span<const double> x;  ///< the abscissae
  std::span<const double> y;  ///< the intensities, as many
  /// Significant digits, 1 to 17; 0: the shortest text that reads back.
  int digits = 0;
  /// The grid's decimals (grid_by_step), x[i] being its point first_index + i:
  /// with digits 0 the abscissae are written from them (decimal_to_text),
  /// the same text as from x, faster. nullptr: written from x.
  const DecimalAbscissae* decimals = nullptr;
  std::size_t first_index = 0;
};

/// What a format may write before and after the points: the run's
/// parameters as typed fields, the axis the points are on, how many there
/// are, and the points themselves (a format that names its first and last,
/// such as JCAMP-DX, reads them).
struct SpectrumHeader {
  const HeaderFields& fields;  ///< shape=gaussian sigma=5 ... lines=2
  AxisUnit axis = AxisUnit::per_centimetre;
  std::size_t points = 0;
  std::span<const double> x;  ///< all `points` abscissae
  std::span<const double> y;  ///< as many intensities
  int digits = 0;             ///< as PointBlock's: 0, the shortest text that reads back
};

/// The most characters a format writes for one point.
inline constexpr std::size_t kPointRoom = 2 * kShortestRoom + 2;

struct SpectrumFormat {
  /// The format's name, as --format takes it: "tsv".
  std::string_view name;
  /// What --help says of it: "tsv (default)".
  std::string_view summary;
  /// The text before the first point.
  std::string (*head)(const SpectrumHeader& header);
  /// Writes one line a point of `block` into `out`, which has room for
  /// kPointRoom characters a point, and returns the pointer past the last.
  /// Pure and reentrant: blocks of a spectrum may be written in parallel
  /// and joined in order.
  char* (*points)(const PointBlock& block, char* out) noexcept;
  /// The text after the last point.
  std::string (*tail)(const SpectrumHeader& header);
};

/// Every format; new rows go at the end, as --format's kinds count the
/// rows in order (a row needs no enumerator of its own). The first three:
///
///   tsv      head "# " + the fields' text + "\n"; a point "0.3\t2.5\n" (by double_to_shortest)
///   csv      head "frequency,intensity\n";  a point "0.3,2.5\n"
///   classic  no head; a point as the spectrum record,
///            "      0.1000 ,       0.0000\n" (spectrum_writer.h)
///
/// None of the three has a tail. The fourth, jcamp, writes JCAMP-DX 5.01:
///
///   jcamp    head "##TITLE=" + the fields' text, "##JCAMP-DX=5.01", the data
///            type, origin, owner (empty), units, factors 1, FIRSTX, LASTX,
///            NPOINTS, FIRSTY, "##XYPOINTS=(XY..XY)"; a point "0.3,2.5\n";
///            tail "##END=\n". The x unit: 1/CM, NANOMETERS, MICROMETERS, or
///            EV, which the format does not name (readers take it as text).
std::span<const SpectrumFormat> spectrum_formats() noexcept;

/// The format named `name`, or nullptr.
///
///   find_spectrum_format("csv")->name -> "csv"
const SpectrumFormat* find_spectrum_format(std::string_view name) noexcept;

}  // namespace broaden
