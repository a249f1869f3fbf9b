#include "batch/option_values.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "batch/plot.h"
#include "batch/spectrum_kinds.h"
#include "line_shapes/line_profiles.h"
#include "numbers/double_to_shortest.h"
#include "text/quoted.h"

namespace broaden {

std::string option_quoted(const std::string& text) { return quoted(text, 64); }

std::string option_of(std::string_view name) { return "--" + std::string(name); }

std::string listed(const std::vector<std::string>& names, const char* last) {
  std::string list;
  for (std::size_t i = 0; i < names.size(); ++i) {
    list += i == 0 ? "" : i + 1 == names.size() ? last : ", ";
    list += names[i];
  }
  return list;
}

std::string plot_suffixes() {
  return listed(names_of(kPlotFormats,
                         [](const PlotFormat& row) { return std::string(".").append(row.suffix); }),
                " or ");
}

bool same_name(std::string_view given, std::string_view name) noexcept {
  const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
  return given.size() == name.size() &&
         std::equal(given.begin(), given.end(), name.begin(),
                    [&](char a, char b) { return lower(a) == lower(b); });
}

DecimalScan decimal_of(const std::string& name, const std::string& text) {
  DecimalScan number = scan_decimal(text, kColumnsGrammar);
  if (number.error != DecimalError::none || number.empty)
    throw UsageError{name + " takes a decimal number, not " + option_quoted(text)};
  return number;
}

double positive(const std::string& name, const std::string& text) {
  const double value = scan_to_double(decimal_of(name, text));
  if (!(value > 0.0) || !std::isfinite(value))
    throw UsageError{name + " must be a positive finite number, not " + option_quoted(text)};
  return value;
}

std::int64_t whole_number(const std::string& name, const std::string& text) {
  std::int64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || text.empty())
    throw UsageError{name + " takes a whole number, not " + option_quoted(text)};
  return value;
}

std::string shown_decimal(const DecimalScan& scan) {
  std::int64_t value = 0;
  const bool small =
      scan.digits.size() <= 15 && scan.exponent10 >= -280 && scan.exponent10 <= 280 &&
      std::from_chars(scan.digits.data(), scan.digits.data() + scan.digits.size(), value).ec ==
          std::errc() &&
      (scan.exponent10 <= 0 ||
       scan.digits.size() + static_cast<std::size_t>(scan.exponent10) <= 15);
  if (!small) return shortest(scan_to_double(scan));
  char text[kShortestRoom];
  return std::string(text, decimal_to_text(scan.negative ? -value : value, scan.exponent10, text));
}

double width_converted(const std::string& name, const std::string& text, double divisor) {
  const double value = positive(name, text);
  const WidthRange range = accepted_widths(divisor);
  if (!(value >= range.low && value <= range.high))
    throw UsageError{name + " must lie between " + shortest(range.low) + " and " +
                     shortest(range.high) + ", not " + option_quoted(text)};
  return value / divisor;
}

std::optional<AxisUnit> unit_suffix(std::string& text) {
  for (const AxisRow& row : kAxes) {
    if (text.size() > row.name.size() &&
        same_name(std::string_view(text).substr(text.size() - row.name.size()), row.name)) {
      text.resize(text.size() - row.name.size());
      return row.unit;
    }
  }
  return std::nullopt;
}

double laser_wavenumber(const std::string& text) {
  std::string number = text;
  const std::optional<AxisUnit> unit = unit_suffix(number);
  if (!unit || *unit == AxisUnit::electronvolt)
    throw UsageError{
        "--laser takes a wavelength in nm or a wavenumber in cm-1, as 532nm or "
        "18796.99cm-1, not " +
        option_quoted(text)};
  return converted(positive("--laser", number), *unit, AxisUnit::per_centimetre);
}

ColumnLayout column_layout(const std::string& text) {
  ColumnLayout layout;
  int numbers[3] = {0, 0, 0};
  int count = 0;
  std::size_t start = 0;
  for (;;) {
    const std::size_t comma = std::min(text.find(',', start), text.size());
    const std::string part = text.substr(start, comma - start);
    const std::int64_t number = count < 3 ? whole_number("--columns", part) : 0;
    if (count == 3 || number < 1 || number > 1'000'000)
      throw UsageError{
          "--columns takes two or three field numbers from 1 up, as F,I or F,I,W, "
          "not " +
          option_quoted(text)};
    numbers[count++] = static_cast<int>(number);
    if (comma == text.size()) break;
    start = comma + 1;
  }
  if (count < 2 || numbers[0] == numbers[1] || numbers[0] == numbers[2] || numbers[1] == numbers[2])
    throw UsageError{"--columns takes two or three different field numbers, as F,I or F,I,W, not " +
                     option_quoted(text)};
  layout.frequency = numbers[0];
  layout.intensity = numbers[1];
  layout.width = numbers[2];
  return layout;
}

ColumnLayout overlay_layout(const std::string& text) {
  return field_pair("--overlay-columns", text);
}

