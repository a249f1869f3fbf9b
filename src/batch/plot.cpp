#include "batch/plot.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>

#include "numbers/double_to_shortest.h"
#include "text/quoted.h"

namespace broaden {
namespace {

// Letters in either case: "PNG" names png.
bool same_letters(std::string_view a, std::string_view b) noexcept {
  const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [&](char p, char q) { return lower(p) == lower(q); });
}

// Nine significant digits: far below a pixel of any picture, and short.
constexpr int kPlotDigits = 9;

void append_number(std::string& out, double value) {
  if (!std::isfinite(value)) {
    out += "NaN";
    return;
  }
  char text[kShortestRoom];
  out.append(text, double_to_shortest(value, kPlotDigits, text));
}

std::string number(double value) {
  std::string text;
  append_number(text, value);
  return text;
}

// A data block of the points `keep` of `curve`, x shifted and y multiplied.
void append_block(std::string& out, std::string_view name, const PlotCurve& curve,
                  const std::vector<std::size_t>& keep, double shift, double factor) {
  out += "$";
  out += name;
  out += " << EOD\n";
  for (const std::size_t i : keep) {
    append_number(out, curve.x[i] + shift);
    out += ' ';
    append_number(out, curve.y[i] * factor);
    out += '\n';
  }
  out += "EOD\n";
}

// The largest finite value, or 0 when there is none above 0.
double largest(std::span<const double> values) noexcept {
  double most = 0.0;
  for (const double v : values)
    if (std::isfinite(v) && v > most) most = v;
  return most;
}

// The extent of the finite values of `curve` (y times `factor`) whose x
// (plus `shift`) lies within [low, high].
PlotExtent extent_of(const PlotCurve& curve, double low, double high, double shift = 0.0,
                     double factor = 1.0) noexcept {
  PlotExtent extent;
  const std::size_t n = std::min(curve.x.size(), curve.y.size());
  for (std::size_t i = 0; i < n; ++i) {
    const double x = curve.x[i] + shift, y = curve.y[i] * factor;
    if (!(x >= low && x <= high) || !std::isfinite(y)) continue;
    extent.below = std::max(extent.below, -y);
    extent.above = std::max(extent.above, y);
  }
  return extent;
}

PlotExtent joined(PlotExtent a, PlotExtent b) noexcept {
  return {std::max(a.below, b.below), std::max(a.above, b.above)};
}

std::string range_command(std::string_view axis, PlotRange range) {
  return "set " + std::string(axis) + " [" + number(range.low) + ":" + number(range.high) + "]\n";
}

}  // namespace

bool zero_everywhere(std::span<const double> y) noexcept {
  return std::all_of(y.begin(), y.end(), [](double v) { return v == 0.0; });
}

std::pair<PlotRange, PlotRange> aligned_ranges(PlotExtent a, PlotExtent b) noexcept {
  const auto fraction = [](PlotExtent e) {
    return e.below > 0.0 ? 1.0 / (1.0 + e.above / e.below) : 0.0;  // no sum to overflow
  };
  double f = std::max(fraction(a), fraction(b));
  if (a.above > 0.0 || b.above > 0.0) f = std::min(f, 0.9);
  const auto range = [f](PlotExtent e) {
    double height = std::max(f < 1.0 ? e.above / (1.0 - f) : 0.0, f > 0.0 ? e.below / f : 0.0);
    if (!(height > 0.0)) height = 1.0;
    // Near the largest double, the largest rather than an infinity.
    height = std::min(height * 1.05, std::numeric_limits<double>::max());
    return PlotRange{-f * height + 0.0, (1.0 - f) * height};  // +0, not -0
  };
  return {range(a), range(b)};
}

const PlotFormat* plot_format_of(std::string_view name) noexcept {
  const std::size_t point = name.find_last_of("./");
  if (point == std::string_view::npos || name[point] != '.' || point == 0 || name[point - 1] == '/')
    return nullptr;
  const std::string_view suffix = name.substr(point + 1);
  for (const PlotFormat& format : kPlotFormats)
    if (same_letters(suffix, format.suffix)) return &format;
  return nullptr;
}

