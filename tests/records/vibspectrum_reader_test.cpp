// The $vibrational spectrum reader through its row: Turbomole's and xtb's
// layouts, every named error, truncation at every line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "spectra_checks.h"

namespace broaden {
namespace {

using testing::read_as;

// As xtb 6.5.1 writes it (formaldehyde, modes 9 to 12 left out).
const std::string kXtb =
    "$vibrational spectrum\n"
    "#  mode     symmetry     wave number   IR intensity    selection rules\n"
    "#                         cm**(-1)      (km*mol\u207b\u00b9)       IR     RAMAN\n"
    "     1                      -0.00         0.00000        -       - \n"
    "     2                       0.00         0.00000        -       - \n"
    "     3        a           1084.75         1.32282       YES     YES\n"
    "     4        a           1807.06       150.75057       YES     YES\n"
    "$end\n";

// As Turbomole's aoforce writes it, with an imaginary mode.
const std::string kTurbomole =
    "$vibrational spectrum\n"
    "#  mode     symmetry     wave number   IR intensity    selection rules\n"
    "#                         cm**(-1)        km/mol         IR     RAMAN\n"
    "     1                        0.00         0.00000        -       -\n"
    "     2        a1          -120.50         1.50000       YES     YES\n"
    "     3        b2          1640.54        75.40120       YES      NO\n"
    "$end\n";

TEST(VibspectrumReader, ReadsBothLayoutsLeavingOutZeroAndImaginaryModes) {
  const SpectraRead xtb = testing::read_ok("vibspectrum", kXtb);
  EXPECT_EQ(xtb.data.vibrations.frequency, (std::vector<double>{1084.75, 1807.06}));
  EXPECT_EQ(xtb.data.vibrations.ir_intensity, (std::vector<double>{1.32282, 150.75057}));
  EXPECT_EQ(
      xtb.notes,
      (std::vector<LineListNote>{{1, "left out 2 zero frequencies (translations and rotations)"}}));
  const SpectraRead tm = testing::read_ok("vibspectrum", kTurbomole + "$title\n" + kTurbomole);
  EXPECT_EQ(tm.data.vibrations.frequency, std::vector<double>{1640.54});
  EXPECT_EQ(tm.data.vibrations.imaginary_left_out, 1u);
  ASSERT_EQ(tm.notes.size(), 1u);  // the last group's only
  EXPECT_EQ(tm.notes[0].line, 9u);
}

TEST(VibspectrumReader, RefusesWhatItCannotReadWithItsPlace) {
  const std::string group = "$vibrational spectrum\n";
  testing::expect_refusals(
      "vibspectrum",
      {{group + "  2  a  100.0  1.0  YES  YES\n$end\n", "kind 0 numbering at 2:3: mode 1, not '2'"},
       {group + "  1  a  100.0  1.0  YES\n$end\n",
        "kind 0 layout at 2:3: a row of the $vibrational spectrum: the mode, its symmetry, the "
        "wave "
        "number, the IR intensity and two selection rules (YES, NO or -)"},
       {group + "# mode  frequency  intensity\n$end\n",
        "kind 0 layout at 2:1: a layout of this group the reader knows (mode, symmetry, wave "
        "number "
        "in cm**(-1), IR intensity in km/mol, selection rules), not the header '# mode  "
        "frequency  "
        "intensity'"},
       {group + "#   cm**(-1)   a.u.\n$end\n",
        "kind 0 layout at 2:1: a layout of this group the reader knows (mode, symmetry, wave "
        "number "
        "in cm**(-1), IR intensity in km/mol, selection rules), not the header '#   cm**(-1)   "
        "a.u.'"},
       {group + "  1  a  100.0  1e999  YES  YES\n$end\n",
        "kind 2 out_of_range at 2:16: an IR intensity within the range of doubles, not '1e999'"},
       {group + "  1  a  100.0  1.0  YES  YES\n",
        "kind 1 cut_short at 2:29: the rest of the $vibrational spectrum at line 1 up to its "
        "$end, "
        "not the end of the file"}});
}

TEST(VibspectrumReader, IsRecognisedByItsFirstLineAndSafeWhenCutAnywhere) {
  for (const std::string* text : {&kXtb, &kTurbomole}) {
    EXPECT_EQ(recognise_input(*text).name, "vibspectrum");
    testing::expect_truncations_safe("vibspectrum", *text);
  }
  EXPECT_EQ(recognise_input("\n $vibrational spectrum \n").name, "vibspectrum");
  EXPECT_EQ(recognise_input("$title\n$vibrational spectrum\n").name, "columns");
}

}  // namespace
}  // namespace broaden
