// Fuzz target: the line-list record reader and the numeric field conversions.
//
// For any bytes:
// - their first field (at most 24 bytes, up to the first line feed) is
//   accepted exactly when it matches the field grammar, and then reads as the
//   nearest double to its decimal value, as the C library's strtod reads it
//   (a field of blanks or of a sign only is zero);
// - read as a line-list file, record by record, every line gives what the
//   record reader gives for the whole line (one carriage return before its
//   line feed dropped), and then the end of the file, for good;
// - an echo field read back is the very same double (17 significant digits
//   round-trip), in the exponent form exactly when the value rounded to 17
//   digits lies outside [0.1, 1e17), and with the C library's digits;
// - a fixed-point field is the C library's text right-aligned, or asterisks
//   exactly when that does not fit; read back, it lies within half a unit of
//   its last decimal of the value.
// The doubles checked are the values of every good record and the first
// eight bytes taken as a bit pattern.

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "numbers/double_to_echo.h"
#include "numbers/double_to_fixed.h"
#include "records/field_to_double.h"
#include "records/line_list.h"

namespace {

using namespace broaden;

bool same(double a, double b) {
  return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

// The parts of a field, blanks removed, when it matches the grammar
// [sign] digits [. digits] [(E|e|D|d) [sign] digits | sign digits].
struct Parts {
  std::string sign, whole, fraction, exponent_sign, exponent;
  bool point = false;
};

std::optional<Parts> grammar(std::string_view text) {
  Parts parts;
  std::size_t i = 0;
  auto at = [&](std::string_view set) {
    return i < text.size() && set.find(text[i]) != std::string_view::npos;
  };
  auto digits = [&](std::string& into) {
    while (at("0123456789")) into += text[i++];
  };
  if (at("+-")) parts.sign = text[i++];
  digits(parts.whole);
  if (at(".")) {
    parts.point = true;
    ++i;
    digits(parts.fraction);
  }
  if (parts.whole.empty() && parts.fraction.empty()) return std::nullopt;
  if (i == text.size()) return parts;
  if (at("EeDd")) {
    ++i;
    if (at("+-")) parts.exponent_sign = text[i++];
  } else if (at("+-")) {
    parts.exponent_sign = text[i++];
  } else {
    return std::nullopt;
  }
  digits(parts.exponent);
  if (parts.exponent.empty() || i != text.size()) return std::nullopt;
  return parts;
}

// The field as the grammar and strtod read it, independently of the reader.
void check_field(std::string_view field) {
  std::string text;
  for (const char c : field)
    if (c != ' ') text += c;
  const FieldValue read = field_to_double(field, kLineListImpliedDecimals);
  if (text.empty() || text == "+" || text == "-") {
    FUZZ_CHECK(read.error == FieldError::none && read.value == 0.0);
    return;
  }
  const std::optional<Parts> parts = grammar(text);
  FUZZ_CHECK((read.error == FieldError::none) == parts.has_value());
  if (!parts) return;

  // The exponent, saturated far beyond any that matters.
  long long exponent = 0;
  for (const char c : parts->exponent)
    exponent = std::min(exponent * 10 + (c - '0'), 1'000'000'000'000'000LL);
  if (parts->exponent_sign == "-") exponent = -exponent;
  const long long scale =
      parts->point ? static_cast<long long>(parts->fraction.size()) : kLineListImpliedDecimals;
  const std::string decimal =
      parts->sign + parts->whole + parts->fraction + "e" + std::to_string(exponent - scale);
  FUZZ_CHECK(same(read.value, std::strtod(decimal.c_str(), nullptr)));
}

void check_records(std::string_view bytes) {
  std::istringstream in{std::string(bytes)};
  for (std::size_t start = 0; start < bytes.size();) {
    const std::size_t end = std::min(bytes.find('\n', start), bytes.size());
    std::string_view line = bytes.substr(start, end - start);
    if (end < bytes.size() && !line.empty() && line.back() == '\r') line.remove_suffix(1);
    const PeakRecord streamed = read_peak(in);
    const PeakRecord whole = record_to_peak(line);
    FUZZ_CHECK(streamed.status == whole.status && streamed.error == whole.error &&
               streamed.field == whole.field);
    FUZZ_CHECK(same(streamed.peak.frequency, whole.peak.frequency) &&
               same(streamed.peak.intensity, whole.peak.intensity));
    FUZZ_CHECK(whole.status != RecordStatus::end_of_file);
    start = end + 1;
  }
  FUZZ_CHECK(read_peak(in).status == RecordStatus::end_of_file);
  FUZZ_CHECK(read_peak(in).status == RecordStatus::end_of_file);
}

std::string right_aligned(const std::string& text, std::size_t width) {
  return text.size() > width ? std::string(width, '*')
                             : std::string(width - text.size(), ' ') + text;
}

void check_echo(double value) {
  const std::string field = double_to_echo(value);
  FUZZ_CHECK(field.size() == static_cast<std::size_t>(kEchoFieldWidth));
  if (std::isnan(value) || std::isinf(value)) {
    FUZZ_CHECK(field == right_aligned(std::isnan(value) ? "NaN"
                                      : value < 0       ? "-Infinity"
                                                        : "Infinity",
                                      25));
    return;
  }
  const std::string text = field.substr(
      field.find_first_not_of(' '), field.find_last_not_of(' ') + 1 - field.find_first_not_of(' '));
  FUZZ_CHECK(same(std::strtod(text.c_str(), nullptr), value));

  // The 17 rounded digits and their exponent, as the C library writes them.
  char rounded[40];
  std::snprintf(rounded, sizeof rounded, "%.16E", value);
  const char* e = std::strchr(rounded, 'E');
  const int exponent = std::atoi(e + 1);
  if (value == 0.0 || (exponent >= -1 && exponent < 17)) {
    FUZZ_CHECK(field.substr(20) == "     " && text.find('E') == std::string::npos);
    std::string digits;
    for (const char c : text)
      if (c >= '0' && c <= '9' && (c != '0' || !digits.empty())) digits += c;
    std::string expected;
    for (const char* c = rounded; c < e; ++c)
      if (*c >= '0' && *c <= '9') expected += *c;
    FUZZ_CHECK(value == 0.0 ? digits.empty() && text.size() == (std::signbit(value) ? 19u : 18u)
                            : digits == expected);
  } else {
    char exponent_text[16];
    std::snprintf(exponent_text, sizeof exponent_text, "%c%03d", exponent < 0 ? '-' : '+',
                  std::abs(exponent));
    FUZZ_CHECK(text ==
               std::string(rounded, static_cast<std::size_t>(e + 1 - rounded)) + exponent_text);
  }
}

void check_fixed(double value, int width, int decimals) {
  const std::string field = double_to_fixed(value, width, decimals);
  const auto size = static_cast<std::size_t>(width);
  FUZZ_CHECK(field.size() == size);
  if (std::isnan(value) || std::isinf(value)) {
    FUZZ_CHECK(field == right_aligned(std::isnan(value) ? "NaN"
                                      : value < 0       ? "-Infinity"
                                                        : "Infinity",
                                      size));
    return;
  }
  char text[400];
  std::snprintf(text, sizeof text, "%#.*f", decimals, value);  // the point even with no decimals
  FUZZ_CHECK(field == right_aligned(text, size));
  if (field[0] == '*') return;
  const long double back = std::strtold(field.c_str(), nullptr);
  const long double half_unit = 0.5L * std::pow(10.0L, -decimals);
  FUZZ_CHECK(std::fabs(back - value) <= half_unit * (1 + 1e-15L) + std::fabs(value) * 0x1p-62L);
}

void check_conversions(double value) {
  check_echo(value);
  check_fixed(value, 12, 4);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  check_field(bytes.substr(0, std::min<std::size_t>(bytes.find('\n'), 24)));
  check_records(bytes);

  std::istringstream in{std::string(bytes)};
  for (PeakRecord record = read_peak(in); record.status != RecordStatus::end_of_file;
       record = read_peak(in)) {
    if (record.status != RecordStatus::ok) continue;
    check_conversions(record.peak.frequency);
    check_conversions(record.peak.intensity);
  }
  if (size >= 10) {
    double value;
    std::memcpy(&value, data, sizeof value);
    check_conversions(value);
    check_fixed(value, 1 + data[8] % 64, data[9] % 18);
  }
  return 0;
}
