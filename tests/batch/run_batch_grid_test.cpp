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

// `arguments` followed by `more`.
std::vector<std::string> with(std::vector<std::string> arguments,
                              const std::vector<std::string>& more) {
  arguments.insert(arguments.end(), more.begin(), more.end());
  return arguments;
}

const std::vector<std::string> kOutside{"--fwhm", "20", "--from",   "0",
                                        "--to",   "10", "--points", "3"};
const std::string kCoarse = "broaden-batch: warning: the grid is too coarse for the width: ";
const std::vector<std::string> kInNm{"--fwhm", "0.1",    "--line-unit", "ev",   "--axis",
                                     "nm",     "--from", "200",         "--to", "400"};

// What a run that succeeds says on standard error, each line whole: warnings
// that agree in number, notes that name the line, a grid too coarse for the
// narrowest line (measured in the shape's own width, on a wavelength axis
// where the line stands) with the step that would do. --quiet silences them
// and changes nothing else. A line list in eV, or drawn in nm, gets the grid
// that spans its lines, as an output does (the classic 0.1 to 2000 is a
// wavenumber range). A grid so made of more than 100 000 points is warned
// of; the lines that carry no intensity are left out of its span.
const struct {
  std::vector<std::string> arguments;
  std::string lines, header, err;  ///< header: in the comment line, when not empty
} kSaid[] = {
    {kOutside, "5 1\n20 1\n", "",
     "broaden-batch: warning: 1 of 2 lines lies outside the grid (0 to 10); only its tail "
     "reaches it\n"},
    {kOutside, "20 1\n30 1\n5 1\n", "",
     "broaden-batch: warning: 2 of 3 lines lie outside the grid (0 to 10); only their tails "
     "reach it\n"},
    {kOutside, "20 1\n", "",
     "broaden-batch: warning: 1 of 1 line lies outside the grid (0 to 10); only its tail "
     "reaches it\n"},
    {kOutside, "freq,int\r\n5 1\r\n", "",
     "broaden-batch: note: standard input:1: skipped the header row 'freq,int'\n"},
    {{"--fwhm", "4", "--from", "900", "--to", "1100", "--step", "1"}, "1000 1\n", "", ""},
    {{"--fwhm", "3.9", "--from", "900", "--to", "1100", "--step", "1"},
     "1000 1\n",
     "",
     kCoarse + "its step, 1 cm-1, is more than a quarter of the narrowest full width at half "
               "maximum, 3.9 cm-1 (a step of 0.975 or less draws the peaks)\n"},
    {{"--shape", "lorentzian", "--columns", "1,2,3", "--from", "900", "--to", "1200", "--step",
      "1"},
     "1000 1 8\n1100 1 2\n",
     "",
     kCoarse + "its step, 1 cm-1, is more than a quarter of the narrowest full width at half "
               "maximum, 2 cm-1 (a step of 0.5 or less draws the peaks)\n"},
    {{"--columns", "1,2,3", "--from", "900", "--to", "1200", "--step", "1"},
     "1000 1 8\n1100 1 4\n",
     "",
     ""},
    // 0.1 eV at 4 eV is 7.75 nm wide.
    {with(kInNm, {"--step", "2.5"}), "4 1\n", "",
     kCoarse + "its step, 2.5 nm, is more than a quarter of the narrowest full width at half "
               "maximum, 7.75 nm (a step of 1.94 or less draws the peaks)\n"},
    {with(kInNm, {"--step", "1.9"}), "4 1\n", "", ""},
    {{"--fwhm", "0.1", "--line-unit", "ev"}, "4 1\n3.5 2\n", "from=2.5 to=5 step=0.005 ", ""},
    {{"--fwhm", "0.1", "--line-unit", "ev", "--axis", "nm"},
     "4 1\n3.5 2\n",
     "from=247.5 to=496 step=0.5 ",
     ""},
    {{"--fwhm", "1"}, "4 1\n3.5 2\n", "from=0.1 to=2000 step=0.1 ", ""},
    // A line of no intensity neither stretches the grid nor is warned of.
    {{"--fwhm", "0.1", "--line-unit", "ev"}, "4 1\n3.5 2\n2 0\n", "from=2.5 to=5 step=0.005 ", ""},
    // Infrared on nm: the step the narrowest band needs where wavelengths are shortest.
    {{"--fwhm", "1", "--axis", "nm"},
     "500 1\n4000 1\n",
     "from=2493.75 to=20408.2 step=0.05 ",
     "broaden-batch: warning: the grid spanning the lines has 358290 points: give --step or "
     "--points for fewer (--axis um draws wavelengths in micrometres)\n"},
    {{"--fwhm", "1", "--axis", "ev"}, "500 1\n4000 1\n", "", ""},  // fewer than 100 000
};

TEST_F(RunBatchTest, WarningsNotesAndTheGridTheyConcern) {
  for (const auto& c : kSaid) {
    ASSERT_EQ(run(c.arguments, c.lines), 0) << err.str();
    EXPECT_EQ(err.str(), c.err);
    const std::string spoken = out.str();
    ASSERT_FALSE(testing::rows_of(spoken).empty());  // the spectrum is written all the same
    EXPECT_NE(spoken.substr(0, spoken.find('\n')).find(c.header), std::string::npos)
        << spoken.substr(0, 200);
    EXPECT_EQ(run(with(c.arguments, {"--quiet"}), c.lines), 0);
    EXPECT_EQ(err.str(), "");
    EXPECT_EQ(out.str(), spoken);
  }
  // Failures are never silenced.
  EXPECT_EQ(run({"--fwhm", "1", "--quiet", "absent.txt"}), 1);
  EXPECT_NE(err.str().find("cannot open 'absent.txt'"), std::string::npos);
  EXPECT_EQ(run({"--fwhm", "1", "--quiet", "--step", "0"}), 2);
  EXPECT_NE(err.str().find("--step must be positive"), std::string::npos);
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
      ASSERT_EQ(run(with(options, {"--threads", threads}), lines), 0) << err.str();
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
