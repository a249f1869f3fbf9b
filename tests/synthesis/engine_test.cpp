#include "synthesis/engine.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "support/fixed_text.h"
#include "synthesis/engine_testing.h"

namespace broaden {
namespace {

using testing::fixed_text;

class EngineTest : public ::testing::Test {
 protected:
  void build() { build_grid(s->w, s->t); }
  void add(const std::vector<double>& frequency, const std::vector<double>& intensity,
           double width) {
    add_peaks(frequency, intensity, width, s->w, s->t);
  }
  std::unique_ptr<Spectrum> s = std::make_unique<Spectrum>();
};

TEST_F(EngineTest, GridIsSinglePrecisionTenths) {
  build();
  EXPECT_EQ(s->w[0], 0.10000000149011612);
  EXPECT_EQ(s->w[2], 0.30000001192092896);
  EXPECT_EQ(s->w[9999], 1000.0);
  EXPECT_EQ(s->w[19999], 2000.0);
}

TEST_F(EngineTest, Exactly1952AbscissaePrintOneUnitHigh) {
  build();
  int high = 0;
  std::size_t first = 0, last = 0;
  for (std::size_t i = 0; i < kGridSize; ++i) {
    const std::string printed = fixed_text(s->w[i], 4);
    const std::size_t point = i + 1;
    const std::string tenth = std::to_string(point / 10) + "." + std::to_string(point % 10) + "000";
    if (printed == tenth) continue;
    ASSERT_EQ(printed, tenth.substr(0, tenth.size() - 1) + "1")
        << "point " << point << " prints neither its tenth nor one unit above it";
    if (high++ == 0) first = point;
    last = point;
  }
  EXPECT_EQ(high, 1952);
  EXPECT_EQ(first, 10242u);
  EXPECT_LE(last, 19997u);
  EXPECT_EQ(fixed_text(s->w[10241], 4), "1024.2001");
}

TEST_F(EngineTest, BuildGridClearsSpectrumToPositiveZero) {
  s->t.fill(-1.0);
  build();
  for (const double value : s->t) ASSERT_TRUE(value == 0.0 && !std::signbit(value));
}

TEST_F(EngineTest, NoPeaksLeaveSpectrumZero) {
  build();
  add({}, {}, 5.0);
  for (const double value : s->t) ASSERT_TRUE(value == 0.0 && !std::signbit(value));
}

TEST_F(EngineTest, PeakHeightUsesSinglePrecisionNormalisation) {
  build();
  add({1000.0}, {100.0}, 5.0);
  EXPECT_EQ(kNormalisation, 2.5066280364990234);
  EXPECT_EQ(s->t[9999], (100.0 / 2.5066280364990234) / 5.0);
  EXPECT_NE(s->t[9999], (100.0 / 2.5066282746310002) / 5.0);
  EXPECT_EQ(fixed_text(s->t[9999], 4), "7.9788");
}

TEST_F(EngineTest, GaussianFallsOffWithDistanceSymmetrically) {
  build();
  add({1000.0}, {100.0}, 5.0);
  // One width away the height is exp(-1/2) of the top.
  EXPECT_NEAR(s->t[9949] / s->t[9999], std::exp(-0.5), 1e-5);
  EXPECT_NEAR(s->t[9949], s->t[10049], 1e-6);
  EXPECT_EQ(s->t[0], 0.0);  // far beyond the reach of the exponential
}

TEST_F(EngineTest, ZeroWidthMakesEveryPointNaN) {
  build();
  add({1000.0}, {1.0}, 0.0);
  for (const double value : s->t) ASSERT_TRUE(std::isnan(value));
}

TEST_F(EngineTest, NegativeWidthFlipsEverySign) {
  build();
  add({10.0, 1000.0}, {2.0, 50.0}, 7.5);
  const auto positive = s->t;
  build();
  add({10.0, 1000.0}, {2.0, 50.0}, -7.5);
  for (std::size_t i = 0; i < kGridSize; ++i) ASSERT_EQ(s->t[i], -positive[i]) << i;
}

TEST_F(EngineTest, PeaksOutsideTheGridReachItsEnds) {
  build();
  add({-5.0, 2005.0}, {10.0, 10.0}, 5.0);
  EXPECT_GT(s->t[0], 0.0);
  EXPECT_GT(s->t[19999], 0.0);
  EXPECT_EQ(s->t[9999], 0.0);
}

TEST_F(EngineTest, PeaksAddInTableOrderFromZero) {
  build();
  add({1000.0, 1000.0, 1000.0}, {1.0, 1e17, -1e17}, 1.0);
  // (1 + 1e17) - 1e17 in that order loses the 1; another order would keep it.
  EXPECT_EQ(s->t[9999], 0.0);
}

}  // namespace
}  // namespace broaden
