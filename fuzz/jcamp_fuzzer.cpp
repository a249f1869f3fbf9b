// Fuzz target: the JCAMP-DX reader on any bytes. It gives the same answer
// twice; it refuses a text at a line that exists (lines end at LF), a column
// within it or just past its end, with what was expected said and a kind of
// its class; or it gives x and y of one length, finite, with notes placed.
#include <cmath>
#include <cstdint>
#include <string_view>

#include "fuzz_check.h"
#include "records/jcamp_reader.h"

namespace {

using namespace broaden;

bool finite(const std::vector<double>& values) {
  for (const double v : values)
    if (!std::isfinite(v)) return false;
  return true;
}

void check_error(std::string_view text, const LineListError& error) {
  std::size_t start = 0;
  for (std::size_t line = 1; line < error.line; ++line) {
    start = text.find('\n', start);
    FUZZ_CHECK(start != std::string_view::npos);
    ++start;
  }
  const std::size_t end = std::min(text.find('\n', start), text.size());
  FUZZ_CHECK(error.line >= 1 && error.column >= 1 && error.column <= end - start + 1);
  FUZZ_CHECK(!error.expected.empty() && error.what == line_error_of(error.kind));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const JcampRead read = read_jcamp(text);
  const JcampRead again = read_jcamp(text);
  FUZZ_CHECK(read.error == again.error);
  if (read.error) {
    check_error(text, *read.error);
    return 0;
  }
  const JcampCurve& c = read.curve;
  FUZZ_CHECK(c.x == again.curve.x && c.y == again.curve.y && c.notes == again.curve.notes);
  FUZZ_CHECK(c.x.size() == c.y.size() && finite(c.x) && finite(c.y));
  FUZZ_CHECK(c.table_line >= 1);
  for (const LineListNote& note : c.notes) FUZZ_CHECK(note.line >= 1 && !note.text.empty());
  const LineListRead lines = read_jcamp_peaks(text, {});
  FUZZ_CHECK(lines.error.has_value() != (c.peak_table && c.x_unit == JcampXUnit::per_centimetre));
  if (lines.error) check_error(text, *lines.error);
  return 0;
}
