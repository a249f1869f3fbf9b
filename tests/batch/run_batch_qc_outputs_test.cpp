// broaden-batch on the outputs of quantum-chemistry programs, in-process:
// recognised by their content, what they hold drawn or refused by name,
// each --units epsilon conversion integrated against the quantity it stands
// for, the axes agreeing, the Raman factors, a real output's printed sticks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

#include "support/batch_harness.h"
#include "support/excerpts.h"

namespace broaden {
namespace {

namespace fs = std::filesystem;
using RunBatchTest = testing::BatchTest;
using testing::excerpt;
using testing::Points;
using testing::points_of;

// A Gaussian output, recognised by its content: the vibrations it holds as a
// line list, the imaginary mode left out with a warning, a grid that spans
// the lines; what it does not hold, or holds twice over, told by name.
TEST_F(RunBatchTest, AProgramsOutputIsRecognisedAndItsSpectrumDrawn) {
  folder.write("ir.log", excerpt("gaussian-ir.log"));
  folder.write("both.log", excerpt("gaussian-ir-raman.log"));
  folder.write("lines.txt", "1000.1234 10.25\n1500.5 0.01\n");

  // The same spectrum as the line list of its real modes, on the same grid.
  const std::vector<std::string> grid{"--shape", "lorentzian", "--fwhm", "10",     "--from",
                                      "900",     "--to",       "1600",   "--step", "0.5"};
  std::vector<std::string> from_output = grid;
  from_output.push_back("ir.log");
  ASSERT_EQ(run(from_output), 0) << err.str();
  EXPECT_NE(err.str().find("broaden-batch: warning: ir.log:"), std::string::npos) << err.str();
  EXPECT_NE(err.str().find("imaginary"), std::string::npos) << err.str();
  const std::string spectrum = out.str();
  EXPECT_NE(spectrum.find(" lines=2 spectrum=ir intensity=km/mol axis=cm-1\n"), std::string::npos)
      << spectrum.substr(0, 200);
  std::vector<std::string> from_lines = grid;
  from_lines.push_back("lines.txt");
  ASSERT_EQ(run(from_lines), 0) << err.str();
  EXPECT_EQ(testing::rows_of(spectrum), testing::rows_of(out.str()));

  // Without a range infrared whose lines lie inside 400 to 4000 cm-1 (10 widths either
  // side) is drawn over that range, else the grid spans the lines; step a tenth of a width.
  ASSERT_EQ(run({"--shape", "lorentzian", "--fwhm", "10", "--quiet", "ir.log"}), 0) << err.str();
  EXPECT_EQ(
      out.str().rfind("# shape=lorentzian fwhm=10 normalise=area from=400 to=4000 step=1 ", 0), 0u)
      << out.str().substr(0, 120);
  ASSERT_EQ(run({"--shape", "lorentzian", "--fwhm", "10", "--shift", "2500", "--quiet", "ir.log"}),
            0);
  EXPECT_EQ(
      out.str().rfind("# shape=lorentzian fwhm=10 normalise=area from=3400 to=4101 step=1 ", 0), 0u)
      << out.str().substr(0, 120);

  const struct {
    std::vector<std::string> arguments;
    int status;
    std::string message;
  } refusals[] = {
      {{"--fwhm", "10", "both.log"},
       1,
       "'both.log' holds IR intensities, Raman activities: give --spectrum ir or --spectrum "
       "raman"},
      {{"--fwhm", "10", "--spectrum", "raman", "ir.log"},
       1,
       "'ir.log' holds no Raman activities (it holds: IR intensities)"},
      {{"--fwhm", "10", "--spectrum", "ir", "lines.txt"}, 2, "--spectrum is for the outputs"},
      {{"--fwhm", "10", "--columns", "2,1", "ir.log"}, 2, "--columns is for a columns line list"},
      {{"--fwhm", "10", "--input", "orca", "ir.log"}, 1, "holds no spectrum (it holds: nothing)"},
      {{"--fwhm", "10", "--input", "fixed", "--spectrum", "ir", "ir.log"},
       2,
       "--spectrum is for the outputs of quantum-chemistry programs, not --input fixed"},
      {{"--fwhm", "10", "--spectrum", "uv", "ir.log"},
       1,
       "'ir.log' holds no oscillator strengths (it holds: IR intensities)"},
      // Options that would change nothing are refused, not recorded as if used.
      {{"--fwhm", "10", "--spectrum", "ir", "--units", "epsilon", "--laser", "532nm", "both.log"},
       2,
       "--laser is for --spectrum raman, and 'both.log' gives --spectrum ir"},
      {{"--fwhm", "10", "--units", "cross-section", "--laser", "532nm", "ir.log"},
       2,
       "--laser is for --spectrum raman, and 'ir.log' gives --spectrum ir"},
      {{"--fwhm", "10", "--units", "cross-section", "--laser", "532nm", "lines.txt"},
       2,
       "--units cross-section is for the outputs of quantum-chemistry programs, and 'lines.txt'"},
      {{"--fwhm", "10", "--rotatory", "length", "ir.log"},
       2,
       "--rotatory is for --spectrum ecd, and 'ir.log' gives --spectrum ir"},
      {{"--fwhm", "10", "--rotatory", "length", "lines.txt"},
       2,
       "--rotatory is for the outputs of quantum-chemistry programs, and 'lines.txt' is a line "
       "list"},
  };
  for (const auto& c : refusals) {
    EXPECT_EQ(run(c.arguments), c.status) << c.message;
    EXPECT_NE(err.str().find(c.message), std::string::npos) << err.str();
    EXPECT_EQ(out.str(), "");
  }
  ASSERT_EQ(run({"--fwhm", "10", "--spectrum", "raman", "--quiet", "both.log"}), 0) << err.str();
  EXPECT_NE(out.str().find("spectrum=raman intensity=A^4/amu"), std::string::npos);

  // A stick carries its line's area: with epsilon the curve's unit times the broadening unit.
  ASSERT_EQ(run({"--fwhm", "10", "--units", "epsilon", "--quiet", "--sticks", "-", "-o", "ir.tsv",
                 "ir.log"}),
            0)
      << err.str();
  EXPECT_NE(out.str().find(" spectrum=ir intensity=epsilon/(L/mol/cm)*cm-1 axis=cm-1 sticks\n"),
            std::string::npos)
      << out.str().substr(0, 300);
  std::ifstream curve(folder / "ir.tsv");
  std::string head;
  std::getline(curve, head);
  EXPECT_NE(head.find(" spectrum=ir intensity=epsilon/(L/mol/cm) axis=cm-1"), std::string::npos)
      << head;
}

// The trapezoid integral of y (times weight(x)) over x.
double integral(const Points& p, double (*weight)(double) = nullptr) {
  double sum = 0.0;
  for (std::size_t i = 1; i < p.x.size(); ++i) {
    const double a = weight ? weight(p.x[i - 1]) : 1.0, b = weight ? weight(p.x[i]) : 1.0;
    sum += (p.x[i] - p.x[i - 1]) * (a * p.y[i - 1] + b * p.y[i]) / 2;
  }
  return sum;
}

// Each --units epsilon conversion is the relation it states, integrated on a
// fine wide grid: epsilon over wavenumber against km/mol and against f,
// delta epsilon over wavenumber against R.
TEST_F(RunBatchTest, EpsilonIntegratesToTheQuantityItStandsFor) {
  folder.write("ir.log", excerpt("gaussian-ir.log"));  // 10.25 + 0.01 km/mol
  folder.write("td.log", excerpt("gaussian-td.log"));
  ASSERT_EQ(run({"--fwhm", "20", "--units", "epsilon", "--from", "0", "--to", "3000", "--step",
                 "0.25", "ir.log"}),
            0)
      << err.str();
  EXPECT_NEAR(integral(points_of(out.str())), 100 / std::log(10.0) * 10.26, 1e-9 * 445.6);

  // An excited-state output gives its absorption unless ecd is asked for.
  ASSERT_EQ(run({"--fwhm", "0.3", "td.log"}), 0) << err.str();
  EXPECT_NE(out.str().find(" spectrum=uv "), std::string::npos);

  // Broadened in eV, drawn on wavenumbers: the integral over wavenumber.
  const double per_epsilon = 4.3189991794e-9;  // f per L mol-1 cm-2 (SI: 4 ln10 eps0 me c^2/NA e^2)
  ASSERT_EQ(run({"--spectrum", "uv", "--fwhm", "0.3", "--units", "epsilon", "--axis", "cm-1",
                 "--from", "20000", "--to", "80000", "--step", "0.5", "td.log"}),
            0)
      << err.str();
  EXPECT_NEAR(integral(points_of(out.str())) * per_epsilon, 0.0018 + 0.588, 1e-8);

  const double per_delta_epsilon = 2.2964826941e-39;  // (esu cm)^2 per L mol-1 cm-1
  for (const char* form : {"velocity", "length"}) {
    ASSERT_EQ(
        run({"--spectrum", "ecd", "--rotatory", form, "--fwhm", "2419.66cm-1", "--units", "epsilon",
             "--axis", "cm-1", "--from", "20000", "--to", "80000", "--step", "0.5", "td.log"}),
        0)
        << err.str();
    const double r = std::string(form) == "velocity" ? -0.3874 - 32.8598 : -0.478 - 48.1793;
    EXPECT_NEAR(
        integral(points_of(out.str()), [](double nu) { return 1 / nu; }) * per_delta_epsilon,
        r * 1e-40, 1e-8 * std::fabs(r) * 1e-40)
        << form;
  }
}

// VCD: a file of IR intensities and rotational strengths gives ir unless vcd
// is asked for; vcd's sticks are the printed decimals, signed; with --units
// epsilon every point is delta epsilon as computed here, nu R / 2.2964826941e-39
// times each unit-area Gaussian, and delta epsilon over nu integrates to the sum of R.
TEST_F(RunBatchTest, VcdIsDeltaEpsilonOfThePrintedRotationalStrengths) {
  folder.write("vcd.log", excerpt("gaussian-vcd.log"));
  ASSERT_EQ(run({"--fwhm", "10", "--quiet", "vcd.log"}), 0) << err.str();
  EXPECT_NE(out.str().find(" spectrum=ir intensity=km/mol "), std::string::npos);
  ASSERT_EQ(run({"--spectrum", "vcd", "--fwhm", "10", "--quiet", "-o", "c.tsv", "--sticks", "-",
                 "vcd.log"}),
            0)
      << err.str();
  EXPECT_NE(out.str().find(" spectrum=vcd intensity=rotational strength/(1e-44 esu^2 cm^2) "
                           "axis=cm-1 sticks\n"),
            std::string::npos)
      << out.str();
  EXPECT_EQ(testing::rows_of(out.str()),
            "1085.3021\t-12.3456\n1250.7788\t7.8901\n2950.118\t-0.4321\n");

  ASSERT_EQ(run({"--spectrum", "vcd", "--units", "epsilon", "--shape", "gaussian", "--fwhm", "20",
                 "--from", "500", "--to", "3500", "--step", "0.25", "--quiet", "vcd.log"}),
            0)
      << err.str();
  const Points p = points_of(out.str());
  const double nu[] = {1085.3021, 1250.7788, 2950.118}, r[] = {-12.3456, 7.8901, -0.4321};
  const double sigma = 20 / (2 * std::sqrt(2 * std::log(2.0)));
  for (std::size_t i = 0; i < p.x.size(); ++i) {
    double expected = 0;
    for (std::size_t k = 0; k < 3; ++k)
      expected += p.x[i] * r[k] * 1e-44 / 2.2964826941e-39 *
                  std::exp(-0.5 * std::pow((p.x[i] - nu[k]) / sigma, 2)) /
                  (sigma * std::sqrt(2 * std::numbers::pi));
    ASSERT_NEAR(p.y[i], expected, 1e-9 * 0.02 + 1e-9 * std::fabs(expected)) << p.x[i];
  }
  EXPECT_NEAR(integral(p, [](double x) { return 1 / x; }) * 2.2964826941e-39,
              (-12.3456 + 7.8901 - 0.4321) * 1e-44, 1e-8 * 4.8876e-44);
}

// A file of the length form only (ORCA 4's CD table): drawn in it without
// --rotatory, as with --rotatory length; --rotatory velocity is refused.
TEST_F(RunBatchTest, AFileOfTheLengthFormOnlyIsDrawnInItWithoutRotatory) {
  std::istringstream lines(excerpt("gaussian-td.log"));
  std::string length_only;
  std::size_t number = 0;
  for (std::string line; std::getline(lines, line);)
    if (++number < 4 || number > 8) length_only += line + "\n";  // the velocity table out
  folder.write("td.log", length_only);
  const std::vector<std::string> common{"--spectrum", "ecd", "--fwhm", "0.3", "--quiet", "td.log"};
  ASSERT_EQ(run(common), 0) << err.str();
  const std::string drawn = testing::rows_of(out.str());
  std::vector<std::string> length = common;
  length.insert(length.begin(), {"--rotatory", "length"});
  ASSERT_EQ(run(length), 0) << err.str();
  EXPECT_EQ(drawn, testing::rows_of(out.str()));
  std::vector<std::string> velocity = common;
  velocity.insert(velocity.begin(), {"--rotatory", "velocity"});
  EXPECT_NE(run(velocity), 0);
  EXPECT_NE(err.str().find("holds no rotatory strengths (velocity)"), std::string::npos)
      << err.str();
}

// The same spectrum on eV, nm and cm-1 axes: at the same energies the same
// values (the nm and cm-1 points interpolated on a fine eV grid).
TEST_F(RunBatchTest, TheAxesAgreePointForPointAtTheSameEnergies) {
  folder.write("td.log", excerpt("gaussian-td.log"));
  ASSERT_EQ(run({"--spectrum", "uv", "--fwhm", "0.3", "--axis", "ev", "--from", "4", "--to", "8",
                 "--step", "0.00001", "td.log"}),
            0)
      << err.str();
  const Points ev = points_of(out.str());
  const double peak = *std::max_element(ev.y.begin(), ev.y.end());
  const auto at = [&](double energy) {
    const auto j = static_cast<std::size_t>((energy - 4) / 0.00001);
    const double t = (energy - ev.x[j]) / (ev.x[j + 1] - ev.x[j]);
    return ev.y[j] + t * (ev.y[j + 1] - ev.y[j]);
  };
  const struct {
    const char* axis;
    std::vector<std::string> grid;
    double (*energy)(double);
  } axes[] = {
      {"nm",
       {"--from", "160", "--to", "300", "--step", "0.5"},
       [](double nm) { return 1239.8419843320025 / nm; }},
      {"cm-1",
       {"--from", "33000", "--to", "64000", "--step", "10"},
       [](double nu) { return nu / 8065.543937349212; }},
  };
  for (const auto& a : axes) {
    std::vector<std::string> arguments{"--spectrum", "uv", "--fwhm", "0.3", "--axis", a.axis};
    arguments.insert(arguments.end(), a.grid.begin(), a.grid.end());
    arguments.push_back("td.log");
    ASSERT_EQ(run(arguments), 0) << err.str();
    const Points p = points_of(out.str());
    ASSERT_GT(p.x.size(), 100u);
    for (std::size_t i = 0; i < p.x.size(); ++i)
      ASSERT_NEAR(p.y[i], at(a.energy(p.x[i])), 1e-6 * peak) << a.axis << " " << p.x[i];
  }
}

// Raman cross-sections: two lines in the ratio of the formula's factors;
// --units epsilon gives them with a note, cross-section names them.
TEST_F(RunBatchTest, RamanCrossSectionsStandInTheFormulasRatio) {
  folder.write("raman.log", excerpt("gaussian-raman.log"));
  ASSERT_EQ(run({"--spectrum", "raman", "--units", "epsilon", "--laser", "532nm", "--temperature",
                 "300", "--fwhm", "10", "-o", "s.tsv", "--sticks", "-", "raman.log"}),
            0)
      << err.str();
  const Points sticks = points_of(out.str());
  ASSERT_EQ(sticks.x, (std::vector<double>{500, 1500}));
  const double laser = 1e7 / 532, c2 = 1.438776877;
  const double b1 = 1 - std::exp(-c2 * 500 / 300), b2 = 1 - std::exp(-c2 * 1500 / 300);
  const double ratio =
      std::pow((laser - 500) / (laser - 1500), 4) * (3.0 / 7.0) * (1500.0 / 500.0) * (b2 / b1);
  EXPECT_NEAR(sticks.y[0] / sticks.y[1], ratio, ratio * 1e-9);
  EXPECT_NE(folder.read("s.tsv").find("intensity=dsigma/dOmega/(cm^2/sr)"), std::string::npos);
  EXPECT_EQ(err.str(),
            "broaden-batch: note: --units epsilon gives Raman cross-sections: --units "
            "cross-section names them\n");
  const std::string epsilon = folder.read("s.tsv");
  ASSERT_EQ(
      run({"--spectrum", "raman", "--units", "cross-section", "--laser", "532nm", "--temperature",
           "300", "--fwhm", "10", "-o", "s.tsv", "--force", "--sticks", "-", "raman.log"}),
      0);
  EXPECT_EQ(points_of(out.str()).y, sticks.y);
  EXPECT_EQ(err.str(), "");
  std::string header = epsilon.substr(0, epsilon.find('\n'));
  header.replace(header.find(" units=epsilon "), 15, " units=cross-section ");
  EXPECT_EQ(folder.read("s.tsv"), header + epsilon.substr(epsilon.find('\n')));
  EXPECT_EQ(run({"--spectrum", "raman", "--units", "epsilon", "--laser", "1400cm-1", "--fwhm", "10",
                 "raman.log"}),
            1);
  EXPECT_NE(err.str().find("beyond the laser"), std::string::npos) << err.str();
}

// The real outputs beside the source tree: their sticks, on the file's own
// axis and units, are the positions and intensities as printed.
TEST_F(RunBatchTest, TheSamplesSticksAreThePrintedDecimals) {
  const std::string samples = BROADEN_QC_SAMPLES;
  if (!fs::exists(samples + "/gaussian09-dvb-ir.out")) GTEST_SKIP() << "no samples at " << samples;
  const std::string ir = samples + "/gaussian09-dvb-ir.out";
  ASSERT_EQ(run({"--fwhm", "10", "-o", "s.tsv", "--sticks", "-", "--quiet", ir}), 0) << err.str();
  const std::string sticks = out.str();
  // Every printed frequency and intensity appears as written (trailing zeros aside).
  std::ifstream file(ir);
  std::string line;
  std::vector<std::string> frequencies, intensities;
  while (std::getline(file, line)) {
    std::istringstream words(line);
    std::string word, second;
    words >> word >> second;
    std::vector<std::string>* into = word == "Frequencies" ? &frequencies
                                     : word == "IR"        ? &intensities
                                                           : nullptr;
    if (into == nullptr) continue;
    while (words >> word) {
      if (word == "---" || word == "--") continue;
      while (word.find('.') != std::string::npos && (word.back() == '0' || word.back() == '.'))
        word.pop_back();
      into->push_back(word.empty() ? "0" : word);
    }
  }
  // The file prints its analysis twice (the optimisation's and the last): the last is read.
  ASSERT_GE(frequencies.size(), 54u);
  ASSERT_EQ(frequencies.size(), intensities.size());
  frequencies.erase(frequencies.begin(), frequencies.end() - 54);
  intensities.erase(intensities.begin(), intensities.end() - 54);
  std::istringstream lines(sticks);
  std::getline(lines, line);  // the header
  for (std::size_t k = 0; k < frequencies.size(); ++k) {
    ASSERT_TRUE(std::getline(lines, line));
    EXPECT_EQ(line, frequencies[k] + "\t" + intensities[k]);
  }
}

}  // namespace
}  // namespace broaden
