// broaden-batch's option values read from their text: numbers, widths with
// their units, the composite values (--columns, --weights, --plot-size,
// --overlay-columns), and names looked up in their tables. Each refusal is a
// UsageError of one line naming the option and quoting the value.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "batch/options.h"
#include "numbers/decimal_scan.h"
#include "numbers/double_to_shortest.h"
#include "records/columns_reader.h"

namespace broaden {

/// A command line refused: the message, one line ("--fwhm must be ...").
struct UsageError {
  std::string message;
};

/// A value as a refusal shows it: quoted, control characters escaped, at
/// most 64 bytes.  option_quoted("a b") -> "'a b'"
std::string option_quoted(const std::string& text);

/// An option as the command line writes it: "fwhm" -> "--fwhm".
std::string option_of(std::string_view name);

/// The names one after the other: {"a", "b", "c"} with " or " -> "a, b or c".
std::string listed(const std::vector<std::string>& names, const char* last);

/// The names of the rows, as `name_of` gives them, in the rows' order.
template <class Rows, class NameOf>
std::vector<std::string> names_of(const Rows& rows, NameOf name_of) {
  std::vector<std::string> names;
  for (const auto& row : rows) names.emplace_back(name_of(row));
  return names;
}

/// The rows' `name` fields, the first marked " (default)":
///   kNormalisations -> {"area (default)", "height"}
template <class Rows>
std::vector<std::string> names_default_first(const Rows& rows) {
  std::vector<std::string> names =
      names_of(rows, [](const auto& row) { return std::string(row.name); });
  names.front() += " (default)";
  return names;
}

/// The picture formats as --plot takes them, from kPlotFormats (plot.h):
///   ".png, .svg or .pdf"
std::string plot_suffixes();

/// Whether `given` names `name`, letters in either case: "Lorentzian", "TSV".
bool same_name(std::string_view given, std::string_view name) noexcept;

/// The row of `rows` named `value` (in either case); fails with "OPTION
/// takes a, b or c, not 'value'".
template <class Rows, class NameOf>
const auto& row_named(const char* option, const std::string& value, const Rows& rows,
                      NameOf name_of) {
  for (const auto& row : rows) {
    if (same_name(value, name_of(row))) return row;
  }
  throw UsageError{std::string(option) + " takes " + listed(names_of(rows, name_of), " or ") +
                   ", not " + option_quoted(value)};
}

/// row_named by the rows' `name` field.
template <class Rows>
const auto& row_named(const char* option, const std::string& value, const Rows& rows) {
  return row_named(option, value, rows, [](const auto& row) { return row.name; });
}

/// A value as a refusal names it: the row's own name where it names one
/// ("Voigt" -> "voigt"), else quoted.
template <class Rows>
std::string shown_value(const std::string& value, const Rows& rows) {
  for (const auto& row : rows) {
    if (same_name(value, row.name)) return std::string(row.name);
  }
  return option_quoted(value);
}

/// An option's number, as the columns write them ("1e3", "2,5" is not one);
/// fails with "NAME takes a decimal number, not 'x'".
DecimalScan decimal_of(const std::string& name, const std::string& text);

/// A positive finite number; fails with "NAME must be a positive finite number, not '0'".
double positive(const std::string& name, const std::string& text);

/// A whole number, all of `text`; fails with "NAME takes a whole number, not 'x'".
std::int64_t whole_number(const std::string& name, const std::string& text);

/// A decimal of the grid as the user would write it ("100000", "0.3") where
/// decimal_to_text can, else its double's shortest text.
std::string shown_decimal(const DecimalScan& scan);

/// A width in an option's measure divided into the shape's own measure; the
/// quotient must lie within the widths the line shapes take (the option's
/// bounds are those whose quotients are the range's ends):
///   width_converted("--fwhm", "10", 2) -> 5
double width_converted(const std::string& name, const std::string& text, double divisor);

/// The unit a width or position carries at its end ("0.3eV", "532nm"), in
/// either case, taken off `text`; none where it carries none.
std::optional<AxisUnit> unit_suffix(std::string& text);

/// --laser: a wavelength or wavenumber with its unit, in cm-1:
///   "532nm" -> 18796.99...;  "2ev" and "532" are refused.
double laser_wavenumber(const std::string& text);

/// --columns: "F,I" or "F,I,W", different field numbers from 1 to 1000000.
ColumnLayout column_layout(const std::string& text);

/// --overlay-columns: "X,Y", two different field numbers from 1 up.
ColumnLayout overlay_layout(const std::string& text);
/// The same for `option` (--compare-columns), named in its refusal.
ColumnLayout field_pair(const char* option, const std::string& text);

/// --compare-range: "A,B", two different finite numbers in either order.
///   "4000,400" -> {4000, 400};  "1,1" -> "--compare-range takes two different finite
///   numbers, as A,B, not '1,1'"
AxisRange axis_range(const std::string& text);

/// --fit: names of FitParameter (scale, shift, fwhm), each at most once,
/// each with "=LOW:HIGH" or without (its default range), joined by commas;
/// LOW <= HIGH, finite, and above zero for scale and fwhm.
///   "scale=0.9:1.05,fwhm" -> {{scale, {0.9, 1.05}}, {fwhm, none}}
///   "width" -> "--fit takes scale, shift and fwhm, as NAME or NAME=LOW:HIGH joined by
///   commas, not 'width'"
std::vector<FitAsked> fit_list(const std::string& text);

/// --plot-size: "W,H", each a whole number from 100 to 10000.
std::pair<int, int> plot_size(const std::string& text);

/// --weights: finite decimals apart by commas, blanks around each dropped:
///   "0.7, 0.3" -> {0.7, 0.3}
std::vector<double> weight_list(const std::string& text);

}  // namespace broaden
