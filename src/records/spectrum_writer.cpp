#include "records/spectrum_writer.h"

#include <algorithm>
#include <cstring>

#include "numbers/double_to_fixed.h"

namespace broaden {

namespace {
constexpr int kFieldWidth = 12;
constexpr int kDecimals = 4;
}  // namespace

char* spectrum_record(double abscissa, double intensity, char* out) noexcept {
  out = double_to_fixed(abscissa, kFieldWidth, kDecimals, out);
  std::memcpy(out, " , ", 3);
  out = double_to_fixed(intensity, kFieldWidth, kDecimals, out + 3);
  *out = '\n';
  return out + 1;
}

std::string spectrum_record(double abscissa, double intensity) {
  std::string record(kSpectrumRecordSize, ' ');
  spectrum_record(abscissa, intensity, record.data());
  return record;
}

void write_spectrum(std::ostream& out, std::span<const double> abscissae,
                    std::span<const double> intensities) {
  // The whole file in one buffer: one write for the stream to pass on.
  const std::size_t count = std::min(abscissae.size(), intensities.size());
  std::string text(count * kSpectrumRecordSize, ' ');
  char* end = text.data();
  for (std::size_t i = 0; i < count; ++i) end = spectrum_record(abscissae[i], intensities[i], end);
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

}  // namespace broaden
