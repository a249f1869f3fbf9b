// The Python module `broaden`: broaden-batch's line shapes and readers, and
// the classic engine, on numpy arrays. The rules and refusals are the
// program's own (keywords.h); the arrays the caller gives are read where
// they lie when they are contiguous float64, and every computation runs with
// the GIL released.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <span>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "batch/compare.h"
#include "batch/fit_lines.h"
#include "batch/grid.h"
#include "batch/input_lines.h"
#include "batch/input_text.h"
#include "batch/measured.h"
#include "batch/messages.h"
#include "batch/plot.h"
#include "batch/run_plan.h"
#include "batch/spectrum_kinds.h"
#include "docstrings.h"
#include "keywords.h"
#include "line_shapes/line_profiles.h"
#include "numbers/double_to_shortest.h"
#include "records/jcamp_reader.h"
#include "records/line_list_formats.h"
#include "synthesis/engine.h"

namespace py = pybind11;

namespace broaden {
namespace {

// An array of doubles as numpy gives it: the caller's own when it is already
// a C-contiguous float64 array, else a converted copy.
using Doubles = py::array_t<double, py::array::c_style | py::array::forcecast>;

// The keywords of the shape quantities, in kShapeQuantities' order: each the
// quantity's name with '_' for '-'. A quantity added to the table fails to
// compile here until spectrum() takes it too.
constexpr std::string_view kQuantityKeywords[] = {"fwhm",          "sigma",           "hwhm",
                                                  "gaussian_fwhm", "lorentzian_fwhm", "eta"};
constexpr bool keywords_match_quantities() {
  if (std::size(kQuantityKeywords) != std::size(kShapeQuantities)) return false;
  for (std::size_t i = 0; i < std::size(kShapeQuantities); ++i) {
    const std::string_view name = kShapeQuantities[i].name;
    const std::string_view keyword = kQuantityKeywords[i];
    if (name.size() != keyword.size()) return false;
    for (std::size_t c = 0; c < name.size(); ++c)
      if ((name[c] == '-' ? '_' : name[c]) != keyword[c]) return false;
  }
  return true;
}
static_assert(keywords_match_quantities(), "spectrum() takes one keyword per shape quantity");

std::span<const double> one_dimensional(const Doubles& array, const char* name) {
  if (array.ndim() != 1)
    throw py::value_error(std::string(name) + " must be a one-dimensional array, not one of " +
                          std::to_string(array.ndim()) + " dimensions");
  return {array.data(), static_cast<std::size_t>(array.size())};
}

void same_size(std::span<const double> a, const char* a_name, std::span<const double> b,
               const char* b_name) {
  if (a.size() != b.size())
    throw py::value_error(std::string(a_name) + " and " + b_name + " differ in size: " +
                          std::to_string(a.size()) + " and " + std::to_string(b.size()));
}

// The shape quantities given (fwhm=, sigma=, ...) added to `keywords` by
// their names, `given` in the order of kShapeQuantities: a call that takes
// one keyword fewer than the table has rows fails to compile.
void add_shape_quantities(
    SpectrumKeywords& keywords,
    const std::array<const std::optional<double>*, std::size(kShapeQuantities)>& given) {
  for (std::size_t i = 0; i < given.size(); ++i)
    if (*given[i]) keywords.quantities.emplace_back(kShapeQuantities[i].name, **given[i]);
}

// A new array of `size` doubles, owned by numpy; its values are not set.
py::array_t<double> new_array(std::size_t size) {
  return py::array_t<double>(static_cast<py::ssize_t>(size));
}

// `values` as a numpy array without a copy: the array keeps the vector
// alive (through a capsule, its base) and frees it with itself.
py::array_t<double> array_of(std::vector<double>&& values) {
  auto held = std::make_unique<std::vector<double>>(std::move(values));
  const py::capsule owner(held.get(),
                          [](void* vector) { delete static_cast<std::vector<double>*>(vector); });
  std::vector<double>& vector = *held.release();  // the capsule owns it now
  return py::array_t<double>(static_cast<py::ssize_t>(vector.size()), vector.data(), owner);
}

// The first value that is not finite, as a refusal: "positions[3] must be a
// finite number, not nan" (a line list of broaden-batch cannot hold one).
std::string first_not_finite(std::span<const double> values, const char* name) {
  const auto bad = std::find_if(values.begin(), values.end(),
                                [](double value) { return !std::isfinite(value); });
  if (bad == values.end()) return {};
  return std::string(name) + "[" + std::to_string(bad - values.begin()) +
         "] must be a finite number, not " + shortest(*bad);
}

// The widths a line in the shape's own measure, as broaden-batch's width
// field gives them (each divided by the option's divisor): `widths`
// themselves where the divisor is 1 (the quotients would be the same
// doubles), else the quotients, held in `divided`. Or the refusal of the
// first that is not positive and finite, before or after the division.
std::string line_widths_of(std::span<const double>& widths, double divisor,
                           std::vector<double>& divided) {
  if (divisor != 1.0) divided.resize(widths.size());
  for (std::size_t k = 0; k < widths.size(); ++k) {
    const std::string at = "widths[" + std::to_string(k) + "] ";
    if (!std::isfinite(widths[k]) || !(widths[k] > 0.0))
      return at + "must be a positive finite number, not " + shortest(widths[k]);
    if (divisor == 1.0) continue;
    divided[k] = widths[k] / divisor;
    if (!(divided[k] > 0.0)) return at + shortest(widths[k]) + " is too small to be used";
  }
  if (divisor != 1.0) widths = divided;
  return {};
}

// The energy of each point of `x` on `axis` in `unit`, ascending (reversed
// where the axis runs the other way, `reversed` then set), as broaden-batch
// finds them (batch.cpp); nothing where the axis is the unit.
std::vector<double> energies_on(std::span<const double> x, AxisUnit axis, AxisUnit unit,
                                bool& reversed) {
  std::vector<double> energy;
  reversed = false;
  if (axis == unit) return energy;
  energy.resize(x.size());
  for (std::size_t i = 0; i < x.size(); ++i) energy[i] = converted(x[i], axis, unit);
  reversed = energy.size() > 1 && energy.front() > energy.back();
  if (reversed) std::reverse(energy.begin(), energy.end());
  return energy;
}

// The grid broaden-batch draws a line list on without --from and --to: the
// one that spans the lines (grid.h) away from wavenumbers, else its default.
GridResult grid_of(std::span<const double> positions, const BatchOptions& options, AxisUnit unit,
                   AxisUnit axis) {
  const bool wavenumbers = unit == AxisUnit::per_centimetre && axis == AxisUnit::per_centimetre;
  if (wavenumbers || options.range_given || positions.empty()) return grid_for(options);
  return grid_spanning_lines(positions, profile_fwhm(options.profile), unit, axis, options).grid;
}

// The grid the keywords ask for, on the axis `on` for positions in `unit`
// (none where `grid_given`), with the arrays checked and `widths` put in the
// shape's own measure (held in `divided`), all without the GIL. Raises
// ValueError with what broaden-batch or the module refuses, MemoryError for
// a grid beyond the memory.
GridResult checked_grid(bool grid_given, std::span<const double> positions,
                        std::span<const double> intensities, std::span<const double>& widths,
                        const BatchOptions& options, AxisUnit unit, AxisUnit on,
                        std::vector<double>& divided) {
  GridResult built;
  std::string refusal;
  {
    const py::gil_scoped_release unlocked;
    // The grid that spans the lines needs them finite.
    if (!grid_given && (unit != on || unit != AxisUnit::per_centimetre))
      refusal = first_not_finite(positions, "positions");
    if (!grid_given && refusal.empty()) built = grid_of(positions, options, unit, on);
    if (built.error.empty() && refusal.empty()) refusal = first_not_finite(positions, "positions");
    if (built.error.empty() && refusal.empty())
      refusal = first_not_finite(intensities, "intensities");
    if (built.error.empty() && refusal.empty() && !widths.empty())
      refusal = line_widths_of(widths, options.width_divisor, divided);
  }
  if (built.out_of_memory) {
    PyErr_SetString(PyExc_MemoryError, built.error.c_str());
    throw py::error_already_set();
  }
  if (!built.error.empty()) throw py::value_error(built.error);
  if (!refusal.empty()) throw py::value_error(refusal);
  return built;
}

// The positions' unit `unit` names (--line-unit), refused where it is not
// an energy.
AxisUnit energy_unit_of(const BatchOptions& options, const std::string& unit) {
  if (!axis_row(options.line_unit).energy)
    throw py::value_error("unit is the positions' unit, an energy: cm-1 or ev, not '" + unit +
                          "' (axis= draws the spectrum on wavelengths)");
  return options.line_unit;
}

// A line over the rule's 60: pybind11 passes each keyword as a parameter of
// its own, and their list alone takes twenty lines.
py::tuple spectrum(const Doubles& positions_array, const Doubles& intensities_array,
                   const std::string& shape, const std::optional<double>& fwhm,
                   const std::optional<double>& sigma, const std::optional<double>& hwhm,
                   const std::optional<double>& gaussian_fwhm,
                   const std::optional<double>& lorentzian_fwhm, const std::optional<double>& eta,
                   const std::optional<Doubles>& widths_array, const std::string& normalise,
                   const std::optional<Doubles>& grid_array, const std::optional<double>& start,
                   const std::optional<double>& stop, const std::optional<double>& step,
                   const std::optional<std::int64_t>& points,
                   const std::optional<std::int64_t>& threads, const std::optional<double>& cutoff,
                   const std::optional<std::string>& axis, const std::string& unit) {
  const std::span<const double> positions = one_dimensional(positions_array, "positions");
  const std::span<const double> intensities = one_dimensional(intensities_array, "intensities");
  same_size(positions, "positions", intensities, "intensities");
  std::span<const double> widths;
  if (widths_array) {
    widths = one_dimensional(*widths_array, "widths");
    same_size(positions, "positions", widths, "widths");
  }
  if (threads && *threads < 0)
    throw py::value_error("threads must be 0 or more, not " + std::to_string(*threads));

  if (grid_array && (start || stop || step || points))
    throw py::value_error("give grid, or start, stop, step and points, not both");
  if (grid_array) one_dimensional(*grid_array, "grid");

  SpectrumKeywords keywords{.shape = shape,
                            .normalise = normalise,
                            .quantities = {},
                            .line_widths = widths_array.has_value(),
                            .start = start,
                            .stop = stop,
                            .step = step,
                            .points = points,
                            .cutoff = cutoff,
                            .axis = axis,
                            .unit = unit};
  add_shape_quantities(keywords, {&fwhm, &sigma, &hwhm, &gaussian_fwhm, &lorentzian_fwhm, &eta});
  const CheckedKeywords checked = check_keywords(keywords);
  if (!checked.error.empty()) throw py::value_error(checked.error);
  const BatchOptions& options = checked.options;
  const AxisUnit energies = energy_unit_of(options, unit), on = options.axis.value_or(energies);

  std::vector<double> divided_widths;
  GridResult built = checked_grid(grid_array.has_value(), positions, intensities, widths, options,
                                  energies, on, divided_widths);

  py::array_t<double> x =
      grid_array ? py::array_t<double>(*grid_array) : array_of(std::move(built.x));
  const std::span<const double> abscissae(x.data(), static_cast<std::size_t>(x.size()));
  py::array_t<double> y = new_array(abscissae.size());
  const std::span<double> values(y.mutable_data(), abscissae.size());
  {
    const py::gil_scoped_release unlocked;
    bool reversed = false;
    const std::vector<double> energy = energies_on(abscissae, on, energies, reversed);
    std::fill(values.begin(), values.end(), 0.0);
    add_profiles(positions, intensities, widths, options.profile,
                 energy.empty() ? abscissae : std::span<const double>(energy), values,
                 static_cast<unsigned>(std::min<std::int64_t>(
                     threads.value_or(0), std::numeric_limits<unsigned>::max())));
    if (reversed) std::reverse(values.begin(), values.end());
  }
  return py::make_tuple(std::move(x), std::move(y));
}

// The report of a comparison as a dict: report_json's keys (compare.h), but
// "experiment", which names a file the module never reads.
py::dict report_dict(const CompareReport& report) {
  py::dict dict = py::module_::import("json").attr("loads")(report_json(report));
  PyDict_DelItemString(dict.ptr(), "experiment");
  return dict;
}

// A report of `on_grid`, its scores and fit not yet given.
CompareReport report_of(const MeasuredOnGrid& on_grid, bool signed_spectrum) {
  CompareReport report;
  report.first = on_grid.first;
  report.last = on_grid.last;
  report.points = on_grid.points();
  report.signed_spectrum = signed_spectrum;
  return report;
}

// The measurement (experiment_x, experiment_y) on the grid `x`, or a
// ValueError with the program's words.
MeasuredOnGrid measured_on(std::span<const double> x, const Doubles& experiment_x,
                           const Doubles& experiment_y, const BatchOptions& options) {
  const std::span<const double> mx = one_dimensional(experiment_x, "experiment_x");
  const std::span<const double> my = one_dimensional(experiment_y, "experiment_y");
  same_size(mx, "experiment_x", my, "experiment_y");
  MeasuredOnGridResult taken;
  {
    const py::gil_scoped_release unlocked;
    taken = measured_on_grid(x, mx, my, options.compare.range);
  }
  if (!taken.error.empty()) throw py::value_error(taken.error);
  return std::move(taken.on_grid);
}

py::dict compare(const Doubles& x_array, const Doubles& y_array, const Doubles& experiment_x,
                 const Doubles& experiment_y, bool is_signed,
                 const std::optional<std::pair<double, double>>& range) {
  const std::span<const double> x = one_dimensional(x_array, "x");
  const std::span<const double> y = one_dimensional(y_array, "y");
  same_size(x, "x", y, "y");
  // A width the command line needs and a comparison does not use.
  SpectrumKeywords keywords;
  keywords.quantities = {{"sigma", 1.0}};
  const CompareKeywords asked{std::nullopt, std::nullopt, range};
  const CheckedKeywords checked = check_keywords(keywords, &asked);
  if (!checked.error.empty()) throw py::value_error(checked.error);
  const MeasuredOnGrid on_grid = measured_on(x, experiment_x, experiment_y, checked.options);
  CompareReport report = report_of(on_grid, is_signed);
  {
    const py::gil_scoped_release unlocked;
    report.scores = scores_of(taken_at(y, on_grid.index), on_grid.value, is_signed);
  }
  return report_dict(report);
}

// The lines `positions` (in `unit`) drawn on `x` (on `on`) at the fit's
// values `v`, as broaden-batch's run draws them while it fits (fit_lines.h).
struct FitDrawing {
  std::span<const double> positions, intensities, x;
  const BatchOptions& options;
  AxisUnit unit, on;
  std::vector<FitRange> ranges;
  unsigned threads = 0;

