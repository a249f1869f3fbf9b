// The Psi4 reader through its row: the harmonic vibrational analysis, the
// TDSCF table with its rotatory strengths converted from atomic units, the
// free energy, every named error, truncation at every line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "spectra_checks.h"

namespace broaden {
namespace {

using testing::read_as;

const std::string kBanner =
    "          Psi4: An Open-Source Ab Initio Electronic Structure Package\n";

// Psi4 1.3.2 (water, SCF/STO-3G), the analysis split in two blocks, mode 8
// made imaginary.
const std::string kVibrations =
    "  ==> Harmonic Vibrational Analysis <==\n"
    "  Vibration                       7                   8           \n"
    "  Freq [cm^-1]                2170.9199           4139.2996i      \n"
    "  Irrep                           A1                  A1          \n"
    "  IR activ [km/mol]             7.2090             44.3988        \n"
    "  ----------------------------------------------------------------\n"
    "  Vibration                       9\n"
    "  Freq [cm^-1]                4389.8522\n"
    "  IR activ [km/mol]             30.1264\n"
    "  ==> Thermochemistry Components <==\n"
    "  Total G, Free enthalpy at  298.15 [K]                                -74.95935149 [Eh]\n";

// The TDSCF table as Psi4 1.6 prints it.
const std::string kStates =
    "                                    Excitation Energy         Total Energy        Oscillator "
    "Strength             Rotatory Strength       \n"
    "     #   Sym: GS->ES (Trans)        au              eV              au          au (length)   "
    " au (velocity)    au (length)    au (velocity) \n"
    "    ---- -------------------- --------------- --------------- --------------- --------------- "
    "--------------- --------------- ---------------\n"
    "     1      A1->B2 (1 B2)      0.30234         8.22713        -75.00000        0.0512         "
    " 0.0498          0.0011         -0.0021        \n"
    "     2      A1->A2 (1 A2)      0.36120         9.82876        -74.90000        0.0000         "
    " 0.0000          0.0000          0.0000        \n"
    "\n";

TEST(Psi4Reader, ReadsTheAnalysisTheStatesAndTheFreeEnergy) {
  const SpectraRead read = testing::read_ok("psi4", kBanner + kVibrations + kStates);
  EXPECT_EQ(read.data.vibrations.frequency, (std::vector<double>{2170.9199, 4389.8522}));
  EXPECT_EQ(read.data.vibrations.ir_intensity, (std::vector<double>{7.209, 30.1264}));
  EXPECT_EQ(read.data.free_energy, -74.95935149);
  EXPECT_EQ(read.notes,
            (std::vector<LineListNote>{{2, "left out 1 imaginary frequency (printed negative)"}}));
  const ExcitedStates& e = read.data.excited_states;
  EXPECT_EQ(e.energy_ev, (std::vector<double>{8.22713, 9.82876}));
  EXPECT_EQ(e.oscillator_strength, (std::vector<double>{0.0512, 0}));
  // One atomic unit, e a0 (2.541746473 debye) times e hbar / m_e (twice
  // the Bohr magneton, 9.2740100783e-21 erg/G), is 471.4436 in 1e-40 cgs.
  const double au = static_cast<double>(2.541746473e-18L * 2 * 9.2740100783e-21L * 1e40L);
  ASSERT_EQ(e.rotatory_length.size(), 2u);
  EXPECT_NEAR(e.rotatory_length[0] / (0.0011 * au), 1.0, 1e-9);
  EXPECT_NEAR(e.rotatory_velocity[0] / (-0.0021 * au), 1.0, 1e-9);
  EXPECT_EQ(e.rotatory_length[1], 0.0);
}

TEST(Psi4Reader, RefusesWhatItCannotReadWithItsPlace) {
  const std::string open = "  ==> Harmonic Vibrational Analysis <==\n";
  testing::expect_refusals(
      "psi4",
      {{open + "  Vibration    7   9\n", "kind 0 numbering at 2:20: mode 8, not '9'"},
       {open + "  Vibration    7   8\n  Freq [cm^-1]   1.0\n",
        "kind 1 count_mismatch at 3:21: 2 values, one a mode of the 'Vibration' line, not 1"},
       {open + "  Freq [cm^-1]   1.0\n",
        "kind 1 misplaced at 2:1: a 'Vibration' line before 'Freq [cm^-1]   1.0'"},
       {open + "  Vibration    7\n  Freq [cm^-1]   1.0\n",
        "kind 1 cut_short at 3:21: the rest of the vibrational analysis at line 1, not the end "
        "of "
        "the file"},
       {kStates.substr(0, kStates.find("\n    ---")) + "\n  -- --\n",
        "kind 0 layout at 1:1: a layout of this table the reader knows, not the header "
        "'Excitation Energy         Total Energy        Oscillator Strength             "
        "Rotatory "
        "Strength'"},
       {kStates.substr(0, kStates.find("     2 ")),
        "kind 1 cut_short at 4:142: the rest of the table at line 1, not the end of the file"},
       {"  Total G, Free enthalpy at  298.15 [K]     -74.9 [kcal/mol]\n",
        "kind 0 layout at 1:1: the free energy before '[Eh]'"}});
}

TEST(Psi4Reader, IsRecognisedByItsBannerAndSafeWhenCutAnywhere) {
  EXPECT_EQ(recognise_input(kBanner + kVibrations).name, "psi4");
  EXPECT_EQ(recognise_input("# Psi4\n1 2\n").name, "columns");
  testing::expect_truncations_safe("psi4", kBanner + kVibrations + kStates);
}

}  // namespace
}  // namespace broaden
