#include "records/spectrum_writer.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "numbers/double_to_fixed.h"

namespace broaden {

namespace {
constexpr std::size_t kFieldWidth = 12;
constexpr int kDecimals = 4;
constexpr std::string_view kSeparator = " , ";
static_assert(2 * kFieldWidth + kSeparator.size() + 1 == kSpectrumRecordSize);

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

  // Where the next record goes; it is handed on once the next one is asked
  // for, or at flush().
  std::span<char, kSpectrumRecordSize> next() {
    if (end_ == text_ + sizeof text_) flush();
    const std::span<char, kSpectrumRecordSize> record(end_, kSpectrumRecordSize);
    end_ += kSpectrumRecordSize;
    return record;
  }
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

// True when both ends lie beyond the same end of the field's range, where
// every value prints the same asterisks: 10^7 and more needs 13 characters,
// as does -10^6 and less.
bool beyond_one_limit(double low, double high) {
  return (low >= 1e7 && std::isfinite(high)) || (high <= -1e6 && std::isfinite(low));
}

}  // namespace

bool interval_settles(double low, double high) noexcept {
  if (std::bit_cast<std::uint64_t>(low) == std::bit_cast<std::uint64_t>(high)) return true;
  if (inside_one_field(low, high)) return true;
  char low_field[kFieldWidth], high_field[kFieldWidth];
  double_to_fixed(low, kDecimals, low_field);
  double_to_fixed(high, kDecimals, high_field);
  if (std::memcmp(low_field, high_field, kFieldWidth) != 0) return false;
  // Formatting is monotone only inside the range: asterisks at both ends
  // say nothing of the values between, unless both are past the same limit.
  return low_field[0] != '*' || beyond_one_limit(low, high);
}

std::vector<std::size_t> unsettled_points(std::span<const double> low,
                                          std::span<const double> high) {
  std::vector<std::size_t> points;
  const std::size_t count = std::min(low.size(), high.size());
  for (std::size_t i = 0; i < count; ++i)
    if (!interval_settles(low[i], high[i])) points.push_back(i);
  return points;
}

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
  const std::size_t count = std::min(abscissae.size(), intensities.size());
  RecordBuffer buffer(out);
  for (std::size_t i = 0; i < count; ++i)
    spectrum_record(abscissae[i], intensities[i], buffer.next());
  buffer.flush();
}

std::size_t write_spectrum(std::ostream& out, std::span<const double> abscissae,
                           std::span<const double> low, std::span<const double> high,
                           const std::function<double(std::size_t)>& exact) {
  const std::size_t count = std::min({abscissae.size(), low.size(), high.size()});
  RecordBuffer buffer(out);
  std::size_t exact_points = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const bool settled = interval_settles(low[i], high[i]);
    spectrum_record(abscissae[i], settled ? low[i] : exact(i), buffer.next());
    exact_points += settled ? 0 : 1;
  }
  buffer.flush();
  return exact_points;
}

}  // namespace broaden
