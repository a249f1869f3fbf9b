#include "batch/grid.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <random>
#include <sstream>
#include <string>

#include "batch/output_formats.h"

namespace broaden {
namespace {

DecimalScan decimal(const std::string& text) { return scan_decimal(text, {.d_exponent = true}); }

// "units * 10^-3" as decimal text: the exact value of a grid point.
std::string thousandths(long long units) {
  const std::string sign = units < 0 ? "-" : "";
  return sign + std::to_string(std::llabs(units)) + "e-3";
}

TEST(GridByStep, EveryPointIsTheExactDecimalRoundedOnceAndPrintsAsThatDecimal) {
  std::mt19937_64 random(20261208);
  for (int trial = 0; trial < 200; ++trial) {
    // Bounds and steps in thousandths, some negative, some far from zero.
    const long long a = static_cast<long long>(random() % 2'000'000) - 1'000'000;
    const long long s = 1 + static_cast<long long>(random() % (trial % 2 ? 1000 : 100'000));
    const long long b =
        a + s * static_cast<long long>(random() % 3000) + static_cast<long long>(random() % s) + 1;
    const GridResult grid =
        grid_by_step(decimal(thousandths(a)), decimal(thousandths(b)), decimal(thousandths(s)));
    ASSERT_EQ(grid.error, "");
    ASSERT_EQ(grid.x.size(), static_cast<std::size_t>((b - a) / s + 1));
    for (std::size_t j = 0; j < grid.x.size(); ++j) {
      const std::string exact = thousandths(a + static_cast<long long>(j) * s);
      ASSERT_EQ(grid.x[j], std::strtod(exact.c_str(), nullptr)) << exact;
      char text[32];
      *double_to_shortest(grid.x[j], 0, text) = '\0';
      ASSERT_EQ(decimal(text), decimal(exact)) << text << " for " << exact;
    }
  }
}

TEST(GridByStep, TheClassicRangeAndScalesFarApart) {
  const GridResult classic = grid_by_step(decimal("0.1"), decimal("2000"), decimal("0.1"));
  ASSERT_EQ(classic.x.size(), 20000u);
  EXPECT_EQ(classic.x[2], 0.3);  // not 0.1 + 0.1 + 0.1
  EXPECT_EQ(classic.x.back(), 2000.0);

  // Every decimal written with zeros at its end: 10e-1 is 1, not 10.
  const GridResult zeros = grid_by_step(decimal("10e-1"), decimal("30e-1"), decimal("10e-1"));
  EXPECT_EQ(zeros.x, (std::vector<double>{1, 2, 3}));

  // Past 10^22 the slow, exact path takes over.
  const GridResult huge =
      grid_by_step(decimal("1e40"), decimal("1.000000000000004e40"), decimal("1e25"));
  ASSERT_EQ(huge.x.size(), 5u) << huge.error;
  EXPECT_EQ(huge.x[3], 1.000000000000003e40);
  const GridResult tiny = grid_by_step(decimal("1e-30"), decimal("1.3e-29"), decimal("3e-30"));
  ASSERT_EQ(tiny.x.size(), 5u);
  EXPECT_EQ(tiny.x[4], 1.3e-29);
}

TEST(GridByStep, RefusesWhatCannotBeAGrid) {
  const struct {
    const char *from, *to, *step, *error;
  } cases[] = {
      {"1", "1", "0.1", "--from must be below --to"},
      {"2", "1", "0.1", "--from must be below --to"},
      {"0", "1", "0", "--step must be positive"},
      {"0", "1", "-0.1", "--step must be positive"},
      {"0", "1e9", "1", "the grid would have more than 100000000 points"},
      {"1e-30", "1e30", "1", "too far apart in scale"},
      {"1e20", "100000000000000000002", "1", "too close for doubles"},
      {"1e308", "1e309", "1e307", "beyond the range of doubles"},
  };
  for (const auto& c : cases) {
    const GridResult grid = grid_by_step(decimal(c.from), decimal(c.to), decimal(c.step));
    EXPECT_NE(grid.error.find(c.error), std::string::npos)
        << c.from << " " << c.to << ": " << grid.error;
    EXPECT_TRUE(grid.x.empty());
  }
}

// With the grid's decimals the points are written byte for byte as without;
// grids whose points need more than 15 digits have no decimals.
TEST(GridByStep, ItsDecimalsWriteTheSameTextWhereTheyAreGiven) {
  const struct {
    const char *from, *to, *step;
    bool decimals;
  } cases[] = {
      {"0.1", "2000", "0.1", true},
      {"-3", "3", "0.001", true},
      {"1e-9", "1e-3", "3e-7", true},
      {"99998", "100002", "0.0001", true},
      {"9e13", "9.00000000002e13", "0.5", true},
      {"1e12", "9e15", "7e13", true},
      {"1e19", "1e22", "7e18", false},  // beyond 2^53 to_chars writes the double's exact value
      {"1e-280", "1e-278", "1e-280", true},
      {"1", "1.00000000000001", "0.000000000000001", false},
      {"1e-290", "1e-289", "1e-290", false},
  };
  for (const auto& c : cases) {
    const GridResult grid = grid_by_step(decimal(c.from), decimal(c.to), decimal(c.step), 200'000);
    ASSERT_EQ(grid.error, "") << c.from;
    ASSERT_EQ(grid.decimals.has_value(), c.decimals) << c.from;
    if (!grid.decimals) continue;
    const std::vector<double> y(grid.x.size(), 0.5);
    const SpectrumFormat& tsv = *find_spectrum_format("tsv");
    std::string plain(grid.x.size() * kPointRoom, '\0'), fast = plain;
    plain.resize(static_cast<std::size_t>(tsv.points({grid.x, y}, plain.data()) - plain.data()));
    fast.resize(static_cast<std::size_t>(tsv.points({grid.x, y, 0, &*grid.decimals}, fast.data()) -
                                         fast.data()));
    // Line for line the same doubles, with the same digits; the decimals
    // in plain notation from 1e-05 up.
    std::istringstream fast_lines(fast), plain_lines(plain);
    std::string fast_line, plain_line;
    std::size_t count = 0;
    while (std::getline(plain_lines, plain_line)) {
      ASSERT_TRUE(std::getline(fast_lines, fast_line)) << c.from;
      const std::string fast_x = fast_line.substr(0, fast_line.find('\t'));
      const std::string plain_x = plain_line.substr(0, plain_line.find('\t'));
      const double x = std::strtod(plain_x.c_str(), nullptr);
      ASSERT_EQ(std::strtod(fast_x.c_str(), nullptr), x) << fast_x << " vs " << plain_x;
      ASSERT_EQ(fast_line.substr(fast_x.size()), plain_line.substr(plain_x.size()));
      ASSERT_EQ(decimal(fast_x), decimal(plain_x)) << fast_x << " vs " << plain_x;
      if (x == 0 || std::fabs(x) >= 1e-5) {
        ASSERT_EQ(fast_x.find('e'), std::string::npos) << fast_x;
      } else {
        ASSERT_EQ(fast_x, plain_x);
      }
      ++count;
    }
    EXPECT_EQ(count, grid.x.size());
    EXPECT_FALSE(std::getline(fast_lines, fast_line));
  }
}

// Points that do not fit in memory are no fault of the options: the
// refusal says so, and how much was asked for.
TEST(GridByStep, PointsBeyondTheMemoryAreRefusedSayingHowMuch) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the address sanitizer ends the process on a request beyond its limit";
#endif
  const GridResult grid = grid_by_step(decimal("0"), decimal("1e17"), decimal("1"), SIZE_MAX);
  EXPECT_TRUE(grid.out_of_memory);
  EXPECT_EQ(grid.error,
            "not enough memory for a grid of 100000000000000001 points (762939453125.0 MiB for "
            "its abscissae)");
  const GridResult points = grid_by_points(0, 1, std::int64_t{1} << 60, SIZE_MAX);
  EXPECT_TRUE(points.out_of_memory);
  EXPECT_FALSE(grid_by_step(decimal("1"), decimal("0"), decimal("1")).out_of_memory);
  EXPECT_EQ(memory_needed(1000), "1000 bytes");
  EXPECT_EQ(memory_needed(800'000'000), "762.9 MiB");
}

TEST(GridByPoints, EndsExactlyAtTheLastBoundAndRefusesTheRest) {
  const GridResult grid = grid_by_points(0.1, 0.7, 7);
  ASSERT_EQ(grid.x.size(), 7u);
  EXPECT_EQ(grid.x.front(), 0.1);
  EXPECT_EQ(grid.x[3], 0.1 + (0.6 * 3) / 6);
  EXPECT_EQ(grid.x.back(), 0.7);

  EXPECT_NE(grid_by_points(0, 1, 1).error, "");
  EXPECT_NE(grid_by_points(1, 1, 2).error, "");
  EXPECT_NE(grid_by_points(0, 1, 100'000'001).error, "");
  EXPECT_NE(grid_by_points(-1e308, 1e308, 3).error, "");
  EXPECT_NE(grid_by_points(1.0, 1.0000000000000002, 3).error, "");
}

// The grid a checked command line asks for, by each kind of grid option.
TEST(GridFor, BuildsTheGridTheOptionsName) {
  struct Case {
    std::vector<const char*> options;
    std::size_t size;
    double first, third, last;
    std::string error;
  };
  const Case cases[] = {
      {{}, 20000, 0.1, 0.3, 2000.0, ""},
      {{"--from", "0", "--to", "1", "--points", "3"}, 3, 0.0, 1.0, 1.0, ""},
      {{"--step", "0.5"}, 4000, 0.1, 1.1, 1999.6, ""},
      {{"--from", "1", "--to", "1", "--step", "1"}, 0, 0, 0, 0, "--from must be below --to"},
      {{"--from", "1e-30", "--to", "1e30"},
       0,
       0,
       0,
       0,
       "--from, --to and --step are too far apart in scale to be added exactly (at most 36 "
       "digits from the largest to the smallest)"},
  };
  for (const Case& c : cases) {
    std::vector<const char*> argv{"broaden-batch", "--fwhm", "1"};
    argv.insert(argv.end(), c.options.begin(), c.options.end());
    const Command command = parse_command_line(static_cast<int>(argv.size()), argv.data());
    ASSERT_EQ(command.action, CommandAction::run) << command.text;
    const GridResult grid = grid_for(command.options);
    EXPECT_EQ(grid.error, c.error);
    ASSERT_EQ(grid.x.size(), c.size) << c.error;
    if (c.size == 0) continue;
    EXPECT_EQ(grid.x[0], c.first);
    EXPECT_EQ(grid.x[std::min<std::size_t>(2, c.size - 1)], c.third);
    EXPECT_EQ(grid.x.back(), c.last);
  }
}

}  // namespace
}  // namespace broaden
