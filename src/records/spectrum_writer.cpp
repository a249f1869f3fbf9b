#include "records/spectrum_writer.h"

#include <algorithm>
#include <string_view>

#include "numbers/double_to_fixed.h"

namespace broaden {

namespace {
constexpr std::size_t kFieldWidth = 12;
constexpr int kDecimals = 4;
constexpr std::string_view kSeparator = " , ";
static_assert(2 * kFieldWidth + kSeparator.size() + 1 == kSpectrumRecordSize);
}  // namespace

void spectrum_record(double abscissa, double intensity,
                     std::span<char, kSpectrumRecordSize> record) noexcept {
  double_to_fixed(abscissa, kDecimals, record.first<kFieldWidth>());
  kSeparator.copy(record.data() + kFieldWidth, kSeparator.size());
  double_to_fixed(intensity, kDecimals,
                  record.subspan<kFieldWidth + kSeparator.size(), kFieldWidth>());
  record.back() = '\n';
}

std::string spectrum_record(double abscissa, double intensity) {
  std::string record(kSpectrumRecordSize, ' ');
  spectrum_record(abscissa, intensity,
                  std::span<char, kSpectrumRecordSize>(record.data(), kSpectrumRecordSize));
  return record;
}

void write_spectrum(std::ostream& out, std::span<const double> abscissae,
                    std::span<const double> intensities) {
  // The whole file in one buffer: one write for the stream to pass on.
  const std::size_t count = std::min(abscissae.size(), intensities.size());
  std::string text(count * kSpectrumRecordSize, ' ');
  for (std::size_t i = 0; i < count; ++i) {
    spectrum_record(abscissae[i], intensities[i],
                    std::span<char, kSpectrumRecordSize>(text.data() + i * kSpectrumRecordSize,
                                                         kSpectrumRecordSize));
  }
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

}  // namespace broaden
