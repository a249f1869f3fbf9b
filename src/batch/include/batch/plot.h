// The picture of a spectrum: its formats, the description of its axes, and
// the gnuplot commands that draw it, data inline. Pure: no process, no file
// (gnuplot.h starts gnuplot, the run writes the picture).
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace broaden {

/// A picture format, one row each: the suffix that names it (taken in
/// either case: "x.PNG"), the gnuplot terminal that draws it, and the unit
/// --plot-size counts in.
enum class PlotSizeUnit { pixels, points };
struct PlotFormat {
  std::string_view suffix;    ///< "png", without the point
  std::string_view terminal;  ///< "pngcairo"
  PlotSizeUnit unit;
};

/// Every picture format. To add one: a row here (its terminal must take
/// `size W,H` in its unit, or in inches for points, and write to standard
/// output when no output is set), a case in tests/batch/plot_gnuplot_test.cpp
/// that checks what the file holds, and doc/broaden-batch.1 under --plot.
inline constexpr PlotFormat kPlotFormats[] = {
    {"png", "pngcairo", PlotSizeUnit::pixels},
    {"svg", "svg", PlotSizeUnit::pixels},
    {"pdf", "pdfcairo", PlotSizeUnit::points},
};

/// The format a picture's name asks for by its suffix, or nullptr.
///
///   plot_format_of("ir.png")  -> the png row
///   plot_format_of("ir.Svg")  -> the svg row
///   plot_format_of("ir.jpeg") -> nullptr;  plot_format_of("png") -> nullptr
const PlotFormat* plot_format_of(std::string_view name) noexcept;

/// How a kind of spectrum is drawn: the quantity and unit of each axis (in
/// UTF-8, which every format draws), the direction of the abscissae, a line
/// at zero intensity. A run fills one in from what it read.
struct PlotAxes {
  std::string_view x_label;  ///< "wavenumber / cm⁻¹"
  std::string_view y_label;  ///< "intensity"
  bool reverse = false;      ///< the abscissae drawn from high to low
  bool zero_line = false;    ///< a line at zero intensity (spectra of either sign)
};

/// The axes of the line lists read today, whose abscissae are wavenumbers in
/// cm-1 and whose intensities carry no unit. Most such lists are infrared
/// or Raman lines, drawn as those are: from high wavenumbers to low. New
/// kinds (an infrared or UV-Vis list that names its units) get a PlotAxes of
/// their own, such as {"wavelength / nm", "ε / L mol⁻¹ cm⁻¹", false}.
inline constexpr PlotAxes kLineListAxes{
    .x_label = "wavenumber / cm⁻¹", .y_label = "intensity", .reverse = true};

/// A curve of points, in the order they are joined.
struct PlotCurve {
  std::span<const double> x = {};
  std::span<const double> y = {};  ///< as many as x
};

/// An experimental spectrum laid over the computed one.
struct PlotOverlay {
  PlotCurve curve = {};    ///< as read, before shift and scale
  std::string name = {};   ///< its title in the key: the file's name
  std::string label = {};  ///< its axis's label, its quantity; empty: "measured intensity"
  double shift = 0.0;      ///< added to every abscissa
  /// true: drawn on the right axis, on its own scale; false: scaled so that
  /// its largest intensity is the computed curve's largest (left as it is
  /// when either largest is not positive).
  bool own_axis = true;
  /// Where set (with own_axis false), the factor it is drawn by instead.
  std::optional<double> factor = std::nullopt;
};

/// Everything a picture shows.
struct PlotRequest {
  const PlotFormat* format = &kPlotFormats[0];
  int width = 1200;  ///< in the format's unit
  int height = 700;
  std::string title = {};  ///< empty: none
  PlotAxes axes = kLineListAxes;
  PlotCurve spectrum = {};                      ///< the grid's points, ascending
  bool sticks = false;                          ///< draw `lines` as sticks on the right axis
  PlotCurve lines = {};                         ///< each line's position and intensity
  std::string sticks_label = "line intensity";  ///< the right axis's label with sticks
  const PlotOverlay* overlay = nullptr;         ///< with sticks, only with own_axis false
};

/// The gnuplot commands that draw `request` to standard output (no `set
/// output`): the terminal and its size (points as inches for pdf, a font
/// scaled with the height: 14 at 700), the labels, the range of the grid in
/// the axes' direction, then the data as inline blocks ($spectrum, $lines,
/// $overlay) and one plot command. Texts (title, labels, the overlay's
/// name) are written as gnuplot's single-quoted strings, apostrophes
/// doubled and control characters as escaped() writes them, and drawn
/// noenhanced: no text can end its string or its line, or be read as a
/// command, a substitution or markup. Numbers are written with 9
/// significant digits (a relative error of at most 5e-10, far below a
/// pixel); infinities and NaN as NaN, which gnuplot leaves out of the curve.
///
/// Each curve is thinned to the columns of the picture first (see thinned),
/// so the picture is the same, and the commands at most about 4 points a
/// column, however fine the grid. Sticks are drawn in their own units, on
/// the right axis labelled `sticks_label`, an overlay on its own axis there
/// labelled by its `label`. With a right axis both ranges are given
/// (aligned_ranges of the values drawn within the grid's span: zero at one
/// height); without one the left axis is autoscaled from zero (both ways
/// for values of either sign), but for a spectrum zero everywhere, which is
/// given [0:1.05] so that its axes are drawn.
///
///   {png, 1200x700, kLineListAxes, spectrum on 400..4000}
///     -> "set terminal pngcairo size 1200,700 font 'sans,14' ...\n"
///        "set xrange [4000:400]\n" ... "plot $spectrum using 1:2 with lines ...\n"
std::string plot_script(const PlotRequest& request);

/// Whether every value of `y` is zero (or there is none): a spectrum with
/// nothing to draw but its axes.
bool zero_everywhere(std::span<const double> y) noexcept;

/// The values of a curve either side of zero: its largest magnitude below
/// and above it (0 where it has none), finite values only.
struct PlotExtent {
  double below = 0.0, above = 0.0;
};

/// The ranges of two axes that hold `a` and `b` with zero at the same
/// fraction f of the height on both (the larger of their own fractions,
/// below / (below + above), at most 0.9 where either has values above
/// zero), each stretched by 5% both ways; an extent of nothing is given
/// the height 1.
///   a {0, 10}, b {0, 2}   -> {0, 10.5}, {0, 2.1}
///   a {1, 3},  b {0, 5}   -> {-1.05, 3.15}, {-1.75, 5.25}  (zero a quarter up)
///   a {0, 0},  b {0, 0}   -> {0, 1.05}, {0, 1.05}
struct PlotRange {
  double low = 0.0, high = 0.0;
};
std::pair<PlotRange, PlotRange> aligned_ranges(PlotExtent a, PlotExtent b) noexcept;

/// The indices of the points of `curve` to keep so that it draws the same
/// on `columns` columns spanning `low` to `high` ("M4" thinning: of each run
/// of consecutive points that fall in one column, its first, its last, its
/// lowest and its highest, in their order). A point whose x or y is not
/// finite is kept as a run of its own (it breaks the line). Points outside
/// [low, high] share a column on their side. At most 4 indices a run; all of
/// them when `columns` is 0 or low >= high.
///
///   x {0, 0.1, 0.2, 0.3, 1}, y {0, 5, -1, 2, 3}, low 0, high 1, columns 2
///     -> {0, 1, 2, 3, 4}  (column 0: first 0, highest 1, lowest 2, last 3)
///   x {0, 0.1, 0.2, 0.3}, y {1, 1, 1, 1}, columns 1 -> {0, 3}
std::vector<std::size_t> thinned(const PlotCurve& curve, double low, double high,
                                 std::size_t columns);

/// `text` as a gnuplot single-quoted string, escaped_utf8 (text/quoted.h):
/// well-formed UTF-8 whatever `text` holds, so that every picture format
/// stays valid.
///
///   gnuplot_string("it's")  -> "'it''s'"
///   gnuplot_string("a\nb")  -> "'a\\x0ab'"  (the four characters \, x, 0, a)
///   gnuplot_string("\xe9")  -> "'\\xe9'"
std::string gnuplot_string(std::string_view text);

}  // namespace broaden
