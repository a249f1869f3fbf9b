// What a run must never do: lose an output to another of its own, write a
// NaN, or blame the wrong cause.
#include <sys/stat.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "batch/spectrum_kinds.h"
#include "support/batch_harness.h"
#include "support/excerpts.h"

namespace broaden {
namespace {

using testing::BatchTest;
using testing::excerpt;
using testing::points_of;

// Two names for one file, reached through an absolute path or a link to
// the folder: refused before any work, with or without --force, and
// nothing is written.
TEST_F(BatchTest, TwoOutputsThatAreOneFileAreRefusedBeforeAnyWork) {
  folder.write("l.txt", "1000 1\n");
  std::filesystem::create_directory_symlink(".", folder / "here");
  const std::string abs = folder.path().string();
  const struct {
    std::vector<std::string> outputs;
    std::string refusal;
  } cases[] = {
      {{"-o", "s.tsv", "--sticks", abs + "/s.tsv"}, "--sticks and -o name the same file"},
      {{"-o", "s.tsv", "--sticks", "here/s.tsv"}, "--sticks and -o name the same file"},
      {{"--plot", abs + "/s.svg", "-o", "s.svg"},
       "--plot and -o name the same file '" + abs + "/s.svg'"},
      {{"--plot", "s.svg", "--sticks", "here/s.svg"}, "--sticks and --plot name the same file"},
  };
  for (const auto& c : cases) {
    for (const bool force : {false, true}) {
      std::vector<std::string> arguments{"--fwhm", "10", "l.txt"};
      arguments.insert(arguments.end(), c.outputs.begin(), c.outputs.end());
      if (force) arguments.push_back("--force");
      EXPECT_EQ(run(arguments), 2) << c.refusal;
      EXPECT_EQ(err.str(),
                "broaden-batch: " + c.refusal + "\nTry 'broaden-batch --help' for the options.\n");
      EXPECT_EQ(folder.names(), (std::vector<std::string>{"here", "l.txt"}));
    }
  }
  // Two names that are two files through the link are written both.
  ASSERT_EQ(run({"--fwhm", "10", "l.txt", "-o", "s.tsv", "--sticks", "here/t.tsv"}), 0)
      << err.str();
  EXPECT_EQ(folder.names(), (std::vector<std::string>{"here", "l.txt", "s.tsv", "t.tsv"}));
}

// A weight or a conversion that takes an intensity beyond the largest
// double: the spectrum is what it would be with no limit on the exponent,
// finite where the true value is, infinite (with a warning) only where the
// true value exceeds the largest double, never NaN.
TEST_F(BatchTest, IntensitiesBeyondTheDoublesGiveNoNaN) {
  folder.write("big.txt", "1000 1e308\n1200 2\n");
  const std::vector<std::string> grid{"--from", "800", "--to", "1400", "--step", "0.5"};
  const auto spectrum = [&](std::vector<std::string> more) {
    std::vector<std::string> arguments{"--fwhm", "10", "big.txt"};
    arguments.insert(arguments.end(), grid.begin(), grid.end());
    arguments.insert(arguments.end(), more.begin(), more.end());
    EXPECT_EQ(run(arguments), 0) << err.str();
    EXPECT_EQ(out.str().find("nan"), std::string::npos);
    return points_of(out.str());
  };
  const testing::Points plain = spectrum({});
  // Times 10: each value ten times the plain one (beyond 1e308 only where
  // the curve's true value is), within a rounding or two.
  const testing::Points tenfold = spectrum({"--weights", "10"});
  ASSERT_EQ(tenfold.y.size(), plain.y.size());
  bool beyond = false;
  for (std::size_t i = 0; i < plain.y.size(); ++i) {
    const double expected = 10.0 * plain.y[i];
    beyond = beyond || std::isinf(expected);
    if (std::isinf(expected)) {
      EXPECT_TRUE(std::isinf(tenfold.y[i])) << tenfold.x[i];
    } else {
      // (Subnormal tails are rounded to their last bits in both.)
      EXPECT_NEAR(tenfold.y[i], expected, 4e-16 * expected + 1e-290) << tenfold.x[i];
    }
  }
  EXPECT_FALSE(beyond);  // the peak, 0.094 times 1e309, is a double
  EXPECT_EQ(err.str(), "");
  // A peak of 1.7e308 times 10 is beyond the doubles: said.
  folder.write("big.txt", "1000 1.7e308\n");
  spectrum({"--weights", "10", "--normalise", "height"});
  EXPECT_NE(err.str().find("broaden-batch: warning: "), std::string::npos);
  EXPECT_NE(err.str().find(" exceed the largest double (1.7976931348623157e308): written as inf\n"),
            std::string::npos)
      << err.str();
}

// --units epsilon on IR intensities near the largest double: 43.4 times
// each, no NaN, each point kIrEpsilonPerKmPerMol times the native one.
TEST_F(BatchTest, AnEpsilonBeyondTheDoublesGivesNoNaN) {
  std::string text = excerpt("gaussian-one-mode.log");
  const std::size_t at = text.find("10.0000");
  ASSERT_NE(at, std::string::npos);
  folder.write("huge.log", text.replace(at, 7, "1.0e306"));
  const std::vector<std::string> common{"--fwhm", "40",   "huge.log", "--from", "900",
                                        "--to",   "1100", "--step",   "1"};
  ASSERT_EQ(run(common), 0) << err.str();
  const testing::Points native = points_of(out.str());
  std::vector<std::string> epsilon = common;
  epsilon.insert(epsilon.end(), {"--units", "epsilon"});
  ASSERT_EQ(run(epsilon), 0) << err.str();
  const testing::Points converted = points_of(out.str());
  ASSERT_EQ(converted.y.size(), native.y.size());
  for (std::size_t i = 0; i < native.y.size(); ++i) {
    const double expected = native.y[i] * kIrEpsilonPerKmPerMol;
    ASSERT_FALSE(std::isnan(converted.y[i]));
    if (std::isfinite(expected)) {
      EXPECT_NEAR(converted.y[i], expected, 4e-16 * expected);
    }
  }
}

// Each refusal names its cause.
TEST_F(BatchTest, RefusalsNameTheirCause) {
  folder.write("raman.log", excerpt("gaussian-raman.log"));
  ASSERT_EQ(::mkfifo((folder / "fifo").c_str(), 0600), 0);
  folder.write("l.txt", "1000 1\n");
  const struct {
    std::vector<std::string> arguments;
    int status;
    std::string said;
  } cases[] = {
      {{"raman.log", "--spectrum", "raman", "--units", "epsilon", "--laser", "532nm", "--shift",
        "-1000"},
       1,
       "a line of 'raman.log' lies at -500 cm-1 once scaled and shifted: a Raman cross-section "
       "needs a wavenumber above zero"},
      {{"raman.log", "--spectrum", "raman", "--units", "epsilon", "--laser", "1000cm-1"},
       1,
       "a line of 'raman.log' at 1500 cm-1 lies at or beyond the laser's wavenumber"},
      {{"l.txt", "-o", "s.tsv", "--sticks", "fifo"},
       1,
       "cannot replace 'fifo': not a regular file (give --sticks - and send standard output to "
       "it)"},
      {{"l.txt", "-o", "fifo"},
       1,
       "cannot replace 'fifo': not a regular file (send standard output to it instead of -o)"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> arguments{"--fwhm", "10"};
    arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
    EXPECT_EQ(run(arguments), c.status) << c.said;
    EXPECT_EQ(err.str(), "broaden-batch: " + c.said + "\n");
  }
  // A laser far beyond the lines: cross-sections beyond the doubles are
  // infinite, and said; no NaN.
  ASSERT_EQ(run({"--fwhm", "10", "raman.log", "--spectrum", "raman", "--units", "epsilon",
                 "--laser", "1e300cm-1"}),
            0);
  EXPECT_EQ(out.str().find("nan"), std::string::npos);
  EXPECT_NE(err.str().find("points exceed the largest double"), std::string::npos) << err.str();
  // Far enough for (nu0 - nu)^4 to overflow, but not the cross-section:
  // finite, as with no limit on the exponent.
  ASSERT_EQ(run({"--fwhm", "10", "raman.log", "--spectrum", "raman", "--units", "epsilon",
                 "--laser", "1e80cm-1"}),
            0)
      << err.str();
  for (const double y : points_of(out.str()).y) EXPECT_TRUE(std::isfinite(y));
}

}  // namespace
}  // namespace broaden