std::string gnuplot_string(std::string_view text) {
  std::string out = "'";
  for (const char c : escaped_utf8(text)) {
    out += c;
    if (c == '\'') out += '\'';
  }
  return out + "'";
}

std::vector<std::size_t> thinned(const PlotCurve& curve, double low, double high,
                                 std::size_t columns) {
  const std::size_t n = std::min(curve.x.size(), curve.y.size());
  std::vector<std::size_t> keep;
  if (columns == 0 || !(low < high)) {
    keep.resize(n);
    for (std::size_t i = 0; i < n; ++i) keep[i] = i;
    return keep;
  }
  const double per_column = static_cast<double>(columns) / (high - low);
  // The column of x: -1 left of the range, `columns` right of it; -2 not finite.
  const auto column_of = [&](std::size_t i) -> std::ptrdiff_t {
    const double x = curve.x[i];
    if (!std::isfinite(x) || !std::isfinite(curve.y[i])) return -2;
    if (x < low) return -1;
    if (x >= high)
      return x == high ? static_cast<std::ptrdiff_t>(columns) - 1
                       : static_cast<std::ptrdiff_t>(columns);
    const double c = std::floor((x - low) * per_column);
    return std::min(static_cast<std::ptrdiff_t>(c), static_cast<std::ptrdiff_t>(columns) - 1);
  };
  std::size_t start = 0;
  while (start < n) {
    const std::ptrdiff_t column = column_of(start);
    std::size_t end = start + 1;
    if (column != -2)
      while (end < n && column_of(end) == column) ++end;
    std::size_t lowest = start, highest = start;
    for (std::size_t i = start; i < end; ++i) {
      if (curve.y[i] < curve.y[lowest]) lowest = i;
      if (curve.y[i] > curve.y[highest]) highest = i;
    }
    std::size_t run[4] = {start, std::min(lowest, highest), std::max(lowest, highest), end - 1};
    std::size_t* const last = std::unique(std::begin(run), std::end(run));
    keep.insert(keep.end(), std::begin(run), last);
    start = end;
  }
  return keep;
}