ColumnLayout field_pair(const char* option, const std::string& text) {
  const std::size_t comma = text.find(',');
  const auto field = [&](const std::string& part) {
    std::int64_t number = 0;
    const auto [end, error] = std::from_chars(part.data(), part.data() + part.size(), number);
    return error == std::errc() && end == part.data() + part.size() && number >= 1 &&
                   number <= 1'000'000
               ? static_cast<int>(number)
               : 0;
  };
  ColumnLayout layout;
  if (comma != std::string::npos) {
    layout.frequency = field(text.substr(0, comma));
    layout.intensity = field(text.substr(comma + 1));
  }
  if (comma == std::string::npos || layout.frequency == 0 || layout.intensity == 0 ||
      layout.frequency == layout.intensity)
    throw UsageError{std::string(option) +
                     " takes two different field numbers from 1 up, as X,Y, not " +
                     option_quoted(text)};
  return layout;
}

std::pair<int, int> plot_size(const std::string& text) {
  constexpr std::int64_t kLeast = 100, kMost = 10000;
  const std::size_t comma = text.find(',');
  std::int64_t numbers[2] = {0, 0};
  bool read = comma != std::string::npos;
  for (int i = 0; read && i < 2; ++i) {
    const std::string part = i == 0 ? text.substr(0, comma) : text.substr(comma + 1);
    const auto [end, error] = std::from_chars(part.data(), part.data() + part.size(), numbers[i]);
    read = error == std::errc() && end == part.data() + part.size() && !part.empty() &&
           numbers[i] >= kLeast && numbers[i] <= kMost;
  }
  if (!read)
    throw UsageError{"--plot-size takes a width and a height from 100 to 10000, as W,H, not " +
                     option_quoted(text)};
  return {static_cast<int>(numbers[0]), static_cast<int>(numbers[1])};
}

std::vector<double> weight_list(const std::string& text) {
  std::vector<double> weights;
  std::size_t start = 0;
  for (;;) {
    const std::size_t comma = text.find(',', start);
    std::string part = text.substr(start, comma - start);
    part.erase(0, part.find_first_not_of(" \t"));
    part.erase(part.find_last_not_of(" \t") + 1);
    const double weight = scan_to_double(decimal_of("--weights", part));
    if (!std::isfinite(weight))
      throw UsageError{"--weights must be finite numbers, not " + option_quoted(part)};
    weights.push_back(weight);
    if (comma == std::string::npos) return weights;
    start = comma + 1;
  }
}

namespace {

// The decimal `text` as a double; NaN where it is none.
double number(std::string_view text) {
  const DecimalScan scan = scan_decimal(text, kColumnsGrammar);
  return scan.error == DecimalError::none && !scan.empty ? scan_to_double(scan) : std::nan("");
}

}  // namespace

AxisRange axis_range(const std::string& text) {
  const std::size_t comma = text.find(',');
  if (comma != std::string::npos) {
    const AxisRange range{number(text.substr(0, comma)), number(text.substr(comma + 1))};
    if (std::isfinite(range.a) && std::isfinite(range.b) && range.a != range.b) return range;
  }
  throw UsageError{"--compare-range takes two different finite numbers, as A,B, not " +
                   option_quoted(text)};
}

namespace {

// One item of --fit: NAME or NAME=LOW:HIGH; nothing where it is neither.
std::optional<FitAsked> fit_item(std::string_view item) {
  constexpr std::pair<std::string_view, FitParameter> kNames[] = {
      {"scale", FitParameter::scale}, {"shift", FitParameter::shift}, {"fwhm", FitParameter::fwhm}};
  const std::size_t equals = item.find('=');
  const std::string_view name = item.substr(0, equals);
  const auto named = std::find_if(std::begin(kNames), std::end(kNames),
                                  [&](const auto& row) { return row.first == name; });
  if (named == std::end(kNames)) return std::nullopt;
  FitAsked asked{named->second, std::nullopt};
  if (equals == std::string_view::npos) return asked;
  const std::string_view bounds = item.substr(equals + 1);
  const std::size_t colon = bounds.find(':');
  if (colon == std::string_view::npos) return std::nullopt;
  const AxisRange range{number(bounds.substr(0, colon)), number(bounds.substr(colon + 1))};
  const bool positive = asked.parameter != FitParameter::shift;
  if (!(std::isfinite(range.a) && std::isfinite(range.b) && range.a <= range.b) ||
      (positive && !(range.a > 0.0)))
    return std::nullopt;
  asked.range = range;
  return asked;
}

}  // namespace

std::vector<FitAsked> fit_list(const std::string& text) {
  std::vector<FitAsked> list;
  std::size_t start = 0;
  for (;;) {
    const std::size_t comma = text.find(',', start);
    const std::string_view item = std::string_view(text).substr(start, comma - start);
    const std::optional<FitAsked> asked = fit_item(item);
    if (!asked)
      throw UsageError{
          "--fit takes scale, shift and fwhm, as NAME or NAME=LOW:HIGH (LOW not above "
          "HIGH, scale and fwhm above 0) joined by commas, not " +
          option_quoted(std::string(item))};
    for (const FitAsked& before : list)
      if (before.parameter == asked->parameter)
        throw UsageError{"--fit names " + std::string(item.substr(0, item.find('='))) +
                         " twice: give each parameter once"};
    list.push_back(*asked);
    if (comma == std::string::npos) return list;
    start = comma + 1;
  }
}

}  // namespace broaden
