// The picture's formats, its gnuplot commands and the thinning of its
// curves, without gnuplot.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "batch/plot.h"

namespace broaden {
namespace {

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

bool has_line(const std::string& script, const std::string& line) {
  const auto lines = lines_of(script);
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// The lines between "$NAME << EOD" and "EOD".
std::vector<std::string> block(const std::string& script, const std::string& name) {
  const auto lines = lines_of(script);
  auto first = std::find(lines.begin(), lines.end(), "$" + name + " << EOD");
  if (first == lines.end()) return {};
  auto last = std::find(first, lines.end(), "EOD");
  return {first + 1, last};
}

TEST(PlotFormat, TheSuffixNamesTheFormatInEitherCase) {
  const struct {
    const char* name;
    const char* terminal;  // nullptr: refused
  } cases[] = {
      {"ir.png", "pngcairo"}, {"IR.PNG", "pngcairo"},  {"a/b.c/ir.Svg", "svg"},
      {"ir.pdf", "pdfcairo"}, {"ir.jpeg", nullptr},    {"png", nullptr},
      {"ir.png/", nullptr},   {"dir.png/ir", nullptr}, {".png", nullptr},
      {"a/.png", nullptr},    {"ir.", nullptr},        {"ir.png.txt", nullptr},
  };
  for (const auto& c : cases) {
    const PlotFormat* format = plot_format_of(c.name);
    if (c.terminal == nullptr) {
      EXPECT_EQ(format, nullptr) << c.name;
    } else {
      ASSERT_NE(format, nullptr) << c.name;
      EXPECT_EQ(format->terminal, c.terminal) << c.name;
    }
  }
  EXPECT_EQ(plot_format_of("x.pdf")->unit, PlotSizeUnit::points);
  EXPECT_EQ(plot_format_of("x.png")->unit, PlotSizeUnit::pixels);
}

TEST(GnuplotString, NoTextEndsItsStringOrItsLine) {
  const struct {
    const char* text;
    const char* string;
  } cases[] = {
      {"it's", "'it''s'"},
      {"a\nb", "'a\\x0ab'"},
      {"''", "''''''"},
      {"back\\slash `cmd` @macro \"q\"", "'back\\slash `cmd` @macro \"q\"'"},
      {"\r\x1b", "'\\x0d\\x1b'"},
      {"", "''"},
  };
  for (const auto& c : cases) EXPECT_EQ(gnuplot_string(c.text), c.string) << c.text;
}

// Each column's first, last, lowest and highest point are kept, in order;
// so the drawn line reaches the same heights in every column and joins the
// same neighbours.
TEST(Thinned, KeepsWhatEachColumnDraws) {
  std::mt19937_64 random(15);
  std::uniform_real_distribution<double> uniform(-1.0, 1.0);
  for (const std::size_t columns : {1u, 7u, 100u, 1200u}) {
    for (const std::size_t n : {1u, 2u, 50u, 10'000u}) {
      std::vector<double> x(n), y(n);
      for (std::size_t i = 0; i < n; ++i) {
        x[i] = static_cast<double>(i) / static_cast<double>(n);
        y[i] = uniform(random);
      }
      const std::vector<std::size_t> keep = thinned({x, y}, 0.0, 1.0, columns);
      ASSERT_FALSE(keep.empty());
      EXPECT_TRUE(std::is_sorted(keep.begin(), keep.end()));
      EXPECT_EQ(std::adjacent_find(keep.begin(), keep.end()), keep.end());
      EXPECT_EQ(keep.front(), 0u);
      EXPECT_EQ(keep.back(), n - 1);
      EXPECT_LE(keep.size(), 4 * columns);
      // Column by column: the extremes of the kept points are those of all.
      std::vector<double> low(columns, 2), high(columns, -2), kept_low(columns, 2),
          kept_high(columns, -2);
      const auto column = [&](std::size_t i) {
        return std::min(static_cast<std::size_t>(x[i] * static_cast<double>(columns)), columns - 1);
      };
      for (std::size_t i = 0; i < n; ++i) {
        low[column(i)] = std::min(low[column(i)], y[i]);
        high[column(i)] = std::max(high[column(i)], y[i]);
      }
      for (const std::size_t i : keep) {
        kept_low[column(i)] = std::min(kept_low[column(i)], y[i]);
        kept_high[column(i)] = std::max(kept_high[column(i)], y[i]);
      }
      EXPECT_EQ(kept_low, low) << n << " points, " << columns << " columns";
      EXPECT_EQ(kept_high, high) << n << " points, " << columns << " columns";
      // The first and last of each column are kept: the joins between columns stay.
      for (std::size_t i = 1; i < n; ++i) {
        if (column(i) == column(i - 1)) continue;
        EXPECT_TRUE(std::binary_search(keep.begin(), keep.end(), i - 1)) << i;
        EXPECT_TRUE(std::binary_search(keep.begin(), keep.end(), i)) << i;
      }
    }
  }
}

TEST(Thinned, TheContractsExamplesAndPointsThatAreNoNumbers) {
  const std::vector<double> x{0, 0.1, 0.2, 0.3, 1}, y{0, 5, -1, 2, 3};
  EXPECT_EQ(thinned({x, y}, 0, 1, 2), (std::vector<std::size_t>{0, 1, 2, 3, 4}));
  const std::vector<double> flat_x{0, 0.1, 0.2, 0.3}, flat_y{1, 1, 1, 1};
  EXPECT_EQ(thinned({flat_x, flat_y}, 0, 1, 1), (std::vector<std::size_t>{0, 3}));
  // A NaN breaks the line: it is kept, and so are the points either side.
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const std::vector<double> gap_x{0, 0.1, 0.2, 0.3, 0.4}, gap_y{1, 1, nan, 1, 1};
  EXPECT_EQ(thinned({gap_x, gap_y}, 0, 1, 1), (std::vector<std::size_t>{0, 1, 2, 3, 4}));
  // Descending abscissae (an experimental file written 4000 -> 400) thin as well.
  std::vector<double> down_x(1000), down_y(1000, 0.5);
  for (std::size_t i = 0; i < down_x.size(); ++i) down_x[i] = 1000.0 - static_cast<double>(i);
  EXPECT_LE(thinned({down_x, down_y}, 0, 1000, 10).size(), 20u);
  // Outside the range, one column each side; no columns: every point.
  EXPECT_EQ(thinned({down_x, down_y}, 2000, 3000, 10), (std::vector<std::size_t>{0, 999}));
  EXPECT_EQ(thinned({x, y}, 0, 1, 0).size(), x.size());
  EXPECT_EQ(thinned({x, y}, 1, 1, 10).size(), x.size());
}

struct Spectrum {
  std::vector<double> x, y;
};

Spectrum spectrum(double from, double to, std::size_t n) {
  Spectrum s;
  for (std::size_t i = 0; i < n; ++i) {
    const double x = from + (to - from) * static_cast<double>(i) / static_cast<double>(n - 1);
    s.x.push_back(x);
    s.y.push_back(std::exp(-(x - 1500) * (x - 1500) / 200.0));
  }
  return s;
}

TEST(PlotScript, TheAxesDescriptionSetsDirectionLabelsAndZeroLine) {
  const Spectrum s = spectrum(400, 4000, 3601);
  const struct {
    PlotAxes axes;
    const char* xrange;
    bool zero_line;
  } cases[] = {
      {kLineListAxes, "set xrange [4000:400]", false},
      {{"wavelength / nm", "ε / L mol⁻¹ cm⁻¹", false, false}, "set xrange [400:4000]", false},
      {{"wavelength / nm", "Δε / L mol⁻¹ cm⁻¹", false, true}, "set xrange [400:4000]", true},
  };
  for (const auto& c : cases) {
    PlotRequest request{.axes = c.axes, .spectrum = {s.x, s.y}};
    const std::string script = plot_script(request);
    EXPECT_TRUE(has_line(script, c.xrange)) << script;
    EXPECT_TRUE(has_line(script, "set xlabel '" + std::string(c.axes.x_label) + "' noenhanced"));
    EXPECT_TRUE(has_line(script, "set ylabel '" + std::string(c.axes.y_label) + "' noenhanced"));
    EXPECT_EQ(script.find("xzeroaxis") != std::string::npos, c.zero_line);
    EXPECT_EQ(script.find("set output"), std::string::npos);  // standard output
  }
  EXPECT_EQ(kLineListAxes.x_label, "wavenumber / cm⁻¹");
  EXPECT_TRUE(kLineListAxes.reverse);
}

TEST(PlotScript, SizesAndFontsByFormat) {
  const Spectrum s = spectrum(0, 1, 11);
  const struct {
    const char* name;
    int width, height;
    const char* terminal;
  } cases[] = {
      {"a.png", 1200, 700, "set terminal pngcairo size 1200,700 noenhanced font 'sans,14'"},
      {"a.svg", 600, 350, "set terminal svg size 600,350 noenhanced font 'sans,7'"},
      {"a.pdf", 720, 1400,
       "set terminal pdfcairo size 10in,19.4444444in noenhanced font 'sans,28'"},
  };
  for (const auto& c : cases) {
    PlotRequest request{.format = plot_format_of(c.name),
                        .width = c.width,
                        .height = c.height,
                        .spectrum = {s.x, s.y}};
    EXPECT_EQ(lines_of(plot_script(request)).front(), c.terminal);
  }
}

// A title or a name holding quotes, line ends and gnuplot's own markup
// stays one string on one line.
TEST(PlotScript, TextsCannotAddCommands) {
  const Spectrum s = spectrum(0, 1, 11);
  const PlotOverlay overlay{.curve = {s.x, s.y}, .name = "exp'\nsystem 'touch pwned'\n#"};
  PlotRequest plain{.title = "plain", .spectrum = {s.x, s.y}, .overlay = &overlay};
  PlotRequest hostile = plain;
  hostile.title = "a'\nset output '/x'\n`touch pwned` @x \\";
  const std::string script = plot_script(hostile);
  EXPECT_EQ(lines_of(script).size(), lines_of(plot_script(plain)).size());
  EXPECT_TRUE(
      has_line(script, "set title 'a''\\x0aset output ''/x''\\x0a`touch pwned` @x \\' noenhanced"))
      << script;
  for (const std::string& line : lines_of(script)) {
    EXPECT_NE(line.rfind("system", 0), 0u) << line;
    EXPECT_NE(line.rfind("set output", 0), 0u) << line;
  }
}

TEST(PlotScript, AFineGridIsThinnedToTheColumnsOfThePicture) {
  const Spectrum s = spectrum(400, 4000, 1'000'000);
  const PlotRequest request{.width = 1200, .spectrum = {s.x, s.y}};
  const std::string script = plot_script(request);
  const std::vector<std::string> points = block(script, "spectrum");
  EXPECT_LE(points.size(), 4u * 1200);
  EXPECT_GE(points.size(), 2u * 1200);
  EXPECT_EQ(points.front(), "400 0");
  EXPECT_EQ(points.back(), "4000 0");
  // The peak's top is among them, to nine digits.
  double top = 0;
  for (const std::string& point : points)
    top = std::max(top, std::strtod(point.c_str() + point.find(' '), nullptr));
  EXPECT_NEAR(top, *std::max_element(s.y.begin(), s.y.end()), 1e-9);
  EXPECT_LT(script.size(), 150'000u);
}

TEST(AlignedRanges, ZeroAtOneHeightOnBothAxes) {
  const struct {
    PlotExtent a, b;
    PlotRange ra, rb;
  } cases[] = {
      {{0, 10}, {0, 2}, {0, 10.5}, {0, 2.1}},
      {{1, 3}, {0, 5}, {-1.05, 3.15}, {-1.75, 5.25}},
      {{0, 0}, {0, 0}, {0, 1.05}, {0, 1.05}},
      {{4, 0}, {2, 0}, {-4.2, 0}, {-2.1, 0}},            // both below zero: zero on top
      {{4, 0}, {0, 1}, {-4.2, 4.2 / 9}, {-9.45, 1.05}},  // at most 0.9 up
  };
  const double most = std::numeric_limits<double>::max();
  EXPECT_EQ(aligned_ranges({0, most}, {most, most}).first.high, most * 0.5);  // finite
  for (const auto& c : cases) {
    const auto [ra, rb] = aligned_ranges(c.a, c.b);
    EXPECT_NEAR(ra.low, c.ra.low, 1e-12);
    EXPECT_NEAR(ra.high, c.ra.high, 1e-12);
    EXPECT_NEAR(rb.low, c.rb.low, 1e-12);
    EXPECT_NEAR(rb.high, c.rb.high, 1e-12);
  }
}

// The range "set NAME [low:high]" of a script.
PlotRange range_of(const std::string& script, const std::string& name) {
  const std::string head = "set " + name + " [";
  for (const std::string& line : lines_of(script))
    if (line.rfind(head, 0) == 0) {
      char* end = nullptr;
      const double low = std::strtod(line.c_str() + head.size(), &end);
      return {low, std::strtod(end + 1, nullptr)};
    }
  ADD_FAILURE() << "no " << name << " in " << script;
  return {};
}

// Sticks in their own units, and an overlay on its own axis, stand on the
// right axis with zero at the curve's height, whatever their signs and
// sizes; the left axis holds an overlay scaled to the curve.
TEST(PlotScript, ARightAxisInItsOwnUnitsWithZeroAtTheCurvesHeight) {
  const Spectrum s = spectrum(400, 4000, 3601);
  std::vector<double> signed_y = s.y;
  for (std::size_t i = 0; i < signed_y.size(); ++i) signed_y[i] *= s.x[i] < 1500 ? -3 : 1;
  const std::vector<double> at{1000, 1500, 9000}, strength{2, -8, 1}, positive{2, 8, 1e9};
  const std::vector<double> ox{500, 1490}, oy{10, 40};
  const PlotOverlay own{.curve = {ox, oy}, .name = "exp.txt", .label = "absorbance"};
  const PlotOverlay unnamed{.curve = {ox, oy}, .name = "exp.txt"};
  const struct {
    PlotRequest request;
    const char* y2label;
    std::vector<std::string> block;  // the lines' or the overlay's
  } cases[] = {
      {{.spectrum = {s.x, s.y}, .sticks = true, .lines = {at, strength}, .sticks_label = "R"},
       "R",
       {"1000 2", "1500 -8", "9000 1"}},
      {{.spectrum = {s.x, signed_y}, .sticks = true, .lines = {at, positive}},
       "line intensity",
       {"1000 2", "1500 8", "9000 1e+09"}},
      {{.spectrum = {s.x, signed_y}, .overlay = &own}, "absorbance", {"500 10", "1490 40"}},
      {{.spectrum = {s.x, s.y}, .overlay = &unnamed}, "measured intensity", {"500 10", "1490 40"}},
  };
  for (const auto& c : cases) {
    const std::string script = plot_script(c.request);
    EXPECT_TRUE(has_line(script, "set y2label '" + std::string(c.y2label) + "' noenhanced"));
    EXPECT_EQ(block(script, c.request.sticks ? "lines" : "overlay"), c.block);
    const PlotRange y1 = range_of(script, "yrange"), y2 = range_of(script, "y2range");
    EXPECT_NEAR(y1.low / (y1.high - y1.low), y2.low / (y2.high - y2.low), 1e-6) << script;
    // Every value drawn within the grid's span fits.
    const PlotCurve right = c.request.sticks ? c.request.lines : c.request.overlay->curve;
    for (std::size_t i = 0; i < right.x.size(); ++i) {
      if (right.x[i] > 4000) continue;
      EXPECT_TRUE(right.y[i] >= y2.low && right.y[i] <= y2.high);
    }
    for (const double v : c.request.spectrum.y) EXPECT_TRUE(v >= y1.low && v <= y1.high);
  }
  const PlotOverlay scaled{.curve = {ox, oy}, .name = "exp.txt", .shift = 10, .own_axis = false};
  const std::string script = plot_script(PlotRequest{.spectrum = {s.x, s.y}, .overlay = &scaled});
  EXPECT_EQ(block(script, "overlay"), (std::vector<std::string>{"510 0.25", "1500 1"}));
  EXPECT_NE(script.find("$overlay using 1:2 axes x1y1"), std::string::npos);
  EXPECT_TRUE(has_line(script, "set yrange [0:*]"));  // no right axis: autoscaled as before
}

TEST(PlotScript, ASpectrumZeroEverywhereIsGivenARange) {
  const std::vector<double> x{400, 500}, zero{0, 0}, some{0, 1};
  EXPECT_TRUE(has_line(plot_script(PlotRequest{.spectrum = {x, zero}}), "set yrange [0:1.05]"));
  EXPECT_TRUE(has_line(plot_script(PlotRequest{.spectrum = {x, some}}), "set yrange [0:*]"));
  EXPECT_TRUE(zero_everywhere(zero));
  EXPECT_FALSE(zero_everywhere(some));
}

TEST(PlotScript, NumbersThatAreNoneAndAOnePointGrid) {
  const double inf = std::numeric_limits<double>::infinity();
  const std::vector<double> x{1000}, y{inf};
  const std::string script = plot_script(PlotRequest{.spectrum = {x, y}});
  EXPECT_EQ(block(script, "spectrum"), (std::vector<std::string>{"1000 NaN"}));
  EXPECT_TRUE(has_line(script, "set xrange [1010:990]")) << script;
}

}  // namespace
}  // namespace broaden
