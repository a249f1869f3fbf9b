// Fuzz target: the columns line-list reader and the grid builder.
//
// For any bytes, read as a columns line list (the first byte picks the
// layout, the second the scaling, the delimiter and the decimal comma, the
// rest is the text):
// - a table read whole holds finite values (widths positive, and within the
//   range taken once divided), one row for each line with anything but
//   blanks and a comment (CR, LF and CR LF each ending a line) less a
//   header row, which only the first such line may be, with its note;
//   written back with 17 digits it reads as the very same table;
// - a refused text is refused at a line that exists and a column within it
//   (or just past its end), and every line before that one reads.
// The first 12 bytes, taken as a grid from A to B by S in powers of ten,
// give a grid whose every point is the double nearest to the exact decimal
// A + j S (as the C library reads its text), up to the last not above B, or
// a refusal exactly when it would be empty of sense (B <= A) or too big.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "batch/grid.h"
#include "fuzz_check.h"
#include "records/columns_reader.h"

namespace {

using namespace broaden;

// The lines of a text: [start, end) of each, CR, LF and CR LF ending one.
std::vector<std::pair<std::size_t, std::size_t>> lines_of(std::string_view text) {
  std::vector<std::pair<std::size_t, std::size_t>> lines;
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t end = std::min(text.find_first_of("\r\n", start), text.size());
    lines.emplace_back(start, end);
    start = end == text.size() ? end : text.compare(end, 2, "\r\n") == 0 ? end + 2 : end + 1;
  }
  return lines;
}

// Lines with a field: anything but blanks before a comment.
std::size_t lines_with_fields(std::string_view text) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  std::size_t count = 0;
  for (const auto& [start, end] : lines_of(text)) {
    const std::string_view line = text.substr(start, end - start);
    const std::string_view content = line.substr(0, line.find('#'));
    if (content.find_first_not_of(" \t") != std::string_view::npos) ++count;
  }
  return count;
}

void check_columns(std::string_view text, const LineListOptions& options) {
  const ColumnLayout& layout = options.columns;
  const LineListRead result = read_columns(text, options);
  if (result.error) {
    // The line at fault exists, the column lies within it or just past it.
    const auto lines = lines_of(text);
    FUZZ_CHECK(result.error->line >= 1 && result.error->line <= lines.size());
    const auto [start, end] = lines[result.error->line - 1];
    FUZZ_CHECK(result.error->column >= 1 && result.error->column <= end - start + 1);
    FUZZ_CHECK(!result.error->expected.empty());
    FUZZ_CHECK(!read_columns(text.substr(0, start), options).error);
    return;
  }
  const LineTable& table = result.table;
  const std::size_t rows = table.frequency.size();
  FUZZ_CHECK(result.notes.size() <= 1);
  FUZZ_CHECK(rows + result.notes.size() == lines_with_fields(text) &&
             table.intensity.size() == rows);
  FUZZ_CHECK(table.width.size() == (layout.width > 0 ? rows : 0));
  std::string written;
  // The separators a line is written back with, as the delimiter reads them.
  std::string separators[3] = {",", " ", "\t"};
  switch (layout.delimiter) {
    case Delimiter::automatic:
      if (layout.decimal_comma) separators[0] = ";";
      break;
    case Delimiter::blank:
      separators[0] = separators[2] = " ";
      break;
    case Delimiter::comma:
      separators[0] = separators[1] = separators[2] = ", ";
      break;
    case Delimiter::semicolon:
      separators[0] = separators[1] = separators[2] = " ;";
      break;
    case Delimiter::tab:
      separators[0] = separators[1] = separators[2] = "\t";
      break;
  }
  for (std::size_t k = 0; k < rows; ++k) {
    FUZZ_CHECK(std::isfinite(table.frequency[k]) && std::isfinite(table.intensity[k]));
    if (layout.width > 0) {
      FUZZ_CHECK(std::isfinite(table.width[k]) && table.width[k] > 0.0);
      // Within the range taken, once divided (each quotient rounded once, so to an ulp).
      const double divisor = options.width_divisor;
      FUZZ_CHECK(table.width[k] >= std::nextafter(options.width_low / divisor, 0.0) &&
                 table.width[k] <= std::nextafter(options.width_high / divisor,
                                                  std::numeric_limits<double>::infinity()));
    }
    // Written back in the layout's fields, unscaled values standing in.
    std::string fields[4] = {"0", "0", "0", "0"};
    char number[40];
    std::snprintf(number, sizeof number, "%.17g", table.frequency[k]);
    fields[layout.frequency - 1] = number;
    std::snprintf(number, sizeof number, "%.17g", table.intensity[k]);
    fields[layout.intensity - 1] = number;
    if (layout.width > 0) {
      std::snprintf(number, sizeof number, "%.17g", table.width[k]);
      fields[layout.width - 1] = number;
    }
    if (layout.decimal_comma) {
      for (std::string& field : fields) std::replace(field.begin(), field.end(), '.', ',');
    }
    written += fields[0] + separators[0] + fields[1] + separators[1] + fields[2] + separators[2] +
               fields[3] + "\n";
  }
  const LineListRead again = read_columns(written, {.columns = layout});
  FUZZ_CHECK(!again.error);
  FUZZ_CHECK(again.table.frequency == table.frequency && again.table.intensity == table.intensity &&
             again.table.width == table.width);
}

