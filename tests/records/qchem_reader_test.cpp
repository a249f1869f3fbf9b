// The Q-Chem reader through its row: the vibrational analysis and the
// excited states as Q-Chem 5 prints them, every named error, truncation at
// every line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "spectra_checks.h"

namespace broaden {
namespace {

using testing::read_as;

const std::string kBanner =
    "                  Welcome to Q-Chem\n"
    " Q-Chem 5.1, Q-Chem, Inc., Pleasanton, CA (2018)\n";

// Two groups (the second of one mode), IR and Raman, one imaginary mode.
const std::string kAnalysis =
    " **                       VIBRATIONAL ANALYSIS                       **\n"
    " **                  INFRARED INTENSITIES (KM/MOL)                   **\n"
    " ** RAMAN SCATTERING ACTIVITIES (A**4/AMU) AND DEPOLARIZATION RATIOS **\n"
    "\n"
    " Mode:                 1                      2\n"
    " Frequency:      -106.88                 161.77\n"
    " IR Active:          NO                     YES\n"
    " IR Intens:        0.000                  0.419\n"
    " Raman Intens:     2.048                  0.000\n"
    "               X      Y      Z        X      Y      Z\n"
    " H         -0.000 -0.000 -0.100    0.000  0.000 -0.070\n"
    " TransDip  -0.000  0.000  0.006   -0.000  0.000  0.000\n"
    "\n"
    " Mode:                 3\n"
    " Frequency:      3552.26\n"
    " IR Intens:       98.852\n"
    " Raman Intens:   123.456\n"
    "               X      Y      Z\n"
    " H          0.015  0.005 -0.000\n"
    "\n"
    " STANDARD THERMODYNAMIC QUANTITIES AT   298.15 K  AND     1.00 ATM\n"
    "\n"
    "   This Molecule has  1 Imaginary Frequencies\n"
    "   Total Enthalpy:              117.424 kcal/mol\n";

// The TDA states, then the full TDDFT ones (kept: the last table).
const std::string kTda =
    " ---------------------------------------------------\n"
    "         TDDFT/TDA Excitation Energies              \n"
    " ---------------------------------------------------\n"
    "\n"
    " Excited state   1: excitation energy (eV) =    3.6052\n"
    "    Strength   :     0.0000000000\n"
    "\n"
    " ---------------------------------------------------\n";
const std::string kFull =
    " ---------------------------------------------------\n"
    "         TDDFT Excitation Energies              \n"
    " ---------------------------------------------------\n"
    "\n"
    " Excited state   1: excitation energy (eV) =    3.5991\n"
    " Total energy for state  1:                  -382.16787224 au\n"
    "    <S**2>     :  0.7685\n"
    "    Strength   :     0.0023322337\n"
    "    D( 33) --> V(  3) amplitude =  0.2618\n"
    "\n"
    " Excited state   2: excitation energy (eV) =    6.0376\n"
    "    Strength   :     0.9407714761\n"
    "\n"
    " ---------------------------------------------------\n";

TEST(QChemReader, ReadsTheAnalysisAndTheLastTableOfStates) {
  const SpectraRead read = read_as("qchem", kBanner + kAnalysis + kTda + kFull);
  ASSERT_FALSE(read.error) << read.error->line << ": " << read.error->expected;
  const Vibrations& v = read.data.vibrations;
  EXPECT_EQ(v.frequency, (std::vector<double>{161.77, 3552.26}));
  EXPECT_EQ(v.ir_intensity, (std::vector<double>{0.419, 98.852}));
  EXPECT_EQ(v.raman_activity, (std::vector<double>{0.0, 123.456}));
  ASSERT_EQ(read.notes.size(), 1u);
  EXPECT_EQ(read.notes[0].text, "left out 1 imaginary frequency (printed negative)");
  EXPECT_EQ(read.data.excited_states.energy_ev, (std::vector<double>{3.5991, 6.0376}));
  EXPECT_EQ(read.data.excited_states.oscillator_strength,
            (std::vector<double>{0.0023322337, 0.9407714761}));
  EXPECT_FALSE(read.data.free_energy);
  EXPECT_EQ(recognise_input(kBanner + kAnalysis).name, "qchem");
  EXPECT_EQ(recognise_input(kAnalysis).name, "columns");
}

TEST(QChemReader, RefusesWhatItDoesNotKnowWhereItIsSeen) {
  const auto replaced = [](std::string text, const std::string& from, const std::string& to) {
    const std::size_t at = text.find(from);
    if (at == std::string::npos) throw std::runtime_error("no " + from);
    return text.replace(at, from.size(), to);
  };
  const std::string all = kBanner + kAnalysis + kTda + kFull;
  const struct {
    std::string text;
    ReadFault kind;
    std::size_t line, column;
    std::string expected;
  } cases[] = {
      {replaced(all, "0.419", "0.4x9"), ReadFault::not_a_number, 10, 43,
       "an IR intensity as a number, not '0.4x9'"},
      {replaced(all, "  0.419\n", "\n"), ReadFault::count_mismatch, 10, 41,
       "2 values after 'IR Intens:', one a mode of the group, not 1"},
      {replaced(all, " Mode:                 3", " Mode:                 4"), ReadFault::numbering,
       16, 24, "mode 3, not '4'"},
      {replaced(all, " Frequency:      3552.26\n", ""), ReadFault::misplaced, 19, 1,
       "a line 'Frequency:' in the group"},
      {replaced(all, " Raman Intens:   123.456\n", ""), ReadFault::count_mismatch, 19, 1,
       "the same intensities in every group of modes, as in the first"},
      {replaced(all, "(KM/MOL)", "(KJ/MOL)"), ReadFault::layout, 10, 1,
       "an intensity in a unit the banner names (KM/MOL, A**4/AMU), not 'IR Intens' without it"},
      {replaced(all, "has  1 Imaginary", "has  2 Imaginary"), ReadFault::count_mismatch, 25, 23,
       "1 imaginary frequencies, as the analysis at line 3 prints them, not '2'"},
      {replaced(all, "state   2: excitation", "state   3: excitation"), ReadFault::numbering, 45,
       18, "state 2, not '3'"},
      {replaced(all, "    Strength   :     0.9407714761\n", ""), ReadFault::misplaced, 47, 1,
       "a line 'Strength' in the state before"},
      {replaced(all, "(eV) =    6.0376", "(au) =    6.0376"), ReadFault::layout, 45, 39,
       "'Excited state N: excitation energy (eV) = E'"},
  };
  for (const auto& c : cases) {
    const SpectraRead read = read_as("qchem", c.text);
    ASSERT_TRUE(read.error) << c.expected;
    EXPECT_EQ(testing::shown(*read.error),
              testing::shown(read_error(c.kind, c.line, c.column, c.expected)));
    testing::expect_placed(c.text, *read.error, c.expected);
  }
  testing::expect_truncations_safe("qchem", kBanner + kAnalysis + kFull);
}

}  // namespace
}  // namespace broaden
