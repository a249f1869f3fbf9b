// The Gaussian reader through its row: excerpts in the layouts Gaussian 09
// and 16 print, every named error, truncation at every line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "spectra_checks.h"
#include "support/excerpts.h"

namespace broaden {
namespace {

using testing::read_as;
using testing::replaced;

const std::string kBanner =
    " Entering Gaussian System, Link 0=g16\n"
    " Copyright (c) 1988-2019, Gaussian, Inc.  All Rights Reserved.\n";

const std::string kHeader =
    " Harmonic frequencies (cm**-1), IR intensities (KM/Mole), Raman scattering\n"
    " activities (A**4/AMU), depolarization ratios for plane and unpolarized\n"
    " incident light, reduced masses (AMU), force constants (mDyne/A),\n"
    " and normal coordinates:\n";

// The normal layout: groups of three modes, IR and Raman, one imaginary mode.
const std::string kAnalysis =
    kHeader +
    "                      1                      2                      3\n"
    "                      A                      A                      A\n"
    " Frequencies --   -123.4567              1000.1234              1500.5000\n"
    " Red. masses --      1.0000                 2.0000                 3.0000\n"
    " Frc consts  --      0.1000                 0.2000                 0.3000\n"
    " IR Inten    --      5.0000                10.2500                 0.0100\n"
    " Raman Activ --      1.0000                 2.5000                 0.0000\n"
    " Depolar (P) --      0.7500                 0.7500                 0.1000\n"
    "  Atom  AN      X      Y      Z        X      Y      Z        X      Y      Z\n"
    "     1   8     0.00   0.00   0.07     0.00   0.00   0.07     0.00   0.00   0.07\n"
    "     2   1     0.00   0.00  -0.56     0.00   0.43   0.00     0.00  -0.43   0.00\n"
    "                      4\n"
    "                      A\n"
    " Frequencies --   3600.0001\n"
    " Red. masses --      1.0000\n"
    " IR Inten    --     50.0000\n"
    " Raman Activ --     90.1234\n"
    "  Atom  AN      X      Y      Z\n"
    "     1   8     0.00   0.00   0.07\n"
    "\n"
    " -------------------\n"
    " - Thermochemistry -\n"
    " -------------------\n"
    " Sum of electronic and thermal Free Energies=          -76.123456\n";

const std::string kExcited =
    " <0|del|b> * <b|rxdel|0> + <0|del|b> * <b|delr+rdel|0>\n"
    " Rotatory Strengths (R) in cgs (10**-40 erg-esu-cm/Gauss)\n"
    "       state          XX          YY          ZZ    R(velocity)    E-M Angle\n"
    "         1        -0.5409     -0.1929     -0.4285     -0.3874      138.41\n"
    "         2         7.4136    -41.2581    -64.7349    -32.8598      102.36\n"
    " 1/2[<0|r|b>*<b|rxdel|0> + (<0|rxdel|b>*<b|r|0>)*]\n"
    " Rotatory Strengths (R) in cgs (10**-40 erg-esu-cm/Gauss)\n"
    "       state          XX          YY          ZZ     R(length)\n"
    "         1        -0.6314     -0.8070      0.0043     -0.4780\n"
    "         2      -164.9642    -10.7393     31.1655    -48.1793\n"
    "  1/2[<0|del|b>*<b|r|0> + (<0|r|b>*<b|del|0>)*] (Au)\n"
    "\n"
    " Excitation energies and oscillator strengths:\n"
    " \n"
    " Excited State   1:      Singlet-A      5.6287 eV  220.27 nm  f=0.0018  <S**2>=0.000\n"
    "      34 -> 36         0.52587\n"
    "      35 <- 37        -0.01172\n"
    " This state for optimization and/or second-order correction.\n"
    " Total Energy, E(TD-HF/TD-KS) =  -382.091694196\n"
    " Copying the excited state density for this state as the 1-particle RhoCI density.\n"
    " \n"
    " Excited State   2:      3.000-A      6.0621 eV  204.52 nm  f=0.0000  <S**2>=2.000\n"
    "      35 -> 36         0.67354\n"
    " SavETr:  write IOETrn=   770 NScale= 10 NData=  16 NLR=1 NState=    2 LETran=     100.\n"
    " Normal termination of Gaussian 16 at Mon Sep  1 17:10:54 2014.\n";

// TD of a linear molecule: the rotatory strengths, each velocity row with
// its tensors, the length table with R(au); the transition dipole moments
// announce the states; a line on the symmetry before each; a state at
// negative energy.
const std::string kAnnounced =
    " Rotatory Strengths (R) in cgs (10**-40 erg-esu-cm/Gauss)\n"
    "       state          XX          YY          ZZ    R(velocity)\n"
    "         1        -1.7035     22.8012     -8.3680      4.2432\n"
    " Total R(velocity) tensor for State=          1\n"
    "                 1             2             3 \n"
    "      1  -0.170347D+01  0.108435D+03 -0.946500D+03\n"
    "      2  -0.131594D+01  0.228012D+02  0.701353D+02\n"
    "      3   0.348190D+00 -0.680828D+01 -0.836804D+01\n"
    "         2        -0.9991     -1.7423      1.0125     -0.5763\n"
    " Rotatory Strengths (R) in cgs (10**-40 erg-esu-cm/Gauss)\n"
    "       state          XX          YY          ZZ     R(length)     R(au)\n"
    "         1        12.7139     -5.9100      3.4107      3.4048      0.0072\n"
    "         2         0.3953      0.2292     -3.4869     -0.9541     -0.0020\n"
    " Ground to excited state transition electric dipole moments (Au):\n"
    "       state          X           Y           Z        Dip. S.      Osc.\n"
    "         1         0.0000      0.0000      0.0000      0.0000      0.0000\n"
    "         2        -0.0958     -0.0519      0.0000      0.1476      0.0984\n"
    " Excitation energies and oscillator strengths:\n"
    " \n"
    " Excited state symmetry could not be determined.\n"
    " Excited State   1:      Singlet-?Sym   -0.4709 eV -2633.00 nm  f=0.0000  <S**2>=0.000\n"
    "       7 -> 12         0.69361\n"
    " \n"
    " Excited state symmetry could not be determined.\n"
    " Excited State   2:      Singlet-?Sym    8.4709 eV  146.36 nm  f=0.0947  <S**2>=0.000\n"
    "       7 -> 13        -0.11986\n"
    " SavETr:  write IOETrn=   770 NScale= 10 NData=  16 NLR=1 NState=    2 LETran=     100.\n";

// EOM-CCSD of Gaussian 16 (pyridine, STO-3G): the velocity table without
// its angle, the dashes and eigenvectors of each state in the listing.
const std::string kEom =
    " Ground to excited state transition electric dipole moments (Au):\n"
    "       state          X           Y           Z        Dip. S.      Osc.\n"
    "         1        -0.0000      0.0000     -0.2106      0.0484      0.0051\n"
    "         2         0.0431     -0.0000      0.0000      0.0023      0.0003\n"
    " Rotatory Strengths (R) in cgs (10**-40 erg-esu-cm/Gauss)\n"
    "       state          XX          YY          ZZ    R(velocity)\n"
    "         1        -0.0003     -0.0000     -0.0038     -0.0013\n"
    "         2         0.0000     -0.0000     -0.0000     -0.0000\n"
    " Excitation energies and oscillator strengths:\n"
    "\n"
    " ----------------------------------------------\n"
    " Excited State   1:      Singlet-?Sym    4.3331 eV  286.13 nm  f=0.0051\n"
    " Right Eigenvector \n"
    " Alpha Singles Amplitudes\n"
    "     I    SymI    A    SymA    Value\n"
    "    19      1    22      1    0.633072\n"
    " Alpha-Beta  Doubles Amplitudes\n"
    "     I    SymI    J    SymJ    A    SymA    B    SymB    Value\n"
    "    19      1    21      1    22      1    22      1   -0.193381\n"
    " Left  Eigenvector \n"
    " Total Energy, E(EOM-CCSD) =  -243.883072409    \n"
    "\n"
    " ----------------------------------------------\n"
    " Excited State   2:      Singlet-?Sym    5.5589 eV  223.04 nm  f=0.0003\n"
    " Ground to excited state transition densities written to RWF  633\n";

// The file xtb 6.5.1 writes (g98.out of --ohess on water), its coordinates cut out.
const std::string kXtb =
    " Entering Gaussian System\n"
    " *********************************************\n"
    " Gaussian 98:\n"
    " frequency output generated by the xtb code\n"
    " *********************************************\n"
    " Harmonic frequencies (cm**-1), IR intensities (km*mol\xe2\x81\xbb\xc2\xb9),\n"
    " Raman scattering activities (A**4/amu), Raman depolarization ratios,\n"
    " reduced masses (AMU), force constants (mDyne/A) and normal coordinates:\n"
    "                      1                      2                      3\n"
    "                        a                      a                      a \n"
    " Frequencies --  1541.2244              3637.1192              3645.3364\n"
    " Red. masses --     2.1456                 1.5478                 2.1390\n"
    " IR Inten    --   133.3380                 6.6145                16.6972\n"
    " Raman Activ --     0.0000                 0.0000                 0.0000\n"
    " Atom AN      X      Y      Z        X      Y      Z        X      Y      Z\n"
    "   1   8     0.00   0.00   0.28    -0.00  -0.00  -0.19    -0.00  -0.27   0.00\n"
    "   2   1    -0.00  -0.40  -0.55    -0.00  -0.58   0.38     0.00   0.55  -0.40\n"
    "   3   1     0.00   0.40  -0.55     0.00   0.58   0.38     0.00   0.55   0.40\n";

TEST(GaussianReader, ReadsSymmetryLinesAnnouncedCountsNegativeStatesAndXtbFiles) {
  const SpectraRead read = testing::read_ok("gaussian", kBanner + kAnnounced);
  EXPECT_EQ(read.data.excited_states.energy_ev, (std::vector<double>{8.4709}));
  EXPECT_EQ(read.data.excited_states.rotatory_velocity, (std::vector<double>{-0.5763}));
  EXPECT_EQ(read.data.excited_states.rotatory_length, (std::vector<double>{-0.9541}));
  ASSERT_EQ(read.notes.size(), 1u);
  EXPECT_EQ(read.notes[0].text, "left out 1 excited state at zero or negative energy");
  // A listing ended early by a line it does not know: refused where it ends.
  const std::size_t second = kAnnounced.rfind(" \n Excited state symmetry");
  const std::string cut =
      kAnnounced.substr(0, second) + " Some line Gaussian may print\n" + kAnnounced.substr(second);
  const SpectraRead short_listing = read_as("gaussian", kBanner + cut);
  ASSERT_TRUE(short_listing.error);
  EXPECT_EQ(testing::shown(*short_listing.error),
            "kind 1 count_mismatch at 25:1: the 2 excited states of the transition dipole "
            "moments at line 16, not 1");
  // Without the tables: refused at the next state's line.
  const SpectraRead lost = read_as("gaussian", kBanner + cut.substr(cut.find(" Excitation")));
  ASSERT_TRUE(lost.error);
  EXPECT_EQ(testing::shown(*lost.error),
            "kind 1 misplaced at 11:1: the excited states listed after line 3 together: a line "
            "the reader does not know ends them before state 2");

  const SpectraRead xtb = testing::read_ok("gaussian", kXtb);
  EXPECT_EQ(xtb.data.vibrations.frequency, (std::vector<double>{1541.2244, 3637.1192, 3645.3364}));
  EXPECT_EQ(xtb.data.vibrations.ir_intensity, (std::vector<double>{133.338, 6.6145, 16.6972}));
  EXPECT_TRUE(xtb.data.vibrations.raman_activity.empty());  // zeros: xtb computes none
}

TEST(GaussianReader, ReadsTheAnalysisTheStatesAndTheFreeEnergyAsPrinted) {
  const SpectraRead read = testing::read_ok("gaussian", kBanner + kAnalysis + kExcited);
  const Vibrations& v = read.data.vibrations;
  EXPECT_EQ(v.frequency, (std::vector<double>{1000.1234, 1500.5, 3600.0001}));
  EXPECT_EQ(v.ir_intensity, (std::vector<double>{10.25, 0.01, 50}));
  EXPECT_EQ(v.raman_activity, (std::vector<double>{2.5, 0, 90.1234}));
  EXPECT_EQ(v.imaginary_left_out, 1u);
  ASSERT_EQ(read.notes.size(), 1u);
  EXPECT_EQ(read.notes[0].line, 3u);
  EXPECT_EQ(read.notes[0].text, "left out 1 imaginary frequency (printed negative)");
  const ExcitedStates& e = read.data.excited_states;
  EXPECT_EQ(e.energy_ev, (std::vector<double>{5.6287, 6.0621}));
  EXPECT_EQ(e.wavelength_nm, (std::vector<double>{220.27, 204.52}));
  EXPECT_EQ(e.oscillator_strength, (std::vector<double>{0.0018, 0}));
  EXPECT_EQ(e.rotatory_velocity, (std::vector<double>{-0.3874, -32.8598}));
  EXPECT_EQ(e.rotatory_length, (std::vector<double>{-0.478, -48.1793}));
  EXPECT_TRUE(e.wavenumber.empty());
  EXPECT_EQ(read.data.free_energy, -76.123456);
}

// The high-precision layout (freq=hpmodes) prints five modes a group and
// "KEY ---"; the normal analysis follows it at once.
TEST(GaussianReader, TakesTheLastCompleteAnalysisOfEveryKind) {
  const std::string high_precision = kHeader +
                                     "                           1         2\n"
                                     "                          AU        BG\n"
                                     "       Frequencies ---    52.7882   83.9373\n"
                                     "    IR Intensities ---     0.0323    0.0000\n"
                                     " Coord Atom Element:\n"
                                     "   1     1     6          0.00000   0.00000\n";
  const std::string normal = kHeader +
                             "                      1                      2\n"
                             "                     AU                     BG\n"
                             " Frequencies --     52.7882                83.9373\n"
                             " IR Inten    --      0.0323                 0.0000\n"
                             "  Atom  AN      X      Y      Z        X      Y      Z\n"
                             "     1   6     0.00   0.00   0.08     0.00   0.00  -0.08\n"
                             "\n";
  const SpectraRead both = testing::read_ok("gaussian", kBanner + high_precision + normal);
  EXPECT_EQ(both.data.vibrations.frequency, (std::vector<double>{52.7882, 83.9373}));
  EXPECT_EQ(both.data.vibrations.ir_intensity, (std::vector<double>{0.0323, 0}));

  // An optimisation's earlier analysis and states give way to the last.
  const SpectraRead jobs =
      testing::read_ok("gaussian", kBanner + kAnalysis + kExcited + normal +
                                       kExcited.substr(kExcited.find(" Excitation")));
  EXPECT_EQ(jobs.data.vibrations.frequency, (std::vector<double>{52.7882, 83.9373}));
  EXPECT_TRUE(jobs.data.vibrations.raman_activity.empty());
  EXPECT_TRUE(jobs.notes.empty()) << jobs.notes[0].text;  // the earlier analysis's note is gone
  EXPECT_EQ(jobs.data.excited_states.size(), 2u);
  // The last listing had no rotatory tables of its own.
  EXPECT_TRUE(jobs.data.excited_states.rotatory_velocity.empty());

  // A Raman job, then an IR-only job of the same modes: both kept.
  const std::string ir_only = replaced(
      kAnalysis, " Raman Activ --      1.0000                 2.5000                 0.0000\n", "");
  const SpectraRead link1 = testing::read_ok(
      "gaussian",
      kBanner + kAnalysis +
          replaced(replaced(ir_only, " Raman Activ --     90.1234\n", ""), "10.2500", "11.0000"));
  EXPECT_EQ(link1.data.vibrations.ir_intensity, (std::vector<double>{11, 0.01, 50}));
  EXPECT_EQ(link1.data.vibrations.raman_activity, (std::vector<double>{2.5, 0, 90.1234}));
}

// freq=VCD: "Rot. str." read as printed in every group (10^-44 esu^2 cm^2),
// the imaginary mode's left out with it; kept where a later IR-only job has
// the same modes; a group without the line, or a value that is no number,
// refused at its place; cut anywhere, a named error or what it holds.
TEST(GaussianReader, ReadsTheRotationalStrengthsOfAVcdAnalysis) {
  const std::string vcd = testing::excerpt("gaussian-vcd.log");
  const SpectraRead read = read_as("gaussian", vcd);
  ASSERT_FALSE(read.error) << read.error->line << ": " << read.error->expected;
  const Vibrations& v = read.data.vibrations;
  EXPECT_EQ(v.frequency, (std::vector<double>{1085.3021, 1250.7788, 2950.118}));
  EXPECT_EQ(v.ir_intensity, (std::vector<double>{24.61, 3.05, 41.23}));
  EXPECT_EQ(v.rotational_strength, (std::vector<double>{-12.3456, 7.8901, -0.4321}));
  EXPECT_EQ(v.imaginary_left_out, 1u);
  const std::string ir_only =
      replaced(replaced(vcd, " Rot. str.   --     -0.4321\n", ""),
               " Rot. str.   --      3.1416               -12.3456                 7.8901\n", "");
  EXPECT_EQ(read_as("gaussian", vcd + ir_only).data.vibrations.rotational_strength,
            v.rotational_strength);
  testing::expect_refusals(
      "gaussian",
      {{replaced(vcd, " Rot. str.   --     -0.4321\n", ""), ReadFault::misplaced, 22, 1,
        "a line 'Rot. str. --' in the group of modes at line 22, as in the group before"},
       {replaced(vcd, "-12.3456", "-12.3-56"), ReadFault::not_a_number, 17, 43,
        "a rotational strength value as a number, not '-12.3-56'"}});
  testing::expect_truncations_safe("gaussian", vcd);
}

TEST(GaussianReader, RefusesDamagedTablesWithTheirPlace) {
  const std::string good = kBanner + kAnalysis + kExcited;
  testing::expect_refusals(
      "gaussian",
      {
          {replaced(good, "10.2500 ", "10.2x00 "), ReadFault::not_a_number, 12, 44,
           "an IR intensity value as a number, not '10.2x00'"},
          {replaced(good, "1000.1234  ", "1e999      "), ReadFault::out_of_range, 9, 42,
           "a frequency value within the range of doubles, not '1e999'"},
          {replaced(good, "                 0.0100\n", "\n"), ReadFault::count_mismatch, 12, 51,
           "3 IR intensity values, one a mode of the group, not 2"},
          {replaced(good, " 1500.5000\n", " 1500.5000 7.0\n"), ReadFault::count_mismatch, 9, 75,
           "3 frequency values, one a mode of the group, not 4"},
          {replaced(good, "                      4\n", "                      5\n"),
           ReadFault::numbering, 18, 23, "mode 4, not '5'"},
          {replaced(good, " IR Inten    --     50.0000\n", ""), ReadFault::misplaced, 18, 1,
           "a line 'IR Inten --' in the group of modes at line 18, as in the group before"},
          {replaced(good, "R(length)", "R(mixed)"), ReadFault::layout, 38, 1,
           "a rotatory-strength header Gaussian prints ('state XX YY ZZ R(velocity) E-M Angle' or "
           "'state XX YY ZZ R(length)'), not 'state          XX          YY   '..."},
          {replaced(good, "         2      -164.9642", "         3      -164.9642"),
           ReadFault::numbering, 40, 10, "state 2, not '3'"},
          {replaced(good, "  -48.1793\n", "\n"), ReadFault::count_mismatch, 40, 52,
           "5 fields as the header names, not 4"},
          {replaced(good,
                    "         2         7.4136    -41.2581    -64.7349    -32.8598      102.36\n",
                    ""),
           ReadFault::count_mismatch, 32, 1,
           "2 rotatory strengths, one for each excited state listed at line 42, not 1"},
          {replaced(good, "220.27 nm", "220.27 mm"), ReadFault::layout, 45, 85,
           "an excited state as \"N: LABEL E eV L nm f=F\", with its wavelength in nm"},
          {replaced(good, "f=0.0018", "f=NaN"), ReadFault::not_a_number, 45, 65,
           "an oscillator strength as a number, not 'NaN'"},
          {replaced(good, "State   2:", "State   3:"), ReadFault::numbering, 52, 18,
           "excited state 2 (\"2:\")"},
          {replaced(good, "Energies=          -76.123456", "Energies="), ReadFault::missing_field,
           30, 46, "one free energy after '='"},
      });
}

TEST(GaussianReader, ReadsTheEomCcsdListingWithItsEigenvectors) {
  const SpectraRead read = testing::read_ok("gaussian", kBanner + kEom);
  const ExcitedStates& e = read.data.excited_states;
  EXPECT_EQ(e.energy_ev, (std::vector<double>{4.3331, 5.5589}));
  EXPECT_EQ(e.wavelength_nm, (std::vector<double>{286.13, 223.04}));
  EXPECT_EQ(e.oscillator_strength, (std::vector<double>{0.0051, 0.0003}));
  EXPECT_EQ(e.rotatory_velocity, (std::vector<double>{-0.0013, -0.0}));
  testing::expect_truncations_safe("gaussian", kBanner + kEom);
}

TEST(GaussianReader, AFileCutAnywhereIsANamedErrorOrWhatItHolds) {
  testing::expect_truncations_safe("gaussian", kBanner + kAnalysis + kExcited);
  testing::expect_truncations_safe("gaussian", kBanner + kAnnounced);
  testing::expect_truncations_safe("gaussian", kXtb);
  // The free energy on a last line without its line end may be cut short.
  const SpectraRead unended =
      read_as("gaussian", kBanner + " Sum of electronic and thermal Free Energies=  -76.12");
  ASSERT_TRUE(unended.error);
  EXPECT_EQ(unended.error->line, 3u);
}

TEST(GaussianReader, IsRecognisedByItsBanner) {
  EXPECT_EQ(recognise_input(kBanner + kAnalysis).name, "gaussian");
  EXPECT_EQ(recognise_input(" Entering Gaussian System, Link 0=g09\n").name, "gaussian");
  EXPECT_EQ(recognise_input(kAnalysis).name, "columns");  // no banner: not surely Gaussian's
}

}  // namespace
}  // namespace broaden
