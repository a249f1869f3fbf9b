#include "batch/options.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <iterator>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include "batch/grid.h"
#include "batch/output_formats.h"
#include "batch/spectrum_kinds.h"
#include "numbers/double_to_shortest.h"
#include "records/line_list_formats.h"
#include "text/quoted.h"

#ifndef BROADEN_VERSION
#error "BROADEN_VERSION must be defined by the build"
#endif

namespace broaden {
namespace {

// Thrown inside this file to end the checks with a usage error.
struct UsageError {
  std::string message;
};

std::string version_text() { return "broaden-batch " BROADEN_VERSION; }

// A value as a refusal shows it: quoted, control characters escaped, at
// most 64 bytes.
std::string quoted(const std::string& text) { return broaden::quoted(text, 64); }

// An option as the command line writes it: "fwhm" -> "--fwhm".
std::string option_of(std::string_view name) { return "--" + std::string(name); }

// The names one after the other: {"a", "b", "c"} with " or " -> "a, b or c".
std::string listed(const std::vector<std::string>& names, const char* last) {
  std::string list;
  for (std::size_t i = 0; i < names.size(); ++i) {
    list += i == 0 ? "" : i + 1 == names.size() ? last : ", ";
    list += names[i];
  }
  return list;
}

// The names of the rows, as `name_of` gives them.
template <class Rows, class NameOf>
std::vector<std::string> names_of(const Rows& rows, NameOf name_of) {
  std::vector<std::string> names;
  for (const auto& row : rows) names.emplace_back(name_of(row));
  return names;
}

// Whether `given` names `name`, letters in either case: "Lorentzian", "TSV".
bool same_name(std::string_view given, std::string_view name) noexcept {
  const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
  return given.size() == name.size() &&
         std::equal(given.begin(), given.end(), name.begin(),
                    [&](char a, char b) { return lower(a) == lower(b); });
}

// The row of `rows` named `value` (in either case), or a usage error listing the names.
template <class Rows, class NameOf>
const auto& row_named(const char* option, const std::string& value, const Rows& rows,
                      NameOf name_of) {
  for (const auto& row : rows) {
    if (same_name(value, name_of(row))) return row;
  }
  throw UsageError{std::string(option) + " takes " + listed(names_of(rows, name_of), " or ") +
                   ", not " + quoted(value)};
}

// A value as a refusal names it: the row's own name where it names one, else quoted.
template <class Rows, class NameOf>
std::string shown_value(const std::string& value, const Rows& rows, NameOf name_of) {
  for (const auto& row : rows) {
    if (same_name(value, name_of(row))) return std::string(name_of(row));
  }
  return quoted(value);
}

// The index of the row of `rows` named `value` (the enumerators count the
// rows in order), or a usage error listing the names.
template <class Rows>
int index_named(const char* option, const std::string& value, const Rows& rows) {
  const auto& row = row_named(option, value, rows, [](const auto& r) { return r.name; });
  return static_cast<int>(&row - rows.data());
}

// Option values are numbers as the columns write them.
DecimalScan decimal_of(const std::string& name, const std::string& text) {
  DecimalScan number = scan_decimal(text, kColumnsGrammar);
  if (number.error != DecimalError::none || number.empty)
    throw UsageError{name + " takes a decimal number, not " + quoted(text)};
  return number;
}

double positive(const std::string& name, const std::string& text) {
  const double value = scan_to_double(decimal_of(name, text));
  if (!(value > 0.0) || !std::isfinite(value))
    throw UsageError{name + " must be a positive finite number, not " + quoted(text)};
  return value;
}

// A width in an option's measure divided into the shape's own measure; the
// quotient must lie within the widths the line shapes take (the option's
// bounds are those whose quotients are the range's ends).
double converted(const std::string& name, const std::string& text, double divisor) {
  const double value = positive(name, text);
  const WidthRange range = accepted_widths(divisor);
  if (!(value >= range.low && value <= range.high))
    throw UsageError{name + " must lie between " + shortest(range.low) + " and " +
                     shortest(range.high) + ", not " + quoted(text)};
  return value / divisor;
}

// A decimal of the grid as the user would write it ("100000", "0.3") where
// decimal_to_text can, else its double's shortest text.
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

std::int64_t whole_number(const std::string& name, const std::string& text) {
  std::int64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || text.empty())
    throw UsageError{name + " takes a whole number, not " + quoted(text)};
  return value;
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
          quoted(text)};
    numbers[count++] = static_cast<int>(number);
    if (comma == text.size()) break;
    start = comma + 1;
  }
  if (count < 2 || numbers[0] == numbers[1] || numbers[0] == numbers[2] || numbers[1] == numbers[2])
    throw UsageError{"--columns takes two or three different field numbers, as F,I or F,I,W, not " +
                     quoted(text)};
  layout.frequency = numbers[0];
  layout.intensity = numbers[1];
  layout.width = numbers[2];
  return layout;
}

// The two fields of the overlay: "X,Y" -> its layout.
ColumnLayout overlay_layout(const std::string& text) {
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
    throw UsageError{"--overlay-columns takes two different field numbers from 1 up, as X,Y, not " +
                     quoted(text)};
  return layout;
}

// --plot-size: "W,H", each a whole number from 100 to 10000.
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
                     quoted(text)};
  return {static_cast<int>(numbers[0]), static_cast<int>(numbers[1])};
}

