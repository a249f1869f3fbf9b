#include "records/spectrum_writer.h"

#include <algorithm>
#include <bit>
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
    if (std::bit_cast<std::uint64_t>(low[i]) != std::bit_cast<std::uint64_t>(high[i])) {
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
