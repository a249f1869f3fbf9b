#include "numbers/double_to_shortest.h"

#include <algorithm>
#include <charconv>

namespace broaden {

char* double_to_shortest(double value, int digits, char* out) noexcept {
  if (digits == 0) return std::to_chars(out, out + kShortestRoom, value).ptr;
  return std::to_chars(out, out + kShortestRoom, value, std::chars_format::general, digits).ptr;
}

// Why the decimal's own digits are the shortest text of its double. Let v be the
// double nearest to D = value * 10^exponent10, |value| < 10^15, so D has
// n <= 15 significant digits, and let D' be another decimal of at most 15
// significant digits, |D'| >= |D| without loss, D in [10^k, 10^(k+1)) in
// magnitude. Then |D' - D| >= 10^(k-14). Were D' also rounded to v, both
// would lie within half a spacing of doubles of v, |v| < 2 * 10^(k+1), where
// (v normal, as the exponent bounds make it) the spacing is at most
// 2^-52 * 2 * 10^(k+1) < 4.5e-15 * 10^k < 10^(k-14): a contradiction. So D
// is the only decimal of at most 15 digits that reads back as v: the
// shortest text has D's digits and exponent, and std::to_chars only chooses
// between its fixed and scientific forms, the shorter, fixed on a tie.
char* decimal_to_text(std::int64_t value, std::int64_t exponent10, char* out) noexcept {
  if (value == 0) {
    *out++ = '0';
    return out;
  }
  if (value < 0) *out++ = '-';
  std::uint64_t magnitude =
      value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  while (magnitude % 10 == 0) {
    magnitude /= 10;
    ++exponent10;
  }
  char digits[20];
  char* const digits_end = digits + sizeof digits;
  char* first = digits_end;
  do {
    *--first = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  const std::int64_t n = digits_end - first;
  const std::int64_t e = exponent10;
  const std::int64_t scientific_exponent = n - 1 + e;
  const std::int64_t fixed_length = e >= 0 ? n + e : -e < n ? n + 1 : 2 - e;
  const std::int64_t shown_exponent =
      scientific_exponent < 0 ? -scientific_exponent : scientific_exponent;
  const std::int64_t scientific_length = n + (n > 1 ? 1 : 0) + 2 + (shown_exponent >= 100 ? 3 : 2);

  if (fixed_length <= scientific_length) {
    if (e >= 0) {
      out = std::copy(first, digits_end, out);
      return std::fill_n(out, e, '0');
    }
    if (-e < n) {
      out = std::copy(first, digits_end + e, out);
      *out++ = '.';
      return std::copy(digits_end + e, digits_end, out);
    }
    *out++ = '0';
    *out++ = '.';
    out = std::fill_n(out, -e - n, '0');
    return std::copy(first, digits_end, out);
  }
  *out++ = *first;
  if (n > 1) {
    *out++ = '.';
    out = std::copy(first + 1, digits_end, out);
  }
  *out++ = 'e';
  *out++ = scientific_exponent < 0 ? '-' : '+';
  if (shown_exponent >= 100) *out++ = static_cast<char>('0' + shown_exponent / 100);
  *out++ = static_cast<char>('0' + shown_exponent / 10 % 10);
  *out++ = static_cast<char>('0' + shown_exponent % 10);
  return out;
}

}  // namespace broaden