// The option values as text, checked by check() once the command line is read.
struct Values {
  std::vector<std::string> inputs;
  std::string input = "auto", columns, scale, shape{kLineShapes[0].name},
              normalise{kNormalisations[0].name}, from, to, step, points, output, format = "tsv",
              digits, delimiter{kDelimiters[0].name}, threads, cutoff, spectrum, axis, line_unit,
              units{"native"}, laser, temperature, rotatory{"velocity"}, shift, sticks, weights,
              boltzmann;
  std::string plot, plot_size, title, overlay, overlay_columns,
      overlay_scale{kOverlayScales[0].name}, overlay_shift;
  bool plot_reverse = false, no_plot_reverse = false, plot_sticks = false, no_plot_sticks = false;
  std::array<std::string, std::size(kShapeQuantities)> quantities;  ///< of kShapeQuantities
  bool force = false;
  bool classic = false;
  bool decimal_comma = false;
  bool quiet = false;

  const std::string& quantity(std::string_view name) const {
    for (std::size_t i = 0; i < quantities.size(); ++i) {
      if (kShapeQuantities[i].name == name) return quantities[i];
    }
    throw std::logic_error("a shape quantity without a row: " + std::string(name));
  }
};

// Whether the command line gave an option ("--fwhm").
class Given {
 public:
  explicit Given(const CLI::App& app) : app_(app) {}
  bool operator()(const std::string& name) const { return app_.get_option(name)->count() > 0; }

 private:
  const CLI::App& app_;
};

// Where the line list comes from and where the spectrum goes.
void check_names(const Given& given, const Values& v, BatchOptions& o) {
  if (!v.inputs.empty()) o.inputs = v.inputs;
  for (const std::string& name : o.inputs) {
    if (name.empty()) throw UsageError{"the line-list name is empty"};
  }
  if (std::count(o.inputs.begin(), o.inputs.end(), "-") > 1)
    throw UsageError{"standard input can be read once: give - once"};
  if (given("--output") && v.output.empty()) throw UsageError{"-o needs a file name"};
  o.output = v.output.empty() ? "-" : v.output;
  o.force = v.force;
}

// Whether two output names name one file as written: "s.tsv", "./s.tsv"
// and "out/../s.tsv" do (a name with "..", through a link, is taken as
// written).
bool same_file(const std::string& a, const std::string& b) {
  return std::filesystem::path(a).lexically_normal() == std::filesystem::path(b).lexically_normal();
}

// The picture: its file and format, and how it is drawn.
void check_plot(const Given& given, const Values& v, BatchOptions& o) {
  if (!given("--plot")) {
    for (const char* name : {"--plot-size", "--plot-reverse", "--no-plot-reverse", "--plot-sticks",
                             "--no-plot-sticks", "--title", "--overlay"}) {
      if (given(name))
        throw UsageError{std::string(name) + " draws on the picture: give --plot FILE"};
    }
  }
  if (!given("--overlay")) {
    for (const char* name : {"--overlay-columns", "--overlay-scale", "--overlay-shift"}) {
      if (given(name)) throw UsageError{std::string(name) + " is for --overlay FILE"};
    }
  }
  if (!given("--plot")) return;
  PlotOptions& p = o.plot;
  if (v.plot.empty()) throw UsageError{"--plot needs a file name"};
  p.format = plot_format_of(v.plot);
  if (p.format == nullptr)
    throw UsageError{
        "--plot takes a file name ending in " +
        listed(names_of(kPlotFormats,
                        [](const PlotFormat& row) { return "." + std::string(row.suffix); }),
               " or ") +
        " (the picture's format), not " + quoted(v.plot)};
  p.file = v.plot;
  if (o.output != "-" && same_file(o.output, p.file))
    throw UsageError{"--plot and -o name the same file " + quoted(v.plot)};
  o.data_output = given("--output");
  if (given("--plot-size")) std::tie(p.width, p.height) = plot_size(v.plot_size);
  if (v.plot_reverse && v.no_plot_reverse)
    throw UsageError{"give --plot-reverse or --no-plot-reverse, not both"};
  if (v.plot_reverse || v.no_plot_reverse) p.reverse = v.plot_reverse;
  if (v.plot_sticks && v.no_plot_sticks)
    throw UsageError{"give --plot-sticks or --no-plot-sticks, not both"};
  if (v.plot_sticks || v.no_plot_sticks) p.sticks = v.plot_sticks;
  p.title = v.title;
  if (!given("--overlay")) return;
  if (v.overlay.empty() || v.overlay == "-")
    throw UsageError{"--overlay needs a file name (standard input holds the line list)"};
  p.overlay = v.overlay;
  if (given("--overlay-columns")) p.overlay_columns = overlay_layout(v.overlay_columns);
  p.overlay_scale =
      row_named("--overlay-scale", v.overlay_scale, kOverlayScales, [](const OverlayScaleRow& row) {
        return row.name;
      }).scale;
  if (given("--overlay-shift")) {
    p.overlay_shift = scan_to_double(decimal_of("--overlay-shift", v.overlay_shift));
    if (!std::isfinite(p.overlay_shift))
      throw UsageError{"--overlay-shift must be a finite number, not " + quoted(v.overlay_shift)};
  }
  if (p.overlay_scale == OverlayScale::axis && p.sticks.value_or(kLineListAxes.sticks))
    throw UsageError{
        "--plot-sticks and an --overlay on its own axis both need the right axis: give "
        "--overlay-scale max"};
}

