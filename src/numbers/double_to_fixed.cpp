#include "numbers/double_to_fixed.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace broaden {
namespace {

char* asterisks(int width, char* out) {
  std::memset(out, '*', static_cast<std::size_t>(width));
  return out + width;
}

char* right_align(std::string_view text, int width, char* out) {
  const auto size = static_cast<int>(text.size());
  if (size > width) return asterisks(width, out);
  std::memset(out, ' ', static_cast<std::size_t>(width - size));
  std::memcpy(out + (width - size), text.data(), text.size());
  return out + width;
}

constexpr double kPowersOfTen[] = {1e0, 1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,
                                   1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15, 1e16, 1e17};

// Below this, value * 10^decimals is within 2^-16 of the exact product.
constexpr double kFastLimit = 1e11;

// Formats `value` when the scaled value is far enough from a halfway point
// that its rounded product decides the digits; returns nullptr otherwise.
char* fast_fixed(double value, int width, int decimals, char* out) {
  const double scaled = std::fabs(value) * kPowersOfTen[decimals];
  if (!(scaled < kFastLimit)) return nullptr;
  const double nearest = std::nearbyint(scaled);
  // Exact: the two are within one half of each other.
  if (std::fabs(std::fabs(scaled - nearest) - 0.5) < 1e-4) return nullptr;

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
  return right_align(std::string_view(start, static_cast<std::size_t>(text + sizeof text - start)),
                     width, out);
}

}  // namespace

char* double_to_fixed(double value, int width, int decimals, char* out) noexcept {
  if (std::isnan(value)) return right_align("NaN", width, out);
  if (std::isinf(value)) return right_align(value < 0 ? "-Infinity" : "Infinity", width, out);
  if (char* end = fast_fixed(value, width, decimals, out)) return end;
  // Anything of 10^64 or more has more integer digits than any field holds;
  // the limit keeps the conversion buffer small.
  if (std::fabs(value) >= 1e64) return asterisks(width, out);

  // Exact decimal conversion for the rest: near halfway points and large values.
  char text[96];
  const auto result =
      std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
  char* end = result.ptr;
  if (decimals == 0) *end++ = '.';  // the point stands even with no decimals
  return right_align(std::string_view(text, static_cast<std::size_t>(end - text)), width, out);
}

std::string double_to_fixed(double value, int width, int decimals) {
  std::string field(static_cast<std::size_t>(width), ' ');
  double_to_fixed(value, width, decimals, field.data());
  return field;
}

}  // namespace broaden
