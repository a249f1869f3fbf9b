#include "batch/output_format.h"

#include <algorithm>
#include <charconv>

#include "records/spectrum_writer.h"

namespace broaden {

char* format_number(double value, int digits, char* out) noexcept {
  constexpr std::size_t kRoom = 32;
  if (digits == 0) return std::to_chars(out, out + kRoom, value).ptr;
  return std::to_chars(out, out + kRoom, value, std::chars_format::general, digits).ptr;
}

std::string format_head(OutputFormat format, std::string_view parameters) {
  switch (format) {
    case OutputFormat::tsv:
      return "# " + std::string(parameters) + "\n";
    case OutputFormat::csv:
      return "frequency,intensity\n";
    case OutputFormat::classic:
      break;
  }
  return {};
}

char* format_points_into(OutputFormat format, std::span<const double> x, std::span<const double> y,
                         int digits, char* out) noexcept {
  static_assert(kSpectrumRecordSize <= kPointRoom);
  const std::size_t count = std::min(x.size(), y.size());
  const char separator = format == OutputFormat::csv ? ',' : '\t';
  for (std::size_t i = 0; i < count; ++i) {
    if (format == OutputFormat::classic) {
      spectrum_record(x[i], y[i], std::span<char, kSpectrumRecordSize>(out, kSpectrumRecordSize));
      out += kSpectrumRecordSize;
      continue;
    }
    out = format_number(x[i], digits, out);
    *out++ = separator;
    out = format_number(y[i], digits, out);
    *out++ = '\n';
  }
  return out;
}

void format_points(OutputFormat format, std::span<const double> x, std::span<const double> y,
                   int digits, std::string& out) {
  const std::size_t count = std::min(x.size(), y.size());
  const std::size_t start = out.size();
  out.resize(start + count * kPointRoom);
  char* end = format_points_into(format, x, y, digits, out.data() + start);
  out.resize(static_cast<std::size_t>(end - out.data()));
}

}  // namespace broaden
