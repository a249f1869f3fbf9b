// The table of energies --energies reads: its units and header, its rows
// matched to the inputs, and every refusal at its line.
#include "batch/energy_table.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "batch/input_lines.h"

namespace broaden {
namespace {

// Each table gives the inputs 1, 2 and 3, in its own order and spelling.
TEST(EnergyTable, ReadsTheUnitItsHeaderNamesAndFindsEachInput) {
  const std::vector<std::string> inputs{"run/conf1.out", "conf 2.out", "c3.log"};
  const struct {
    const char* text;
    std::string_view unit;
  } cases[] = {
      {"# CREST\n\n#  file  energy/KCAL/MOL\r\nconf1.out 1\r\nconf 2.out\t2e0\nc3.log 3\n",
       "kcal/mol"},
      {"file\tenergy(kJ/mol)\nc3.log\t3\nconf 2.out \t 2.0 \nrun/conf1.out\t.1e1\n", "kJ/mol"},
      {"name E[Eh]\nc3.log 3\nconf1.out 1\nconf 2.out\t+2\n", "hartree"},
      {"# energies in a.u.\n# (CENSO)\nrun/conf1.out 1\nc3.log 3\nconf 2.out\t2\n", "hartree"},
      {"#au\nrun/conf1.out 1\nc3.log 3\nconf 2.out\t2\n# eV later is a comment\n", "hartree"},
      {"file energy / eV\nrun/conf1.out 1\nc3.log 3\nconf 2.out\t2\n", "eV"},
      {"# in eV\nfile energy\nrun/conf1.out 1\nc3.log 3\nconf 2.out\t2\n", "eV"},
  };
  for (const auto& c : cases) {
    const InputEnergies read = input_energies(c.text, "e.txt", inputs);
    ASSERT_NE(read.unit, nullptr) << c.text;
    EXPECT_EQ(read.unit->symbol, c.unit) << c.text;
    EXPECT_EQ(read.energy, (std::vector<double>{1, 2, 3})) << c.text;
  }
}

TEST(EnergyTable, RefusesWhatDoesNotFitAtItsLine) {
  const std::vector<std::string> inputs{"a/x.out", "b/x.out", "y.out", "-"};
  const std::string rows = "a/x.out 1\nb/x.out 2\ny.out 3\n- 4\n";
  const struct {
    std::string text;
    const char* message;
  } cases[] = {
      {rows,
       "e.txt:1: the table names no unit of energy before its first row: give a header "
       "such as '# file energy/kcal/mol' (hartree, kcal/mol, kJ/mol or eV)"},
      {"file energy/kcal\n" + rows,
       "e.txt:1: the header row names no unit of energy: name hartree, kcal/mol, kJ/mol or eV"},
      {"file energy/cm-1\n" + rows, "e.txt:1: the header row names no unit of energy"},
      {"# kcal/mol or kJ/mol\n" + rows, "e.txt:1: the line names kcal/mol and kJ/mol"},
      {"# eV\nfile E/Eh\n" + rows, "e.txt:2: the table names eV at line 1 and hartree here"},
      {"# ev\na/x.out 1.0.0\n",
       "e.txt:2: expected the energy as a finite decimal number, not "
       "'1.0.0'"},
      {"# ev\na/x.out 1\nb/x.out 2\n\na/x.out 3\n",
       "e.txt:5: a second row for 'a/x.out', whose row is at line 2"},
      {"# ev\n" + rows + "z.out 5\n", "e.txt:6: 'z.out' is not among the inputs"},
      {"# ev\nx.out 1\n", "e.txt:2: 'x.out' is the last part of both 'a/x.out' and 'b/x.out'"},
      {"# ev\nc/y.out 1\n", "e.txt:2: 'c/y.out' is not among the inputs"},
      {"# ev\na/x.out 1\nb/x.out 2\n- 3\n",
       "e.txt gives no energy for 'y.out': give each input a "
       "row"},
  };
  for (const auto& c : cases) {
    try {
      input_energies(c.text, "e.txt", inputs);
      ADD_FAILURE() << "not refused: " << c.text;
    } catch (const BatchFailure& failure) {
      EXPECT_EQ(failure.status, 1);
      EXPECT_EQ(failure.message.substr(0, std::string(c.message).size()), c.message) << c.text;
    }
  }
  // A bare name finds its input by its last part where that is one input's alone.
  EXPECT_EQ(input_energies("# ev\ny.out 3\na/x.out 1\nb/x.out 2\n- 4\n", "-", inputs).energy,
            (std::vector<double>{1, 2, 3, 4}));
}

}  // namespace
}  // namespace broaden
