#include "batch/output_formats.h"

#include <algorithm>
#include <cstdint>

#include "records/spectrum_writer.h"

namespace broaden {
namespace {

static_assert(kSpectrumRecordSize <= kPointRoom);

std::string no_text(const SpectrumHeader&) { return {}; }

// The points as two numbers a line, joined by `separator`.
template <char separator>
char* number_points(const PointBlock& block, char* out) noexcept {
  const std::size_t count = std::min(block.x.size(), block.y.size());
  for (std::size_t i = 0; i < count; ++i) {
    if (block.decimals != nullptr && block.digits == 0) {
      const auto j = static_cast<std::int64_t>(block.first_index + i);
      out = decimal_to_text(block.decimals->first + j * block.decimals->step,
                            block.decimals->exponent10, out);
    } else {
      out = double_to_shortest(block.x[i], block.digits, out);
    }
    *out++ = separator;
    out = double_to_shortest(block.y[i], block.digits, out);
    *out++ = '\n';
  }
  return out;
}

std::string tsv_head(const SpectrumHeader& header) { return "# " + header.fields.text() + "\n"; }

std::string csv_head(const SpectrumHeader&) { return "frequency,intensity\n"; }

char* classic_points(const PointBlock& block, char* out) noexcept {
  const std::size_t count = std::min(block.x.size(), block.y.size());
  for (std::size_t i = 0; i < count; ++i) {
    spectrum_record(block.x[i], block.y[i],
                    std::span<char, kSpectrumRecordSize>(out, kSpectrumRecordSize));
    out += kSpectrumRecordSize;
  }
  return out;
}

constexpr SpectrumFormat kFormats[] = {
    {"tsv", "tsv (default)", tsv_head, number_points<'\t'>, no_text},
    {"csv", "csv", csv_head, number_points<','>, no_text},
    {"classic", "classic", no_text, classic_points, no_text},
};

}  // namespace

std::span<const SpectrumFormat> spectrum_formats() noexcept { return kFormats; }

const SpectrumFormat* find_spectrum_format(std::string_view name) noexcept {
  const auto* row = std::find_if(std::begin(kFormats), std::end(kFormats),
                                 [&](const SpectrumFormat& format) { return format.name == name; });
  return row == std::end(kFormats) ? nullptr : row;
}

}  // namespace broaden
