// broaden-batch's inputs, in-process: several files summed by their
// weights or by their free energies, an empty line list, decimal commas.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "support/batch_harness.h"
#include "support/excerpts.h"

namespace broaden {
namespace {

namespace fs = std::filesystem;
using RunBatchTest = testing::BatchTest;
using testing::rows_of;

TEST_F(RunBatchTest, AnEmptyLineListWithAWidthColumnGivesTheZeroSpectrum) {
  // The widths come from a column no line fills: nothing to refuse.
  folder.write("empty.txt", "# no lines\n");
  const std::vector<std::vector<std::string>> shapes = {{"--shape", "pseudo-voigt", "--eta", "0.4"},
                                                        {"--shape", "gaussian"},
                                                        {"--shape", "lorentzian"}};
  for (std::vector<std::string> options : shapes) {
    options.insert(options.end(), {"--columns", "2,1,3", "--from", "1", "--to", "3", "--step", "1",
                                   "empty.txt", "-o", "out.tsv"});
    ASSERT_EQ(run(options), 0) << err.str();
    // Written, and told: a wrong or empty file gives a flat spectrum.
    EXPECT_EQ(err.str(),
              "broaden-batch: warning: 'empty.txt' holds no lines: it adds nothing to the "
              "spectrum\n");
    const std::string written = folder.read("out.tsv");
    EXPECT_EQ(rows_of(written), "1\t0\n2\t0\n3\t0\n") << options[1];
    EXPECT_EQ(folder.names(), (std::vector<std::string>{"empty.txt", "out.tsv"}));
    fs::remove(folder / "out.tsv");
  }
}

TEST_F(RunBatchTest, SeveralFilesAreSummedEachByItsWeight) {
  folder.write("a.txt", "1000 2\n1100 0.5\n");
  folder.write("b.txt", "1200 3\n");
  folder.write("w.txt", "1000 2 4\n");
  // Weights that scale exactly: the sum is the one list of the scaled lines, bit for bit.
  folder.write("ab.txt", "1000 1\n1100 0.25\n1200 6\n");
  const std::vector<std::string> grid{"--shape", "lorentzian", "--fwhm", "8",      "--from",
                                      "900",     "--to",       "1300",   "--step", "0.5"};
  const auto with = [&](std::vector<std::string> more) {
    std::vector<std::string> arguments = grid;
    arguments.insert(arguments.end(), more.begin(), more.end());
    return arguments;
  };
  ASSERT_EQ(run(with({"ab.txt"})), 0) << err.str();
  const std::string one_list = out.str();
  ASSERT_EQ(run(with({"--weights", "0.5,2", "a.txt", "b.txt"})), 0) << err.str();
  EXPECT_EQ(rows_of(out.str()), rows_of(one_list));
  EXPECT_NE(out.str().find(" input='a.txt' weight=0.5 input='b.txt' weight=2 lines=3\n"),
            std::string::npos)
      << out.str().substr(0, 300);
  // Without weights each counts once; standard input is one of the files.
  ASSERT_EQ(run(with({"a.txt", "-"}), "1200 3\n"), 0) << err.str();
  EXPECT_NE(out.str().find(" input='a.txt' weight=1 input=- weight=1 lines=3\n"), std::string::npos)
      << out.str().substr(0, 300);
  ASSERT_EQ(run(with({"--weights", " 0.5 , 2", "a.txt", "b.txt"})), 0) << err.str();
  EXPECT_EQ(rows_of(out.str()), rows_of(one_list));

  const struct {
    std::vector<std::string> files;
    std::string message;
  } refusals[] = {
      {{"--columns", "1,2,3", "w.txt", "a.txt"}, "a.txt:1:7: expected"},
      {{"--boltzmann", "298.15", "a.txt", "b.txt"},
       "--boltzmann weights the files by their free energies, and 'a.txt' holds none"},
      {{"a.txt", "absent.txt"}, "cannot open 'absent.txt'"},
  };
  for (const auto& c : refusals) {
    std::vector<std::string> arguments = with(c.files);
    arguments.insert(arguments.end(), {"-o", "never.tsv"});
    EXPECT_EQ(run(arguments), 1) << c.message;
    EXPECT_NE(err.str().find(c.message), std::string::npos) << err.str();
    EXPECT_FALSE(fs::exists(folder / "never.tsv")) << c.message;
  }
}

TEST_F(RunBatchTest, BoltzmannWeightsFollowTheFreeEnergies) {
  const std::string analysis = testing::excerpt("gaussian-one-mode.log");
  // RT ln 10 at 298.15 K, with R = 8.314462618 J mol-1 K-1 and 1 hartree = 2625.4996394799 kJ
  // mol-1 (CODATA 2018): the conformer that much higher weighs a tenth of the other.
  const double decade = 8.314462618e-3 * 298.15 * std::log(10.0) / 2625.4996394799;
  char energy[64];
  std::snprintf(energy, sizeof energy, "%.9f", -382.0 + decade);
  folder.write("low.log",
               analysis + " Sum of electronic and thermal Free Energies=  -382.000000\n");
  folder.write("high.log",
               analysis + " Sum of electronic and thermal Free Energies=  " + energy + "\n");
  folder.write("none.log", analysis);
  ASSERT_EQ(run({"--fwhm", "10", "--quiet", "--boltzmann", "298.15", "--sticks", "-", "-o",
                 "ir.tsv", "low.log", "high.log"}),
            0)
      << err.str();
  std::istringstream sticks(out.str());
  std::string comment;
  std::getline(sticks, comment);
  EXPECT_NE(comment.find(" boltzmann=298.15"), std::string::npos) << comment;
  EXPECT_NE(comment.find(" input='low.log' free_energy=-382 weight="), std::string::npos)
      << comment;
  double position[2], intensity[2];
  for (int k = 0; k < 2; ++k) sticks >> position[k] >> intensity[k];
  ASSERT_TRUE(sticks) << out.str();
  EXPECT_EQ(position[0], 1000.0);
  EXPECT_NEAR(intensity[0] / intensity[1], 10.0, 1e-5);
  EXPECT_NEAR((intensity[0] + intensity[1]) / 10.0, 1.0, 1e-15);  // weights add up to 1

  // Twice the same energy: half each, whichever the order.
  ASSERT_EQ(run({"--fwhm", "10", "--boltzmann", "500", "--sticks", "-", "-o", "twice.tsv",
                 "low.log", "low.log"}),
            0)
      << err.str();
  EXPECT_NE(out.str().find("\n1000\t5\n1000\t5\n"), std::string::npos) << out.str();
  EXPECT_NE(err.str().find("warning: 'low.log' is given more than once: its lines count each "
                           "time\n"),
            std::string::npos)
      << err.str();
  // Another molecule's energy, hundreds of hartree away, weighs nothing: said.
  folder.write("other.log", analysis + " Sum of electronic and thermal Free Energies=  -158.0\n");
  ASSERT_EQ(
      run({"--fwhm", "10", "--boltzmann", "298.15", "-o", "mixed.tsv", "low.log", "other.log"}), 0)
      << err.str();
  EXPECT_NE(err.str().find("warning: 'other.log' weighs nothing at 298.15 K: its free energy lies "
                           "224 hartree above the lowest"),
            std::string::npos)
      << err.str();

  ASSERT_EQ(run({"--fwhm", "10", "--boltzmann", "298.15", "low.log", "none.log"}), 1);
  EXPECT_NE(err.str().find("and 'none.log' holds none"), std::string::npos) << err.str();
  folder.write("lines.txt", "1000 1\n");
  ASSERT_EQ(run({"--fwhm", "10", "low.log", "lines.txt"}), 1);
  EXPECT_NE(err.str().find("'lines.txt' is a line list, and 'low.log' gives --spectrum ir: the "
                           "files summed must give one kind"),
            std::string::npos)
      << err.str();
}

// Two line lists weighed by a table's energies: the weights are exp(-dE / RT)
// (R = k N_A = 8.31446261815324 J mol-1 K-1, exact) over their sum, told on
// standard error and in the header; the table read from standard input
// too; outputs' own free energies give way to it, with a note.
TEST_F(RunBatchTest, AnEnergyTableWeighsTheInputs) {
  folder.write("a.txt", "1000 1\n");
  folder.write("b.txt", "1200 1\n");
  const std::string table = "# conformers\nfile\tenergy(kJ/mol)\nb.txt\t-8\na.txt\t-10.5\n";
  folder.write("e.tsv", table);
  const std::vector<std::string> options{"--fwhm", "10", "--boltzmann", "300",    "--sticks",
                                         "-",      "-o", "s.tsv",       "--force"};
  const auto with = [&](std::vector<std::string> more) {
    more.insert(more.begin(), options.begin(), options.end());
    return more;
  };
  const double ratio = std::exp(-2500.0 / (8.31446261815324 * 300.0));
  for (const auto& [energies, shown] : {std::pair{"e.tsv", "'e.tsv'"}, {"-", "standard input"}}) {
    ASSERT_EQ(run(with({"--energies", energies, "a.txt", "b.txt"}), table), 0) << err.str();
    std::istringstream sticks(out.str());
    std::string comment;
    std::getline(sticks, comment);
    double position[2], weight[2];
    for (int k = 0; k < 2; ++k) sticks >> position[k] >> weight[k];
    ASSERT_TRUE(sticks) << out.str();
    EXPECT_NEAR(weight[0], 1.0 / (1.0 + ratio), 1e-14);
    EXPECT_NEAR(weight[1], ratio / (1.0 + ratio), 1e-14);
    EXPECT_NE(
        comment.find(" boltzmann=300 energies=" + std::string(*energies == '-' ? "-" : shown) +
                     " input='a.txt' energy=-10.5kJ/mol weight=0.7315045799771136 "
                     "relative_energy=0kJ/mol input='b.txt' energy=-8kJ/mol "
                     "weight=0.2684954200228864 relative_energy=2.5kJ/mol lines=2 "),
        std::string::npos)
        << comment;
    EXPECT_EQ(err.str(),
              "broaden-batch: note: Boltzmann populations at 300 K, by the energies of " +
                  std::string(shown) +
                  " (energy above the lowest, weight):\n"
                  "broaden-batch: note:   'a.txt'  0.000 kJ/mol  0.7315\n"
                  "broaden-batch: note:   'b.txt'  2.500 kJ/mol  0.2685\n");
  }
  // An output's free energy gives way to the table, said once; by its own, in kcal/mol.
  const std::string analysis = testing::excerpt("gaussian-one-mode.log");
  folder.write("low.log", analysis + " Sum of electronic and thermal Free Energies=  -382.0\n");
  folder.write("high.log", analysis + " Sum of electronic and thermal Free Energies=  -381.999\n");
  folder.write("e.txt", "# eV\nlow.log 1\nhigh.log 0\n");
  ASSERT_EQ(run(with({"--energies", "e.txt", "low.log", "high.log"})), 0) << err.str();
  EXPECT_NE(err.str().find("note: the energies of 'e.txt' weigh the inputs: the free energies 2 of "
                           "them hold are not used\nbroaden-batch: note: Boltzmann populations "
                           "at 300 K, by the energies of 'e.txt' (energy above the lowest, "
                           "weight):\nbroaden-batch: note:   'low.log'   1.00000 eV  0.0000\n"),
            std::string::npos)
      << err.str();
  ASSERT_EQ(run(with({"low.log", "high.log"})), 0) << err.str();
  EXPECT_NE(err.str().find("by the outputs' free energies (energy above the lowest, weight):\n"
                           "broaden-batch: note:   'low.log'   0.000 kcal/mol  0.7413\n"
                           "broaden-batch: note:   'high.log'  0.628 kcal/mol  0.2587\n"),
            std::string::npos)
      << err.str();
  // A table that does not fit ends the run before the inputs are read.
  folder.write("e.txt", "# eV\nlow.log 1\n");
  fs::remove(folder / "s.tsv");
  ASSERT_EQ(run(with({"--energies", "e.txt", "low.log", "absent.log"})), 1);
  EXPECT_EQ(err.str(),
            "broaden-batch: e.txt gives no energy for 'absent.log': give each input a row\n");
  EXPECT_FALSE(fs::exists(folder / "s.tsv"));
}

// A European spreadsheet's export: told apart from three fields only when
// the user names the form; until then refused with the options to give.
TEST_F(RunBatchTest, DecimalCommasAreReadWhenNamedAndRefusedWhenAmbiguous) {
  const std::string lines = "1000,5;10\n1001,25;5\n";
  const std::vector<std::string> grid{"--fwhm", "1",      "--from", "1000",     "--to",
                                      "1002",   "--step", "0.25",   "--format", "csv"};
  EXPECT_EQ(run(grid, lines), 1);
  EXPECT_EQ(err.str().rfind("broaden-batch: standard input:1:5: expected ", 0), 0) << err.str();
  EXPECT_NE(err.str().find("--decimal-comma"), std::string::npos);
  EXPECT_EQ(out.str(), "");

  std::vector<std::string> told = grid;
  told.push_back("--decimal-comma");
  ASSERT_EQ(run(told, lines), 0) << err.str();
  const std::string comma = out.str();
  ASSERT_EQ(run(grid, "1000.5 10\n1001.25 5\n"), 0) << err.str();
  EXPECT_EQ(comma, out.str());
  told.insert(told.end(), {"--delimiter", "semicolon"});
  ASSERT_EQ(run(told, lines), 0) << err.str();
  EXPECT_EQ(comma, out.str());
}

}  // namespace
}  // namespace broaden
