#include "numbers/double_to_fixed.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <string_view>

#include "numbers/right_align.h"

namespace broaden {
namespace {

// The limits the header states.
constexpr std::size_t kMaxWidth = 64;
constexpr int kMaxDecimals = 17;

constexpr double kPowersOfTen[] = {1e0, 1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,
                                   1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15, 1e16, 1e17};

// Below this, value * 10^decimals is within 2^-16 of the exact product.
constexpr double kFastLimit = 1e11;

// Formats `value` when the scaled value is far enough from a halfway point
// that its rounded product decides the digits; returns false otherwise.
bool fast_fixed(double value, int decimals, std::span<char> field) {
  const double scaled = std::fabs(value) * kPowersOfTen[decimals];
  if (!(scaled < kFastLimit)) return false;
  const double nearest = std::nearbyint(scaled);
  // Exact: the two are within one half of each other.
  if (std::fabs(std::fabs(scaled - nearest) - 0.5) < 1e-4) return false;

  // Digits from the right: decimals, point, integer part (at least one 0).
  char text[32];
  char* start = text + sizeof text;
  auto units = static_cast<std::uint64_t>(nearest);
  for (int i = 0; i < decimals; ++i, units /= 10) *--start = static_cast<char>('0' + units % 10);
  *--start = '.';
  do {
    *--start = static_cast<char>('0' + units % 10);
    units /= 10;
  } while (units != 0);
  if (std::signbit(value)) *--start = '-';
  right_align(std::string_view(start, static_cast<std::size_t>(text + sizeof text - start)), field);
  return true;
}

}  // namespace

void double_to_fixed(double value, int decimals, std::span<char> field) noexcept {
  if (field.size() > kMaxWidth || decimals < 0 || decimals > kMaxDecimals) {
    std::ranges::fill(field, '*');
    return;
  }
  if (std::isnan(value)) return right_align("NaN", field);
  if (std::isinf(value)) return right_align(value < 0 ? "-Infinity" : "Infinity", field);
  if (fast_fixed(value, decimals, field)) return;
  // Anything of 10^64 or more has more integer digits than any field holds;
  // the limit keeps the conversion buffer small.
  if (std::fabs(value) >= 1e64) {
    std::ranges::fill(field, '*');
    return;
  }

  // Exact decimal conversion for the rest: near halfway points and large values.
  char text[96];
  const auto result =
      std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
  char* end = result.ptr;
  if (decimals == 0) *end++ = '.';  // the point stands even with no decimals
  right_align(std::string_view(text, static_cast<std::size_t>(end - text)), field);
}

std::string double_to_fixed(double value, int width, int decimals) {
  std::string field(static_cast<std::size_t>(std::max(width, 0)), ' ');
  double_to_fixed(value, decimals, field);
  return field;
}

}  // namespace broaden
