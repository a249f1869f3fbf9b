#include "batch/grid.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <new>
#include <stdexcept>

#include "numbers/decimal_to_double.h"

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
