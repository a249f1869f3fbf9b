#include "batch/option_rules.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <initializer_list>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <tuple>
#include <utility>

#include "batch/grid.h"
#include "batch/option_values.h"
#include "batch/output_formats.h"
#include "batch/spectrum_kinds.h"
#include "records/line_list_formats.h"
#include "text/quoted.h"

namespace broaden {
namespace {

using O = Option;

constexpr std::size_t kSigma = quantity_row("sigma");

// Every width and parameter of a shape names a row of kShapeQuantities
// (row_of finds it).
static_assert([] {
  const auto has_row = [](std::string_view name) {
    return std::any_of(std::begin(kShapeQuantities), std::end(kShapeQuantities),
                       [&](const ShapeQuantity& q) { return q.name == name; });
  };
  for (const LineShapeRow& shape : kLineShapes) {
    for (const ShapeWidth& width : shape.widths) {
      if (!has_row(width.name)) return false;
    }
    for (const ShapeParameter& parameter : shape.parameters) {
      if (!has_row(parameter.name)) return false;
    }
  }
  return true;
}());

std::string name_of(Option option) { return std::string(option_name(option)); }

// The first option of `options` the command line gave, or none.
std::optional<Option> first_given(const Given& given, std::initializer_list<Option> options) {
  for (const Option option : options) {
    if (given(option)) return option;
  }
  return std::nullopt;
}

// The inputs' names, standard input at most once, and not at all when the
// list of --inputs-from comes from it.
void check_inputs(const BatchOptions& o) {
  for (const std::string& name : o.inputs) {
    if (name.empty()) throw UsageError{"the line-list name is empty"};
  }
  const auto dashes = std::count(o.inputs.begin(), o.inputs.end(), "-");
  if (o.inputs_from == "-" && dashes > 0)
    throw UsageError{"--inputs-from - reads the list from standard input: no input can be - too"};
  if (dashes > 1) throw UsageError{"standard input can be read once: give - once"};
  if (o.energies == "-" && o.inputs_from == "-")
    throw UsageError{"--energies - and --inputs-from - both read standard input: give one a file"};
  if (o.energies == "-" && dashes > 0)
    throw UsageError{"--energies - reads the table from standard input: no input can be - too"};
}

// --weights, one a file.
void check_weight_count(const BatchOptions& o) {
  if (!o.weights.empty() && o.weights.size() != o.inputs.size())
    throw UsageError{"--weights gives " + std::to_string(o.weights.size()) + " weight" +
                     (o.weights.size() == 1 ? "" : "s") + " for " +
                     std::to_string(o.inputs.size()) + " file" + (o.inputs.size() == 1 ? "" : "s") +
                     ": give one a file"};
}

// Where the line list comes from and where the spectrum goes.
void check_names(const Given& given, const Values& v, BatchOptions& o) {
  if (given(O::inputs_from)) {
    if (v.inputs_from.empty()) throw UsageError{"--inputs-from needs a file name"};
    o.inputs_from = v.inputs_from;
    o.inputs.clear();  // standard input is no longer the default
  }
  if (!v.inputs.empty()) o.inputs = v.inputs;
  check_inputs(o);
  if (given(O::output) && v.output.empty()) throw UsageError{"-o needs a file name"};
  o.output = v.output.empty() ? "-" : v.output;
  o.force = v.force;
}

// Whether two output names name one file as written: "s.tsv", "./s.tsv"
// and "out/../s.tsv" do (a name with "..", through a link, is taken as
// written).
bool same_file(const std::string& a, const std::string& b) {
  return std::filesystem::path(a).lexically_normal() == std::filesystem::path(b).lexically_normal();
}

// The options that draw on the picture, or on its overlay, without them.
void check_plot_needed(const Given& given) {
  if (!given(O::plot)) {
    if (const std::optional<Option> option =
            first_given(given, {O::plot_size, O::plot_reverse, O::no_plot_reverse, O::plot_sticks,
                                O::no_plot_sticks, O::title, O::overlay}))
      throw UsageError{name_of(*option) + " draws on the picture: give --plot FILE"};
  }
  if (!given(O::overlay)) {
    if (const std::optional<Option> option = first_given(
            given, {O::overlay_columns, O::overlay_scale, O::overlay_shift, O::overlay_label}))
      throw UsageError{name_of(*option) + " is for --overlay FILE"};
  }
}

// The refusal of a measured spectrum's name (--overlay, --compare) that is
// empty or -: where standard input holds the line list (an input or
// --inputs-from is -) it says so, else that it is not read from there.
UsageError needs_file_name(std::string_view option, const BatchOptions& o) {
  const bool lines_there = o.inputs_from == "-" || std::ranges::count(o.inputs, "-") > 0;
  return UsageError{std::string(option) + " needs a file name" +
                    (lines_there ? " (standard input holds the line list)"
                                 : ": standard input is not read for it")};
}

// The spectrum laid over the picture.
void check_overlay(const Given& given, const Values& v, const BatchOptions& o, PlotOptions& p) {
  if (v.overlay.empty() || v.overlay == "-") throw needs_file_name("--overlay", o);
  p.overlay = v.overlay;
  if (given(O::overlay_columns)) p.overlay_columns = overlay_layout(v.overlay_columns);
  p.overlay_scale = row_named("--overlay-scale", v.overlay_scale, kOverlayScales).scale;
  if (given(O::overlay_shift)) {
    p.overlay_shift = scan_to_double(decimal_of("--overlay-shift", v.overlay_shift));
    if (!std::isfinite(p.overlay_shift))
      throw UsageError{"--overlay-shift must be a finite number, not " +
                       option_quoted(v.overlay_shift)};
  }
  if (given(O::overlay_label)) {
    if (v.overlay_label.empty()) throw UsageError{"--overlay-label needs a text"};
    p.overlay_label = v.overlay_label;
  }
  if (p.overlay_scale == OverlayScale::axis && p.sticks.value_or(false))
    throw UsageError{
        "--plot-sticks and an --overlay on its own axis both need the right axis: give "
        "--overlay-scale max"};
}

// The picture: its file and format, and how it is drawn.
void check_plot(const Given& given, const Values& v, BatchOptions& o) {
  check_plot_needed(given);
  if (!given(O::plot)) return;
  PlotOptions& p = o.plot;
  if (v.plot.empty()) throw UsageError{"--plot needs a file name"};
  p.format = plot_format_of(v.plot);
  if (p.format == nullptr)
    throw UsageError{"--plot takes a file name ending in " + plot_suffixes() +
                     " (the picture's format), not " + option_quoted(v.plot)};
  p.file = v.plot;
  if (o.output != "-" && same_file(o.output, p.file))
    throw UsageError{"--plot and -o name the same file " + option_quoted(v.plot)};
  o.data_output = given(O::output);
  if (given(O::plot_size)) std::tie(p.width, p.height) = plot_size(v.plot_size);
  if (v.plot_reverse && v.no_plot_reverse)
    throw UsageError{"give --plot-reverse or --no-plot-reverse, not both"};
  if (v.plot_reverse || v.no_plot_reverse) p.reverse = v.plot_reverse;
  if (v.plot_sticks && v.no_plot_sticks)
    throw UsageError{"give --plot-sticks or --no-plot-sticks, not both"};
  if (v.plot_sticks || v.no_plot_sticks) p.sticks = v.plot_sticks;
  p.title = v.title;
  if (given(O::overlay)) check_overlay(given, v, o, p);
}

// The table of energies --boltzmann weighs by.
void check_energies(const Given& given, const Values& v, BatchOptions& o) {
  if (given(O::weights)) throw UsageError{"give --weights or --energies, not both"};
  if (!given(O::boltzmann))
    throw UsageError{
        "--energies gives the energies --boltzmann weighs the files by: give "
        "--boltzmann T too"};
  if (v.energies.empty()) throw UsageError{"--energies needs a file name"};
  o.energies = v.energies;
  check_inputs(o);
}

// The files' weights: as given, or asked from their free energies or a
// table's energies. Adds their tsv header fields (boltzmann=298.15
// energies='conformers.txt') to `fields`.
void check_weights(const Given& given, const Values& v, BatchOptions& o, HeaderFields& fields) {
  if (given(O::weights) && given(O::boltzmann))
    throw UsageError{"give --weights or --boltzmann, not both"};
  if (given(O::energies)) check_energies(given, v, o);
  if (given(O::boltzmann)) {
    o.boltzmann = positive("--boltzmann", v.boltzmann);
    fields.add("boltzmann", shortest(o.boltzmann));
    if (!o.energies.empty())
      fields.add("energies", o.energies == "-" ? std::string("-") : broaden::quoted(o.energies));
    return;
  }
  if (!given(O::weights)) return;
  o.weights = weight_list(v.weights);
  // With --inputs-from, once the list is read.
  if (o.inputs_from.empty()) check_weight_count(o);
}

// The options the classic preset fixes, in the order they are refused.
void check_classic_fixed(const Given& given) {
  const auto refuse = [](const std::string& name) {
    throw UsageError{"--classic fixes what " + name +
                     " would set: give it --sigma, the line list and -o only"};
  };
  if (const std::optional<Option> option =
          first_given(given, {O::columns, O::scale, O::cutoff, O::line_unit, O::axis, O::units,
                              O::laser, O::temperature, O::rotatory, O::shift, O::sticks,
                              O::inputs_from, O::weights, O::boltzmann, O::compare, O::energies}))
    refuse(name_of(*option));
  for (std::size_t i = 0; i < std::size(kShapeQuantities); ++i) {
    if (i != kSigma && given.quantity(i)) refuse(option_of(kShapeQuantities[i].name));
  }
  if (const std::optional<Option> option =
          first_given(given, {O::normalise, O::from, O::to, O::step, O::points, O::digits}))
    refuse(name_of(*option));
}

// The classic preset fixes everything but the width and where the spectrum goes.
void check_classic(const Given& given, const Values& v, BatchOptions& o) {
  check_classic_fixed(given);
  if (given(O::input) && !same_name(v.input, "fixed"))
    throw UsageError{"--classic reads the fixed line-list records: --input " +
                     shown_value(v.input, input_formats()) + " does not fit"};
  if (given(O::spectrum))
    throw UsageError{"--classic reads the fixed line-list records: --spectrum does not fit"};
  if (given(O::shape) && !same_name(v.shape, line_shape_row(LineShape::gaussian)->name))
    throw UsageError{"--classic draws Gaussians: --shape " + shown_value(v.shape, kLineShapes) +
                     " does not fit"};
  if (given(O::format) && !same_name(v.format, "classic"))
    throw UsageError{"--classic writes the classic spectrum records: --format " +
                     shown_value(v.format, spectrum_formats()) + " does not fit"};
  if (const std::optional<Option> option = first_given(given, {O::delimiter, O::decimal_comma}))
    throw UsageError{name_of(*option) +
                     " is for --input columns; the classic records have their own layout"};
  if (!given.quantity(kSigma))
    throw UsageError{"--classic needs the width as --sigma (the standard deviation)"};
  if (o.inputs.size() > 1)
    throw UsageError{"--classic reads one line list: " + option_quoted(std::as_const(o.inputs)[1]) +
                     " would be a second"};
  o.classic = true;
  o.input = "fixed";
  o.format = OutputFormat::classic;
  o.profile.sigma = positive("--sigma", v.quantities[kSigma]);
  o.parameters = "classic sigma=" + shortest(o.profile.sigma);
}

void check_input(const Given& given, const Values& v, BatchOptions& o) {
  const LineListFormat* format = nullptr;
  if (!same_name(v.input, "auto")) {
    format = &row_named("--input", v.input, input_formats());
    o.input = std::string(format->name);
  }
  const std::optional<Option> layout =
      first_given(given, {O::columns, O::delimiter, O::decimal_comma});
  if (layout && format != nullptr && format->name != "columns")
    throw UsageError{name_of(*layout) + " is for --input columns; --input " +
                     std::string(format->name) + " has its own layout"};
  if (given(O::spectrum)) {
    if (format != nullptr && format->read_spectra == nullptr)
      throw UsageError{"--spectrum is for the outputs of quantum-chemistry programs, not --input " +
                       std::string(format->name)};
    o.spectrum = row_named("--spectrum", v.spectrum, kSpectrumKinds).kind;
  }
  if (given(O::columns)) o.columns = column_layout(v.columns);
  o.columns_given = given(O::columns);
  o.syntax_given = given(O::delimiter) || given(O::decimal_comma);
  o.columns.delimiter = row_named("--delimiter", v.delimiter, kDelimiters).delimiter;
  o.columns.decimal_comma = v.decimal_comma;
  if (o.columns.decimal_comma && o.columns.delimiter == Delimiter::comma)
    throw UsageError{
        "--decimal-comma does not fit --delimiter comma: a comma cannot both separate fields and "
        "stand in numbers"};
  if (given(O::scale)) o.scale = positive("--scale", v.scale);
}

// The axis and the unit of a line list's positions.
void check_axes(const Given& given, const Values& v, BatchOptions& o) {
  if (given(O::axis)) o.axis = row_named("--axis", v.axis, kAxes).unit;
  if (given(O::line_unit)) {
    if (o.input != "auto" && o.input != "columns")
      throw UsageError{"--line-unit is for a columns line list, not --input " + o.input};
    o.line_unit = row_named("--line-unit", v.line_unit, kAxes).unit;
  }
}

// The units of the intensities, and the laser and temperature of Raman
// cross-sections, with their tsv header fields (units=epsilon laser=...).
void check_units(const Given& given, const Values& v, BatchOptions& o, HeaderFields& fields) {
  const UnitsRow& units = row_named("--units", v.units, kUnits);
  o.epsilon = units.epsilon;
  o.cross_section = units.cross_section;
  if (o.epsilon) {
    if (o.profile.normalisation != Normalisation::area)
      throw UsageError{"--units " + std::string(units.name) +
                       " needs --normalise area: its integral is the quantity"};
    fields.add("units", std::string(units.name));
  }
  if (o.cross_section && !given(O::laser))
    throw UsageError{"--units cross-section needs --laser: the cross-sections are the laser's"};
  if (given(O::laser)) {
    o.laser = laser_wavenumber(v.laser);
    fields.add("laser", shortest(o.laser) + "cm-1");
  }
  if (given(O::temperature)) {
    o.kelvin = positive("--temperature", v.temperature);
    fields.add("temperature", shortest(o.kelvin));
  }
  // Neither changes anything elsewhere: refused, not recorded as if used.
  if (given(O::laser) && !o.epsilon)
    throw UsageError{"--laser gives Raman cross-sections with --units cross-section"};
  if (given(O::temperature) && !given(O::laser))
    throw UsageError{
        "--temperature is the Raman cross-sections' temperature: give it with --laser"};
}

// --sticks FILE: not where the spectrum or the picture goes.
void check_sticks(const Values& v, BatchOptions& o) {
  if (v.sticks.empty()) throw UsageError{"--sticks needs a file name"};
  if (v.sticks == "-" && o.output == "-")
    throw UsageError{"--sticks - writes the lines to standard output: give the spectrum -o FILE"};
  if (v.sticks != "-" && o.output != "-" && same_file(v.sticks, o.output))
    throw UsageError{"--sticks and -o name the same file"};
  if (v.sticks != "-" && !o.plot.file.empty() && same_file(v.sticks, o.plot.file))
    throw UsageError{"--sticks and --plot name the same file"};
  o.sticks = v.sticks;
}

// Whether some shape takes the quantity as a width (not a parameter).
bool is_width(const ShapeQuantity& quantity) {
  return std::any_of(std::begin(kLineShapes), std::end(kLineShapes), [&](const LineShapeRow& s) {
    return std::any_of(s.widths.begin(), s.widths.end(),
                       [&](const ShapeWidth& width) { return width.name == quantity.name; });
  });
}

// The units a width may carry, as messages write them: "cm-1 or eV".
std::string energy_units() {
  std::vector<std::string> units;
  for (const AxisRow& row : kAxes) {
    if (row.energy) units.emplace_back(row.symbol);
  }
  return listed(units, " or ");
}

// Widths may carry an energy unit; each the same one. Takes the units off
// the widths' texts.
void check_width_unit(const Given& given, Values& v, BatchOptions& o) {
  for (std::size_t i = 0; i < std::size(kShapeQuantities); ++i) {
    if (!is_width(kShapeQuantities[i]) || !given.quantity(i)) continue;
    const std::optional<AxisUnit> unit = unit_suffix(v.quantities[i]);
    if (!unit) continue;
    if (!axis_row(*unit).energy)
      throw UsageError{option_of(kShapeQuantities[i].name) + " is an energy: give it in " +
                       energy_units() + ", not " + std::string(axis_row(*unit).name)};
    if (o.width_unit && *o.width_unit != *unit) throw UsageError{"give every width in one unit"};
    o.width_unit = unit;
  }
}

// The spectrum's axis, units and conversions; the widths' unit, with the
// fields they add to the tsv header (units=epsilon shift=0.3).
void check_spectrum(const Given& given, Values& v, BatchOptions& o, HeaderFields& fields) {
  check_axes(given, v, o);
  check_units(given, v, o, fields);
  if (given(O::rotatory)) {
    o.rotatory_given = true;
    const RotatoryRow& form = row_named("--rotatory", v.rotatory, kRotatoryForms);
    o.rotatory = form.form;
    fields.add("rotatory", std::string(form.name));
  }
  if (given(O::shift)) {
    o.shift = scan_to_double(decimal_of("--shift", v.shift));
    if (!std::isfinite(o.shift))
      throw UsageError{"--shift must be finite, not " + option_quoted(v.shift)};
    fields.add("shift", shortest(o.shift));
  }
  if (given(O::sticks)) check_sticks(v, o);
  check_width_unit(given, v, o);
  if (o.width_unit) fields.add("width-unit", std::string(axis_row(*o.width_unit).name));
}

// How the run goes: its threads and its words on standard error.
void check_run(const Given& given, const Values& v, BatchOptions& o) {
  constexpr std::int64_t kMostThreads = 4096;
  if (given(O::threads)) {
    const std::int64_t threads = whole_number("--threads", v.threads);
    if (threads < 1 || threads > kMostThreads)
      throw UsageError{"--threads must be from 1 to " + std::to_string(kMostThreads) + ", not " +
                       option_quoted(v.threads)};
    o.threads = static_cast<unsigned>(threads);
  }
  o.quiet = v.quiet;
}

// The shape's row and its normalisation, by name.
const LineShapeRow& check_shape(const Given& given, const Values& v, ProfileParameters& profile) {
  const LineShapeRow& shape = row_named("--shape", v.shape, kLineShapes);
  const NormalisationRow& normalisation = row_named("--normalise", v.normalise, kNormalisations);
  const std::string default_note = given(O::shape) ? "" : " (the default)";
  if (std::find(shape.normalisations.begin(), shape.normalisations.end(),
                normalisation.normalisation) == shape.normalisations.end())
    throw UsageError{"--normalise " + std::string(normalisation.name) + " does not fit --shape " +
                     std::string(shape.name) + default_note};
  // Each width or parameter the shape does not take is refused, in the table's order.
  for (std::size_t i = 0; i < std::size(kShapeQuantities); ++i) {
    const ShapeQuantity& quantity = kShapeQuantities[i];
    const auto named = [&](const auto& taken) { return taken.name == quantity.name; };
    const bool fits = std::any_of(shape.widths.begin(), shape.widths.end(), named) ||
                      std::any_of(shape.parameters.begin(), shape.parameters.end(), named);
    if (given.quantity(i) && !fits)
      throw UsageError{option_of(quantity.name) + " does not fit --shape " +
                       std::string(shape.name) + default_note};
  }
  profile.shape = shape.shape;
  profile.normalisation = normalisation.normalisation;
  return shape;
}

// The row of kShapeQuantities named `name` (a width or parameter of a shape's row).
std::size_t row_of(std::string_view name) {
  for (std::size_t i = 0; i < std::size(kShapeQuantities); ++i) {
    if (kShapeQuantities[i].name == name) return i;
  }
  throw std::logic_error("a shape quantity without a row: " + std::string(name));
}

// The widths of which a shape takes one: every shape's that are not taken
// all at once, as rows of kShapeQuantities.
std::vector<std::size_t> alternative_widths() {
  std::vector<std::size_t> rows;
  for (std::size_t i = 0; i < std::size(kShapeQuantities); ++i) {
    const bool alternative =
        std::any_of(std::begin(kLineShapes), std::end(kLineShapes), [&](const LineShapeRow& shape) {
          return !shape.all_widths &&
                 std::any_of(shape.widths.begin(), shape.widths.end(), [&](const ShapeWidth& w) {
                   return w.name == kShapeQuantities[i].name;
                 });
        });
    if (alternative) rows.push_back(i);
  }
  return rows;
}

std::vector<std::string> width_options(const LineShapeRow& shape) {
  return names_of(shape.widths, [](const ShapeWidth& width) { return option_of(width.name); });
}

// One width of several, or per-line widths in the first one's measure (or the one given).
void check_one_width(const LineShapeRow& shape, const Given& given, const Values& v,
                     BatchOptions& o, HeaderFields& fields) {
  const ShapeWidth* chosen = &shape.widths.front();
  for (const ShapeWidth& width : shape.widths) {
    if (given.quantity(row_of(width.name))) chosen = &width;
  }
  const std::string name = option_of(chosen->name);
  const std::string& text = v.quantities[row_of(chosen->name)];
  o.width_divisor = chosen->divisor;
  if (o.columns.width > 0) {
    fields.add("width",
               "field " + std::to_string(o.columns.width) + " (" + std::string(chosen->name) + ")");
  }
  if (given.quantity(row_of(chosen->name))) {
    o.profile.*chosen->field = width_converted(name, text, chosen->divisor);
    if (o.columns.width == 0) fields.add(std::string(chosen->name), shortest(positive(name, text)));
  } else if (o.columns.width == 0) {
    std::string extras;
    for (const ShapeParameter& parameter : shape.parameters)
      extras += " (and " + option_of(parameter.name) + ")";
    throw UsageError{"give the width: " + listed(width_options(shape), " or ") + extras};
  }
}

// Every width of the shape at once.
void check_all_widths(const LineShapeRow& shape, const Given& given, const Values& v,
                      ProfileParameters& profile, HeaderFields& fields) {
  const bool all = std::all_of(shape.widths.begin(), shape.widths.end(),
                               [&](const ShapeWidth& w) { return given.quantity(row_of(w.name)); });
  if (!all)
    throw UsageError{std::string(shape.name) + " needs both " +
                     listed(width_options(shape), " and ")};
  for (const ShapeWidth& width : shape.widths) {
    const std::string name = option_of(width.name);
    profile.*width.field = width_converted(name, v.quantities[row_of(width.name)], width.divisor);
  }
  for (const ShapeWidth& width : shape.widths) {
    const std::string name = option_of(width.name);
    fields.add(std::string(width.name), shortest(positive(name, v.quantities[row_of(width.name)])));
  }
}

// The shape's parameters, each within its bounds: eta=0.25.
void check_parameters(const LineShapeRow& shape, const Given& given, const Values& v,
                      ProfileParameters& profile, HeaderFields& fields) {
  for (const ShapeParameter& parameter : shape.parameters) {
    const std::string name = option_of(parameter.name);
    const std::string& text = v.quantities[row_of(parameter.name)];
    if (!given.quantity(row_of(parameter.name)))
      throw UsageError{std::string(shape.name) + " needs " + name + ", " +
                       std::string(parameter.role)};
    const double value = scan_to_double(decimal_of(name, text));
    if (!(value >= parameter.low && value <= parameter.high))
      throw UsageError{name + " must lie between " + shortest(parameter.low) + " and " +
                       shortest(parameter.high) + ", not " + option_quoted(text)};
    profile.*parameter.field = value;
    fields.add(std::string(parameter.name), shortest(value));
  }
}

// The widths and parameters, as the tsv comment line tells them: fwhm=8 eta=0.25.
void check_widths(const LineShapeRow& shape, const Given& given, const Values& v, BatchOptions& o,
                  HeaderFields& fields) {
  const std::vector<std::size_t> alternatives = alternative_widths();
  if (std::count_if(alternatives.begin(), alternatives.end(),
                    [&](std::size_t row) { return given.quantity(row); }) > 1)
    throw UsageError{
        "give one width: " +
        listed(names_of(alternatives,
                        [](std::size_t row) { return option_of(kShapeQuantities[row].name); }),
               " or ")};
  if (o.columns.width > 0 && shape.line_width == nullptr)
    throw UsageError{std::string(shape.name) + " takes no width field: give " +
                     listed(width_options(shape), shape.all_widths ? " and " : " or ")};
  if (shape.all_widths)
    check_all_widths(shape, given, v, o.profile, fields);
  else
    check_one_width(shape, given, v, o, fields);
  check_parameters(shape, given, v, o.profile, fields);
}

// The grid's range and step or points, with its field: step=0.1 or points=101.
void check_grid_size(const Given& given, const Values& v, BatchOptions& o, HeaderFields& fields) {
  if (given(O::points)) {
    o.grid = GridKind::points;
    o.points = whole_number("--points", v.points);
    if (o.points < 2)
      throw UsageError{"--points must be at least 2, not " + option_quoted(v.points)};
    if (o.points > static_cast<std::int64_t>(kMaxGridPoints))
      throw UsageError{"--points must be at most " + std::to_string(kMaxGridPoints)};
    fields.add("points", std::to_string(o.points));
    return;
  }
  o.grid = given(O::from) || given(O::step) ? GridKind::step : GridKind::classic_default;
  if (o.step.negative || o.step.digits.find_first_not_of('0') == std::string::npos)
    throw UsageError{"--step must be positive, not " + option_quoted(v.step)};
  fields.add("step", shown_decimal(o.step));
}

// The grid: --from and --to together (else the classic range), and --step or
// --points (else the classic step), with the grid's fields: from=0.1 to=2000
// step=0.1.
void check_grid(const Given& given, const Values& v, BatchOptions& o, HeaderFields& fields) {
  if (given(O::from) != given(O::to)) throw UsageError{"--from and --to go together"};
  if (given(O::step) && given(O::points)) throw UsageError{"give --step or --points, not both"};
  const auto decimal = [&](Option option, const std::string& text, std::string_view otherwise) {
    return decimal_of(name_of(option), given(option) ? text : std::string(otherwise));
  };
  o.from = decimal(O::from, v.from, kDefaultFrom);
  o.to = decimal(O::to, v.to, kDefaultTo);
  o.step = decimal(O::step, v.step, kDefaultStep);
  fields.add("from", shown_decimal(o.from));
  fields.add("to", shown_decimal(o.to));
  check_grid_size(given, v, o, fields);
  const double from = scan_to_double(o.from);
  const double to = scan_to_double(o.to);
  if (!std::isfinite(from) || !std::isfinite(to))
    throw UsageError{"--from and --to must lie within the range of doubles"};
  if (!(from < to) && !(from == to && o.grid == GridKind::step))
    throw UsageError{"--from must be below --to"};
}

void check_format(const Given& given, const Values& v, BatchOptions& o) {
  const SpectrumFormat& format = row_named("--format", v.format, spectrum_formats());
  o.format = OutputFormat(&format - spectrum_formats().data());
  if (given(O::digits)) {
    if (o.format == OutputFormat::classic)
      throw UsageError{"--digits does not fit --format classic, which has four decimals"};
    const std::int64_t digits = whole_number("--digits", v.digits);
    if (digits < 1 || digits > 17)
      throw UsageError{"--digits must be from 1 to 17, not " + option_quoted(v.digits)};
    o.digits = static_cast<int>(digits);
  }
}

// --cutoff, in full widths, with its tsv header field (cutoff=4).
void check_cutoff(const Given& given, const Values& v, ProfileParameters& profile,
                  HeaderFields& fields) {
  if (!given(O::cutoff)) return;
  profile.cutoff = scan_to_double(decimal_of("--cutoff", v.cutoff));
  if (!(profile.cutoff >= 1.0) || !std::isfinite(profile.cutoff))
    throw UsageError{"--cutoff takes a number of full widths from 1 up, not " +
                     option_quoted(v.cutoff)};
  fields.add("cutoff", shortest(profile.cutoff));
}

std::string normalisation_name(Normalisation normalisation) {
  for (const NormalisationRow& row : kNormalisations) {
    if (row.normalisation == normalisation) return std::string(row.name);
  }
  throw std::logic_error("a normalisation without a row");
}

// The options of a comparison without --compare.
void check_compare_needed(const Given& given) {
  if (given(O::compare)) return;
  if (const std::optional<Option> option =
          first_given(given, {O::compare_columns, O::compare_range, O::report, O::fit, O::score}))
    throw UsageError{name_of(*option) + " is for --compare FILE"};
}

// --report FILE: not where the spectrum, its sticks or the picture goes.
void check_report(const Values& v, BatchOptions& o) {
  if (v.report.empty()) throw UsageError{"--report needs a file name"};
  if (v.report == "-" && ((o.data_output && o.output == "-") || o.sticks == "-"))
    throw UsageError{"--report - writes the report to standard output: give the spectrum -o FILE" +
                     std::string(o.sticks == "-" ? " and the sticks a file" : "")};
  for (const auto& [name, other] : {std::pair{"-o", &o.output}, std::pair{"--plot", &o.plot.file},
                                    std::pair{"--sticks", &o.sticks}})
    if (v.report != "-" && !other->empty() && *other != "-" && same_file(v.report, *other))
      throw UsageError{std::string("--report and ") + name + " name the same file"};
  o.compare.report = v.report;
}

// --fit: the scale and the shift not set by their options too; a width
// only for a shape of one.
void check_fit(const Given& given, const LineShapeRow& shape, BatchOptions& o) {
  for (const FitAsked& asked : o.compare.fit) {
    if (asked.parameter == FitParameter::scale && given(O::scale))
      throw UsageError{"--fit scale and --scale both set the scale: give one"};
    if (asked.parameter == FitParameter::shift && given(O::shift))
      throw UsageError{"--fit shift and --shift both set the shift: give one"};
    // The width given (one is needed) is where the fit of fwhm starts.
    if (asked.parameter == FitParameter::fwhm && shape.all_widths)
      throw UsageError{"--fit fwhm fits shapes of one width, not " + std::string(shape.name)};
  }
}

// The comparison with a measured spectrum.
void check_compare(const Given& given, const Values& v, const LineShapeRow& shape,
                   BatchOptions& o) {
  if (!given(O::compare)) return;
  CompareOptions& c = o.compare;
  if (v.compare.empty() || v.compare == "-") throw needs_file_name("--compare", o);
  c.file = v.compare;
  if (given(O::compare_columns)) c.columns = field_pair("--compare-columns", v.compare_columns);
  if (given(O::compare_range)) c.range = axis_range(v.compare_range);
  if (given(O::report)) check_report(v, o);
  if (given(O::fit)) c.fit = fit_list(v.fit);
  check_fit(given, shape, o);
  c.score = row_named("--score", v.score, kScores).score;
}
}  // namespace

BatchOptions checked_options(const Given& given, Values v) {
  BatchOptions o;
  check_names(given, v, o);
  check_run(given, v, o);
  if (v.classic && given(O::plot))
    throw UsageError{"--plot does not fit --classic, which writes the classic records alone"};
  check_plot(given, v, o);
  check_compare_needed(given);
  if (v.classic) {
    check_classic(given, v, o);
    return o;
  }
  check_input(given, v, o);
  const LineShapeRow& shape = check_shape(given, v, o.profile);
  // The weights are checked first, their field told last.
  HeaderFields spectrum, weights;
  check_weights(given, v, o, weights);
  check_spectrum(given, v, o, spectrum);
  spectrum.append(weights);
  o.shape_fields = {{"shape", std::string(shape.name)}};
  check_widths(shape, given, v, o, o.shape_fields);
  o.shape_fields.add("normalise", normalisation_name(o.profile.normalisation));
  o.other_fields = {{"scale", shortest(o.scale)}};
  check_cutoff(given, v, o.profile, o.other_fields);
  o.other_fields.append(spectrum);
  check_grid(given, v, o, o.grid_fields);
  check_format(given, v, o);
  check_compare(given, v, shape, o);
  o.range_given = given(O::from);
  HeaderFields all = o.shape_fields;
  all.append(o.grid_fields);
  all.append(o.other_fields);
  o.parameters = all.text();
  return o;
}

void add_listed_inputs(BatchOptions& o, std::string_view list) {
  const std::size_t given = o.inputs.size();
  for (std::size_t start = 0; start < list.size();) {
    const std::size_t end = std::min(list.find('\n', start), list.size());
    std::string_view line = list.substr(start, end - start);
    start = end + 1;
    if (line.ends_with('\r')) line.remove_suffix(1);
    if (line.find_first_not_of(" \t") != std::string_view::npos) o.inputs.emplace_back(line);
  }
  if (o.inputs.size() == given)
    throw UsageError{"--inputs-from " + option_quoted(o.inputs_from) + " names no input" +
                     (given > 0 ? "" : ", and the command line none either")};
  check_inputs(o);
  check_weight_count(o);
}

}  // namespace broaden
