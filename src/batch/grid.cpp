#include "batch/grid.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <new>
#include <stdexcept>

#include "batch/spectrum_kinds.h"
#include "numbers/decimal_to_double.h"
#include "numbers/double_to_shortest.h"
#include "records/columns_reader.h"

namespace broaden {
namespace {

// Grid decimals are held as 128-bit integers at a common power of ten.
__extension__ typedef __int128 Int128;

// Integers of up to 36 digits: sums and differences of two stay in range.
constexpr int kMaxDigits = 36;

// The decimal as an integer at the power of ten `exponent`, which is at
// most its significant one (least_exponent): its digits without the zeros
// that end them, followed by as many zeros as the powers differ. False when
// that has more than 36 digits.
bool scaled_integer(const DecimalScan& number, std::int64_t exponent, Int128& out) {
  std::string_view digits = number.digits;
  digits.remove_prefix(std::min(digits.find_first_not_of('0'), digits.size()));
  if (digits.empty()) {
    out = 0;
    return true;
  }
  const std::size_t last = digits.find_last_not_of('0');
  const std::int64_t trailing = static_cast<std::int64_t>(digits.size() - 1 - last);
  digits.remove_suffix(static_cast<std::size_t>(trailing));
  const std::int64_t zeros = number.exponent10 + trailing - exponent;
  if (static_cast<std::int64_t>(digits.size()) + zeros > kMaxDigits) return false;
  Int128 value = 0;
  for (const char c : digits) value = value * 10 + (c - '0');
  for (std::int64_t i = 0; i < zeros; ++i) value *= 10;
  out = number.negative ? -value : value;
  return true;
}

// The significant power of ten of a decimal: its exponent once trailing
// zeros are taken into it (zero has none that matters).
std::int64_t least_exponent(const DecimalScan& number) {
  const auto last = number.digits.find_last_not_of('0');
  if (last == std::string::npos) return INT64_MAX;
  return number.exponent10 + static_cast<std::int64_t>(number.digits.size() - 1 - last);
}

// The double nearest to value * 10^exponent.
double nearest(Int128 value, std::int64_t exponent) {
  const bool negative = value < 0;
  const Int128 magnitude = negative ? -value : value;
  if (magnitude <= static_cast<Int128>(UINT64_MAX))
    return decimal_to_double(negative, static_cast<std::uint64_t>(magnitude), exponent);
  char digits[48];
  char* start = digits + sizeof digits;
  Int128 rest = magnitude;
  do {
    *--start = static_cast<char>('0' + static_cast<int>(rest % 10));
    rest /= 10;
  } while (rest != 0);
  return decimal_to_double(
      negative, std::string_view(start, static_cast<std::size_t>(digits + sizeof digits - start)),
      exponent);
}

std::string strictly_increasing(const std::vector<double>& x) {
  if (!std::isfinite(x.front()) || !std::isfinite(x.back()))
    return "the grid reaches beyond the range of doubles";
  for (std::size_t i = 1; i < x.size(); ++i) {
    if (!(x[i - 1] < x[i]))
      return "the grid's points are too close for doubles to tell apart: use a larger step or "
             "fewer points";
  }
  return {};
}

GridResult refused(std::string error) { return GridResult{{}, std::move(error), {}, false}; }

// Makes room for `points` abscissae; false when they do not fit in memory
// (or in a vector at all).
bool allocate(std::vector<double>& x, std::size_t points) {
  try {
    x.resize(points);
  } catch (const std::bad_alloc&) {
    return false;
  } catch (const std::length_error&) {
    return false;
  }
  return true;
}

GridResult out_of_memory(std::size_t points) {
  return GridResult{{},
                    "not enough memory for a grid of " + std::to_string(points) + " points (" +
                        memory_needed(points * sizeof(double)) + " for its abscissae)",
                    {},
                    true};
}

}  // namespace

std::string memory_needed(std::size_t bytes) {
  constexpr double kMebibyte = 1024.0 * 1024.0;
  if (bytes < 1024 * 1024) return std::to_string(bytes) + " bytes";
  char text[32];
  std::snprintf(text, sizeof text, "%.1f MiB", static_cast<double>(bytes) / kMebibyte);
  return text;
}

GridResult grid_by_step(const DecimalScan& from, const DecimalScan& to, const DecimalScan& step,
                        std::size_t max_points) {
  const std::int64_t exponent =
      std::min({least_exponent(from), least_exponent(to), least_exponent(step)});
  Int128 a = 0, b = 0, s = 0;
  const std::int64_t common = exponent == INT64_MAX ? 0 : exponent;
  if (!scaled_integer(from, common, a) || !scaled_integer(to, common, b) ||
      !scaled_integer(step, common, s))
    return refused(
        "--from, --to and --step are too far apart in scale to be added exactly (at "
        "most 36 digits from the largest to the smallest)");
  if (s <= 0) return refused("--step must be positive");
  if (a >= b) return refused("--from must be below --to");

  const Int128 count = (b - a) / s + 1;
  if (count > static_cast<Int128>(max_points))
    return refused("the grid would have more than " + std::to_string(max_points) + " points");

  GridResult grid;
  if (!allocate(grid.x, static_cast<std::size_t>(count)))
    return out_of_memory(static_cast<std::size_t>(count));
  for (std::size_t j = 0; j < grid.x.size(); ++j)
    grid.x[j] = nearest(a + static_cast<Int128>(j) * s, common);
  if (std::string error = strictly_increasing(grid.x); !error.empty()) return refused(error);
  // Every point lies between a and b, so is no larger and has no more
  // digits than the larger of them.
  constexpr Int128 kFifteenDigits = 1'000'000'000'000'000;
  const Int128 largest = std::max(-a, b);
  bool exact_integers = common <= 0;  // else below 2^53, where doubles are exact integers
  if (common > 0 && common <= 15) {
    Int128 scaled = largest;
    for (std::int64_t i = 0; i < common; ++i) scaled *= 10;
    exact_integers = scaled < (Int128{1} << 53);
  }
  if (largest < kFifteenDigits && common >= -280 && exact_integers)
    grid.decimals =
        DecimalAbscissae{static_cast<std::int64_t>(a), static_cast<std::int64_t>(s), common};
  return grid;
}

GridResult grid_by_points(double from, double to, std::int64_t points, std::size_t max_points) {
  if (points < 2) return refused("--points must be at least 2");
  if (static_cast<std::uint64_t>(points) > max_points)
    return refused("--points must be at most " + std::to_string(max_points));
  if (!std::isfinite(from) || !std::isfinite(to)) return refused("--from and --to must be finite");
  if (!(from < to)) return refused("--from must be below --to");
  const double span = to - from;
  if (!std::isfinite(span)) return refused("--to - --from is beyond the range of doubles");

  GridResult grid;
  if (!allocate(grid.x, static_cast<std::size_t>(points)))
    return out_of_memory(static_cast<std::size_t>(points));
  const auto last = static_cast<double>(points - 1);
  for (std::size_t j = 0; j + 1 < grid.x.size(); ++j)
    grid.x[j] = from + (span * static_cast<double>(j)) / last;
  grid.x.back() = to;
  if (std::string error = strictly_increasing(grid.x); !error.empty()) return refused(error);
  return grid;
}

GridResult grid_for(const BatchOptions& options) {
  return options.grid == GridKind::points
             ? grid_by_points(scan_to_double(options.from), scan_to_double(options.to),
                              options.points)
             : grid_by_step(options.from, options.to, options.step);
}

}  // namespace broaden

