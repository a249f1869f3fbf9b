// End-to-end: line lists whose sums cancel, reach past the field's range or
// defeat the estimate's bound, each record compared with the straightforward
// loop's (support/reference_engine.h) formatted by the spectrum writer.

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "records/line_list.h"
#include "records/spectrum_writer.h"
#include "support/reference_engine.h"
#include "support/spawn.h"
#include "support/temp_folder.h"
#include "synthesis/engine_testing.h"

namespace broaden::testing {
namespace {

struct LineList {
  std::string text;  // the records, one a line
  std::size_t count = 0;
};

void add(LineList& list, const std::string& frequency, const std::string& intensity) {
  char record[32];
  std::snprintf(record, sizeof record, "%10s%10s\n", frequency.c_str(), intensity.c_str());
  list.text += record;
  ++list.count;
}

LineList of(std::initializer_list<std::pair<const char*, const char*>> peaks) {
  LineList list;
  for (const auto& [frequency, intensity] : peaks) add(list, frequency, intensity);
  return list;
}

std::string decimal(double value, int decimals) {
  char text[32];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

// Pairs of opposite lines spread over [low, high], then `small` lines of
// ordinary heights anywhere.
LineList opposite_pairs(int pairs, const std::string& magnitude, double low, double high, int small,
                        unsigned seed) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> position(low, high), anywhere(100.0, 1900.0);
  LineList list;
  for (int k = 0; k < pairs; ++k) {
    const std::string frequency = decimal(position(random), 1);
    add(list, frequency, magnitude);
    add(list, frequency, "-" + magnitude);
  }
  for (int k = 0; k < small; ++k) add(list, decimal(anywhere(random), 1), decimal(k + 1.5, 2));
  return list;
}

// The straightforward program's spectrum file for the same line list.
std::string straightforward_file(const LineList& list, double width) {
  std::istringstream in(list.text);
  std::vector<double> frequency, intensity;
  for (std::size_t k = 0; k < list.count; ++k) {
    const PeakRecord record = read_peak(in);
    EXPECT_EQ(record.status, RecordStatus::ok);
    frequency.push_back(record.peak.frequency);
    intensity.push_back(record.peak.intensity);
  }
  const auto spectrum = std::make_unique<Spectrum>();
  const auto scratch = std::make_unique<Spectrum>();
  build_grid(spectrum->w, spectrum->t);
  add_peaks_reference(frequency, intensity, width, spectrum->w, spectrum->t, scratch->t);
  std::ostringstream out;
  write_spectrum(out, spectrum->w, spectrum->t);
  return out.str();
}

struct Case {
  friend void PrintTo(const Case& c, std::ostream* os) { *os << c.title; }
  const char* title;
  LineList list;
  const char* width;
};

std::vector<Case> cases() {
  std::vector<Case> all = {
      // Exact cancellation far past the field's range, beside an ordinary peak.
      {"PlusMinus1e25Width1",
       of({{"1500.0", "1.0E+25"}, {"1500.0", "-1.0E+25"}, {"1000.0", "100.0000"}}), "1.0"},
      {"PlusMinus1e25Width300",
       of({{"1500.0", "1.0E+25"}, {"1500.0", "-1.0E+25"}, {"1000.0", "100.0000"}}), "300.0"},
      // Amplitudes that grow as the width shrinks.
      {"PlusMinus1e9Width1em160",
       of({{"1500.0", "1.0E+09"}, {"1500.0", "-1.0E+09"}, {"1000.0", "100.0000"}}), "1e-160"},
      {"PlusMinus1e9Width1em50",
       of({{"1500.0", "1.0E+09"}, {"1500.0", "-1.0E+09"}, {"1000.0", "100.0000"}}), "1e-50"},
      // Cancellation at the limits of the field, of both signs: the sum of
      // the big lines lands just inside or just outside the range.
      {"AtThePositiveLimit",
       of({{"1000.0", "2.5066E+08"}, {"1000.0", "-2.5066E+08"}, {"1000.0", "2.5066E+07"}}), "1.0"},
      {"AtTheNegativeLimit",
       of({{"1000.0", "-2.5066E+08"}, {"1000.0", "2.5066E+08"}, {"1000.0", "-2.5066E+6"}}), "1.0"},
      {"AcrossTheNegativeLimit",
       of({{"1000.0", "-2.5066E+08"}, {"1000.0", "2.5066E+08"}, {"1000.0", "-2.5066E+6"}}), "0.4"},
      // A difference spectrum: lines and their negations, one plain peak.
      {"DifferenceSpectrum", opposite_pairs(150, "5.432E21", 100.0, 1900.0, 0, 3), "2.0"},
      // Inputs where the bound settles little: wide cancelling lines, a
      // width whose square underflows or whose spread overflows, infinities.
      {"WideCancellingPairs", opposite_pairs(100, "1.0E+10", 500.0, 1500.0, 20, 5), "1000"},
      {"SquareOfWidthUnderflows", opposite_pairs(40, "1.0E+100", 100.0, 1900.0, 0, 7), "1e-200"},
      {"SpreadOverflows", opposite_pairs(40, "1E164", 100.0, 1900.0, 0, 9), "1E155"},
  };
  LineList infinities = of({{"1000.0", "1.0"}, {"1100.0", "-1.0"}});
  for (int k = 0; k < 30; ++k) add(infinities, decimal(200.0 + 50.0 * k, 1), "1E999");
  all.push_back({"InfiniteIntensities", infinities, "5.0"});
  // Only far tails reach the grid: every sum is a tiny negative number.
  LineList off_grid;
  for (int k = 0; k < 60; ++k)
    add(off_grid, decimal(k % 2 == 0 ? -300.0 - 10.0 * k : 2300.0 + 10.0 * k, 1), "-7.5");
  all.push_back({"OnlyFarTails", off_grid, "100"});
  return all;
}

class e2eCancellation : public ::testing::TestWithParam<Case> {};

TEST_P(e2eCancellation, EveryRecordIsTheStraightforwardLoops) {
  const Case& c = GetParam();
  TempFolder folder;
  folder.write("in.txt", c.list.text);
  const Outcome outcome = spawn_broaden(
      folder.path(), "in.txt\n" + std::to_string(c.list.count) + "\nout.txt\n" + c.width + "\n");
  ASSERT_EQ(outcome.status, 0) << outcome.err;
  const std::string expected = straightforward_file(c.list, std::stod(c.width));
  const std::string written = folder.read("out.txt");
  ASSERT_EQ(written.size(), expected.size());
  std::size_t differing = 0, first = 0;
  for (std::size_t i = 0; i < expected.size(); i += kSpectrumRecordSize)
    if (written.compare(i, kSpectrumRecordSize, expected, i, kSpectrumRecordSize) != 0 &&
        differing++ == 0)
      first = i;
  EXPECT_EQ(differing, 0u) << "first at record " << first / kSpectrumRecordSize + 1 << ": "
                           << written.substr(first, kSpectrumRecordSize) << " instead of "
                           << expected.substr(first, kSpectrumRecordSize);
}

std::string title_of(const ::testing::TestParamInfo<Case>& test) { return test.param.title; }

INSTANTIATE_TEST_SUITE_P(Hard, e2eCancellation, ::testing::ValuesIn(cases()), title_of);

}  // namespace
}  // namespace broaden::testing
