#include "records/spectrum_writer.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "records/double_to_fixed.h"

namespace broaden {

namespace {
constexpr int kFieldWidth = 12;
constexpr int kDecimals = 4;

// Records are formatted into a buffer before they are handed to the
// stream: small enough to stay in cache and to cost few pages, and reused
// for the whole file.
constexpr std::size_t kRecordsPerWrite = 512;

// Fills a buffer of records and hands it to `out` whenever it is full.
class RecordBuffer {
 public:
  explicit RecordBuffer(std::ostream& out) : out_(out) {}
  RecordBuffer(const RecordBuffer&) = delete;
  RecordBuffer& operator=(const RecordBuffer&) = delete;

  // Where the next record goes: room for one record is always there.
  char* next() {
    if (end_ == text_ + sizeof text_) flush();
    return end_;
  }
  void advance(char* end) { end_ = end; }
  void flush() {
    out_.write(text_, end_ - text_);
    end_ = text_;
  }

 private:
  std::ostream& out_;
  char text_[kRecordsPerWrite * kSpectrumRecordSize];
  char* end_ = text_;
};

// True when every value in [low, high] surely rounds to the same multiple
// of 0.0001 with the same sign, so that all write the same field: both ends
// have the same sign bit, below 10^6 in magnitude, and their magnitudes
// times 10^4 (below 2^34, so within 2^-20 of the exact products) lie at
// least 2^-16 inside the same interval (k - 1/2, k + 1/2). False leaves it
// to the fields themselves.
bool inside_one_field(double low, double high) {
  constexpr double kLimit = 1e6;
  constexpr double kMargin = 0x1p-16;
  if (std::signbit(low) != std::signbit(high) || !(std::fabs(low) < kLimit) ||
      !(std::fabs(high) < kLimit))
    return false;
  const double a = std::fabs(low) * 1e4;
  const double b = std::fabs(high) * 1e4;
  const double smaller = std::min(a, b), larger = std::max(a, b);
  const auto k = static_cast<double>(static_cast<std::int64_t>(smaller + 0.5));
  return smaller >= k - 0.5 + kMargin && larger <= k + 0.5 - kMargin;
}

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
  const std::size_t count = std::min(abscissae.size(), intensities.size());
  RecordBuffer buffer(out);
  for (std::size_t i = 0; i < count; ++i)
    buffer.advance(spectrum_record(abscissae[i], intensities[i], buffer.next()));
  buffer.flush();
}

std::size_t write_spectrum(std::ostream& out, std::span<const double> abscissae,
                           std::span<const double> low, std::span<const double> high,
                           const std::function<double(std::size_t)>& exact) {
  const std::size_t count = std::min({abscissae.size(), low.size(), high.size()});
  RecordBuffer buffer(out);
  std::size_t exact_points = 0;
  for (std::size_t i = 0; i < count; ++i) {
    char* end = spectrum_record(abscissae[i], low[i], buffer.next());
    if (std::bit_cast<std::uint64_t>(low[i]) != std::bit_cast<std::uint64_t>(high[i]) &&
        !inside_one_field(low[i], high[i])) {
      // The high end's field against the low end's, already in the record.
      char field[kFieldWidth];
      double_to_fixed(high[i], kFieldWidth, kDecimals, field);
      char* intensity = end - 1 - kFieldWidth;
      if (std::memcmp(field, intensity, kFieldWidth) != 0) {
        double_to_fixed(exact(i), kFieldWidth, kDecimals, intensity);
        ++exact_points;
      }
    }
    buffer.advance(end);
  }
  buffer.flush();
  return exact_points;
}

}  // namespace broaden
