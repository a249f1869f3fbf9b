#include "records/spectrum_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ios>
#include <limits>
#include <span>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace broaden {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

TEST(SpectrumRecord, IsTwoFixedPointFieldsJoinedByBlankCommaBlankAndALineFeed) {
  const struct {
    double abscissa, intensity;
    const char* expected;
  } cases[] = {
      {0.1, 0.0, "      0.1000 ,       0.0000\n"},
      {1e8, -1e-9, "************ ,      -0.0000\n"},
      {2000.0, kNaN, "   2000.0000 ,          NaN\n"},
      {kInf, -kInf, "    Infinity ,    -Infinity\n"},
      {9999999.9999, -999999.9999, "9999999.9999 , -999999.9999\n"},
      {0.30000000000000004, 1.03125, "      0.3000 ,       1.0312\n"},
      {-1e7, 12345.67891, "************ ,   12345.6789\n"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(spectrum_record(c.abscissa, c.intensity), c.expected);
    char buffer[kSpectrumRecordSize + 2];
    std::fill(std::begin(buffer), std::end(buffer), '#');
    spectrum_record(c.abscissa, c.intensity,
                    std::span<char, kSpectrumRecordSize>(buffer + 1, kSpectrumRecordSize));
    EXPECT_EQ(std::string(buffer, sizeof buffer), '#' + std::string(c.expected) + '#');
  }
}

TEST(WriteSpectrum, WritesOneRecordPerPointInOrder) {
  for (const std::size_t size : {0u, 1u, 255u, 256u, 257u, 513u, 20000u}) {
    std::vector<double> w(size), t(size);
    std::string expected;
    for (std::size_t i = 0; i < size; ++i) {
      w[i] = static_cast<double>(static_cast<float>(i + 1) * 0.1f);
      t[i] = static_cast<double>(i % 7) * -1.5e-5 + static_cast<double>(i);
      expected += spectrum_record(w[i], t[i]);
    }
    std::ostringstream out;
    write_spectrum(out, w, t);
    EXPECT_TRUE(out.good());
    EXPECT_EQ(out.str().size(), size * kSpectrumRecordSize) << size;
    EXPECT_TRUE(out.str() == expected) << size;
  }
}

// Takes `room` characters, then throws like a full device.
class FullBuffer : public std::streambuf {
 public:
  explicit FullBuffer(std::size_t room) : room_(room) {}
  std::string taken;

 protected:
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    taken.append(s, std::min(static_cast<std::size_t>(n), room_ - taken.size()));
    if (taken.size() == room_) throw std::runtime_error("device full");
    return n;
  }

 private:
  std::size_t room_;
};

TEST(WriteSpectrum, PassesTheStreamsFailureOnAndKeepsWhatWasWritten) {
  const std::vector<double> w(1000, 1.0), t(1000, 2.0);
  FullBuffer buffer(300 * kSpectrumRecordSize);
  std::ostream out(&buffer);
  out.exceptions(std::ios::badbit);
  EXPECT_THROW(write_spectrum(out, w, t), std::runtime_error);
  EXPECT_TRUE(out.bad());
  ASSERT_EQ(buffer.taken.size(), 300 * kSpectrumRecordSize);
  EXPECT_EQ(buffer.taken.substr(299 * kSpectrumRecordSize), spectrum_record(1.0, 2.0));
}

}  // namespace
}  // namespace broaden
