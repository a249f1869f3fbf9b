// The GAMESS reader through its row: the normal coordinate analysis and the
// TD-DFT states as GAMESS-US 2017 prints them, the intensities' conversion,
// every named error, truncation at every line.
#include <gtest/gtest.h>

#include <cmath>

#include "spectra_checks.h"

namespace broaden {
namespace {

using testing::read_as;
using testing::replaced;

const std::string kBanner = "          *         GAMESS VERSION = 20 APR 2017 (R1)          *\n";

// Water: modes 1 to 6 rigid, mode 7 imaginary, a Raman activity a mode.
const std::string kAnalysis =
    "          NORMAL COORDINATE ANALYSIS IN THE HARMONIC APPROXIMATION\n"
    " MODES    1 TO    6 ARE TAKEN AS ROTATIONS AND TRANSLATIONS.\n"
    "     FREQUENCIES IN CM**-1, IR INTENSITIES IN DEBYE**2/AMU-ANGSTROM**2,\n"
    "                            1           2           3           4           5\n"
    "       FREQUENCY:        28.33       23.63        9.15        0.00        0.00  \n"
    "        SYMMETRY:         A           A           A           A           A   \n"
    "    IR INTENSITY:      0.00000     0.00000     0.00000     0.00000     0.00000\n"
    "  RAMAN ACTIVITY:      0.00000     0.00000     0.00000     0.00000     0.00000\n"
    "\n"
    "  1   O            X -0.00849050  0.00000000  0.00000000 -0.00000257 -0.01784914\n"
    "                            6           7           8           9\n"
    "       FREQUENCY:         0.00      101.25 I  1713.02     3849.11  \n"
    "    IR INTENSITY:      0.00000     0.50000     1.79400     0.45900\n"
    "  RAMAN ACTIVITY:      0.00000     1.00000     7.25000    99.12500\n"
    "\n"
    "      7 -      9 VIBRATIONAL MODES ARE USED IN THERMOCHEMISTRY.\n"
    " ......END OF NORMAL COORDINATE ANALYSIS......\n";

const std::string kStates =
    "    NSTATE   =                    2\n"
    "          SINGLET EXCITATIONS\n"
    "          -------------------\n"
    " STATE #   1  ENERGY =    4.487681 EV\n"
    " OSCILLATOR STRENGTH =    0.672234\n"
    "     34      36   -0.106535      -0.006257\n"
    " STATE #   2  ENERGY =    4.701029 EV\n"
    " OSCILLATOR STRENGTH =    0.035808\n"
    "                          SUMMARY OF TDDFT RESULTS\n";

TEST(GamessReader, ReadsTheAnalysisInKmPerMolAndTheStates) {
  const SpectraRead read = testing::read_ok("gamess", kBanner + kAnalysis + kStates);
  const Vibrations& v = read.data.vibrations;
  EXPECT_EQ(v.frequency, (std::vector<double>{1713.02, 3849.11}));
  EXPECT_EQ(v.ir_intensity, (std::vector<double>{1.794 * kKmPerMolPerDebyeSquared,
                                                 0.459 * kKmPerMolPerDebyeSquared}));
  EXPECT_EQ(v.raman_activity, (std::vector<double>{7.25, 99.125}));
  ASSERT_EQ(read.notes.size(), 1u);
  EXPECT_EQ(read.notes[0].text,
            "left out 1 imaginary frequency (printed negative); and 6 zero frequencies "
            "(translations and rotations)");
  EXPECT_EQ(read.data.excited_states.energy_ev, (std::vector<double>{4.487681, 4.701029}));
  EXPECT_EQ(read.data.excited_states.oscillator_strength,
            (std::vector<double>{0.672234, 0.035808}));
  EXPECT_FALSE(read.data.free_energy);
  EXPECT_EQ(recognise_input(kBanner + kStates).name, "gamess");
  EXPECT_EQ(recognise_input(kStates).name, "columns");
  testing::expect_truncations_safe("gamess", kBanner + kAnalysis + kStates);
  // The constant against the value quoted in the literature; intensities
  // printed in km/mol are read as printed.
  EXPECT_LT(std::abs(kKmPerMolPerDebyeSquared - 42.2561), 5e-5);
  const SpectraRead km =
      read_as("gamess", replaced(kBanner + kAnalysis, "DEBYE**2/AMU-ANGSTROM**2", "KM/MOL"));
  EXPECT_EQ(km.data.vibrations.ir_intensity, (std::vector<double>{1.794, 0.459}));
}

TEST(GamessReader, RefusesWhatItDoesNotKnowWhereItIsSeen) {
  const std::string all = kBanner + kAnalysis + kStates;
  testing::expect_refusals(
      "gamess",
      {
          {replaced(all, "1.79400", "1.7x400"), ReadFault::not_a_number, 14, 48,
           "an IR intensity as a number, not '1.7x400'"},
          {replaced(all, "     0.45900\n", "\n"), ReadFault::count_mismatch, 14, 55,
           "4 values after 'IR INTENSITY:', one a mode of the group, not 3"},
          {replaced(all, "     3849.11  \n", "     3849.11  2.0\n"), ReadFault::count_mismatch, 13,
           68, "4 values after 'FREQUENCY:', one a mode of the group, not more"},
          {replaced(all, "           6           7", "           7           8"),
           ReadFault::misplaced, 13, 1, "a line of mode numbers from 6 before 'FREQUENCY:'"},
          {replaced(all, "DEBYE**2/AMU-ANGSTROM**2", "KJ/MOL"), ReadFault::layout, 8, 1,
           "IR intensities in a unit the units line names (DEBYE**2/AMU-ANGSTROM**2, KM/MOL)"},
          {replaced(all, "7 -      9 VIB", "7 -     10 VIB"), ReadFault::count_mismatch, 17, 15,
           "the 9 modes of the normal coordinate analysis at line 2, not '10'"},
          {replaced(all, "STATE #   2", "STATE #   3"), ReadFault::numbering, 25, 12,
           "state 2, not '3'"},
          {replaced(all, "4.701029 EV", "4.701029 HARTREE"), ReadFault::layout, 25, 36,
           "'EV' after the energy, and the line's end"},
          {replaced(all, " OSCILLATOR STRENGTH =    0.035808\n", ""), ReadFault::count_mismatch, 26,
           1,
           "an oscillator strength for each of the 2 states of the excited states at line 20, "
           "not 1"},
          {replaced(all, "=                    2", "=                    3"),
           ReadFault::count_mismatch, 27, 1, "the 3 states NSTATE names, not 2"},
      });
}

}  // namespace
}  // namespace broaden
