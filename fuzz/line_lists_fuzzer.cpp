// Fuzz target: the reader contract, for every line-list format.
//
// An input whose first line is a format's name is read in that format (the
// rest of the input is the text), any other input in every line-list format
// (so that each row, a new one too, is replayed on the seeds that exist).
// Read with and without a width field and with infinities kept or not, every
// reader:
// - gives the same answer twice (it is a pure function of its text);
// - refuses a text at a line that exists, a column within it or just past
//   its end, with what was expected said;
// - or gives a table whose columns have one length (widths none or as
//   many), whose values are finite unless infinities are kept, and whose
//   widths are positive.

#include <cmath>
#include <cstdint>
#include <span>
#include <string_view>

#include "fuzz_check.h"
#include "records/line_list_formats.h"

namespace {

using namespace broaden;

bool same(const LineListRead& a, const LineListRead& b) {
  if (a.error || b.error) return a.error == b.error;
  // Bit for bit, NaN included: compare the representations.
  const auto equal = [](const std::vector<double>& x, const std::vector<double>& y) {
    return x.size() == y.size() &&
           std::equal(x.begin(), x.end(), y.begin(), [](double u, double v) {
             return std::signbit(u) == std::signbit(v) && (u == v || (u != u && v != v));
           });
  };
  return equal(a.table.frequency, b.table.frequency) &&
         equal(a.table.intensity, b.table.intensity) && equal(a.table.width, b.table.width);
}

void check(const LineListFormat& format, std::string_view text, const LineListOptions& options) {
  const LineListRead read = format.read(text, options);
  FUZZ_CHECK(same(read, format.read(text, options)));
  if (read.error) {
    const LineListError& error = *read.error;
    // Columns input ends a line at CR, LF or CR LF; the fixed records at LF.
    const bool cr_ends = format.name == "columns";
    const auto line_end = [&](std::size_t from) {
      return std::min(text.find_first_of(cr_ends ? "\r\n" : "\n", from), text.size());
    };
    std::size_t start = 0;
    for (std::size_t line = 1; line < error.line; ++line) {
      start = line_end(start);
      FUZZ_CHECK(start < text.size());
      start += cr_ends && text[start] == '\r' && start + 1 < text.size() && text[start + 1] == '\n'
                   ? 2
                   : 1;
    }
    const std::size_t end = line_end(start);
    FUZZ_CHECK(error.line >= 1 && error.column >= 1 && error.column <= end - start + 1);
    FUZZ_CHECK(!error.expected.empty());
    return;
  }
  const LineTable& table = read.table;
  const std::size_t rows = table.frequency.size();
  FUZZ_CHECK(table.intensity.size() == rows);
  FUZZ_CHECK(table.width.empty() || table.width.size() == rows);
  for (std::size_t k = 0; k < rows; ++k) {
    FUZZ_CHECK(!std::isnan(table.frequency[k]) && !std::isnan(table.intensity[k]));
    if (!options.keep_infinities)
      FUZZ_CHECK(std::isfinite(table.frequency[k]) && std::isfinite(table.intensity[k]));
    if (!table.width.empty()) FUZZ_CHECK(std::isfinite(table.width[k]) && table.width[k] > 0.0);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  std::span<const LineListFormat> formats = line_list_formats();
  if (const LineListFormat* named = find_line_list_format(text.substr(0, text.find('\n')))) {
    text.remove_prefix(std::min(text.find('\n') + 1, text.size()));
    formats = {named, 1};
  }
  for (const LineListFormat& format : formats) {
    for (const bool keep : {false, true}) {
      check(format, text,
            {.columns = {}, .frequency_scale = 1, .width_divisor = 1, .keep_infinities = keep});
      check(format, text,
            {.columns = {2, 1, 3},
             .frequency_scale = 0.96,
             .width_divisor = 2,
             .keep_infinities = keep});
    }
  }
  return 0;
}
