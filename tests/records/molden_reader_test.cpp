// The Molden reader through its row: [FREQ] and [INT], every named error,
// truncation at every line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "spectra_checks.h"

namespace broaden {
namespace {

using testing::read_as;

// As ORCA writes it: translations and rotations at zero, one imaginary mode.
const std::string kMolden =
    "[Molden Format]\n"
    "[Atoms] AU\n"
    "O     1    8     0.000000     0.000000     0.221665\n"
    "[FREQ]\n"
    "0.000000\n"
    "0.000000\n"
    "  -20.5000\n"
    " 1639.4700\n"
    " 3800.1000\n"
    "[FR-COORD]\n"
    "O   0.000000   0.000000   0.221665\n"
    "[int]\n"
    "0.000000\n"
    "0.000000\n"
    "    0.1000\n"
    "   57.5500\n"
    "    2.0000\n";

TEST(MoldenReader, ReadsFrequenciesAndIntensitiesLeavingOutZeroAndImaginaryModes) {
  const SpectraRead read = testing::read_ok("molden", kMolden);
  const Vibrations& v = read.data.vibrations;
  EXPECT_EQ(v.frequency, (std::vector<double>{1639.47, 3800.1}));
  EXPECT_EQ(v.ir_intensity, (std::vector<double>{57.55, 2}));
  EXPECT_EQ(v.imaginary_left_out, 1u);
  EXPECT_EQ(v.zero_left_out, 2u);
  ASSERT_EQ(read.notes.size(), 1u);
  EXPECT_EQ(read.notes[0], (LineListNote{4,
                                         "left out 1 imaginary frequency (printed negative); "
                                         "and 2 zero frequencies (translations and rotations)"}));
  EXPECT_EQ(holdings(read.data), "IR intensities");

  const SpectraRead only =
      testing::read_ok("molden", "[Molden Format]\n[FREQ]\n100.5\r\n200\r\n[FR-COORD]\n");
  EXPECT_EQ(only.data.vibrations.frequency, (std::vector<double>{100.5, 200}));
  EXPECT_EQ(holdings(only.data), "frequencies without intensities");
}

TEST(MoldenReader, RefusesWhatItCannotReadWithItsPlace) {
  testing::expect_refusals(
      "molden",
      {
          {"[FREQ]\n100\n200\n[INT]\n5\n",
           "kind 1 count_mismatch at 4:1: 2 intensities, one for each frequency of "
           "[FREQ] (line 1), not 1"},
          {"[INT]\n5\n", "kind 1 misplaced at 1:1: a [FREQ] section for the intensities of [INT]"},
          {"[FREQ]\n100 7\n[INT]\n", "kind 1 count_mismatch at 2:1: one frequency a line"},
          {"[FREQ]\n100\n200\n",
           "kind 1 cut_short at 3:4: a section after [FREQ] (the file may have been "
           "cut short), not the end of the file"},
          {"[FREQ]\n1O0\n[INT]\n",
           "kind 0 not_a_number at 2:1: a frequency as a number, not '1O0'"},
          {"[FREQ]\n100\n[INT]\nnan\n",
           "kind 0 not_a_number at 4:1: an IR intensity as a number, not 'nan'"},
          {"[FREQ]\n1e400\n[INT]\n",
           "kind 2 out_of_range at 2:1: a frequency within the range of doubles, not '1e400'"},
          {"[FREQ]\n100\n[Freq]\n200\n[INT]\n",
           "kind 1 misplaced at 3:1: one [Freq] section, as at line 1"},
          {"[FREQ]\n100\n[INT]\n0.03",
           "kind 1 cut_short at 4:5: a line end after an IR intensity (the file "
           "may have been cut short), not the end of the file"},
      });
}

TEST(MoldenReader, AFileCutAnywhereIsANamedErrorOrWhatItHolds) {
  // With [INT] last, a cut in it is a count that does not match.
  testing::expect_truncations_safe("molden", kMolden);
}

TEST(MoldenReader, IsRecognisedByItsFirstLine) {
  EXPECT_EQ(recognise_input(kMolden).name, "molden");
  EXPECT_EQ(recognise_input("\n  [MOLDEN FORMAT]  \n").name, "molden");
  EXPECT_EQ(recognise_input("[Atoms]\n[Molden Format]\n").name, "columns");
}

}  // namespace
}  // namespace broaden