// A, B and S as whole numbers times 10^k: the grid checked point by point.
void check_grid(const std::uint8_t* data) {
  auto whole = [&](int at) {
    return static_cast<std::int32_t>(data[at] | data[at + 1] << 8 | data[at + 2] << 16) - (1 << 23);
  };
  const long long a = whole(0), b = whole(3), s = whole(6) >> 8;
  const int power = static_cast<int>(data[9] % 41) - 20;
  auto decimal = [&](long long units) {
    return std::to_string(units) + "e" + std::to_string(power);
  };
  constexpr std::size_t kMax = 4096;
  const GridResult grid = grid_by_step(scan_decimal(decimal(a), kColumnsGrammar),
                                       scan_decimal(decimal(b), kColumnsGrammar),
                                       scan_decimal(decimal(s), kColumnsGrammar), kMax);
  if (s <= 0 || b <= a || (b - a) / s + 1 > static_cast<long long>(kMax)) {
    FUZZ_CHECK(!grid.error.empty() && grid.x.empty());
    return;
  }
  FUZZ_CHECK(grid.error.empty());
  FUZZ_CHECK(grid.x.size() == static_cast<std::size_t>((b - a) / s + 1));
  for (std::size_t j = 0; j < grid.x.size(); ++j) {
    const std::string exact = decimal(a + static_cast<long long>(j) * s);
    FUZZ_CHECK(grid.x[j] == std::strtod(exact.c_str(), nullptr));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  // Layouts: frequency and intensity among fields 1-3, a width field or none.
  static constexpr ColumnLayout kLayouts[] = {{1, 2, 0}, {2, 1, 0}, {1, 3, 0}, {1, 2, 3},
                                              {3, 1, 2}, {2, 3, 4}, {4, 1, 0}, {1, 4, 2}};
  // Frequency scales, width divisors and the widths taken (as read): every positive double, or
  // those whose quotient lies from 1e-150 to 1e150.
  constexpr double kLeast = std::numeric_limits<double>::denorm_min();
  constexpr double kMost = std::numeric_limits<double>::max();
  static constexpr double kScalings[][4] = {
      {1.0, 1.0, kLeast, kMost},
      {0.96, 2.3548200450309493, kLeast, kMost},
      {1e300, 2.0, kLeast, kMost},
      {1e-300, 1e300, kLeast, kMost},
      {1.0, 2.3548200450309493, 2.3548200450309493e-150, 2.354820045030949e+150}};
  const double* scaling = kScalings[data[1] % 5];
  LineListOptions options{.columns = kLayouts[data[0] % 8],
                          .frequency_scale = scaling[0],
                          .width_divisor = scaling[1],
                          .width_low = scaling[2],
                          .width_high = scaling[3]};
  // The delimiter and the decimal comma (which a comma delimiter does not take).
  options.columns.delimiter = static_cast<Delimiter>(data[1] / 5 % 5);
  options.columns.decimal_comma =
      data[1] / 25 % 2 == 1 && options.columns.delimiter != Delimiter::comma;
  const std::string_view text(reinterpret_cast<const char*>(data) + 2, size - 2);
  check_columns(text, options);
  if (size >= 10) check_grid(data);
  return 0;
}
