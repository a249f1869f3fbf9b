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
  for (const std::size_t size : {0u, 1u, 255u, 511u, 512u, 513u, 1024u, 1025u, 20000u}) {
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

TEST(WriteSpectrum, WritesTheFieldBothBoundsShareOrElseTheExactValuesField) {
  const struct {
    double low, high, exact;
    const char* field;
    bool asks;  // whether the exact value is needed
  } cases[] = {
      {7.97881, 7.97884, kNaN, "      7.9788", false},
      {1.03125, 1.03125, kNaN, "      1.0312", false},
      {1.2344499, 1.2344501, 1.2344500001, "      1.2345", true},
      {1.2344499, 1.2344501, 1.2344499999, "      1.2344", true},
      {1.2345499, 1.2345501, 1.23454999, "      1.2345", true},
      {-0.00001, 0.0, 0.0, "      0.0000", true},  // the sign alone differs
      {-0.00001, -0.00002, kNaN, "     -0.0000", false},
      {9999999.99994, 9999999.99996, 9999999.99996, "************", true},
      {1e7, 2e7, kNaN, "************", false},
      // Asterisks at both ends prove nothing unless both lie past one limit.
      {-1e25, 1e25, 0.0, "      0.0000", true},
      {-2e6, 2e7, 8.3778, "      8.3778", true},
      {9999999.99996, 2e7, 9999999.99996, "************", true},
      {-3e6, -1000000.00001, kNaN, "************", false},
      {-3e6, -999999.99996, 12.5, "     12.5000", true},
      {1.5e7, 1e300, kNaN, "************", false},
      {1234567.89991, 1234567.89994, kNaN, "1234567.8999", false},
      {-2.00004, -1.99996, -2.0, "     -2.0000", false},
      {-2.00005001, -1.99996, -2.0000500001, "     -2.0001", true},
      {kNaN, kNaN, kNaN, "         NaN", false},
      {-kInf, -kInf, kNaN, "   -Infinity", false},
  };
  for (const auto& c : cases) {
    std::ostringstream out;
    const std::vector<double> w = {0.1, 0.2}, low = {0.0, c.low}, high = {0.0, c.high};
    std::vector<std::size_t> asked;
    const std::size_t exact_points = write_spectrum(out, w, low, high, [&](std::size_t i) {
      asked.push_back(i);
      return c.exact;
    });
    EXPECT_EQ(out.str(),
              spectrum_record(0.1, 0.0) + spectrum_record(0.2, 0.0).substr(0, 15) + c.field + "\n")
        << c.low << " " << c.high;
    EXPECT_EQ(asked, c.asks ? std::vector<std::size_t>{1} : std::vector<std::size_t>{});
    EXPECT_EQ(exact_points, asked.size());
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
