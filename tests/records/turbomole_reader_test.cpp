// The Turbomole reader through its row: escf's and ricc2's excited states,
// aoforce's vibrations, every named error, truncation at every line.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "spectra_checks.h"

namespace broaden {
namespace {

using testing::read_as;

const std::string kBanner =
    " escf (host) : TURBOMOLE rev. V7.4.1 (2bfdd732) compiled 4 Nov 2019 at 15:12:03\n";

// One state of escf 7.4 (CO, PBE0), as printed.
std::string escf_state(const std::string& number) {
  return "                         " + number +
         " singlet a excitation\n"
         " Excitation energy:                      0.3111453714493050\n"
         " Excitation energy / eV:                  8.466699968968847\n"
         " Excitation energy / nm:                  146.4375074832943\n"
         " Excitation energy / cm^(-1):             68288.51549285055\n"
         " Oscillator strength:\n"
         "    velocity representation:             0.1011193926229111\n"
         "    length representation:               0.9461905579062439E-01\n"
         " Rotatory strength:\n"
         "    velocity rep. / 10^(-40)erg*cm^3:    0.8285997783054736E-06\n"
         "    length rep. / 10^(-40)erg*cm^3:     -0.8029927479925187E-06\n";
}

const std::string kEscf = kBanner + " total number of roots to be determined: 2\n" +
                          escf_state("1") + escf_state("2") +
                          " SUMMARY OF EXCITATION ENERGIES AND DIPOLE OSCILLATOR STRENGTHS\n";

// ricc2 7.4 (CO, CC2): a preoptimization's table, the final one, two strengths.
const std::string kTable =
    " +====================================================================+\n"
    " | sym | multi | state |          CC2 excitation energies       |  %t1   |\n"
    " |     |       |       +----------------------------------------+--------+\n"
    " |     |       |       |   Hartree    |    eV      |    cm-1    |    %   |\n"
    " +====================================================================+\n"
    " | a   |   1   |   1   |    0.3257471 |    8.86403 |  71493.234 |  94.89 |\n"
    " | a   |   3   |   1   |    0.3864541 |   10.51595 |  84816.880 |  95.05 |\n"
    " +====================================================================+\n";
std::string transition(const std::string& label, const std::string& f) {
  return "  |    number, symmetry, multiplicity:    " + label +
         "                          |\n"
         "       oscillator strength (length gauge)   :      " +
         f + "\n";
}
const std::string kRicc2 =
    " ricc2 (host) : TURBOMOLE rev. V7.4.1\n"
    " Note that this is the intermediate result of a preoptimization!\n" +
    kTable + kTable + transition("1 a    1", "0.09614727") + transition("1 a    3", "0.00000000");

// aoforce 7.6: an imaginary mode printed "i123.45", two blocks.
const std::string kAoforce =
    " aoforce (host) : TURBOMOLE rev. V7-6-1\n"
    "          NORMAL MODES and VIBRATIONAL FREQUENCIES (cm**(-1))\n"
    "          mode               1        2        3\n"
    "        frequency          0.00  i123.45    88.32\n"
    "        symmetry                      a        a\n"
    " intensity (km/mol)        0.00     0.05     0.39\n"
    " intensity (  %   )        0.00     0.05     0.40\n"
    "          mode               4\n"
    "        frequency       1640.54\n"
    " intensity (km/mol)       75.40\n"
    " zero point VIBRATIONAL energy  ...\n";

TEST(TurbomoleReader, ReadsEachModulesTablesAsPrinted) {
  const SpectraRead escf = testing::read_ok("turbomole", kEscf);
  const ExcitedStates& e = escf.data.excited_states;
  EXPECT_EQ(e.energy_ev, (std::vector<double>(2, 8.466699968968847)));
  EXPECT_EQ(e.wavelength_nm, (std::vector<double>(2, 146.4375074832943)));
  EXPECT_EQ(e.wavenumber, (std::vector<double>(2, 68288.51549285055)));
  EXPECT_EQ(e.oscillator_strength, (std::vector<double>(2, 0.09461905579062439)));
  EXPECT_EQ(e.rotatory_velocity, (std::vector<double>(2, 0.8285997783054736E-06)));
  EXPECT_EQ(e.rotatory_length, (std::vector<double>(2, -0.8029927479925187E-06)));

  const SpectraRead cc2 = testing::read_ok("turbomole", kRicc2);
  EXPECT_EQ(cc2.data.excited_states.energy_ev, (std::vector<double>{8.86403, 10.51595}));
  EXPECT_EQ(cc2.data.excited_states.wavenumber, (std::vector<double>{71493.234, 84816.88}));
  EXPECT_EQ(cc2.data.excited_states.oscillator_strength, (std::vector<double>{0.09614727, 0}));

  // An earlier job cut short is dropped.
  const std::string cut = kEscf.substr(0, kEscf.find("  2 singlet")) + kAoforce.substr(0, 300);
  const SpectraRead force = testing::read_ok("turbomole", cut + kAoforce);
  EXPECT_EQ(force.data.vibrations.frequency, (std::vector<double>{88.32, 1640.54}));
  EXPECT_EQ(force.data.vibrations.ir_intensity, (std::vector<double>{0.39, 75.4}));
  const std::size_t title = static_cast<std::size_t>(std::count(cut.begin(), cut.end(), '\n')) + 2;
  EXPECT_EQ(force.notes,
            (std::vector<LineListNote>{{title,
                                        "left out 1 imaginary frequency (printed negative); and 1 "
                                        "zero frequency (translations and rotations)"}}));
}

TEST(TurbomoleReader, RefusesWhatItCannotReadWithItsPlace) {
  const std::string escf = kBanner + " total number of roots to be determined: 3\n";
  const std::string close = " SUMMARY OF EXCITATION ENERGIES\n";
  const std::string modes = kAoforce.substr(0, kAoforce.find("          mode"));
  testing::expect_refusals(
      "turbomole",
      {{escf + escf_state("1") + close,
        "kind 1 count_mismatch at 14:1: the 3 roots announced at line 2, not 1"},
       {escf + escf_state("1"),
        "kind 1 cut_short at 13:64: the rest of the excited states at line 3, not the end of "
        "the "
        "file"},
       {kBanner + escf_state("1") + " Rotatory strength:\n    length rep. / a.u.:  0.1\n" + close,
        "kind 0 layout at 14:1: a rotatory strength in 10^(-40)erg*cm^3, not 'length rep. / "
        "a.u.:  0.1'"},
       {kBanner + escf_state("1") + "                         2 singlet a excitation\n" + close,
        "kind 1 count_mismatch at 14:1: state 2 of the job at line 2 with an energy in eV, as "
        "its "
        "first"},
       {kBanner + "   1 singlet a excitation\n Excitation energy / eV:  8.4x\n",
        "kind 0 not_a_number at 3:27: an energy in eV as a number, not '8.4x'"},
       {kTable + transition("2 a    1", "0.1"),
        "kind 0 numbering at 9:1: state 1 a 1 of the table at line 2"},
       {kTable + transition("1 a    1", "0.1"),
        "kind 1 cut_short at 10:55: the rest of the oscillator strengths of the table at line "
        "2, "
        "not the end of the file"},
       {kTable + transition("1 a    1", "0.1") + "   ****  ricc2 : all done  ****\n",
        "kind 1 count_mismatch at 2:1: an oscillator strength for each of the 2 states, not 1"},
       {transition("1 a    1", "0.1"),
        "kind 1 misplaced at 2:1: a transition's number, symmetry, multiplicity before its "
        "oscillator strength, after a table of excitation energies"},
       {modes + " frequency  1.0\n",
        "kind 1 misplaced at 3:1: a line of mode numbers before 'frequency'"},
       {modes + " mode  1  2  3\n frequency  0.00  i123.45\n",
        "kind 1 count_mismatch at 4:26: 3 values, one a mode of the group, not 2"},
       {modes + " mode  1  3\n", "kind 0 numbering at 3:11: mode 2, not '3'"}});
}

TEST(TurbomoleReader, IsRecognisedByAModulesBannerAndSafeWhenCutAnywhere) {
  for (const std::string* text : {&kEscf, &kRicc2, &kAoforce}) {
    EXPECT_EQ(recognise_input(*text).name, "turbomole");
    testing::expect_truncations_safe("turbomole", *text);
  }
  EXPECT_EQ(recognise_input("# run with TURBOMOLE\n1 2\n").name, "columns");
}

}  // namespace
}  // namespace broaden
