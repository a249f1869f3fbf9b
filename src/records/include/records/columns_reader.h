// The columns line list: one line a peak, numbers in fields separated by
// blanks, tabs, commas or semicolons, with comments and blank lines.
#pragma once

#include <string_view>

#include "numbers/decimal_scan.h"
#include "records/line_table.h"

namespace broaden {

/// How numbers are written in the columns: an optional sign, digits with
/// at most one point, and an optional exponent of E, e, D or d.
inline constexpr DecimalGrammar kColumnsGrammar{.d_exponent = true};

/// The delimiters by name, as --delimiter takes them, the default first.
struct DelimiterRow {
  Delimiter delimiter;
  std::string_view name;
  std::string_view help;
};
inline constexpr DelimiterRow kDelimiters[] = {
    {Delimiter::automatic, "auto", "blanks and tabs with at most one comma or semicolon"},
    {Delimiter::blank, "blank", "blanks and tabs"},
    {Delimiter::comma, "comma", "each comma"},
    {Delimiter::semicolon, "semicolon", "each semicolon"},
    {Delimiter::tab, "tab", "each tab"},
};

/// Reads a whole columns line list held in `text`, its fields where
/// `options.columns` says, scaled as `options` says (keep_infinities is
/// not taken: no number of the columns is infinite).
///
/// Lines end at a line feed, a carriage return, or both as CR LF (one line
/// end); the last may lack it. `#` starts a comment to the end of the line.
/// A line holding nothing but blanks and a comment is skipped. The first
/// line holding fields, when none of its fields is a number, is a header
/// row: it is skipped, with a note "skipped the header row 'freq,int'"
/// (shown as a field is). A UTF-8 byte-order mark at
/// the very start is skipped. Fields are separated as
/// `options.columns.delimiter` says:
///   automatic (the default): runs of blanks and tabs holding at most one
///     comma or semicolon; two commas or semicolons with only blanks between
///     them stand around an empty field, as in CSV. With decimal_comma only
///     semicolons (and blanks) separate. Without it, a list whose every line
///     holds a semicolon and that has a comma between two digits is refused
///     (LineError::decimal_comma, at that comma): it was most likely written
///     with decimal commas ("1000,5;10"), which cannot be told from three
///     fields.
///   blank: runs of blanks and tabs; a comma or semicolon is part of a field.
///   comma, semicolon, tab: each such character ends a field (two in a row
///     stand around an empty one); blanks (and, but for tab, tabs) around a
///     field are not part of it.
/// Fields past those the layout names are not read (they may hold names).
/// Numbers are of kColumnsGrammar (its point a comma with decimal_comma),
/// converted to the nearest double.
/// Frequencies and intensities must stay finite once scaled; widths must be
/// finite and positive, and stay so once scaled. Stops at the first line
/// that cannot be read; a field is shown in its message as quoted() shows
/// it, at most 32 bytes.
///
///   read_columns("# f  I\n1000 2.5\n1.5D3,1e-1\n", {})
///     -> {frequency {1000, 1500}, intensity {2.5, 0.1}}
///   read_columns("1000 x\n", {})
///     -> error {not_a_number, line 1, column 6,
///               "a number for the intensity (field 2), not 'x'"}
///   read_columns("1000\n", {})  (or "1000\r\n")
///     -> error {missing_field, line 1, column 5, "2 fields (the intensity is field 2), not 1"}
///   read_columns("1000,5;10\n", {.columns{.decimal_comma = true}})
///     -> {frequency {1000.5}, intensity {10}}
///   read_columns("1000,5;10\n", {})
///     -> error {decimal_comma, line 1, column 5, "fields apart by blanks, ..."}
///   read_columns("freq,int\r1000 2\r", {})
///     -> {frequency {1000}, intensity {2}}, note {1, "skipped the header row 'freq,int'"}
LineListRead read_columns(std::string_view text, const LineListOptions& options);

}  // namespace broaden