namespace broaden {
namespace {

// `units` steps of `digit` * 10^exponent as a decimal scan: "1234e-1".
DecimalScan decimal_steps(std::int64_t units, int digit, int exponent) {
  return scan_decimal(std::to_string(units * digit) + "e" + std::to_string(exponent),
                      kColumnsGrammar);
}

}  // namespace

namespace {

// The step of a grid that spans lines of full width `fwhm`: the one given,
// or the largest 1, 2 or 5 times a power of ten (digit * 10^exponent) at
// most a tenth of it.
double spanning_step(double fwhm, const BatchOptions& options, int& digit, int& exponent) {
  digit = 1;
  exponent = 0;
  if (options.grid == GridKind::step) return scan_to_double(options.step);
  exponent = static_cast<int>(std::floor(std::log10(fwhm / 10.0)));
  const double mantissa = fwhm / 10.0 / std::pow(10.0, exponent);
  digit = mantissa >= 5.0 ? 5 : mantissa >= 2.0 ? 2 : 1;
  return digit * std::pow(10.0, exponent);
}

}  // namespace

SpanningGrid grid_spanning(double low, double high, double fwhm, const BatchOptions& options) {
  SpanningGrid result;
  int digit = 1, exponent = 0;
  const double step = spanning_step(fwhm, options, digit, exponent);
  if (!(step > 0.0) || !std::isfinite(step) || !std::isfinite(low) || !std::isfinite(high) ||
      !(low < high)) {
    result.grid.error = "the grid cannot be made to span the lines: give --from and --to";
    return result;
  }
  const double first = std::floor(low / step), last = std::ceil(high / step);
  const double limit = 9e15;  // whole numbers of steps exact in double and int64
  if (!(std::fabs(first) < limit && std::fabs(last) < limit) ||
      last - first + 1 > static_cast<double>(kMaxGridPoints)) {
    result.grid.error = "the lines' span (" + shortest(low) + " to " + shortest(high) +
                        ") needs more than " + std::to_string(kMaxGridPoints) +
                        " points at this step: give --from, --to and --step";
    return result;
  }
  const auto a = static_cast<std::int64_t>(first), b = static_cast<std::int64_t>(last);
  if (options.grid == GridKind::points) {
    result.grid = grid_by_points(static_cast<double>(a) * step, static_cast<double>(b) * step,
                                 options.points);
    result.fields = {{"from", shortest(result.grid.x.empty() ? 0.0 : result.grid.x.front())},
                     {"to", shortest(result.grid.x.empty() ? 0.0 : result.grid.x.back())},
                     {"points", std::to_string(options.points)}};
    return result;
  }
  if (options.grid == GridKind::step) {
    // Whole steps of the step given, as decimals: (a * step) exactly.
    DecimalScan from = options.step, to = options.step;
    const auto times = [](DecimalScan scan, std::int64_t n) {
      std::int64_t digits = 0;
      std::from_chars(scan.digits.data(), scan.digits.data() + scan.digits.size(), digits);
      return scan_decimal(std::to_string(n * digits) + "e" + std::to_string(scan.exponent10),
                          kColumnsGrammar);
    };
    if (options.step.digits.size() > 15) {
      result.grid.error = "--step has too many digits to span the lines: give --from and --to";
      return result;
    }
    from = times(from, a);
    to = times(to, b);
    result.grid = grid_by_step(from, to, options.step);
  } else {
    result.grid = grid_by_step(decimal_steps(a, digit, exponent), decimal_steps(b, digit, exponent),
                               decimal_steps(1, digit, exponent));
  }
  if (!result.grid.x.empty())
    result.fields = {{"from", shortest(result.grid.x.front())},
                     {"to", shortest(result.grid.x.back())},
                     {"step", shortest(step)}};
  return result;
}

SpanningGrid grid_spanning_lines(std::span<const double> positions, double fwhm,
                                 AxisUnit broadening, AxisUnit axis, const BatchOptions& options,
                                 std::optional<ConventionalRange> convention) {
  const auto [low, high] = std::minmax_element(positions.begin(), positions.end());
  const double bottom = *low > 0.0 ? std::max(*low - 10.0 * fwhm, *low / 2.0) : *low - 10.0 * fwhm;
  const double a = converted(bottom, broadening, axis);
  const double b = converted(*high + 10.0 * fwhm, broadening, axis);
  double narrowest = std::numeric_limits<double>::infinity();
  for (const double p : {*low, *high})
    narrowest = std::min(narrowest, std::fabs(converted(p + fwhm / 2, broadening, axis) -
                                              converted(p - fwhm / 2, broadening, axis)));
  if (convention && std::min(a, b) >= convention->low && std::max(a, b) <= convention->high)
    return grid_spanning(convention->low, convention->high, narrowest, options);
  return grid_spanning(std::min(a, b), std::max(a, b), narrowest, options);
}

}  // namespace broaden