// The files' weights: as given, or asked from their free energies.
// Returns the parameter it adds to the tsv header (" boltzmann=298.15").
std::string check_weights(const Given& given, const Values& v, BatchOptions& o) {
  if (given("--weights") && given("--boltzmann"))
    throw UsageError{"give --weights or --boltzmann, not both"};
  if (given("--boltzmann")) {
    o.boltzmann = positive("--boltzmann", v.boltzmann);
    return " boltzmann=" + shortest(o.boltzmann);
  }
  if (!given("--weights")) return "";
  std::size_t start = 0;
  for (;;) {
    const std::size_t comma = v.weights.find(',', start);
    // Blanks around a weight are dropped: "0.7, 0.3".
    std::string part = v.weights.substr(start, comma - start);
    part.erase(0, part.find_first_not_of(" \t"));
    part.erase(part.find_last_not_of(" \t") + 1);
    const double weight = scan_to_double(decimal_of("--weights", part));
    if (!std::isfinite(weight))
      throw UsageError{"--weights must be finite numbers, not " + quoted(std::as_const(part))};
    o.weights.push_back(weight);
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  if (o.weights.size() != o.inputs.size())
    throw UsageError{"--weights gives " + std::to_string(o.weights.size()) + " weight" +
                     (o.weights.size() == 1 ? "" : "s") + " for " +
                     std::to_string(o.inputs.size()) + " file" + (o.inputs.size() == 1 ? "" : "s") +
                     ": give one a file"};
  return "";
}

// The classic preset fixes everything but the width and where the spectrum goes.
void check_classic(const Given& given, const Values& v, BatchOptions& o) {
  std::vector<std::string> fixed{"--columns",  "--scale", "--cutoff", "--line-unit",
                                 "--axis",     "--units", "--laser",  "--temperature",
                                 "--rotatory", "--shift", "--sticks", "--weights",
                                 "--boltzmann"};
  for (const ShapeQuantity& quantity : kShapeQuantities) {
    if (quantity.name != "sigma") fixed.push_back(option_of(quantity.name));
  }
  fixed.insert(fixed.end(), {"--normalise", "--from", "--to", "--step", "--points", "--digits"});
  for (const std::string& name : fixed) {
    if (given(name))
      throw UsageError{"--classic fixes what " + name +
                       " would set: give it --sigma, the line list and -o only"};
  }
  const auto name = [](const auto& row) { return row.name; };
  if (given("--input") && !same_name(v.input, "fixed"))
    throw UsageError{"--classic reads the fixed line-list records: --input " +
                     shown_value(v.input, input_formats(), name) + " does not fit"};
  if (given("--spectrum"))
    throw UsageError{"--classic reads the fixed line-list records: --spectrum does not fit"};
  if (given("--shape") && !same_name(v.shape, line_shape_row(LineShape::gaussian)->name))
    throw UsageError{"--classic draws Gaussians: --shape " +
                     shown_value(v.shape, kLineShapes, name) + " does not fit"};
  if (given("--format") && !same_name(v.format, "classic"))
    throw UsageError{"--classic writes the classic spectrum records: --format " +
                     shown_value(v.format, spectrum_formats(), name) + " does not fit"};
  for (const char* option : {"--delimiter", "--decimal-comma"}) {
    if (given(option))
      throw UsageError{std::string(option) +
                       " is for --input columns; the classic records have their own layout"};
  }
  if (!given("--sigma"))
    throw UsageError{"--classic needs the width as --sigma (the standard deviation)"};
  if (o.inputs.size() > 1)
    throw UsageError{"--classic reads one line list: " + quoted(std::as_const(o.inputs)[1]) +
                     " would be a second"};
  o.classic = true;
  o.input = "fixed";
  o.format = OutputFormat::classic;
  o.profile.sigma = positive("--sigma", v.quantity("sigma"));
  o.parameters = "classic sigma=" + shortest(o.profile.sigma);
}

void check_input(const Given& given, const Values& v, BatchOptions& o) {
  const LineListFormat* format = nullptr;
  if (!same_name(v.input, "auto")) {
    format = &row_named("--input", v.input, input_formats(),
                        [](const LineListFormat& row) { return row.name; });
    o.input = std::string(format->name);
  }
  for (const char* name : {"--columns", "--delimiter", "--decimal-comma"}) {
    if (given(name) && format != nullptr && format->name != "columns")
      throw UsageError{std::string(name) + " is for --input columns; --input " +
                       std::string(format->name) + " has its own layout"};
  }
  if (given("--spectrum")) {
    if (format != nullptr && format->read_spectra == nullptr)
      throw UsageError{"--spectrum is for the outputs of quantum-chemistry programs, not --input " +
                       std::string(format->name)};
    o.spectrum =
        row_named("--spectrum", v.spectrum, kSpectrumKinds, [](const SpectrumKindRow& row) {
          return row.name;
        }).kind;
  }
  if (given("--columns")) o.columns = column_layout(v.columns);
  o.columns_given = given("--columns");
  o.syntax_given = given("--delimiter") || given("--decimal-comma");
  o.columns.delimiter =
      row_named("--delimiter", v.delimiter, kDelimiters, [](const DelimiterRow& row) {
        return row.name;
      }).delimiter;
  o.columns.decimal_comma = v.decimal_comma;
  if (o.columns.decimal_comma && o.columns.delimiter == Delimiter::comma)
    throw UsageError{
        "--decimal-comma does not fit --delimiter comma: a comma cannot both separate fields and "
        "stand in numbers"};
  if (given("--scale")) o.scale = positive("--scale", v.scale);
}

// The unit a width or position carries at its end ("0.3eV", "532nm"), in
// either case, taken off `text`; none where it carries none.
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

// The spectrum's axis, units and conversions; the widths' unit. Returns the
// parameters they add to the tsv header (" axis=nm units=epsilon").
std::string check_spectrum(const Given& given, Values& v, BatchOptions& o) {
  std::string parameters;
  const auto axis_named = [&](const char* option, const std::string& text) {
    return row_named(option, text, kAxes, [](const AxisRow& row) { return row.name; }).unit;
  };
  if (given("--axis")) o.axis = axis_named("--axis", v.axis);
  if (given("--line-unit")) {
    if (o.input != "auto" && o.input != "columns")
      throw UsageError{"--line-unit is for a columns line list, not --input " + o.input};
    o.line_unit = axis_named("--line-unit", v.line_unit);
  }
  if (!same_name(v.units, "native") && !same_name(v.units, "epsilon"))
    throw UsageError{"--units takes native or epsilon, not " + quoted(std::as_const(v).units)};
  o.epsilon = same_name(v.units, "epsilon");
  if (o.epsilon) {
    if (o.profile.normalisation != Normalisation::area)
      throw UsageError{"--units epsilon needs --normalise area: its integral is the quantity"};
    parameters += " units=epsilon";
  }
  if (given("--laser")) {
    std::string text = v.laser;
    const std::optional<AxisUnit> unit = unit_suffix(text);
    if (!unit || *unit == AxisUnit::electronvolt)
      throw UsageError{
          "--laser takes a wavelength in nm or a wavenumber in cm-1, as 532nm or "
          "18796.99cm-1, not " +
          quoted(std::as_const(v).laser)};
    o.laser = converted(positive("--laser", text), *unit, AxisUnit::per_centimetre);
    parameters += " laser=" + shortest(o.laser) + "cm-1";
  }
  if (given("--temperature")) {
    o.kelvin = positive("--temperature", v.temperature);
    parameters += " temperature=" + shortest(o.kelvin);
  }
  // Neither changes anything elsewhere: refused, not recorded as if used.
  if (given("--laser") && !o.epsilon)
    throw UsageError{"--laser gives Raman cross-sections with --units epsilon"};
  if (given("--temperature") && !given("--laser"))
    throw UsageError{
        "--temperature is the Raman cross-sections' temperature: give it with --laser"};
  if (given("--rotatory")) {
    o.rotatory_given = true;
    if (same_name(v.rotatory, "length"))
      o.rotatory = RotatoryForm::length;
    else if (!same_name(v.rotatory, "velocity"))
      throw UsageError{"--rotatory takes velocity or length, not " +
                       quoted(std::as_const(v).rotatory)};
    parameters +=
        std::string(" rotatory=") + (o.rotatory == RotatoryForm::length ? "length" : "velocity");
  }
  if (given("--shift")) {
    o.shift = scan_to_double(decimal_of("--shift", v.shift));
    if (!std::isfinite(o.shift))
      throw UsageError{"--shift must be finite, not " + quoted(std::as_const(v).shift)};
    parameters += " shift=" + shortest(o.shift);
  }
  if (given("--sticks")) {
    if (v.sticks.empty()) throw UsageError{"--sticks needs a file name"};
    if (v.sticks == "-" && o.output == "-")
      throw UsageError{"--sticks - writes the lines to standard output: give the spectrum -o FILE"};
    if (v.sticks != "-" && o.output != "-" && same_file(v.sticks, o.output))
      throw UsageError{"--sticks and -o name the same file"};
    if (v.sticks != "-" && !o.plot.file.empty() && same_file(v.sticks, o.plot.file))
      throw UsageError{"--sticks and --plot name the same file"};
    o.sticks = v.sticks;
  }
  // Widths may carry an energy unit; each the same one.
  for (std::size_t i = 0; i < std::size(kShapeQuantities); ++i) {
    if (kShapeQuantities[i].name == "eta" || !given(option_of(kShapeQuantities[i].name))) continue;
    const std::optional<AxisUnit> unit = unit_suffix(v.quantities[i]);
    if (!unit) continue;
    if (*unit == AxisUnit::nanometre)
      throw UsageError{option_of(kShapeQuantities[i].name) +
                       " is an energy: give it in cm-1 or eV, not nm"};
    if (o.width_unit && *o.width_unit != *unit) throw UsageError{"give every width in one unit"};
    o.width_unit = unit;
  }
  if (o.width_unit)
    parameters += std::string(" width-unit=") + std::string(axis_row(*o.width_unit).name);
  return parameters;
}

// How the run goes: its threads and its words on standard error.
void check_run(const Given& given, const Values& v, BatchOptions& o) {
  constexpr std::int64_t kMostThreads = 4096;
  if (given("--threads")) {
    const std::int64_t threads = whole_number("--threads", v.threads);
    if (threads < 1 || threads > kMostThreads)
      throw UsageError{"--threads must be from 1 to " + std::to_string(kMostThreads) + ", not " +
                       quoted(v.threads)};
    o.threads = static_cast<unsigned>(threads);
  }
  o.quiet = v.quiet;
}

// Each option at most once: the first given more often, in the order of the help.
void check_repeats(const CLI::App& app) {
  for (const CLI::Option* option : app.get_options()) {
    const std::size_t count = option->count();
    if (count < 2) continue;
    const std::string name =
        option->get_lnames().empty() ? option->get_name() : "--" + option->get_lnames().front();
    if (option->get_lnames().empty() && option->get_snames().empty()) continue;  // the inputs
    throw UsageError{name + " is given " +
                     (count == 2 ? std::string("twice") : std::to_string(count) + " times") +
                     ": give each option once"};
  }
}

// The shape's row and its normalisation, by name.
const LineShapeRow& check_shape(const Given& given, const Values& v, ProfileParameters& profile) {
  const LineShapeRow& shape =
      row_named("--shape", v.shape, kLineShapes, [](const LineShapeRow& row) { return row.name; });
  const NormalisationRow& normalisation =
      row_named("--normalise", v.normalise, kNormalisations,
                [](const NormalisationRow& row) { return row.name; });
  const std::string default_note = given("--shape") ? "" : " (the default)";
  if (std::find(shape.normalisations.begin(), shape.normalisations.end(),
                normalisation.normalisation) == shape.normalisations.end())
    throw UsageError{"--normalise " + std::string(normalisation.name) + " does not fit --shape " +
                     std::string(shape.name) + default_note};
  // Each width or parameter the shape does not take is refused, in the table's order.
  for (const ShapeQuantity& quantity : kShapeQuantities) {
    const auto named = [&](const auto& taken) { return taken.name == quantity.name; };
    const bool fits = std::any_of(shape.widths.begin(), shape.widths.end(), named) ||
                      std::any_of(shape.parameters.begin(), shape.parameters.end(), named);
    if (given(option_of(quantity.name)) && !fits)
      throw UsageError{option_of(quantity.name) + " does not fit --shape " +
                       std::string(shape.name) + default_note};
  }
  profile.shape = shape.shape;
  profile.normalisation = normalisation.normalisation;
  return shape;
}

// The widths of which a shape takes one: every shape's that are not taken all at once.
std::vector<std::string> alternative_widths() {
  std::vector<std::string> names;
  for (const ShapeQuantity& quantity : kShapeQuantities) {
    const bool alternative =
        std::any_of(std::begin(kLineShapes), std::end(kLineShapes), [&](const LineShapeRow& shape) {
          return !shape.all_widths &&
                 std::any_of(shape.widths.begin(), shape.widths.end(),
                             [&](const ShapeWidth& width) { return width.name == quantity.name; });
        });
    if (alternative) names.push_back(option_of(quantity.name));
  }
  return names;
}

std::vector<std::string> width_options(const LineShapeRow& shape) {
  return names_of(shape.widths, [](const ShapeWidth& width) { return option_of(width.name); });
}

// One width of several, or per-line widths in the first one's measure (or the one given).
std::string check_one_width(const LineShapeRow& shape, const Given& given, const Values& v,
                            BatchOptions& o) {
  const ShapeWidth* chosen = &shape.widths.front();
  for (const ShapeWidth& width : shape.widths) {
    if (given(option_of(width.name))) chosen = &width;
  }
  const std::string name = option_of(chosen->name);
  const std::string& text = v.quantity(chosen->name);
  o.width_divisor = chosen->divisor;
  std::string widths;
  if (given(name)) {
    o.profile.*chosen->field = converted(name, text, chosen->divisor);
    widths = std::string(chosen->name) + "=" + shortest(positive(name, text));
  } else if (o.columns.width == 0) {
    std::string extras;
    for (const ShapeParameter& parameter : shape.parameters)
      extras += " (and " + option_of(parameter.name) + ")";
    throw UsageError{"give the width: " + listed(width_options(shape), " or ") + extras};
  }
  if (o.columns.width > 0)
    widths =
        "width=field " + std::to_string(o.columns.width) + " (" + std::string(chosen->name) + ")";
  return widths;
}

// Every width of the shape at once.
std::string check_all_widths(const LineShapeRow& shape, const Given& given, const Values& v,
                             ProfileParameters& profile) {
  const std::vector<std::string> names = width_options(shape);
  if (!std::all_of(names.begin(), names.end(), given))
    throw UsageError{std::string(shape.name) + " needs both " + listed(names, " and ")};
  std::string widths;
  for (const ShapeWidth& width : shape.widths) {
    const std::string name = option_of(width.name);
    profile.*width.field = converted(name, v.quantity(width.name), width.divisor);
  }
  for (const ShapeWidth& width : shape.widths) {
    const std::string name = option_of(width.name);
    widths += (widths.empty() ? "" : " ") + std::string(width.name) + "=" +
              shortest(positive(name, v.quantity(width.name)));
  }
  return widths;
}

// The widths and parameters, as the tsv comment line tells them: "fwhm=8 eta=0.25".
std::string check_widths(const LineShapeRow& shape, const Given& given, const Values& v,
                         BatchOptions& o) {
  const std::vector<std::string> alternatives = alternative_widths();
  if (std::count_if(alternatives.begin(), alternatives.end(), given) > 1)
    throw UsageError{"give one width: " + listed(alternatives, " or ")};
  if (o.columns.width > 0 && shape.line_width == nullptr)
    throw UsageError{std::string(shape.name) + " takes no width field: give " +
                     listed(width_options(shape), shape.all_widths ? " and " : " or ")};
  std::string widths = shape.all_widths ? check_all_widths(shape, given, v, o.profile)
                                        : check_one_width(shape, given, v, o);
  for (const ShapeParameter& parameter : shape.parameters) {
    const std::string name = option_of(parameter.name);
    const std::string& text = v.quantity(parameter.name);
    if (!given(name))
      throw UsageError{std::string(shape.name) + " needs " + name + ", " +
                       std::string(parameter.role)};
    const double value = scan_to_double(decimal_of(name, text));
    if (!(value >= parameter.low && value <= parameter.high))
      throw UsageError{name + " must lie between " + shortest(parameter.low) + " and " +
                       shortest(parameter.high) + ", not " + quoted(text)};
    o.profile.*parameter.field = value;
    widths += " " + std::string(parameter.name) + "=" + shortest(value);
  }
  return widths;
}

// The grid: --from and --to together (else the classic range), and --step or
// --points (else the classic step). Returns "step=0.1" or "points=101".
std::string check_grid(const Given& given, const Values& v, BatchOptions& o) {
  if (given("--from") != given("--to")) throw UsageError{"--from and --to go together"};
  if (given("--step") && given("--points")) throw UsageError{"give --step or --points, not both"};
  o.from = given("--from") ? decimal_of("--from", v.from) : decimal_of("--from", "0.1");
  o.to = given("--to") ? decimal_of("--to", v.to) : decimal_of("--to", "2000");
  o.step = given("--step") ? decimal_of("--step", v.step) : decimal_of("--step", "0.1");
  std::string grid;
  if (given("--points")) {
    o.grid = GridKind::points;
    o.points = whole_number("--points", v.points);
    if (o.points < 2) throw UsageError{"--points must be at least 2, not " + quoted(v.points)};
    if (o.points > static_cast<std::int64_t>(kMaxGridPoints))
      throw UsageError{"--points must be at most " + std::to_string(kMaxGridPoints)};
    grid = "points=" + std::to_string(o.points);
  } else {
    o.grid = given("--from") || given("--step") ? GridKind::step : GridKind::classic_default;
    if (o.step.negative || o.step.digits.find_first_not_of('0') == std::string::npos)
      throw UsageError{"--step must be positive, not " + quoted(v.step)};
    grid = "step=" + shown_decimal(o.step);
  }
  const double from = scan_to_double(o.from);
  const double to = scan_to_double(o.to);
  if (!std::isfinite(from) || !std::isfinite(to))
    throw UsageError{"--from and --to must lie within the range of doubles"};
  if (!(from < to) && !(from == to && o.grid == GridKind::step))
    throw UsageError{"--from must be below --to"};
  return grid;
}

void check_format(const Given& given, const Values& v, BatchOptions& o) {
  o.format = OutputFormat(index_named("--format", v.format, spectrum_formats()));
  if (given("--digits")) {
    if (o.format == OutputFormat::classic)
      throw UsageError{"--digits does not fit --format classic, which has four decimals"};
    const std::int64_t digits = whole_number("--digits", v.digits);
    if (digits < 1 || digits > 17)
      throw UsageError{"--digits must be from 1 to 17, not " + quoted(v.digits)};
    o.digits = static_cast<int>(digits);
  }
}

std::string normalisation_name(Normalisation normalisation) {
  for (const NormalisationRow& row : kNormalisations) {
    if (row.normalisation == normalisation) return std::string(row.name);
  }
  throw std::logic_error("a normalisation without a row");
}

// Every rule, in the order a command line breaking several hears of the first.
BatchOptions check(const CLI::App& app, Values v) {
  check_repeats(app);
  const Given given(app);
  BatchOptions o;
  check_names(given, v, o);
  check_run(given, v, o);
  if (v.classic && given("--plot"))
    throw UsageError{"--plot does not fit --classic, which writes the classic records alone"};
  check_plot(given, v, o);
  if (v.classic) {
    check_classic(given, v, o);
    return o;
  }
  check_input(given, v, o);
  const LineShapeRow& shape = check_shape(given, v, o.profile);
  const std::string spectrum = check_spectrum(given, v, o) + check_weights(given, v, o);
  const std::string widths = check_widths(shape, given, v, o);
  std::string cutoff;
  if (given("--cutoff")) {
    o.profile.cutoff = scan_to_double(decimal_of("--cutoff", v.cutoff));
    if (!(o.profile.cutoff >= 1.0) || !std::isfinite(o.profile.cutoff))
      throw UsageError{"--cutoff takes a number of full widths from 1 up, not " +
                       quoted(std::as_const(v).cutoff)};
    cutoff = " cutoff=" + shortest(o.profile.cutoff);
  }
  const std::string grid = check_grid(given, v, o);
  check_format(given, v, o);
  o.range_given = given("--from");
  o.shape_parameters = "shape=" + std::string(shape.name) + " " + widths +
                       " normalise=" + normalisation_name(o.profile.normalisation);
  o.grid_parameters = "from=" + shown_decimal(o.from) + " to=" + shown_decimal(o.to) + " " + grid;
  o.other_parameters = "scale=" + shortest(o.scale) + cutoff + spectrum;
  o.parameters = o.shape_parameters + " " + o.grid_parameters + " " + o.other_parameters;
  return o;
}

// `text` cut into lines of at most `width` characters at its blanks.
std::string wrapped(const std::string& text, std::size_t width) {
  std::string result, line;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = std::min(text.find(' ', start), text.size());
    const std::string word = text.substr(start, end - start);
    if (!line.empty() && line.size() + 1 + word.size() > width) {
      result += line + "\n";
      line.clear();
    }
    line += (line.empty() ? "" : " ") + word;
    start = end + 1;
  }
  return result + line;
}

