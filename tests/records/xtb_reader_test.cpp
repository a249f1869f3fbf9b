// The xtb reader through its row: the frequencies of --hess and --ohess with
// their IR intensities and the free energy, every named error, truncation
// at every line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "spectra_checks.h"

namespace broaden {
namespace {

using testing::read_as;

const std::string kBanner =
    "     |                           x T B                           |     \n"
    "   * xtb version 6.5.1 (unknown) compiled by 'builduser@buildhost' on 2022-12-09\n";
const std::string kTable =
    " projected vibrational frequencies (cm\u207b\u00b9)\n"
    "eigval :       -0.00    -0.00    -0.00     0.00     0.00     0.00\n"
    "eigval :     -84.75  1201.83  1490.32\n";
// xtb 6.5.1 (formaldehyde, --ohess), the table twice, the intensities after
// the second; "7:" of intensity 1.32 belongs to the imaginary mode.
const std::string kXtb =
    kBanner + kTable + "           -------\n" + kTable +
    " reduced masses (amu)\n"
    "   1: 10.16   2:  7.44   3: 15.07   4: 13.74   5:  4.82   6: 11.38   7:  4.30   8:  4.51\n"
    "   9:  1.84\n"
    " IR intensities (km\u00b7mol\u207b\u00b9)\n"
    "   1:  6.77   2:  2.38   3:  5.09   4:  4.24   5:  5.67   6:  9.60   7:  1.32   8: 26.68\n"
    "   9:150.75\n"
    "          | TOTAL FREE ENERGY          -7.171069803819 Eh   |\n";

TEST(XtbReader, ReadsTheLastTableWithItsIntensitiesAndTheFreeEnergy) {
  const SpectraRead read = testing::read_ok("xtb", kXtb);
  EXPECT_EQ(read.data.vibrations.frequency, (std::vector<double>{1201.83, 1490.32}));
  EXPECT_EQ(read.data.vibrations.ir_intensity, (std::vector<double>{26.68, 150.75}));
  EXPECT_EQ(read.data.free_energy, -7.171069803819);
  EXPECT_EQ(
      read.notes,
      (std::vector<LineListNote>{{7,
                                  "left out 1 imaginary frequency (printed negative); and 6 zero "
                                  "frequencies (translations and rotations)"}}));
}

TEST(XtbReader, RefusesWhatItCannotReadWithItsPlace) {
  const std::string ir = " IR intensities (km\u00b7mol\u207b\u00b9)\n";
  testing::expect_refusals(
      "xtb",
      {{kTable + ir + "   1:  6.77   3:  2.38\n", "kind 0 numbering at 5:15: mode 2, not '3'"},
       {kTable + ir +
            "   1:  6.77   2:  2.38   3:  5.09   4:  4.24   5:  5.67   6:  9.60   7:  "
            "1.32   8: 26.68   9: 1.0  10: 2.0\n",
        "kind 1 count_mismatch at 5:1: 9 IR intensities, one a frequency of the table at line "
        "1, "
        "not 10"},
       {kTable + " IR intensities (amu)\n",
        "kind 0 layout at 4:1: IR intensities in km\u00b7mol\u207b\u00b9, not the header 'IR "
        "intensities (amu)'"},
       {ir + "   1:  6.77\n",
        "kind 1 misplaced at 1:1: a table of frequencies before its IR intensities"},
       {kTable + ir + "   1:  6.77   2\n",
        "kind 0 layout at 5:1: pairs of a mode's number and its "
        "IR intensity"},
       {kTable,
        "kind 1 cut_short at 3:38: the rest of the table at line 1, not the end of the "
        "file"},
       {"  | TOTAL FREE ENERGY   -7.1 kcal   |\n",
        "kind 0 layout at 1:1: the free energy in Eh between '|'"}});
}

TEST(XtbReader, IsRecognisedByItsBannerAndSafeWhenCutAnywhere) {
  EXPECT_EQ(recognise_input(kXtb).name, "xtb");
  EXPECT_EQ(recognise_input("# from xtb version 6\n1 2\n").name, "columns");
  testing::expect_truncations_safe("xtb", kXtb);
}

}  // namespace
}  // namespace broaden
