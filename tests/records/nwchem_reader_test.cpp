// The NWChem reader through its row: excerpts of NWChem 7.0.2's outputs
// (water, task dft freq; formaldehyde, tddft nroots 3), every named error,
// truncation at every line.
#include <gtest/gtest.h>

#include "spectra_checks.h"

namespace broaden {
namespace {

using testing::read_as;
using testing::replaced;

const std::string kBanner =
    "             Northwest Computational Chemistry Package (NWChem) 7.0.2\n";

const std::string kProjected =
    " Normal Eigenvalue ||           Projected Infra Red Intensities\n"
    "  Mode   [cm**-1]  || [atomic units] [(debye/angs)**2] [(KM/mol)] [arbitrary]\n"
    " ------ ---------- || -------------- ----------------- ---------- -----------\n"
    "    1       -0.000 ||    0.103951           2.398       101.337      18.673\n"
    "    2        0.000 ||    0.033191           0.766        32.356       5.962\n"
    "    3     1713.008 ||    0.077740           1.794        75.785      13.964\n"
    "    4     3849.095 ||    0.019886           0.459        19.386       3.572\n"
    " ----------------------------------------------------------------------------\n";

// Singlets with the dipole strength of version 7, then spin-forbidden
// triplets; the run ends at the task's times.
const std::string kTddft =
    "                                NWChem TDDFT Module\n"
    "              No. of roots :       2\n"
    "  Root   1 singlet a2             0.149525886 a.u.                4.0688 eV \n"
    "     Dipole Oscillator Strength                    0.0000000000\n"
    "     Total Oscillator Strength                     0.0000018674\n"
    "  Root   2 singlet b2             0.335321750 a.u.                9.1246 eV \n"
    "     Dipole Oscillator Strength                    0.1533295382\n"
    "  Root   1 triplet a2             0.122039377 a.u.                3.3209 eV \n"
    "     Oscillator Strength                   Spin forbidden\n"
    "  Root   2 triplet a1             0.199459491 a.u.                5.4276 eV \n"
    "     Oscillator Strength                   Spin forbidden\n"
    " Task  times  cpu:       12.6s     wall:      196.9s\n";

TEST(NwchemReader, ReadsTheKmPerMolColumnAndEveryRootOfTheRun) {
  // The unprojected table (an imaginary mode) comes first: the projected is kept.
  const std::string unprojected =
      replaced(replaced(kProjected, "Projected ", ""), "-0.000", "-4.960");
  const std::string text = kBanner + unprojected + kProjected + kTddft;
  const SpectraRead read = testing::read_ok("nwchem", text);
  EXPECT_EQ(read.data.vibrations.frequency, (std::vector<double>{1713.008, 3849.095}));
  EXPECT_EQ(read.data.vibrations.ir_intensity, (std::vector<double>{75.785, 19.386}));
  ASSERT_EQ(read.notes.size(), 1u);
  EXPECT_EQ(read.notes[0].text, "left out 2 zero frequencies (translations and rotations)");
  EXPECT_EQ(read.data.excited_states.energy_ev,
            (std::vector<double>{4.0688, 9.1246, 3.3209, 5.4276}));
  EXPECT_EQ(read.data.excited_states.oscillator_strength,
            (std::vector<double>{0.0, 0.1533295382, 0.0, 0.0}));
  EXPECT_FALSE(read.data.free_energy);
  EXPECT_EQ(recognise_input(text).name, "nwchem");
  EXPECT_EQ(recognise_input(kProjected).name, "columns");
  testing::expect_truncations_safe("nwchem", kBanner + kProjected + kTddft);
}

TEST(NwchemReader, RefusesWhatItDoesNotKnowWhereItIsSeen) {
  const std::string all = kBanner + kProjected + kTddft;
  testing::expect_refusals(
      "nwchem",
      {
          {replaced(all, "75.785", "75.7x5"), ReadFault::not_a_number, 7, 58,
           "an IR intensity as a number, not '75.7x5'"},
          {replaced(all, " [(KM/mol)]", ""), ReadFault::layout, 3, 1,
           "a layout of this table the reader knows, not the header 'Mode   [cm**-1]  || [atomic "
           "units] [(debye/angs)**2] [arbitrary]'"},
          {replaced(all, "      3.572\n", "\n"), ReadFault::count_mismatch, 8, 65,
           "4 values after '||', as the header names, not 3"},
          {replaced(all, "    4     3849", "    5     3849"), ReadFault::numbering, 8, 5,
           "mode 4, not '5'"},
          {replaced(all, "Root   2 singlet", "Root   3 singlet"), ReadFault::numbering, 15, 10,
           "root 2 or 1, not '3'"},
          {replaced(all, "     Dipole Oscillator Strength                    0.1533295382\n", ""),
           ReadFault::misplaced, 16, 1, "an oscillator strength before"},
          {replaced(all,
                    "  Root   2 triplet a1             0.199459491 a.u.                5.4276 "
                    "eV \n     Oscillator Strength                   Spin forbidden\n",
                    ""),
           ReadFault::count_mismatch, 19, 1,
           "the 2 roots 'No. of roots' names in the TDDFT run at line 10, not 1"},
          {replaced(all, "a.u.                9.1246 eV", "au                9.1246 eV"),
           ReadFault::layout, 15, 1, "'Root K [spin] [symmetry] E a.u. E eV'"},
      });
}

}  // namespace
}  // namespace broaden
