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

// The JCAMP-DX records before the points: the data type from the kind of
// spectrum, the x unit from the axis (JCAMP-DX names no electronvolt: "EV"
// is written as the unit's text), the intensity's quantity as the y unit.
std::string jcamp_head(const SpectrumHeader& header) {
  const std::string* kind = header.fields.find("spectrum");
  const std::string type = kind == nullptr    ? "SPECTRUM"
                           : *kind == "ir"    ? "INFRARED SPECTRUM"
                           : *kind == "raman" ? "RAMAN SPECTRUM"
                           : *kind == "uv"    ? "UV/VIS SPECTRUM"
                                              : "SPECTRUM";
  std::string_view x_unit;
  switch (header.axis) {
    case AxisUnit::per_centimetre:
      x_unit = "1/CM";
      break;
    case AxisUnit::nanometre:
      x_unit = "NANOMETERS";
      break;
    case AxisUnit::micrometre:
      x_unit = "MICROMETERS";
      break;
    case AxisUnit::electronvolt:
      x_unit = "EV";
      break;
  }
  const std::string* quantity = header.fields.find("intensity");
  std::string text = "##TITLE=" + header.fields.text() + "\n##JCAMP-DX=5.01\n##DATA TYPE=" + type +
                     "\n##ORIGIN=broaden-batch\n##OWNER=\n##XUNITS=" + std::string(x_unit) +
                     "\n##YUNITS=" + (quantity != nullptr ? *quantity : "ARBITRARY UNITS") +
                     "\n##XFACTOR=1\n##YFACTOR=1\n";
  const auto number = [&](double value) {
    char out[kShortestRoom];
    return std::string(out, double_to_shortest(value, header.digits, out));
  };
  if (!header.x.empty() && header.y.size() == header.x.size())
    text += "##FIRSTX=" + number(header.x.front()) + "\n##LASTX=" + number(header.x.back()) +
            "\n##NPOINTS=" + std::to_string(header.x.size()) +
            "\n##FIRSTY=" + number(header.y.front()) + "\n";
  return text + "##XYPOINTS=(XY..XY)\n";
}

std::string jcamp_tail(const SpectrumHeader&) { return "##END=\n"; }

constexpr SpectrumFormat kFormats[] = {
    {"tsv", "tsv (default)", tsv_head, number_points<'\t'>, no_text},
    {"csv", "csv", csv_head, number_points<','>, no_text},
    {"classic", "classic", no_text, classic_points, no_text},
    {"jcamp", "jcamp (JCAMP-DX 5.01)", jcamp_head, number_points<','>, jcamp_tail},
};

}  // namespace

std::span<const SpectrumFormat> spectrum_formats() noexcept { return kFormats; }

const SpectrumFormat* find_spectrum_format(std::string_view name) noexcept {
  const auto* row = std::find_if(std::begin(kFormats), std::end(kFormats),
                                 [&](const SpectrumFormat& format) { return format.name == name; });
  return row == std::end(kFormats) ? nullptr : row;
}

}  // namespace broaden
