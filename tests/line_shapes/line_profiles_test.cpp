#include "line_shapes/line_profiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <limits>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "line_shapes/profile_kernels.h"
#include "row_parameters.h"

namespace broaden {
namespace {

using detail::KernelSet;
using Vector = std::vector<double>;

ProfileParameters gaussian(double sigma, Normalisation n = Normalisation::area) {
  return {LineShape::gaussian, n, sigma, 0.0, 0.0, 0.0};
}
ProfileParameters lorentzian(double gamma, Normalisation n = Normalisation::area) {
  return {LineShape::lorentzian, n, 0.0, gamma, 0.0, 0.0};
}
ProfileParameters pseudo_voigt(double fwhm, double eta, Normalisation n = Normalisation::area) {
  return {LineShape::pseudo_voigt, n, 0.0, 0.0, fwhm, eta};
}
ProfileParameters voigt(double sigma, double gamma, Normalisation n = Normalisation::area) {
  return {LineShape::voigt, n, sigma, gamma, 0.0, 0.0};
}

struct Lines {
  Vector position, intensity, width;
};

Vector spectrum(const KernelSet& kernels, const Lines& lines, const ProfileParameters& p,
                const Vector& x, unsigned threads = 0) {
  Vector y(x.size(), 0.0);
  detail::add_profiles_with(kernels, lines.position, lines.intensity, lines.width, p, x, y,
                            threads);
  return y;
}

// x = centre + scale * sinh(u), u even over [-asinh(reach), asinh(reach)]: fine near the
// centre, out to `reach` scales, and holding the centre itself.
Vector sinh_grid(double centre, double scale, double reach, int half_points) {
  Vector x;
  const double top = std::asinh(reach);
  for (int j = -half_points; j <= half_points; ++j) {
    x.push_back(centre + scale * std::sinh(top * j / half_points));
  }
  return x;
}

Vector even_grid(double from, double to, std::size_t points) {
  Vector x(points);
  for (std::size_t j = 0; j < points; ++j) {
    x[j] = from + (to - from) * static_cast<double>(j) / static_cast<double>(points - 1);
  }
  return x;
}

Lines random_lines(std::size_t count, std::uint64_t seed, bool with_widths = false) {
  std::mt19937_64 random(seed);
  std::uniform_real_distribution<double> where(0.1, 2000.0), strength(0.0, 100.0), wide(0.5, 20.0);
  Lines lines;
  for (std::size_t k = 0; k < count; ++k) {
    lines.position.push_back(where(random));
    lines.intensity.push_back(strength(random));
    const double width = wide(random);
    if (with_widths) lines.width.push_back(width);
  }
  return lines;
}

// Every kernel set this build runs here, the portable one included.
class LineProfiles : public ::testing::TestWithParam<KernelSet> {};

INSTANTIATE_TEST_SUITE_P(KernelSets, LineProfiles, ::testing::ValuesIn(detail::kernel_sets()),
                         [](const auto& set) { return std::string(set.param.name); });

// Each row's shape with widths of a few units: 3, a last one of several 2 (Voigt: sigma 3,
// gamma 2); its parameters at 0.3 of their range (pseudo-Voigt: eta 0.3).
ProfileParameters drawn(const LineShapeRow& row) {
  ProfileParameters p = test::row_parameters(row, Normalisation::area, 3.0, 0.3);
  if (row.widths.size() > 1) p.*row.widths.back().field = 2.0;
  return p;
}

TEST_P(LineProfiles, EachLineHoldsItsIntensityAsAreaOrHeight) {
  const Lines line{{1000.0}, {2.5}, {}};
  for (const LineShapeRow& row : kLineShapes) {
    SCOPED_TRACE(row.name);
    ProfileParameters p = drawn(row);
    // Out to 1e7 full widths, the heavy tails left out hold below 1e-7 of the area.
    const Vector x = sinh_grid(1000.0, row.fwhm(p), 1e7, 20000);
    const Vector y = spectrum(GetParam(), line, p, x);
    double area = 0.0;
    for (std::size_t j = 1; j < x.size(); ++j) area += (x[j] - x[j - 1]) * (y[j] + y[j - 1]) / 2;
    EXPECT_NEAR(area, 2.5, 2.5e-6);

    p.normalisation = Normalisation::height;
    const Vector h = spectrum(GetParam(), line, p, x);
    EXPECT_NEAR(*std::max_element(h.begin(), h.end()), 2.5, 2.5 * 4e-16);
    EXPECT_EQ(h[20000], *std::max_element(h.begin(), h.end()));  // at the line itself
  }
}

// The full width a row states (LineShapeRow::fwhm: what the cutoff and the front end measure
// a line by) is the one drawn; Voigt's by the Olivero-Longbothum rule, good to 2e-4.
TEST_P(LineProfiles, MeasuredFullWidthIsTheRowsOwn) {
  for (const LineShapeRow& row : kLineShapes) {
    SCOPED_TRACE(row.name);
    const ProfileParameters p = drawn(row);
    const double w = row.fwhm(p);
    EXPECT_EQ(profile_fwhm(p), w);
    const Vector x = even_grid(-3 * w, 3 * w, 12001);
    const Vector y = spectrum(GetParam(), {{0.0}, {1.0}, {}}, p, x);
    const double half = *std::max_element(y.begin(), y.end()) / 2;
    auto crossing = [&](std::size_t j) {  // half lies between y[j] and y[j + 1]
      return x[j] + (half - y[j]) / (y[j + 1] - y[j]) * (x[j + 1] - x[j]);
    };
    std::size_t left = 0, right = y.size() - 1;
    while (y[left + 1] < half) ++left;
    while (y[right - 1] < half) --right;
    EXPECT_NEAR(crossing(right - 1) - crossing(left), w, w * 3e-4);
  }
}

// The full width at half maximum of one line at 0, measured on an even grid over +-3 w.
double measured_full_width(const ProfileParameters& p, double w) {
  const Vector x = even_grid(-3 * w, 3 * w, 12001);
  Vector y(x.size(), 0.0);
  add_profiles(Vector{0.0}, Vector{1.0}, {}, p, x, y);
  const double half = *std::max_element(y.begin(), y.end()) / 2;
  auto crossing = [&](std::size_t j) {  // half lies between y[j] and y[j + 1]
    return x[j] + (half - y[j]) / (y[j + 1] - y[j]) * (x[j + 1] - x[j]);
  };
  std::size_t left = 0, right = y.size() - 1;
  while (y[left + 1] < half) ++left;
  while (y[right - 1] < half) --right;
  return crossing(right - 1) - crossing(left);
}

// Each width of each row, given as 3 in its measure, draws the full width that measure means.
TEST(ShapeTable, EachWidthConvertsToTheFullWidthItNames) {
  const struct {
    std::string_view measure;
    double full_width_of_3;
  } kMeasures[] = {{"fwhm", 3.0},
                   {"sigma", 3.0 * 2 * std::sqrt(2 * std::log(2.0))},
                   {"hwhm", 6.0},
                   {"gaussian-fwhm", 3.0},
                   {"lorentzian-fwhm", 3.0}};
  for (const LineShapeRow& row : kLineShapes) {
    for (const ShapeWidth& width : row.widths) {
      SCOPED_TRACE(std::string(row.name) + " --" + std::string(width.name));
      const auto measure = std::find_if(std::begin(kMeasures), std::end(kMeasures),
                                        [&](const auto& m) { return m.measure == width.name; });
      ASSERT_NE(measure, std::end(kMeasures)) << "a measure this test does not know";
      ProfileParameters p;
      p.shape = row.shape;
      for (const ShapeParameter& parameter : row.parameters) p.*parameter.field = parameter.low;
      // Where the shape takes all its widths at once, the others are made negligible.
      for (const ShapeWidth& other : row.widths) p.*other.field = 1e-7;
      p.*width.field = 3.0 / width.divisor;
      EXPECT_NEAR(measured_full_width(p, measure->full_width_of_3), measure->full_width_of_3,
                  3e-6 * measure->full_width_of_3);
    }
  }
}

// What the front end relies on: every name it reads from a row has a row of its own.
TEST(ShapeTable, RowsNameKnownQuantitiesAndUniqueShapes) {
  auto known = [](std::string_view name) {
    return std::any_of(std::begin(kShapeQuantities), std::end(kShapeQuantities),
                       [&](const ShapeQuantity& q) { return q.name == name; });
  };
  std::vector<std::string_view> names;
  for (const LineShapeRow& row : kLineShapes) {
    SCOPED_TRACE(std::string(row.name));
    EXPECT_EQ(line_shape_row(row.shape), &row);
    EXPECT_EQ(std::count(names.begin(), names.end(), row.name), 0);
    names.push_back(row.name);
    EXPECT_FALSE(row.widths.empty());
    EXPECT_FALSE(row.normalisations.empty());
    for (const ShapeWidth& width : row.widths) EXPECT_TRUE(known(width.name)) << width.name;
    for (const ShapeParameter& parameter : row.parameters)
      EXPECT_TRUE(known(parameter.name)) << parameter.name;
    EXPECT_TRUE(row.line_width == nullptr ||
                std::any_of(row.widths.begin(), row.widths.end(),
                            [&](const ShapeWidth& w) { return w.field == row.line_width; }));
  }
  EXPECT_EQ(line_shape_row(static_cast<LineShape>(-1)), nullptr);
}

TEST_P(LineProfiles, VoigtTendsToItsParts) {
  const Lines lines{{-3.0, 4.0}, {1.0, 2.0}, {}};
  const Vector x = even_grid(-50.0, 50.0, 4001);
  struct Case {
    ProfileParameters voigt, limit;
  } cases[] = {{voigt(2.0, 1e-9), gaussian(2.0)},
               {voigt(1e-7, 1.5), lorentzian(1.5)},
               {voigt(2.0, 1e-9, Normalisation::height), gaussian(2.0, Normalisation::height)},
               {voigt(1e-7, 1.5, Normalisation::height), lorentzian(1.5, Normalisation::height)}};
  for (const Case& c : cases) {
    const Vector v = spectrum(GetParam(), lines, c.voigt, x);
    const Vector limit = spectrum(GetParam(), lines, c.limit, x);
    for (std::size_t j = 0; j < x.size(); ++j) ASSERT_NEAR(v[j], limit[j], 1e-7) << x[j];
  }
}

TEST_P(LineProfiles, PseudoVoigtEndsAreItsParts) {
  const Lines lines = random_lines(50, 7);
  const Vector x = even_grid(0.0, 2000.0, 5001);
  for (const Normalisation n : {Normalisation::area, Normalisation::height}) {
    EXPECT_EQ(spectrum(GetParam(), lines, pseudo_voigt(6.0, 0.0, n), x),
              spectrum(GetParam(), lines, gaussian(6.0 / kFwhmPerSigma, n), x));
    EXPECT_EQ(spectrum(GetParam(), lines, pseudo_voigt(6.0, 1.0, n), x),
              spectrum(GetParam(), lines, lorentzian(3.0, n), x));
  }
}

TEST_P(LineProfiles, ResultNeverDependsOnThreads) {
  const Lines lines = random_lines(1001, 2026);
  const Lines widths = random_lines(1001, 2026, true);
  const Lines few{{lines.position.begin(), lines.position.begin() + 40},
                  {lines.intensity.begin(), lines.intensity.begin() + 40},
                  {}};
  Vector x = even_grid(0.1, 2000.0, 20000);
  struct Case {
    ProfileParameters p;
    const Lines& lines;
  } cases[] = {{gaussian(5.0), lines},
               {gaussian(1.0), widths},
               {lorentzian(5.0), lines},
               {pseudo_voigt(10.0, 0.5), lines},
               {voigt(4.0, 5.0), few}};
  for (const Case& c : cases) {
    const Vector one = spectrum(GetParam(), c.lines, c.p, x, 1);
    for (const unsigned threads : {2u, 3u, 8u}) {
      ASSERT_EQ(spectrum(GetParam(), c.lines, c.p, x, threads), one) << threads << " threads";
    }
  }
}

TEST_P(LineProfiles, PerLineWidthsAreEachLineAddedWithItsWidth) {
  const Lines lines = random_lines(30, 11, true);
  const Vector x = even_grid(0.1, 2000.0, 20000);
  for (const LineShapeRow& row : kLineShapes) {
    if (row.line_width == nullptr) continue;
    const ProfileParameters p = test::row_parameters(row, Normalisation::area, 1.0);
    Vector one_by_one(x.size(), 0.0);
    for (std::size_t k = 0; k < lines.position.size(); ++k) {
      ProfileParameters own = p;
      own.*row.line_width = lines.width[k];
      detail::add_profiles_with(GetParam(), {&lines.position[k], 1}, {&lines.intensity[k], 1}, {},
                                own, x, one_by_one, 0);
    }
    EXPECT_EQ(spectrum(GetParam(), lines, p, x), one_by_one) << row.name;
  }
}

// The straightforward sum: every line at every point, the scalar exp.
Vector reference(const Lines& lines, double sigma, const Vector& x) {
  Vector y(x.size(), 0.0);
  for (std::size_t k = 0; k < lines.position.size(); ++k) {
    for (std::size_t j = 0; j < x.size(); ++j) {
      const double d = x[j] - lines.position[k];
      const double a = lines.intensity[k] / (sigma * 2.5066282746310002);
      y[j] = std::exp(-(d * d) / ((sigma + sigma) * sigma)) * a + y[j];
    }
  }
  return y;
}

TEST_P(LineProfiles, GaussianSkipsOnlyTermsThatChangeNothing) {
  // A grid through the rims of the lines (q from 0 to 800), in order, shuffled and uneven.
  // The faint first line makes the sum small enough in the big line's rim for its
  // subnormal terms to count; a line of infinite intensity spreads NaN everywhere.
  // Lines off the grid reach into it from either end.
  const Lines lines{{-38.0, 0.0, 10.0, -60.0, 75.0}, {2.5e-305, 1.0, 1e-300, 3.0, 2.0}, {}};
  Vector ascending = even_grid(-40.0, 40.0, 8001);
  Vector shuffled = ascending;
  std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937_64(5));
  Vector uneven = sinh_grid(0.0, 1.0, 40.0, 3000);
  const Lines infinite{{1000.0, 5.0}, {std::numeric_limits<double>::infinity(), 1.0}, {}};
  for (const auto& [l, x] : {std::pair{lines, ascending}, std::pair{lines, shuffled},
                             std::pair{lines, uneven}, std::pair{infinite, ascending}}) {
    const Vector y = spectrum(GetParam(), l, gaussian(1.0), x);
    const Vector expected = reference(l, 1.0, x);
    for (std::size_t j = 0; j < x.size(); ++j) {
      if (std::isnan(expected[j]) || std::isinf(expected[j])) {
        ASSERT_EQ(std::isnan(y[j]), std::isnan(expected[j])) << x[j];
        continue;
      }
      // The vector exp is within a few units in the last place; rims use the scalar one.
      ASSERT_NEAR(y[j], expected[j], 8 * std::numeric_limits<double>::epsilon() * expected[j])
          << x[j];
      ASSERT_EQ(y[j] == 0.0, expected[j] == 0.0) << x[j];
    }
  }
}

// Each kernel against the scalar loop, run by run: every length that ends in a partial
// register (up to twice the widest), from an aligned and an unaligned start, the points
// spread over the whole reach the vector kernels serve (q from 0 to 700). The Lorentzian is
// pure arithmetic and must agree bit for bit; where the exponential enters, within the
// few units in the last place the header promises (all terms positive, so no cancellation
// magnifies them). Nothing outside the run may be written.
TEST_P(LineProfiles, KernelsAgreeWithTheScalarLoops) {
  std::mt19937_64 random(13);
  std::uniform_real_distribution<double> unit(-1.0, 1.0), where(-50.0, 50.0), wide(0.01, 30.0),
      strength(0.0, 100.0), start(0.0, 10.0);
  constexpr double kGuard = -123.25;
  constexpr double kUlps = 8 * std::numeric_limits<double>::epsilon();
  const auto bits = [](double v) { return std::bit_cast<std::uint64_t>(v); };
  for (std::size_t n = 0; n <= 19; ++n) {
    for (const std::size_t offset : {0u, 1u}) {
      SCOPED_TRACE(testing::Message() << "n = " << n << ", offset " << offset);
      const detail::GaussianTerm g{where(random), strength(random), wide(random)};
      const detail::LorentzianTerm l{g.position, strength(random), wide(random)};
      const detail::PseudoVoigtTerm pv{g, l};
      Vector x(offset + n + 1, 0.0), y0(offset + n + 1, kGuard);
      const double reach = std::sqrt(700.0 * g.spread);
      for (std::size_t i = offset; i < offset + n; ++i) {
        x[i] = g.position + reach * unit(random);
        y0[i] = start(random);
      }
      x[offset + n / 2] = g.position;  // q = 0, where the term is largest
      Vector gs = y0, ls = y0, ps = y0, gv = y0, lv = y0, pv_y = y0;
      detail::add_gaussian_scalar(&x[offset], &gs[offset], n, g);
      detail::add_lorentzian_scalar(&x[offset], &ls[offset], n, l);
      detail::add_pseudo_voigt_scalar(&x[offset], &ps[offset], n, pv);
      GetParam().gaussian(&x[offset], &gv[offset], n, g);
      GetParam().lorentzian(&x[offset], &lv[offset], n, l);
      GetParam().pseudo_voigt(&x[offset], &pv_y[offset], n, pv);
      for (std::size_t i = 0; i < x.size(); ++i) {
        if (i < offset || i >= offset + n) {
          for (const Vector* y : {&gv, &lv, &pv_y}) ASSERT_EQ(bits((*y)[i]), bits(kGuard)) << i;
          continue;
        }
        ASSERT_EQ(bits(lv[i]), bits(ls[i])) << i;
        ASSERT_NEAR(gv[i], gs[i], kUlps * gs[i]) << i;
        ASSERT_NEAR(pv_y[i], ps[i], kUlps * ps[i]) << i;
      }
    }
  }
}

TEST(LineProfilesContract, HeaderExamples) {
  Vector y{0.0};
  add_profiles(Vector{1000.0}, Vector{100.0}, {}, gaussian(5.0), Vector{1000.0}, y);
  EXPECT_EQ(y[0], 7.978845608028655);
  Vector h{0.0, 0.0};
  add_profiles(Vector{10.0}, Vector{3.0}, {}, lorentzian(2.0, Normalisation::height),
               Vector{10.0, 12.0}, h);
  EXPECT_EQ(h, (Vector{3.0, 1.5}));
}

// A fit computes only the compared part of a grid: each point's bits must not depend on the
// rest (the blocks, the lanes' padding, the cutoff's search, the Voigt's far terms).
TEST(LineProfilesContract, APartOfTheGridGetsTheWholeGridsBitsThere) {
  std::mt19937_64 random(11);
  std::uniform_real_distribution<double> at(300.0, 4100.0), size(-50.0, 100.0);
  Vector position(80), intensity(80), x(5001);
  std::generate(position.begin(), position.end(), [&] { return at(random); });
  std::generate(intensity.begin(), intensity.end(), [&] { return size(random); });
  intensity[3] = 1e300;  // wide terms
  for (std::size_t i = 0; i < x.size(); ++i)
    x[i] = 400.0 + 0.7 * static_cast<double>(i) + 1e-3 * static_cast<double>(i % 7);
  ASSERT_TRUE(same_on_any_part(position, x.front(), x.back()));
  EXPECT_FALSE(same_on_any_part(Vector{1e160}, 0.0, 1.0));
  const std::pair<std::size_t, std::size_t> parts[] = {
      {0, 3}, {1, 4998}, {2345, 2349}, {4000, 5001}};
  for (const LineShapeRow& row : kLineShapes)
    for (const double cutoff : {0.0, 10.0}) {
      ProfileParameters p = test::row_parameters(row, Normalisation::area, 9.0);
      p.cutoff = cutoff;
      Vector whole(x.size(), 0.0);
      add_profiles(position, intensity, {}, p, x, whole, 1);
      for (const auto& [first, end] : parts) {
        const Vector xs(x.begin() + first, x.begin() + end);
        Vector ys(xs.size(), 0.0);
        add_profiles(position, intensity, {}, p, xs, ys, 0);
        ASSERT_EQ(std::memcmp(ys.data(), &whole[first], ys.size() * sizeof(double)), 0)
            << row.name << ' ' << cutoff << ' ' << first;
      }
    }
}

TEST(LineProfilesContract, RefusesBadArgumentsBeforeTouchingTheSpectrum) {
  const double nan = std::nan(""), inf = std::numeric_limits<double>::infinity();
  const Vector one{1.0}, two{1.0, 2.0}, x{1.0, 2.0};
  struct Case {
    ProfileParameters p;
    const Vector& intensity;
    Vector width;
    std::size_t points;
  } cases[] = {
      {gaussian(0.0), one, {}, 2},          {gaussian(-1.0), one, {}, 2},
      {gaussian(nan), one, {}, 2},          {lorentzian(inf), one, {}, 2},
      {gaussian(1.0), one, {0.0}, 2},       {lorentzian(1.0), one, {1.0, 2.0}, 2},
      {pseudo_voigt(1.0, 1.5), one, {}, 2}, {pseudo_voigt(1.0, nan), one, {}, 2},
      {voigt(1.0, 0.0), one, {}, 2},        {gaussian(1.0), two, {}, 2},
      {gaussian(1.0), one, {}, 1},
  };
  for (const Case& c : cases) {
    Vector y(c.points, 7.0);
    EXPECT_THROW(add_profiles(one, c.intensity, c.width, c.p, x, y), std::invalid_argument);
    EXPECT_EQ(y, Vector(c.points, 7.0));
  }
}

}  // namespace
}  // namespace broaden