// The help of the shape options, from the shape table.
void add_shape_options(CLI::App& app, Values& v) {
  const char* const heading = "Line shape and width";
  std::vector<std::string> shapes =
      names_of(kLineShapes, [](const LineShapeRow& row) { return std::string(row.name); });
  shapes.front() += " (default)";
  app.add_option("--shape", v.shape, listed(shapes, " or "))->type_name("SHAPE")->group(heading);
  for (std::size_t i = 0; i < std::size(kShapeQuantities); ++i) {
    const ShapeQuantity& quantity = kShapeQuantities[i];
    app.add_option(option_of(quantity.name), v.quantities[i], std::string(quantity.help))
        ->type_name(std::string(quantity.symbol))
        ->group(heading);
  }
  std::string normalisations;
  for (const NormalisationRow& row : kNormalisations) {
    normalisations += std::string(normalisations.empty() ? "" : "; ") + std::string(row.name) +
                      (normalisations.empty() ? " (default)" : "") + ": " + std::string(row.help);
  }
  app.add_option("--normalise,--normalize", v.normalise, normalisations)
      ->type_name("HOW")
      ->group(heading);
  app.add_option("--cutoff", v.cutoff,
                 "Cut each line's wings at N of its full widths (default: never; the manual "
                 "states the bound)")
      ->type_name("N")
      ->group(heading);
}

