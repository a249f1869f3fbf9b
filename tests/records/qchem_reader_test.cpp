// The Q-Chem reader through its row: the vibrational analysis and the
// excited states as Q-Chem 5 prints them, every named error, truncation at
// every line.
#include <gtest/gtest.h>

#include "spectra_checks.h"

namespace broaden {
namespace {

using testing::read_as;
using testing::replaced;

const std::string kBanner = "                  Welcome to Q-Chem\n";

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
    "\n"
    " Mode:                 3\n"
    " Frequency:      3552.26\n"
    " IR Intens:       98.852\n"
    " Raman Intens:   123.456\n"
    "               X      Y      Z\n"
    "\n"
    " STANDARD THERMODYNAMIC QUANTITIES AT   298.15 K  AND     1.00 ATM\n"
    "   This Molecule has  1 Imaginary Frequencies\n";

// The TDA states, then the full TDDFT ones (kept: the last table).
const std::string kTda =
    "         TDDFT/TDA Excitation Energies              \n"
    " ---------------------------------------------------\n"
    " Excited state   1: excitation energy (eV) =    3.6052\n"
    "    Strength   :     0.0000000000\n"
    " ---------------------------------------------------\n";
const std::string kFull =
    "         TDDFT Excitation Energies              \n"
    " ---------------------------------------------------\n"
    "\n"
    " Excited state   1: excitation energy (eV) =    3.5991\n"
    "    <S**2>     :  0.7685\n"
    "    Strength   :     0.0023322337\n"
    "    D( 33) --> V(  3) amplitude =  0.2618\n"
    " Excited state   2: excitation energy (eV) =    6.0376\n"
    "    Strength   :     0.9407714761\n"
    "\n"
    " ---------------------------------------------------\n";

TEST(QChemReader, ReadsTheAnalysisAndTheLastTableOfStates) {
  const SpectraRead read = testing::read_ok("qchem", kBanner + kAnalysis + kTda + kFull);
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
  testing::expect_truncations_safe("qchem", kBanner + kAnalysis + kFull);
}

TEST(QChemReader, RefusesWhatItDoesNotKnowWhereItIsSeen) {
  const std::string all = kBanner + kAnalysis + kFull;
  testing::expect_refusals(
      "qchem",
      {
          {replaced(all, "0.419", "0.4x9"), ReadFault::not_a_number, 9, 43,
           "an IR intensity as a number, not '0.4x9'"},
          {replaced(all, "  0.419\n", "\n"), ReadFault::count_mismatch, 9, 41,
           "2 values after 'IR Intens:', one a mode of the group, not 1"},
          {replaced(all, "Mode:                 3", "Mode:                 4"),
           ReadFault::numbering, 14, 24, "mode 3, not '4'"},
          {replaced(all, " Frequency:      3552.26\n", ""), ReadFault::misplaced, 17, 1,
           "a line 'Frequency:' in the group"},
          {replaced(all, " Raman Intens:   123.456\n", ""), ReadFault::count_mismatch, 17, 1,
           "the same intensities in every group of modes, as in the first"},
          {replaced(all, "(KM/MOL)", "(KJ/MOL)"), ReadFault::layout, 9, 1,
           "an intensity in a unit the banner names (KM/MOL, A**4/AMU), not 'IR Intens' without "
           "it"},
          {replaced(all, "has  1 Imaginary", "has  2 Imaginary"), ReadFault::count_mismatch, 21, 23,
           "1 imaginary frequencies, as the analysis at line 2 prints them, not '2'"},
          {replaced(all, "state   2: excitation", "state   3: excitation"), ReadFault::numbering,
           29, 18, "state 2, not '3'"},
          {replaced(all, "    Strength   :     0.9407714761\n", ""), ReadFault::misplaced, 31, 1,
           "a line 'Strength' in the state before"},
          {replaced(all, "(eV) =    6.0376", "(au) =    6.0376"), ReadFault::layout, 29, 39,
           "'Excited state N: excitation energy (eV) = E'"},
      });
}

}  // namespace
}  // namespace broaden