  std::vector<double> operator()(const FitValues& v) const {
    std::vector<double> moved(positions.size()), y(x.size(), 0.0);
    moved_positions(positions, moved, ranges, v, options);
    const ProfileParameters profile =
        profile_at(ranges, v, options, unit)
            .value_or(profile_in_unit(options.profile, options.width_unit, unit));
    bool reversed = false;
    const std::vector<double> energy = energies_on(x, on, unit, reversed);
    add_profiles(moved, intensities, {}, profile, energy.empty() ? x : std::span(energy), y,
                 threads);
    if (reversed) std::reverse(y.begin(), y.end());
    return y;
  }
};

// The lines fitted to the measurement (FitDrawing, fit of compare.h):
// the report and the spectrum at the values fitted.
py::tuple fitted(FitDrawing drawing, const MeasuredOnGrid& on_grid,
                 const std::optional<bool>& is_signed, py::array_t<double> x) {
  const BatchOptions& options = drawing.options;
  try {
    drawing.ranges = fit_ranges(std::nullopt, drawing.unit, options);
    scan_within_width(drawing.ranges, drawing.positions, options, drawing.unit);
  } catch (const BatchFailure& failure) {
    throw py::value_error(failure.message);
  }
  const bool signs = is_signed.value_or(signed_spectrum(std::nullopt, drawing.intensities));
  CompareReport report = report_of(on_grid, signs);
  for (const FitRange& r : drawing.ranges) report.fitted.push_back(r.parameter);
  std::vector<double> y;
  {
    const py::gil_scoped_release unlocked;
    const SpectrumAt at = drawing;
    report.fit = fit(on_grid, at,
                     FitRequest{drawing.ranges, fit_start(options), options.compare.score, signs});
    y = drawing(report.fit->values);
    report.scores = scores_of(taken_at(y, on_grid.index), on_grid.value, signs);
  }
  return py::make_tuple(report_dict(report), std::move(x), array_of(std::move(y)));
}

// A line over the rule's 60, as spectrum(): each keyword a parameter.
py::tuple fit_lines(const Doubles& positions_array, const Doubles& intensities_array,
                    const Doubles& experiment_x, const Doubles& experiment_y,
                    const std::string& fit_text, const std::string& score,
                    const std::optional<bool>& is_signed,
                    const std::optional<std::pair<double, double>>& range, const std::string& shape,
                    const std::optional<double>& fwhm, const std::optional<double>& sigma,
                    const std::optional<double>& hwhm, const std::optional<double>& gaussian_fwhm,
                    const std::optional<double>& lorentzian_fwhm, const std::optional<double>& eta,
                    const std::string& normalise, const std::optional<double>& start,
                    const std::optional<double>& stop, const std::optional<double>& step,
                    const std::optional<std::int64_t>& points,
                    const std::optional<std::int64_t>& threads, const std::optional<double>& cutoff,
                    const std::optional<std::string>& axis, const std::string& unit) {
  const std::span<const double> positions = one_dimensional(positions_array, "positions");
  const std::span<const double> intensities = one_dimensional(intensities_array, "intensities");
  same_size(positions, "positions", intensities, "intensities");
  if (threads && *threads < 0)
    throw py::value_error("threads must be 0 or more, not " + std::to_string(*threads));
  SpectrumKeywords keywords;
  keywords.shape = shape;
  keywords.normalise = normalise;
  keywords.start = start;
  keywords.stop = stop;
  keywords.step = step;
  keywords.points = points;
  keywords.cutoff = cutoff;
  keywords.axis = axis;
  keywords.unit = unit;
  const CompareKeywords asked{fit_text, score, range};
  add_shape_quantities(keywords, {&fwhm, &sigma, &hwhm, &gaussian_fwhm, &lorentzian_fwhm, &eta});
  const CheckedKeywords checked = check_keywords(keywords, &asked);
  if (!checked.error.empty()) throw py::value_error(checked.error);
  const BatchOptions& options = checked.options;
  const AxisUnit energies = energy_unit_of(options, unit), on = options.axis.value_or(energies);
  std::span<const double> widths;
  std::vector<double> divided;
  GridResult built =
      checked_grid(false, positions, intensities, widths, options, energies, on, divided);
  py::array_t<double> x = array_of(std::move(built.x));
  const std::span<const double> grid(x.data(), static_cast<std::size_t>(x.size()));
  const MeasuredOnGrid on_grid = measured_on(grid, experiment_x, experiment_y, options);
  FitDrawing drawing{positions,
                     intensities,
                     grid,
                     options,
                     energies,
                     on,
                     {},
                     static_cast<unsigned>(std::min<std::int64_t>(
                         threads.value_or(0), std::numeric_limits<unsigned>::max()))};
  return fitted(std::move(drawing), on_grid, is_signed, std::move(x));
}

py::tuple classic(const Doubles& frequencies_array, const Doubles& intensities_array,
                  double width) {
  const std::span<const double> frequencies = one_dimensional(frequencies_array, "frequencies");
  const std::span<const double> intensities = one_dimensional(intensities_array, "intensities");
  same_size(frequencies, "frequencies", intensities, "intensities");
  py::array_t<double> w = new_array(kGridSize);
  py::array_t<double> t = new_array(kGridSize);
  const std::span<double, kGridSize> grid(w.mutable_data(), kGridSize);
  const std::span<double> values(t.mutable_data(), kGridSize);
  {
    const py::gil_scoped_release unlocked;
    build_grid(grid);
    std::vector<std::size_t> every_point(kGridSize);
    for (std::size_t i = 0; i < kGridSize; ++i) every_point[i] = i;
    straightforward_points(frequencies, intensities, width, grid, every_point, values);
  }
  return py::make_tuple(std::move(w), std::move(t));
}

// A unit as read() names it; None where the source names none.
py::object unit_name(Unit unit) {
  switch (unit) {
    case Unit::unknown:
      return py::none();
    case Unit::per_centimetre:
      return py::str("cm-1");
    case Unit::kilometre_per_mole:
      return py::str("km/mol");
  }
  return py::none();
}

// The bytes of the file `path`, read through Python's io.open, so that a
// file that cannot be read raises Python's own OSError.
py::bytes file_content(const py::object& path) {
  py::bytes content;
  const py::object file = py::module_::import("io").attr("open")(path, "rb");
  try {
    content = file.attr("read")();
  } catch (py::error_already_set&) {
    file.attr("close")();
    throw;
  }
  file.attr("close")();
  return content;
}

std::string_view text_of(const py::bytes& content) {
  char* data = nullptr;
  py::ssize_t size = 0;
  if (PyBytes_AsStringAndSize(content.ptr(), &data, &size) != 0) throw py::error_already_set();
  return {data, static_cast<std::size_t>(size)};
}

// path_or_paths as the files to read: one path, or a list or tuple of them.
std::vector<py::object> paths_of(const py::object& path_or_paths) {
  std::vector<py::object> paths;
  if (py::isinstance<py::list>(path_or_paths) || py::isinstance<py::tuple>(path_or_paths)) {
    for (const py::handle path : path_or_paths)
      paths.push_back(py::reinterpret_borrow<py::object>(path));
    if (paths.empty()) throw py::value_error("give at least one file to read");
  } else {
    paths.push_back(path_or_paths);
  }
  return paths;
}

// laser= as --laser takes it: a string as it is ("532nm"), a number as cm-1.
std::optional<std::string> laser_text(const py::object& laser) {
  if (laser.is_none()) return std::nullopt;
  if (py::isinstance<py::str>(laser)) return laser.cast<std::string>();
  if (py::isinstance<py::bool_>(laser) || !PyNumber_Check(laser.ptr()))
    throw py::type_error("laser must be a string such as '532nm' or a number of cm-1, not " +
                         py::repr(laser).cast<std::string>());
  return shortest(py::float_(laser).cast<double>()) + "cm-1";
}

// The names of the units of read()'s arrays: an output's on its axis, in
// its broadening unit, its intensities as its sticks' header names them; a
// line list's where its format, axis= or line_unit= name them.
py::dict unit_names_of(const LinesPlan& plan, const BatchOptions& options) {
  const InputLines& lines = plan.lines;
  py::dict names;
  const bool on_axis = lines.kind || options.axis || options.line_unit != AxisUnit::per_centimetre;
  if (on_axis) {
    names["positions"] = std::string(axis_row(plan.axis).name);
    names["energies"] = std::string(axis_row(lines.broadening).name);
  } else {
    names["positions"] = unit_name(lines.table.frequency_unit);
  }
  names["intensities"] = lines.kind ? py::object(py::str(lines.sticks_intensity))
                                    : unit_name(lines.table.intensity_unit);
  return names;
}

// The messages as read()'s notes: a message of several lines (the
// populations) is several notes, as on standard error.
py::list notes_of(const std::vector<Message>& messages) {
  py::list notes;
  for (const Message& message : messages) {
    const std::string text = message_text(message);
    for (std::size_t start = 0; start <= text.size();) {
      const std::size_t end = std::min(text.find('\n', start), text.size());
      notes.append(text.substr(start, end - start));
      start = end + 1;
    }
  }
  return notes;
}

// A JCAMP-DX curve read as the measured spectrum it is (read_measured),
// where `text` is one and read() was given it alone, with the format auto
// or jcamp: its x on axis= (else in its XUNITS), its y as the file gives
// it. Nothing where the file is anything else (a peak table, which reads
// as lines; a file the reader refuses, refused as lines are).
std::optional<py::dict> measured_read(std::string_view text, const ReadKeywords& keywords,
                                      const BatchOptions& options) {
  if (options.inputs.size() != 1 || (keywords.input != "auto" && keywords.input != "jcamp") ||
      !recognises_jcamp(past_byte_order_mark(text)))
    return std::nullopt;
  std::vector<Message> messages;
  Measured measured;
  std::optional<BatchFailure> failure;
  {
    const py::gil_scoped_release unlocked;
    const JcampRead probe = read_jcamp(text);
    if (probe.error || probe.curve.peak_table) return std::nullopt;
    try {
      measured = read_measured(text, options.inputs[0], ColumnLayout{}, options.axis, messages);
    } catch (BatchFailure& failed) {
      failure = std::move(failed);
    }
  }
  if (failure) throw py::value_error(failure->message);
  const std::pair<const char*, bool> lines_only[] = {
      {"columns", keywords.columns.has_value()},
      {"spectrum", keywords.spectrum.has_value()},
      {"units", keywords.units.has_value()},
      {"laser", keywords.laser.has_value()},
      {"temperature", keywords.temperature.has_value()},
      {"rotatory", keywords.rotatory.has_value()},
      {"scale", keywords.scale.has_value()},
      {"shift", keywords.shift.has_value()},
      {"line_unit", keywords.line_unit.has_value()},
      {"weights", keywords.weights.has_value()},
      {"boltzmann", keywords.boltzmann.has_value()}};
  for (const auto& [name, given] : lines_only)
    if (given)
      throw py::value_error(std::string(name) +
                            "= reads lines: a JCAMP-DX curve is a measured spectrum, read with "
                            "axis= alone");
  py::dict units, result;
  units["positions"] = std::string(axis_row(*measured.unit).name);
  units["intensities"] = measured.label.empty() ? py::none() : py::object(py::str(measured.label));
  result["positions"] = array_of(std::move(measured.x));
  result["intensities"] = array_of(std::move(measured.y));
  for (const char* none : {"energies", "widths", "free_energy", "weights"})
    result[none] = py::none();
  result["kind"] = "measured";
  result["units"] = units;
  result["format"] = "jcamp";
  result["notes"] = notes_of(messages);
  return result;
}

// read()'s dictionary of what `plan` holds; one entry a file where several.
py::dict read_result(LinesPlan plan, const BatchOptions& options,
                     const std::vector<std::string>& formats,
                     const std::vector<std::optional<double>>& free_energies,
                     const std::vector<Message>& messages) {
  const py::object none = py::none();
  const bool several = formats.size() > 1;
  py::list energies_list, format_list;
  for (const std::optional<double>& energy : free_energies)
    energies_list.append(energy ? py::object(py::float_(*energy)) : none);
  for (const std::string& format : formats) format_list.append(format);
  InputLines& lines = plan.lines;
  py::dict result;
  result["positions"] = array_of(std::move(plan.sticks.position));
  result["intensities"] = array_of(std::move(plan.sticks.intensity));
  result["energies"] = array_of(std::move(lines.table.frequency));
  result["widths"] =
      lines.table.width.empty() ? none : py::object(array_of(std::move(lines.table.width)));
  result["kind"] = lines.kind ? std::string(spectrum_kind_row(*lines.kind).name) : "lines";
  result["units"] = unit_names_of(plan, options);
  result["free_energy"] = several ? py::object(energies_list) : energies_list[0];
  result["weights"] = lines.weights.empty() ? none : py::object(py::cast(lines.weights));
  result["format"] = several ? py::object(format_list) : format_list[0];
  result["notes"] = notes_of(messages);
  return result;
}

// A line over the rule's 60, as spectrum(): each keyword a parameter.
py::dict read_files(const py::object& path_or_paths, const std::string& input,
                    const std::optional<std::string>& columns,
                    const std::optional<std::string>& spectrum,
                    const std::optional<std::string>& axis, const std::string& units,
                    const py::object& laser, const std::optional<double>& temperature,
                    const std::optional<std::string>& rotatory, const std::optional<double>& scale,
                    const std::optional<double>& shift, const std::optional<std::string>& line_unit,
                    const std::optional<std::vector<double>>& weights,
                    const std::optional<double>& boltzmann) {
  const std::vector<py::object> paths = paths_of(path_or_paths);
  const py::module_ os = py::module_::import("os");
  ReadKeywords keywords{.inputs = {},
                        .input = input,
                        .columns = columns,
                        .spectrum = spectrum,
                        .axis = axis,
                        .units = units == "native" ? std::nullopt : std::optional(units),
                        .laser = laser_text(laser),
                        .rotatory = rotatory,
                        .line_unit = line_unit,
                        .temperature = temperature,
                        .scale = scale,
                        .shift = shift,
                        .boltzmann = boltzmann,
                        .weights = weights};
  for (const py::object& path : paths)
    keywords.inputs.push_back(os.attr("fsdecode")(path).cast<std::string>());
  const CheckedKeywords checked = check_keywords(keywords);
  if (!checked.error.empty()) throw py::value_error(checked.error);
  const BatchOptions& options = checked.options;

  std::vector<py::bytes> contents;
  for (const py::object& path : paths) contents.push_back(file_content(path));
  // A gzip's content inflated (its compressed bytes then dropped); what is
  // not text refused, as broaden-batch does (input_text.h).
  std::vector<std::optional<std::string>> inflated;
  for (std::size_t f = 0; f < contents.size(); ++f) {
    try {
      inflated.push_back(decoded_input(text_of(contents[f]), options.inputs[f]));
    } catch (const BatchFailure& failure) {
      throw py::value_error(failure.message);
    }
    if (inflated.back()) contents[f] = py::bytes();
  }
  std::vector<std::string_view> texts;
  for (std::size_t f = 0; f < contents.size(); ++f)
    texts.push_back(inflated[f] ? std::string_view(*inflated[f]) : text_of(contents[f]));

  if (std::optional<py::dict> measured = measured_read(texts.front(), keywords, options))
    return std::move(*measured);
  std::vector<Message> messages;
  std::vector<std::string> formats;
  std::vector<std::optional<double>> free_energies;
  std::optional<BatchFailure> failure;
  LinesPlan plan;
  {
    const py::gil_scoped_release unlocked;
    try {
      std::vector<InputLines> reads;
      for (std::size_t f = 0; f < texts.size(); ++f) {
        reads.push_back(read_input_lines(texts[f], options.inputs[f], options, messages));
        formats.emplace_back(reads.back().format);
        free_energies.push_back(reads.back().free_energy);
      }
      plan = plan_lines(std::move(reads), options, messages);
    } catch (BatchFailure& failed) {
      failure = std::move(failed);
    }
  }
  if (failure) throw py::value_error(failure->message);
  return read_result(std::move(plan), options, formats, free_energies, messages);
}

// The picture's labels as broaden-batch writes them, for plot(): each axis's
// by its name, each kind's y label with its units native and converted and
// its native quantity (as read() names the intensities).
py::dict labels() {
  py::dict axes, kinds;
  for (const AxisRow& row : kAxes) axes[py::str(std::string(row.name))] = std::string(row.label);
  for (const SpectrumKindRow& row : kSpectrumKinds) {
    py::dict kind;
    kind["native"] = std::string(row.native);
    kind["native_label"] = std::string(row.native_label);
    kind["converted_label"] = std::string(row.epsilon_label);
    kind["native_sticks_label"] = std::string(row.native_sticks_label);
    kind["converted_sticks_label"] = std::string(row.epsilon_sticks_label);
    kind["zero_line"] = row.zero_line;
    kinds[py::str(std::string(row.name))] = kind;
  }
  py::dict result;
  result["axes"] = axes;
  result["kinds"] = kinds;
  result["lines"] = std::string(kLineListAxes.y_label);
  result["line_sticks"] = PlotRequest{}.sticks_label;
  return result;
}

// numpy, imported now rather than at the first call (pybind11 imports it
// lazily), so that an interpreter without it fails at `import broaden` with
// what to do.
void import_numpy() {
  try {
    py::module_::import("numpy");
  } catch (py::error_already_set& error) {
    if (!error.matches(PyExc_ImportError)) throw;
    const std::string here = py::module_::import("sys").attr("executable").cast<std::string>();
    throw py::import_error("broaden needs numpy, which this Python (" + here +
                           ") cannot import: run it with " BROADEN_PYTHON_INTERPRETER
                           ", the Python it was built for, or install numpy here");
  }
}
}  // namespace
}  // namespace broaden