namespace {

// The terminal, its size and font, the title and the axes' labels.
std::string terminal_commands(const PlotRequest& request) {
  const PlotFormat& format = *request.format;
  const int font = std::clamp(static_cast<int>(std::lround(14.0 * request.height / 700.0)), 6, 72);
  std::string s;
  s += "set terminal ";
  s += format.terminal;
  if (format.unit == PlotSizeUnit::points)
    s += " size " + number(request.width / 72.0) + "in," + number(request.height / 72.0) + "in";
  else
    s += " size " + std::to_string(request.width) + "," + std::to_string(request.height);
  s += " noenhanced font 'sans," + std::to_string(font) + "'\n";
  s += "set encoding utf8\n";
  if (!request.title.empty()) s += "set title " + gnuplot_string(request.title) + " noenhanced\n";
  s += "set xlabel " + gnuplot_string(request.axes.x_label) + " noenhanced\n";
  s += "set ylabel " + gnuplot_string(request.axes.y_label) + " noenhanced\n";
  return s;
}

// The factor an overlay on the left axis is drawn by: its largest the
// computed curve's largest (1 where either is not positive).
double overlay_factor_of(const PlotRequest& request) {
  const PlotOverlay* overlay = request.overlay;
  if (overlay == nullptr || overlay->own_axis) return 1.0;
  if (overlay->factor) return *overlay->factor;
  const double computed = largest(request.spectrum.y);
  const double measured = largest(overlay->curve.y);
  return computed > 0.0 && measured > 0.0 ? computed / measured : 1.0;
}

// The y ranges: both axes' with their zeros at one height where there is a
// right axis (or none is drawn: a blank spectrum), else gnuplot's own.
std::string y_ranges(const PlotRequest& request, double low, double high, bool right_axis,
                     double overlay_factor) {
  const PlotOverlay* overlay = request.overlay;
  if (!right_axis && !zero_everywhere(request.spectrum.y)) {
    // A spectrum of one sign stands on its zero; one of either sign gets room both ways.
    const bool negative = std::any_of(request.spectrum.y.begin(), request.spectrum.y.end(),
                                      [](double v) { return v < 0.0; });
    return negative ? "set yrange [*:*]\nset offsets 0, 0, graph 0.05, graph 0.05\n"
                    : "set yrange [0:*]\nset offsets 0, 0, graph 0.05, 0\n";
  }
  PlotExtent left = extent_of(request.spectrum, low, high);
  if (overlay != nullptr && !overlay->own_axis)
    left = joined(left, extent_of(overlay->curve, low, high, overlay->shift, overlay_factor));
  const PlotExtent right = !right_axis      ? PlotExtent{}
                           : request.sticks ? extent_of(request.lines, low, high)
                                            : extent_of(overlay->curve, low, high, overlay->shift);
  const auto [y1, y2] = aligned_ranges(left, right);
  std::string s = range_command("yrange", y1);
  if (right_axis) s += range_command("y2range", y2);
  return s;
}

// The right axis's ticks and label: the sticks' quantity, or the overlay's.
std::string right_axis_commands(const PlotRequest& request) {
  const PlotOverlay* overlay = request.overlay;
  const std::string& label =
      request.sticks
          ? request.sticks_label
          : (overlay->label.empty() ? std::string("measured intensity") : overlay->label);
  return "set border 11\nset y2tics nomirror\nset y2label " + gnuplot_string(label) +
         " noenhanced\n";
}

// The data blocks and the plot command: the curve, the sticks, the overlay.
std::string data_and_plot(const PlotRequest& request, double low, double high,
                          double overlay_factor) {
  const PlotOverlay* overlay = request.overlay;
  std::string s;
  const auto columns = static_cast<std::size_t>(std::max(request.width, 1));
  append_block(s, "spectrum", request.spectrum, thinned(request.spectrum, low, high, columns), 0.0,
               1.0);
  std::string plot = "plot $spectrum using 1:2 with lines linewidth 2 linecolor rgb '#1f5fa8'";
  plot += " title 'computed'";
  if (request.sticks) {
    append_block(s, "lines", request.lines, thinned(request.lines, low, high, columns), 0.0, 1.0);
    plot +=
        ", $lines using 1:2 axes x1y2 with impulses linewidth 1.5 linecolor rgb '#c0392b'"
        " title 'sticks'";
  }
  if (overlay != nullptr) {
    append_block(s, "overlay", overlay->curve,
                 thinned(overlay->curve, low - overlay->shift, high - overlay->shift, columns),
                 overlay->shift, overlay_factor);
    plot += ", $overlay using 1:2";
    plot += overlay->own_axis ? " axes x1y2" : " axes x1y1";
    plot +=
        " with lines linewidth 1.5 linecolor rgb '#27864a' title " + gnuplot_string(overlay->name);
  }
  return s + plot + "\n";
}

}  // namespace

std::string plot_script(const PlotRequest& request) {
  std::string s = terminal_commands(request);
  const std::span<const double> x = request.spectrum.x;
  double low = x.empty() ? 0.0 : x.front();
  double high = x.empty() ? 1.0 : x.back();
  if (!(low < high)) {  // one point: a range around it
    const double half = std::max(1.0, std::fabs(low) * 0.01);
    low -= half;
    high += half;
  }
  s += "set xrange [" + number(request.axes.reverse ? high : low) + ":" +
       number(request.axes.reverse ? low : high) + "]\n";
  const PlotOverlay* overlay = request.overlay;
  const bool right_axis = request.sticks || (overlay != nullptr && overlay->own_axis);
  const double overlay_factor = overlay_factor_of(request);
  s += y_ranges(request, low, high, right_axis, overlay_factor);
  s += "set grid xtics ytics\nset mxtics 5\nset xtics nomirror\nset ytics nomirror\nset border 3\n";
  if (request.axes.zero_line) s += "set xzeroaxis linetype -1 linewidth 1\n";
  if (right_axis) s += right_axis_commands(request);
  const bool key = request.sticks || overlay != nullptr;
  s += key ? "set key top right noenhanced\n" : "set key off\n";
  return s + data_and_plot(request, low, high, overlay_factor);
}

}  // namespace broaden
