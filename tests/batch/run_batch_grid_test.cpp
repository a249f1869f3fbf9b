// broaden-batch's grid and what it says on standard error, in-process: the
// warnings and notes and --quiet, the grid spanning a line list away from
// wavenumbers, a grid too coarse for the narrowest line, threads changing
// nothing, the progress shown on a terminal.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "support/batch_harness.h"

namespace broaden {
namespace {

using RunBatchTest = testing::BatchTest;

TEST_F(RunBatchTest, WarningsAgreeInNumberAndNotesNameTheLine) {
  const std::vector<std::string> grid{"--fwhm", "20", "--from", "0", "--to", "10", "--points", "3"};
  const struct {
    std::string lines, err;
  } cases[] = {
      {"5 1\n20 1\n",
       "broaden-batch: warning: 1 of 2 lines lies outside the grid (0 to 10); only its tail "
       "reaches it\n"},
      {"20 1\n30 1\n5 1\n",
       "broaden-batch: warning: 2 of 3 lines lie outside the grid (0 to 10); only their tails "
       "reach it\n"},
      {"20 1\n",
       "broaden-batch: warning: 1 of 1 line lies outside the grid (0 to 10); only its tail "
       "reaches it\n"},
      {"freq,int\r\n5 1\r\n",
       "broaden-batch: note: standard input:1: skipped the header row 'freq,int'\n"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(run(grid, c.lines), 0);
    EXPECT_EQ(err.str(), c.err);
    // --quiet silences them, and changes nothing else.
    const std::string spoken = out.str();
    std::vector<std::string> quiet = grid;
    quiet.push_back("--quiet");
    EXPECT_EQ(run(quiet, c.lines), 0);
    EXPECT_EQ(err.str(), "");
    EXPECT_EQ(out.str(), spoken);
  }
  // Failures are never silenced.
  EXPECT_EQ(run({"--fwhm", "1", "--quiet", "absent.txt"}), 1);
  EXPECT_NE(err.str().find("cannot open 'absent.txt'"), std::string::npos);
  EXPECT_EQ(run({"--fwhm", "1", "--quiet", "--step", "0"}), 2);
  EXPECT_NE(err.str().find("--step must be positive"), std::string::npos);
}

// A line list in eV, or drawn in nm, gets the grid that spans its lines, as
// an output does: the classic 0.1 to 2000 is a wavenumber range.
TEST_F(RunBatchTest, ALineListAwayFromWavenumbersGetsAGridSpanningItsLines) {
  for (const auto& [arguments, header] : {
           std::pair{std::vector<std::string>{"--fwhm", "0.1", "--line-unit", "ev"},
                     "from=2.5 to=5 step=0.005 "},
           {std::vector<std::string>{"--fwhm", "0.1", "--line-unit", "ev", "--axis", "nm"},
            "from=247.5 to=496 step=0.5 "},
           {std::vector<std::string>{"--fwhm", "1"}, "from=0.1 to=2000 step=0.1 "},
       }) {
    ASSERT_EQ(run(arguments, "4 1\n3.5 2\n"), 0) << err.str();
    EXPECT_NE(out.str().substr(0, out.str().find('\n')).find(header), std::string::npos)
        << out.str().substr(0, 200);
    EXPECT_EQ(err.str().find("coarse"), std::string::npos) << err.str();
  }
}

// A step above a quarter of the narrowest full width is told, with the step
// that would do; the spectrum is written all the same.
TEST_F(RunBatchTest, AGridTooCoarseForTheNarrowestLineIsTold) {
  const std::string told = "the grid is too coarse for the width";
  const struct {
    std::vector<std::string> arguments;
    std::string lines;
    std::string message;  ///< empty: no warning
  } cases[] = {
      {{"--fwhm", "4", "--from", "900", "--to", "1100", "--step", "1"}, "1000 1\n", ""},
      {{"--fwhm", "3.9", "--from", "900", "--to", "1100", "--step", "1"},
       "1000 1\n",
       "broaden-batch: warning: the grid is too coarse for the width: its step, 1 cm-1, is more "
       "than a quarter of the narrowest full width at half maximum, 3.9 cm-1 (a step of 0.975 or "
       "less draws the peaks)\n"},
      // Per-line widths: the narrowest line counts, in the shape's own measure.
      {{"--shape", "lorentzian", "--columns", "1,2,3", "--from", "900", "--to", "1200", "--step",
        "1"},
       "1000 1 8\n1100 1 2\n",
       "narrowest full width at half maximum, 2 cm-1"},
      {{"--columns", "1,2,3", "--from", "900", "--to", "1200", "--step", "1"},
       "1000 1 8\n1100 1 4\n",
       ""},
      // On a wavelength axis the width is measured where the line stands: 0.1 eV at 4 eV
      // is 7.75 nm wide.
      {{"--fwhm", "0.1", "--line-unit", "ev", "--axis", "nm", "--from", "200", "--to", "400",
        "--step", "2.5"},
       "4 1\n",
       "narrowest full width at half maximum, 7.75 nm"},
      {{"--fwhm", "0.1", "--line-unit", "ev", "--axis", "nm", "--from", "200", "--to", "400",
        "--step", "1.9"},
       "4 1\n",
       ""},
  };
  for (const auto& c : cases) {
    ASSERT_EQ(run(c.arguments, c.lines), 0) << err.str();
    EXPECT_FALSE(out.str().empty());
    if (c.message.empty())
      EXPECT_EQ(err.str().find(told), std::string::npos) << err.str();
    else
      EXPECT_NE(err.str().find(c.message), std::string::npos) << err.str();
    std::vector<std::string> quiet = c.arguments;
    quiet.push_back("--quiet");
    ASSERT_EQ(run(quiet, c.lines), 0);
    EXPECT_EQ(err.str(), "");
  }
}

// The number of threads changes nothing in what is written, for every shape
// and the classic preset.
TEST_F(RunBatchTest, ThreadsChangeNothingWritten) {
  std::string lines;
  for (int i = 0; i < 300; ++i)
    lines += std::to_string(100 + 6.37 * i) + " " + std::to_string(1 + i % 7) + "\n";
  const std::vector<std::vector<std::string>> runs{
      {"--fwhm", "3"},
      {"--shape", "lorentzian", "--fwhm", "3", "--step", "0.05"},
      {"--shape", "pseudo-voigt", "--fwhm", "3", "--eta", "0.3"},
      {"--shape", "voigt", "--gaussian-fwhm", "2", "--lorentzian-fwhm", "1", "--step", "1"},
  };
  for (const auto& options : runs) {
    ASSERT_EQ(run(options, lines), 0) << err.str();
    const std::string whole = out.str();
    for (const char* threads : {"1", "2", "7"}) {
      std::vector<std::string> with = options;
      with.insert(with.end(), {"--threads", threads});
      ASSERT_EQ(run(with, lines), 0) << err.str();
      EXPECT_TRUE(out.str() == whole) << options[1] << " on " << threads << " threads";
    }
  }
  std::string records;
  for (int i = 0; i < 300; ++i) records += "  " + std::to_string(100 + 6.37 * i) + "   5.0\n";
  ASSERT_EQ(run({"--classic", "--sigma", "2"}, records), 0) << err.str();
  const std::string classic = out.str();
  ASSERT_EQ(run({"--classic", "--sigma", "2", "--threads", "1"}, records), 0) << err.str();
  EXPECT_TRUE(out.str() == classic);
}

// On a terminal a long run shows its progress on standard error and blanks
// it out; never with --quiet, never when standard error is not a terminal,
// and the output is the same.
TEST_F(RunBatchTest, ProgressOnlyOnATerminalAndNotWithQuiet) {
  const std::vector<std::string> options{"--shape", "lorentzian", "--fwhm",
                                         "2",       "--points",   "200000"};
  const std::string lines = "1000 1\n500 2\n";
  const auto run_on_terminal = [&](const std::vector<std::string>& arguments, bool terminal) {
    return run(
        arguments, lines,
        {.terminal = {.progress = terminal,
                      .timing = {std::chrono::milliseconds(0), std::chrono::milliseconds(1)}}});
  };
  ASSERT_EQ(run_on_terminal(options, false), 0);
  EXPECT_EQ(err.str(), "");
  const std::string spectrum = out.str();

  ASSERT_EQ(run_on_terminal(options, true), 0);
  EXPECT_TRUE(out.str() == spectrum);
  const std::string shown = err.str();
  // The line may have come too late to be shown at all; if shown, it is blanked.
  if (!shown.empty()) {
    EXPECT_EQ(shown.rfind("\rbroaden-batch: ", 0), 0u) << shown;
    EXPECT_EQ(shown.back(), '\r');
    EXPECT_EQ(shown.find('\n'), std::string::npos);
  }
  std::vector<std::string> quiet = options;
  quiet.push_back("--quiet");
  ASSERT_EQ(run_on_terminal(quiet, true), 0);
  EXPECT_EQ(err.str(), "");
}

}  // namespace
}  // namespace broaden