// The extension broaden._broaden; the package broaden (broaden/__init__.py)
// gives its functions under its own name, with plot().
PYBIND11_MODULE(_broaden, module) {
  using namespace broaden;
  using py::arg;
  import_numpy();
  module.doc() = docstrings::kModule;
  const std::string spectrum_doc = docstrings::spectrum(), read_doc = docstrings::read();
  module.def(
      "spectrum", &spectrum, spectrum_doc.c_str(), arg("positions"), arg("intensities"),
      py::kw_only(), arg("shape") = std::string(kLineShapes[0].name), arg("fwhm") = py::none(),
      arg("sigma") = py::none(), arg("hwhm") = py::none(), arg("gaussian_fwhm") = py::none(),
      arg("lorentzian_fwhm") = py::none(), arg("eta") = py::none(), arg("widths") = py::none(),
      arg("normalise") = std::string(kNormalisations[0].name), arg("grid") = py::none(),
      arg("start") = py::none(), arg("stop") = py::none(), arg("step") = py::none(),
      arg("points") = py::none(), arg("threads") = py::none(), arg("cutoff") = py::none(),
      arg("axis") = py::none(), arg("unit") = std::string(axis_row(AxisUnit::per_centimetre).name));
  module.def("read", &read_files, read_doc.c_str(), arg("path"), py::kw_only(),
             arg("input") = "auto", arg("columns") = py::none(), arg("spectrum") = py::none(),
             arg("axis") = py::none(), arg("units") = "native", arg("laser") = py::none(),
             arg("temperature") = py::none(), arg("rotatory") = py::none(),
             arg("scale") = py::none(), arg("shift") = py::none(), arg("line_unit") = py::none(),
             arg("weights") = py::none(), arg("boltzmann") = py::none());
  module.def("compare", &compare, docstrings::kCompare, arg("x"), arg("y"), arg("experiment_x"),
             arg("experiment_y"), py::kw_only(), arg("signed") = false, arg("range") = py::none());
  module.def("fit", &fit_lines, docstrings::kFit, arg("positions"), arg("intensities"),
             arg("experiment_x"), arg("experiment_y"), py::kw_only(), arg("fit") = "scale,fwhm",
             arg("score") = "cosine", arg("signed") = py::none(), arg("range") = py::none(),
             arg("shape") = std::string(kLineShapes[0].name), arg("fwhm") = py::none(),
             arg("sigma") = py::none(), arg("hwhm") = py::none(), arg("gaussian_fwhm") = py::none(),
             arg("lorentzian_fwhm") = py::none(), arg("eta") = py::none(),
             arg("normalise") = std::string(kNormalisations[0].name), arg("start") = py::none(),
             arg("stop") = py::none(), arg("step") = py::none(), arg("points") = py::none(),
             arg("threads") = py::none(), arg("cutoff") = py::none(), arg("axis") = py::none(),
             arg("unit") = std::string(axis_row(AxisUnit::per_centimetre).name));
  module.attr("_labels") = labels();
  module.def("classic", &classic, docstrings::kClassic, arg("frequencies"), arg("intensities"),
             arg("width"));
}
