// The line table every line-list reader fills, and what a reader is asked
// and answers: the reader contract of line_list_formats.h.
#pragma once

#include <cstddef>
#include <limits>
#include <optional>
#include <string>
#include <vector>

namespace broaden {

/// The unit a column's numbers are in, as far as the source says. The line
/// lists read today name none; readers of program outputs, which do, set it.
enum class Unit {
  unknown,
  per_centimetre,      ///< wavenumbers, cm^-1
  kilometre_per_mole,  ///< infrared intensities, km/mol
};

/// One spectral line: where it stands and how strong it is; a row of a
/// LineTable without its width.
struct Peak {
  double frequency = 0.0;
  double intensity = 0.0;

  friend bool operator==(const Peak&, const Peak&) = default;
};

/// The lines read, in the order of the source, as columns: `width` is empty
/// when the source gives no width a line, else as long as the other two.
struct LineTable {
  std::vector<double> frequency;  ///< the line positions
  std::vector<double> intensity;
  std::vector<double> width;
  Unit frequency_unit = Unit::unknown;
  Unit intensity_unit = Unit::unknown;

  void push_back(const Peak& peak) {
    frequency.push_back(peak.frequency);
    intensity.push_back(peak.intensity);
  }
};

/// What separates the fields of a line (columns_reader.h has the rules).
enum class Delimiter {
  automatic,  ///< runs of blanks and tabs holding at most one comma or semicolon
  blank,      ///< runs of blanks and tabs
  comma,      ///< each comma, blanks around a field dropped
  semicolon,  ///< each semicolon, blanks around a field dropped
  tab,        ///< each tab, blanks around a field dropped
};

/// Which fields of a line hold what, for formats whose lines are fields:
/// 1-based field numbers, distinct. `width` 0 means no width field.
/// `delimiter` separates the fields; with `decimal_comma` a number's
/// decimal point is a comma ("1000,5" is 1000.5), and a comma then never
/// separates fields.
struct ColumnLayout {
  int frequency = 1;
  int intensity = 2;
  int width = 0;
  Delimiter delimiter = Delimiter::automatic;
  bool decimal_comma = false;
};

/// What a reader is asked for besides the text.
struct LineListOptions {
  ColumnLayout columns;  ///< where the format has free fields
  /// Every frequency is multiplied by `frequency_scale` and every width
  /// divided by `width_divisor`, each result rounded once.
  double frequency_scale = 1.0;
  double width_divisor = 1.0;
  /// Widths as read, before the division, must lie from `width_low` to
  /// `width_high` (the widths the line shapes take, in the field's measure);
  /// by default every positive finite double.
  double width_low = std::numeric_limits<double>::denorm_min();
  double width_high = std::numeric_limits<double>::max();
  /// Infinite values a source can hold (the fixed records' 1E400) are kept
  /// instead of refused; formats whose numbers cannot overflow ignore it.
  bool keep_infinities = false;
};

/// Why a line could not be read.
enum class LineError {
  not_a_number,   ///< a field holds no number of the format
  missing_field,  ///< the line has fewer fields than the layout names
  out_of_range,   ///< a value beyond the doubles, read or once scaled; a width beyond its range
  not_positive,   ///< a width of zero or below, read or once scaled
  decimal_comma,  ///< commas that look like decimal points, separators not named
};

/// Where and why: the 1-based line, the 1-based byte column (of the field
/// at fault, or just past the line's last character when a field is
/// missing), and what was expected there, a phrase for "expected ...".
struct LineListError {
  LineError what = LineError::not_a_number;
  std::size_t line = 0;
  std::size_t column = 0;
  std::string expected;

  friend bool operator==(const LineListError&, const LineListError&) = default;
};

/// Something a reader did that the user should hear of, though the list was
/// read: the 1-based line and a phrase, "skipped the header row 'f,I'".
struct LineListNote {
  std::size_t line = 0;
  std::string text;

  friend bool operator==(const LineListNote&, const LineListNote&) = default;
};

/// What a reader gives: the table, or the first line it could not read;
/// and the notes, in the order of the lines.
struct LineListRead {
  LineTable table;
  std::optional<LineListError> error;  ///< set: the table is to be ignored
  std::vector<LineListNote> notes;
};

}  // namespace broaden
