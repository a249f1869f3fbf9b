// add_profiles at the ends of what it takes: widths at and beyond the range's ends, intensities
// up to DBL_MAX beside ordinary lines, grids reaching far from a line. No finite input may give a
// NaN, and every finite true value must come out finite and right within the header's bounds.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "line_shapes/line_profiles.h"
#include "row_parameters.h"

namespace broaden {
namespace {

using Vector = std::vector<double>;
using Long = long double;
constexpr double kMax = std::numeric_limits<double>::max();
constexpr double kInf = std::numeric_limits<double>::infinity();

ProfileParameters shape(LineShape s, Normalisation n, double width, double eta = 0.4) {
  ProfileParameters p;
  p.shape = s;
  p.normalisation = n;
  p.sigma = p.gamma = p.fwhm = width;
  p.eta = s == LineShape::pseudo_voigt ? eta : 0.0;
  return p;
}

Vector spectrum(const Vector& position, const Vector& intensity, const ProfileParameters& p,
                const Vector& x, const Vector& width = {}) {
  Vector y(x.size(), 0.0);
  add_profiles(position, intensity, width, p, x, y);
  return y;
}

Vector even_grid(double from, double to, std::size_t points) {
  Vector x(points);
  for (std::size_t j = 0; j < points; ++j)
    x[j] = from + (to - from) * static_cast<double>(j) / static_cast<double>(points - 1);
  return x;
}

// One line's exact term (Gaussian, Lorentzian, pseudo-Voigt; none for other shapes), from the
// profiles' definitions in long double: exp of the logarithm, so it meets no overflow the
// implementation could share. Also returns q, whose rounding in double the straightforward terms
// inherit, and the Gaussian part's amplitude (0: none).
struct Exact {
  Long value;
  Long q;
  Long amplitude = 0;
};
std::optional<Exact> exact_term(const ProfileParameters& p, double position, double intensity,
                                double x) {
  const Long pi = std::numbers::pi_v<Long>;
  const Long d = static_cast<Long>(x) - position, i = intensity;
  const bool area = p.normalisation == Normalisation::area;
  Long amplitude = 0;
  auto gaussian = [&](Long sigma, Long q) {
    amplitude = area ? std::fabs(i) / (sigma * std::sqrt(2 * pi)) : std::fabs(i);
    const Long log_peak = area ? std::log(std::fabs(i)) - std::log(sigma * std::sqrt(2 * pi))
                               : std::log(std::fabs(i));
    return std::copysign(std::exp(log_peak - q), i);
  };
  auto lorentzian = [&](Long gamma) {
    const Long r = d / gamma;
    return area ? i / (pi * gamma * (1 + r * r)) : i / (1 + r * r);
  };
  switch (p.shape) {
    case LineShape::gaussian: {
      const Long q = d * d / (2 * static_cast<Long>(p.sigma) * p.sigma);
      const Long value = gaussian(p.sigma, q);
      return Exact{value, q, amplitude};
    }
    case LineShape::lorentzian:
      return Exact{lorentzian(p.gamma), 0};
    case LineShape::pseudo_voigt: {
      const Long sigma = static_cast<Long>(p.fwhm) / kFwhmPerSigma;
      const Long q = d * d / (2 * sigma * sigma);
      const Long value =
          p.eta * lorentzian(static_cast<Long>(p.fwhm) / 2) + (1 - p.eta) * gaussian(sigma, q);
      return Exact{value, q, amplitude * (1 - p.eta)};
    }
    default:
      return std::nullopt;
  }
}

ProfileParameters with_widths(const LineShapeRow& row, Normalisation n, double width) {
  return test::row_parameters(row, n, width);
}

TEST(ExtremeWidths, RefusedJustBeyondTheRangeAcceptedAtItsEnds) {
  const double below = std::nextafter(kMinWidth, 0.0), above = std::nextafter(kMaxWidth, kInf);
  const Vector one{1.0}, x{0.0, 1.0};
  for (const LineShapeRow& row : kLineShapes) {
    for (const Normalisation n : {Normalisation::area, Normalisation::height}) {
      SCOPED_TRACE(std::string(row.name) + (n == Normalisation::area ? " area" : " height"));
      // The cases: sigma 1e-320, fwhm 1e-170, a line width of 1e-323, hwhm 1e160.
      for (const double bad : {below, above, 1e-320, 1e-170, 1e-323, 1e160, kInf}) {
        for (const ShapeWidth& w : row.widths) {
          ProfileParameters p = with_widths(row, n, 1.0);
          p.*w.field = bad;
          Vector y(2, 7.0);
          EXPECT_THROW(add_profiles(one, one, {}, p, x, y), std::invalid_argument) << bad;
          EXPECT_EQ(y, Vector(2, 7.0));
        }
        if (row.line_width != nullptr) {
          Vector y(2, 7.0);
          EXPECT_THROW(add_profiles(one, one, Vector{bad}, with_widths(row, n, 1.0), x, y),
                       std::invalid_argument)
              << bad;
        }
      }
      for (const double good : {kMinWidth, kMaxWidth}) {
        const Vector y = spectrum(one, one, with_widths(row, n, good), x);
        EXPECT_TRUE(std::isfinite(y[0]) && std::isfinite(y[1])) << good;
        if (row.line_width != nullptr) {
          const Vector w = spectrum(one, one, with_widths(row, n, 1.0), x, Vector{good});
          EXPECT_TRUE(std::isfinite(w[0]) && std::isfinite(w[1])) << good;
        }
      }
    }
  }
}

TEST(ExtremeWidths, AcceptedWidthsAreExactlyThoseWhoseQuotientIsInRange) {
  EXPECT_EQ(accepted_widths(1.0).low, 1e-150);
  EXPECT_EQ(accepted_widths(1.0).high, 1e150);
  EXPECT_EQ(accepted_widths(kFwhmPerSigma).low, 2.3548200450309493e-150);
  EXPECT_EQ(accepted_widths(kFwhmPerSigma).high, 2.354820045030949e+150);
  for (const LineShapeRow& row : kLineShapes) {
    for (const ShapeWidth& w : row.widths) {
      SCOPED_TRACE(std::string(row.name) + " --" + std::string(w.name));
      const WidthRange r = accepted_widths(w.divisor);
      EXPECT_GE(r.low / w.divisor, kMinWidth);
      EXPECT_LT(std::nextafter(r.low, 0.0) / w.divisor, kMinWidth);
      EXPECT_LE(r.high / w.divisor, kMaxWidth);
      EXPECT_GT(std::nextafter(r.high, kInf) / w.divisor, kMaxWidth);
    }
  }
}

// At both ends of the range, each line still holds its intensity as its area (on a grid of the
// line's own scale) or its height (at the line).
TEST(ExtremeWidths, LinesAtTheEndsHoldTheirAreaAndHeight) {
  for (const LineShapeRow& row : kLineShapes) {
    for (const double width : {kMinWidth, kMaxWidth}) {
      // A shape of several widths (Voigt): all at the end, and each at one end with the others
      // at the other.
      std::vector<ProfileParameters> cases{with_widths(row, Normalisation::area, width)};
      for (std::size_t i = 0; row.widths.size() > 1 && i < row.widths.size(); ++i) {
        cases.push_back(with_widths(row, Normalisation::area, kMinWidth));
        cases.back().*row.widths[i].field = kMaxWidth;
      }
      for (ProfileParameters p : cases) {
        SCOPED_TRACE(std::string(row.name) + " sigma " + std::to_string(p.sigma) + " gamma " +
                     std::to_string(p.gamma) + " fwhm " + std::to_string(p.fwhm));
        double scale = 0.0;
        for (const ShapeWidth& w : row.widths) scale = std::max(scale, p.*w.field);
        // x = scale sinh(u): fine at the line, out to 1e7 widths.
        Vector x;
        const int half = 20000;
        for (int j = -half; j <= half; ++j)
          x.push_back(scale * std::sinh(std::asinh(1e7) * j / half));
        const Vector y = spectrum(Vector{0.0}, Vector{2.5}, p, x);
        Long area = 0;
        for (std::size_t j = 1; j < x.size(); ++j)
          area += (static_cast<Long>(x[j]) - x[j - 1]) * (static_cast<Long>(y[j]) + y[j - 1]) / 2;
        EXPECT_NEAR(static_cast<double>(area), 2.5, 2.5e-6);
        p.normalisation = Normalisation::height;
        EXPECT_NEAR(spectrum(Vector{0.0}, Vector{2.5}, p, Vector{0.0})[0], 2.5, 2.5 * 4e-16);
      }
    }
  }
}

// The header's bound for a wide term, and the straightforward terms' where a big line keeps
// them: 2^-50 relative, q's rounding in double (6 q units of 2^-53), and an absolute part for
// terms where exp(-q) is subnormal.
double tolerance(Long exact, Long q, Long absolute) {
  return static_cast<double>(std::fabs(exact) * (0x1p-50L + 6 * q * 0x1p-53L) + absolute);
}

// Where the true sum exceeds DBL_MAX (about the peak of a narrow line of intensity 1e308 or
// DBL_MAX) y must be infinite with its sign; elsewhere finite, and then compared (true).
bool finite_or_infinite(double y, Long exact) {
  const Long magnitude = std::fabs(exact);
  if (magnitude > kMax * (1 + 0x1p-49L)) {
    EXPECT_EQ(y, std::copysign(kInf, static_cast<double>(exact)));
    return false;
  }
  if (magnitude < kMax * (1 - 0x1p-49L)) {
    EXPECT_TRUE(std::isfinite(y)) << static_cast<double>(exact);
    return std::isfinite(y);
  }
  return false;  // rounding decides
}

// A line of intensity 1e308, DBL_MAX or -DBL_MAX beside an ordinary one, for every shape and
// normalisation, at widths where the amplitude overflows (for a shape of several widths, also
// the last one narrow): every point finite, and the big line's part of the sum within the bound
// of the exact term, or, for a shape with no exact term here (Voigt), of its scaled self: the
// same line at intensity * 2^-600, whose amplitude stays finite, its terms times 2^600 in long
// double.
TEST(ExtremeIntensities, HugeLinesBesideOrdinaryOnesAreFiniteAndRight) {
  const Vector x = even_grid(-60.0, 70.0, 13001);
  for (const LineShapeRow& row : kLineShapes) {
    std::vector<ProfileParameters> cases;
    for (const Normalisation n : {Normalisation::area, Normalisation::height}) {
      for (const double width : {0.25, 1e-3, 3.0}) cases.push_back(with_widths(row, n, width));
      if (row.widths.size() == 1) continue;
      cases.push_back(with_widths(row, n, 3.0));
      cases.back().*row.widths.back().field = 0.01;
    }
    for (const ProfileParameters& p : cases) {
      for (const double big : {1e308, kMax, -kMax}) {
        SCOPED_TRACE(testing::Message()
                     << row.name << (p.normalisation == Normalisation::area ? " area" : " height")
                     << " sigma " << p.sigma << " gamma " << p.gamma << " fwhm " << p.fwhm
                     << " intensity " << big);
        const Vector ordinary = spectrum(Vector{3.0}, Vector{1.0}, p, x);
        const Vector small = spectrum(Vector{5.0}, Vector{std::ldexp(big, -600)}, p, x);
        const Vector y = spectrum(Vector{3.0, 5.0}, Vector{1.0, big}, p, x);
        for (std::size_t j = 0; j < x.size(); ++j) {
          const std::optional<Exact> e = exact_term(p, 5.0, big, x[j]);
          const Long exact = e ? e->value : std::ldexp(static_cast<Long>(small[j]), 600);
          if (!finite_or_infinite(y[j], exact + ordinary[j])) continue;
          // Where the big line keeps its straightforward terms (a finite amplitude) and exp(-q)
          // is subnormal, they are within the amplitude times 2^-1074; the scaled self's terms
          // within 2^-1074 times 2^600.
          const double bound =
              e ? tolerance(exact, e->q,
                            (e->amplitude <= kMax ? e->amplitude + 1 : 1.0L) * 0x1p-1073L)
                : static_cast<double>(std::fabs(exact) * 0x1p-49L + 0x1p-474L);
          ASSERT_NEAR(y[j], static_cast<double>(exact + ordinary[j]),
                      bound + 4e-16 * std::fabs(ordinary[j]))
              << x[j];
        }
      }
    }
  }
}

// Where the true value exceeds DBL_MAX (the peak of a narrow line of intensity DBL_MAX) the term
// is infinite, with the line's sign, never NaN; around it finite, and of the line's sign where
// not zero.
TEST(ExtremeIntensities, InfiniteOnlyWhereTheTrueValueExceedsTheDoubles) {
  for (const LineShapeRow& row : kLineShapes) {
    for (const double big : {kMax, -kMax}) {
      SCOPED_TRACE(std::string(row.name) + (big > 0 ? " +" : " -") + "DBL_MAX");
      const ProfileParameters p = with_widths(row, Normalisation::area, 1e-3);
      const Vector y = spectrum(Vector{0.0}, Vector{big}, p, Vector{0.0, 0.05, 1e6});
      EXPECT_EQ(y[0], std::copysign(kInf, big));
      EXPECT_TRUE(std::isfinite(y[1]) && std::isfinite(y[2]));
      if (y[1] != 0.0) {
        EXPECT_EQ(std::signbit(y[1]), std::signbit(big));
      }
    }
  }
}

// Wide terms are shared among threads like any others: the same bits on any number of them.
TEST(ExtremeIntensities, WideTermsNeverDependOnThreads) {
  const Vector x = even_grid(0.1, 2000.0, 20000);
  Vector position, intensity;
  for (int k = 0; k < 40; ++k) {
    position.push_back(10.0 + 49.0 * k);
    intensity.push_back(k % 3 == 0 ? kMax : 1.0 + k);
  }
  for (const LineShapeRow& row : kLineShapes) {
    const ProfileParameters p = with_widths(row, Normalisation::area, 0.1);
    Vector one(x.size(), 0.0);
    add_profiles(position, intensity, {}, p, x, one, 1);
    for (const unsigned threads : {2u, 3u, 8u}) {
      Vector y(x.size(), 0.0);
      add_profiles(position, intensity, {}, p, x, y, threads);
      ASSERT_EQ(y, one) << row.name << ", " << threads << " threads";
    }
  }
}

// A NaN abscissa stays NaN through a wide term, as through the straightforward ones.
TEST(ExtremeIntensities, NaNAbscissaePropagateThroughWideTerms) {
  const Vector x{0.0, std::nan(""), 1.0};
  for (const LineShapeRow& row : kLineShapes) {
    const Vector y =
        spectrum(Vector{0.0}, Vector{kMax}, with_widths(row, Normalisation::area, 0.01), x);
    EXPECT_TRUE(std::isnan(y[1])) << row.name;
    EXPECT_FALSE(std::isnan(y[0]) || std::isnan(y[2])) << row.name;
  }
}

TEST(ExtremeIntensities, HeaderExample) {
  const Vector y = spectrum(Vector{0.0}, Vector{kMax},
                            shape(LineShape::gaussian, Normalisation::area, 0.25), Vector{10, 20});
  EXPECT_EQ(y, (Vector{1.0522043537521105e-39, 0.0}));
}

// Lorentzian parts whose straightforward numerator leaves the normal doubles, or whose grid
// reaches so far that d * d overflows: still their exact values.
TEST(ExtremeIntensities, LorentzianNumeratorsAndFarGridsKeepTheirDigits) {
  struct Case {
    const char* what;
    ProfileParameters p;
    double intensity;
    Vector x;
  } cases[] = {
      {"numerator underflows (height)",
       shape(LineShape::lorentzian, Normalisation::height, 1e-150),
       1e-200,
       {0.0, 1e-150, 1e-149}},
      {"numerator underflows (area)",
       shape(LineShape::lorentzian, Normalisation::area, 1e-150),
       1e-300,
       {0.0, 1e-150, 1e-140}},
      {"subnormal intensity",
       shape(LineShape::lorentzian, Normalisation::height, 1.0),
       1e-310,
       {0.0, 1.0}},
      {"grid far from the line",
       shape(LineShape::lorentzian, Normalisation::height, 1e150),
       1.0,
       {-1e300, 1e155, 1e200}},
      {"pseudo-Voigt, far grid",
       shape(LineShape::pseudo_voigt, Normalisation::height, 1e150),
       1.0,
       {-1.7e308, 1e155, 1.7e308}},
      {"pseudo-Voigt, small eta",
       shape(LineShape::pseudo_voigt, Normalisation::area, 1e-150, 1e-300),
       1e-10,
       {0.0, 1e-149, 1e-140}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Vector y = spectrum(Vector{0.0}, Vector{c.intensity}, c.p, c.x);
    for (std::size_t j = 0; j < c.x.size(); ++j) {
      const Exact e = *exact_term(c.p, 0.0, c.intensity, c.x[j]);
      ASSERT_GT(y[j], 0.0) << c.x[j];
      EXPECT_NEAR(y[j], static_cast<double>(e.value), tolerance(e.value, e.q, 0x1p-1074L))
          << c.x[j];
    }
  }
}

// No finite input gives a NaN: every shape and normalisation, widths at the ends and between,
// intensities from the least subnormal to DBL_MAX of both signs, grids across all the doubles.
TEST(ExtremeIntensities, NoNaNFromFiniteInputs) {
  const Vector positions{0.0, 1e-300, -1e150, kMax, -kMax};
  const Vector x{-kMax, -1e300, -1e150, -1.0, -1e-150, 0.0, 1e-300, 1e-150, 1.0, 1e150, kMax};
  for (const LineShapeRow& row : kLineShapes) {
    for (const Normalisation n : {Normalisation::area, Normalisation::height}) {
      for (const double w1 : {kMinWidth, 1e-3, 1.0, kMaxWidth}) {
        for (const double w2 : {kMinWidth, 1.0, kMaxWidth}) {
          // A shape's last width (if it has several) at w2, its parameters in the middle of
          // their range or just above their low end.
          ProfileParameters p = with_widths(row, n, w1);
          if (row.widths.size() > 1) p.*row.widths.back().field = w2;
          for (const ShapeParameter& q : row.parameters)
            p.*q.field = w2 == 1.0 ? (q.low + q.high) / 2 : q.low + 1e-300;
          for (const double intensity :
               {std::numeric_limits<double>::denorm_min(), 1.0, 1e308, kMax, -kMax}) {
            const Vector y = spectrum(positions, Vector(positions.size(), intensity), p, x);
            for (std::size_t j = 0; j < x.size(); ++j)
              ASSERT_FALSE(std::isnan(y[j]))
                  << row.name << " " << w1 << " " << w2 << " " << intensity << " at " << x[j];
          }
        }
      }
    }
  }
}

}  // namespace
}  // namespace broaden