void add_options(CLI::App& app, Values& v) {
  app.add_option("LINE-LIST", v.inputs,
                 "The line lists or outputs, summed (default: standard input)")
      ->type_name("");
  // Each option under its heading in --help.
  std::string heading;
  auto add = [&](const char* names, std::string& value, const std::string& text, const char* type) {
    app.add_option(names, value, text)->type_name(type)->group(heading);
  };
  heading = "Input";
  const auto summary = [](const auto& row) { return row.summary; };
  std::vector<std::string> input_names{
      "auto (default: recognised from the content, else "
      "columns)"};
  for (const LineListFormat& row : input_formats()) input_names.emplace_back(row.summary);
  const std::string inputs = listed(input_names, " or ");
  const std::string formats = listed(names_of(spectrum_formats(), summary), " or ");
  add("--input", v.input, inputs, "KIND");
  add("--columns", v.columns, "Fields of frequency, intensity, width (default 1,2)", "F,I[,W]");
  add("--scale", v.scale, "Multiply every frequency by F", "F");
  std::vector<std::string> delimiters =
      names_of(kDelimiters, [](const DelimiterRow& row) { return std::string(row.name); });
  delimiters.front() += " (default)";
  add("--delimiter", v.delimiter, "Fields apart by " + listed(delimiters, " or "), "HOW");
  app.add_flag("--decimal-comma", v.decimal_comma,
               "Numbers written 1000,5 (then blanks or semicolons separate)")
      ->group(heading);

  add("--line-unit", v.line_unit, "The unit of a line list's positions: cm-1 (default), ev or nm",
      "UNIT");

  heading = "Spectra of quantum-chemistry outputs";
  add("--spectrum", v.spectrum, "ir, raman, uv or ecd (default: the one the file holds)", "KIND");
  add("--axis", v.axis, "cm-1, ev or nm (default: cm-1 for ir and raman, nm for uv and ecd)",
      "UNIT");
  add("--units", v.units,
      "native (default: the file's quantity) or epsilon (L mol-1 cm-1; Raman with --laser: "
      "cm2 sr-1)",
      "HOW");
  add("--laser", v.laser, "Raman with --units epsilon: the laser, as 532nm or 18796.99cm-1", "L");
  add("--temperature", v.temperature, "Raman: kelvin (default 298.15)", "T");
  add("--rotatory", v.rotatory, "ecd: velocity (default) or length", "FORM");
  add("--shift", v.shift, "Add X to every position (in the broadening unit) after --scale", "X");
  add("--sticks", v.sticks, "Write the lines as drawn to FILE (tsv; - for standard output)",
      "FILE");

  heading = "Several inputs";
  add("--weights", v.weights, "Each file's weight, one a file (default 1 each)", "W1,W2,...");
  add("--boltzmann", v.boltzmann,
      "Weight the files by their Gibbs free energies at T kelvin, normalised to 1", "T");

  add_shape_options(app, v);

  heading = "Grid (default: 0.1 to 2000 by 0.1; for an output, spanning its lines)";
  add("--from", v.from, "First abscissa", "A");
  add("--to", v.to, "Last abscissa (the last point is not above it)", "B");
  add("--step", v.step, "Step, in exact decimals", "S");
  add("--points", v.points, "Number of points, A and B included", "N");

  heading = "Output";
  add("-o,--output", v.output, "Write to FILE (default: standard output)", "FILE");
  app.add_flag("--force", v.force, "Replace FILE if it exists")->group(heading);
  add("--format", v.format, formats, "FORMAT");
  add("--digits", v.digits, "Significant digits (default: the shortest exact)", "N");
  heading = "Picture (drawn by gnuplot)";
  add("--plot", v.plot,
      "Draw the spectrum into FILE, a .png, .svg or .pdf (without -o, no text is written)", "FILE");
  add("--plot-size", v.plot_size, "Its size in pixels, points for pdf (default 1200,700)", "W,H");
  add("--title", v.title, "Its title", "TEXT");
  app.add_flag("--plot-reverse", v.plot_reverse,
               "Draw the abscissae from high to low (the default for wavenumbers)")
      ->group(heading);
  app.add_flag("--no-plot-reverse", v.no_plot_reverse, "Draw them from low to high")
      ->group(heading);
  app.add_flag("--plot-sticks", v.plot_sticks, "Draw the lines as sticks on a right axis")
      ->group(heading);
  app.add_flag("--no-plot-sticks", v.no_plot_sticks, "Leave the sticks out")->group(heading);
  add("--overlay", v.overlay, "Lay the spectrum in FILE (columns) over the computed one", "FILE");
  add("--overlay-columns", v.overlay_columns, "Its fields of abscissa and intensity (default 1,2)",
      "X,Y");
  std::string scales;
  for (const OverlayScaleRow& row : kOverlayScales)
    scales += std::string(scales.empty() ? "" : "; ") + std::string(row.name) +
              (scales.empty() ? " (default): " : ": ") + std::string(row.help);
  add("--overlay-scale", v.overlay_scale, scales, "HOW");
  add("--overlay-shift", v.overlay_shift, "Add X to its every abscissa", "X");

  heading = "Output";
  app.add_flag("--classic", v.classic,
               "The classic preset: fixed records, Gaussians of --sigma, the classic grid and "
               "records")
      ->group(heading);

  heading = "Run";
  add("--threads", v.threads, "Threads to compute with (default: the processors it may use)", "N");
  app.add_flag("--quiet", v.quiet, "No warnings, notes or progress on standard error")
      ->group(heading);

  // Each option at most once, and flags without values: refused by check_repeats
  // and command_line_error, in this program's words.
  for (CLI::Option* option : app.get_options()) {
    option->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    if (option->get_expected_min() == 0) option->disable_flag_override();
  }
}

