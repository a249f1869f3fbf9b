// The line table every line-list reader fills, and what a reader is asked
// and answers: the reader contract of line_list_formats.h.
#pragma once

#include <cstddef>
#include <limits>
#include <optional>
#include <string>
#include <utility>
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

/// Why a line could not be read, coarsely: the class an error has always
/// been given (ReadFault below says more).
enum class LineError {
  not_a_number,   ///< a field holds no number of the format
  missing_field,  ///< the line has fewer fields than the layout names
  out_of_range,   ///< a value beyond the doubles, read or once scaled; a width beyond its range
  not_positive,   ///< a width of zero or below, read or once scaled
  decimal_comma,  ///< commas that look like decimal points, separators not named
};

/// What went wrong in reading, one kind a fault; every reader sets it. The
/// texts are examples of `expected`:
enum class ReadFault {
  /// A field that holds no number of the format: "a frequency value as a
  /// number, not '1000.1x34'". LineError::not_a_number.
  not_a_number,
  /// A value beyond the doubles (read or once scaled) or a width beyond its
  /// range: "an IR intensity within the range of doubles, not '1e999'".
  /// LineError::out_of_range.
  out_of_range,
  /// A width of zero or below: "a positive width (field 3), not '0'".
  /// LineError::not_positive.
  not_positive,
  /// A line with fewer fields than its layout names: "2 fields (the
  /// intensity is field 2), not 1", "one free energy after '='".
  /// LineError::missing_field.
  missing_field,
  /// Commas that look like decimal points, the separators not named.
  /// LineError::decimal_comma.
  decimal_comma,
  /// A header, label or line whose layout the reader does not know, never
  /// guessed: "a layout of this table the reader knows, not the header
  /// '...'". LineError::not_a_number.
  layout,
  /// A mode, state or row numbered out of turn: "mode 4, not '5'".
  /// LineError::not_a_number.
  numbering,
  /// A count that disagrees with its header or with another table: "3 IR
  /// intensity values, one a mode of the group, not 2", "the 3 states of
  /// the table at line 19, not 2". LineError::missing_field.
  count_mismatch,
  /// A line or section missing, repeated or out of its place: "a line of
  /// mode numbers before 'Frequencies'", "one [FREQ] section, as at line 3".
  /// LineError::missing_field.
  misplaced,
  /// The file ends, or its last line lacks its line end, where more was
  /// due (a value on such a line, or missing from it, may have been cut):
  /// "the rest of the frequency analysis at line 7, not the end of the
  /// file", placed just past the end of the file's last line.
  /// LineError::missing_field.
  cut_short,
  /// Text that breaks the grammar of its format, or a build that cannot
  /// read it: "JSON text (syntax error ...)". LineError::not_a_number.
  syntax,
};

/// The class each kind has always been reported as (Chemical JSON, whose
/// library names no field, reports every kind as not_a_number):
///   line_error_of(ReadFault::cut_short) -> LineError::missing_field
constexpr LineError line_error_of(ReadFault kind) {
  switch (kind) {
    case ReadFault::not_a_number:
    case ReadFault::layout:
    case ReadFault::numbering:
    case ReadFault::syntax:
      return LineError::not_a_number;
    case ReadFault::out_of_range:
      return LineError::out_of_range;
    case ReadFault::not_positive:
      return LineError::not_positive;
    case ReadFault::decimal_comma:
      return LineError::decimal_comma;
    case ReadFault::missing_field:
    case ReadFault::count_mismatch:
    case ReadFault::misplaced:
    case ReadFault::cut_short:
      return LineError::missing_field;
  }
  return LineError::not_a_number;
}

/// Where and why: the 1-based line, the 1-based byte column (of the field
/// at fault, or just past the line's last character when a field is
/// missing), what was expected there, a phrase for "expected ...", and the
/// kind of fault (`what` is its class, line_error_of(kind) but in
/// Chemical JSON). A caller shows "LINE:COLUMN: expected EXPECTED":
///   {missing_field, 12, 51, "the rest of the frequency analysis at line 7, not
///    the end of the file", ReadFault::cut_short}
struct LineListError {
  LineError what = LineError::not_a_number;
  std::size_t line = 0;
  std::size_t column = 0;
  std::string expected;
  ReadFault kind = ReadFault::not_a_number;

  friend bool operator==(const LineListError&, const LineListError&) = default;
};

/// An error of `kind` with its class: read_error(ReadFault::numbering, 18,
/// 23, "mode 4, not '5'") -> {not_a_number, 18, 23, "mode 4, not '5'", numbering}.
inline LineListError read_error(ReadFault kind, std::size_t line, std::size_t column,
                                std::string expected) {
  return LineListError{line_error_of(kind), line, column, std::move(expected), kind};
}

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
