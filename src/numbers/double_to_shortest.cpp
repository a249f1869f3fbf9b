#include "numbers/double_to_shortest.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace broaden {

namespace {

// Writes the decimal of the significant digits [first, last) (no leading or
// trailing zero) times 10^e, sign already written: in plain notation
// ("1500", "0.015") when its scientific exponent is at least `plain_from`,
// else in the shorter of plain and scientific ("1.5e+13"), plain on a tie,
// as std::to_chars chooses.
char* write_decimal(const char* first, const char* last, std::int64_t e, std::int64_t plain_from,
                    char* out) noexcept {
  const std::int64_t n = last - first;
  const std::int64_t scientific_exponent = n - 1 + e;
  const std::int64_t fixed_length = e >= 0 ? n + e : -e < n ? n + 1 : 2 - e;
  const std::int64_t shown_exponent =
      scientific_exponent < 0 ? -scientific_exponent : scientific_exponent;
  const std::int64_t scientific_length = n + (n > 1 ? 1 : 0) + 2 + (shown_exponent >= 100 ? 3 : 2);

  if (scientific_exponent >= plain_from || fixed_length <= scientific_length) {
    if (e >= 0) {
      out = std::copy(first, last, out);
      return std::fill_n(out, e, '0');
    }
    if (-e < n) {
      out = std::copy(first, last + e, out);
      *out++ = '.';
      return std::copy(last + e, last, out);
    }
    *out++ = '0';
    *out++ = '.';
    out = std::fill_n(out, -e - n, '0');
    return std::copy(first, last, out);
  }
  *out++ = *first;
  if (n > 1) {
    *out++ = '.';
    out = std::copy(first + 1, last, out);
  }
  *out++ = 'e';
  *out++ = scientific_exponent < 0 ? '-' : '+';
  if (shown_exponent >= 100) *out++ = static_cast<char>('0' + shown_exponent / 100);
  *out++ = static_cast<char>('0' + shown_exponent / 10 % 10);
  *out++ = static_cast<char>('0' + shown_exponent % 10);
  return out;
}

// Never plain unless plain is no longer.
constexpr std::int64_t kShorterForm = INT64_MAX;

}  // namespace

char* double_to_shortest(double value, int digits, char* out) noexcept {
  if (digits != 0)
    return std::to_chars(out, out + kShortestRoom, value, std::chars_format::general, digits).ptr;
  // From 2^53 on, where the plain form may be chosen, std::to_chars writes
  // the double's exact integer, not its shortest digits: the digits are
  // taken from the scientific form and laid out here.
  if (!(std::fabs(value) >= 0x1p53) || std::isinf(value))
    return std::to_chars(out, out + kShortestRoom, value).ptr;
  char scientific[kShortestRoom];
  const char* const end =
      std::to_chars(scientific, scientific + kShortestRoom, value, std::chars_format::scientific)
          .ptr;
  const char* next = scientific;
  if (*next == '-') *out++ = *next++;
  char significant[20];
  char* last = significant;
  for (; *next != 'e'; ++next)
    if (*next != '.') *last++ = *next;
  std::int64_t exponent = 0;
  std::from_chars(next + (next[1] == '+' ? 2 : 1), end, exponent);
  return write_decimal(significant, last, exponent - (last - significant - 1), kShorterForm, out);
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
// shortest text has D's digits and exponent; only the form is chosen.
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
  return write_decimal(first, digits_end, exponent10, kPlainFrom, out);
}

std::string shortest(double value) {
  char text[kShortestRoom];
  return std::string(text, double_to_shortest(value, 0, text));
}

}  // namespace broaden