std::string description() {
  const auto titles =
      names_of(kLineShapes, [](const LineShapeRow& row) { return std::string(row.title); });
  return wrapped(
      "Broadens a line list into a spectrum: each line (a frequency and an intensity) becomes a " +
          listed(titles, " or ") +
          " profile, summed on a grid and written as text. Each LINE-LIST is a line list or "
          "the output of a quantum-chemistry program, several summed, or - (or nothing) for "
          "standard input.",
      88);
}

// The refusal of a command line CLI11 could not read, in this program's
// words: which argument is at fault, found again in `argv`.
std::string command_line_error(CLI::App& app, const CLI::ParseError& error, int argc,
                               const char* const* argv) {
  if (dynamic_cast<const CLI::ExtrasError*>(&error) != nullptr && app.remaining_size() > 0) {
    const std::string extra = app.remaining().front();
    return "unknown option " + quoted(extra.substr(0, extra.find('=')));
  }
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "--") break;
    const std::size_t equals = argument.find('=');
    const bool long_form = argument.rfind("--", 0) == 0;
    const std::string name = long_form ? argument.substr(0, equals) : argument;
    const CLI::Option* option = app.get_option_no_throw(name);
    if (option == nullptr) continue;
    const bool flag = option->get_expected_min() == 0;
    const bool has_value = long_form && equals != std::string::npos;
    if (flag && has_value) return name + " takes no value";
    if (!flag && ((has_value && equals + 1 == argument.size()) || (!has_value && i + 1 == argc)))
      return name == "-o" || name == "--output" ? name + " needs a file name"
                                                : name + " needs a value";
  }
  return "cannot read the command line";
}

}  // namespace

Command parse_command_line(int argc, const char* const* argv) {
  CLI::App app{description(), "broaden-batch"};
  app.set_version_flag("--version", version_text(), "Show the version and exit");
  app.get_formatter()->column_width(34);
  app.footer(
      "Exit status: 0 success, 1 reading or writing failed, 2 usage error.\n"
      "See broaden-batch(1) for the formats and the classic preset.");
  Values v;
  add_options(app, v);

  Command command;
  try {
    app.parse(argc, argv);
    command.options = check(app, v);
  } catch (const CLI::CallForHelp&) {
    command.action = CommandAction::help;
    command.text = app.help();
  } catch (const CLI::CallForVersion&) {
    command.action = CommandAction::version;
    command.text = version_text() + "\n";
  } catch (const CLI::ParseError& error) {
    command.action = CommandAction::usage_error;
    command.text = command_line_error(app, error, argc, argv);
  } catch (const UsageError& error) {
    command.action = CommandAction::usage_error;
    command.text = error.message;
  }
  return command;
}

}  // namespace broaden
