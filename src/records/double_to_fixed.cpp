#include "records/double_to_fixed.h"

#include <charconv>
#include <cmath>
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

}  // namespace

char* double_to_fixed(double value, int width, int decimals, char* out) noexcept {
  if (std::isnan(value)) return right_align("NaN", width, out);
  if (std::isinf(value)) return right_align(value < 0 ? "-Infinity" : "Infinity", width, out);
  // Anything of 10^64 or more has more integer digits than any field holds;
  // the limit keeps the conversion buffer small.
  if (std::fabs(value) >= 1e64) return asterisks(width, out);

  char text[96];
  const auto result =
      std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
  return right_align(std::string_view(text, static_cast<std::size_t>(result.ptr - text)), width,
                     out);
}

std::string double_to_fixed(double value, int width, int decimals) {
  std::string field(static_cast<std::size_t>(width), ' ');
  double_to_fixed(value, width, decimals, field.data());
  return field;
}

}  // namespace broaden
