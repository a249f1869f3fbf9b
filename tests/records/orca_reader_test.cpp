// The ORCA reader through its row: the table layouts of versions 4, 5 and
// 6, read by their headers; every named error; truncation at every line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "spectra_checks.h"

namespace broaden {
namespace {

using testing::read_as;
using testing::replaced;

const std::string kBanner =
    "\n"
    "                                 *****************\n"
    "                                 * O   R   C   A *\n"
    "                                 *****************\n";

// Version 4: no units line, the IR intensity in km/mol under T**2.
const std::string kVersion4 =
    "-----------\n"
    "IR SPECTRUM\n"
    "-----------\n"
    "\n"
    " Mode    freq (cm**-1)   T**2         TX         TY         TZ\n"
    "-------------------------------------------------------------------\n"
    "   5:      -35.12    0.500000  (  0.000000   0.000000   0.707107)\n"
    "   6:      2069.36    1.674341  ( -0.000000   0.914970  -0.914970)\n"
    "   7:      3978.81   76.856228  (  0.000000   6.199041  -6.199042)\n"
    "\n"
    "--------------\n"
    "RAMAN SPECTRUM\n"
    "--------------\n"
    "\n"
    " Mode    freq (cm**-1)   Activity   Depolarization\n"
    "-------------------------------------------------------------------\n"
    "   5:       -35.12      0.000000      0.750000\n"
    "   6:      2069.36      5.291229      0.399982\n"
    "   7:      3978.81      0.000000      0.749764\n"
    "\n"
    "Final Gibbs free energy         ...    -76.35000000 Eh\n";

// Version 5: a units line under the header; states in cm-1 and nm, two of
// them spin forbidden.
const std::string kVersion5 =
    "-----------\n"
    "IR SPECTRUM\n"
    "-----------\n"
    "\n"
    " Mode   freq       eps      Int      T**2         TX        TY        TZ\n"
    "       cm**-1   L/(mol*cm) km/mol    a.u.\n"
    "----------------------------------------------------------------------------\n"
    "  6:     45.66   0.000006    0.03  0.000039  ( 0.000000  0.000000  0.006256)\n"
    "  7:     78.63   0.000000    0.00  0.000000  ( 0.000000  0.000000  0.000000)\n"
    " 15:    487.66   0.000385    1.95  0.000247  (-0.015616 -0.001633  0.000000)\n"
    "\n"
    "* The epsilon (eps) is given for a Dirac delta lineshape.\n"
    "\n"
    "-----------------------------------------------------------------------------\n"
    "         ABSORPTION SPECTRUM VIA TRANSITION ELECTRIC DIPOLE MOMENTS\n"
    "-----------------------------------------------------------------------------\n"
    "State   Energy    Wavelength  fosc         T2        TX        TY        TZ  \n"
    "        (cm-1)      (nm)                 (au**2)    (au)      (au)      (au) \n"
    "-----------------------------------------------------------------------------\n"
    "   1   43166.7    231.7   0.005267213   0.04017  -0.16816  -0.10906   0.00000\n"
    "   2   46230.3    216.3   1.171011871   8.33892   2.88653   0.08277  -0.00000\n"
    "   3   25241.0    396.2   spin forbidden (mult=3)\n"
    "\n"
    "-------------------------------------------------------------------\n"
    "                             CD SPECTRUM\n"
    "-------------------------------------------------------------------\n"
    "State  Energy     Wavelength     R         MX        MY        MZ   \n"
    "       (cm-1)       (nm)     (1e40*cgs)   (au)      (au)      (au)  \n"
    "-------------------------------------------------------------------\n"
    "   1   43166.7    231.7      0.00000  -0.00000   0.00000   0.00002\n"
    "   2   46230.3    216.3      0.00010   0.00000  -0.00000  -0.00002\n"
    "   3   25241.0    396.2 spin forbidden\n"
    "\n"
    "-------------------------------------------------------------------\n"
    "         CD SPECTRUM VIA TRANSITION VELOCITY DIPOLE MOMENTS        \n"
    "-------------------------------------------------------------------\n"
    "State  Energy     Wavelength     R         MX        MY        MZ   \n"
    "       (cm-1)       (nm)     (1e40*cgs)   (au)      (au)      (au)  \n"
    "-------------------------------------------------------------------\n"
    "   1   43166.7    231.7     -0.00000  -0.00000   0.00000   0.00002\n"
    "   2   46230.3    216.3     -0.00003   0.00000  -0.00000  -0.00002\n"
    "   3   25241.0    396.2 spin forbidden\n"
    "\n"
    "Final Gibbs free energy         ...   -381.91112705 Eh\n";

// Version 6: transitions labelled "0-1A -> 1-1A" (symmetry labels may
// follow), an energy in eV before the one in cm-1.
const std::string kVersion6 =
    "\n"
    "----------------------------------------------------------------------------------------------"
    "------\n"
    "                     ABSORPTION SPECTRUM VIA TRANSITION ELECTRIC DIPOLE MOMENTS\n"
    "----------------------------------------------------------------------------------------------"
    "------\n"
    "     Transition      Energy     Energy  Wavelength fosc(D2)      D2        DX        DY       "
    " DZ\n"
    "                      (eV)      (cm-1)    (nm)                 (au**2)    (au)      (au)      "
    "(au)\n"
    "----------------------------------------------------------------------------------------------"
    "------\n"
    "  0-1A  ->  1-1A    8.000598   64529.2   155.0   0.021521974   0.10980   0.00000  -0.33136  "
    "-0.00000\n"
    "  0-1 Ag ->  2-1 B3u  9.819031   79195.8   126.3   0.069613546   0.28938   0.00000  -0.00000  "
    " 0.53794\n"
    "\n"
    "                     CD SPECTRUM VIA TRANSITION ELECTRIC DIPOLE MOMENTS\n"
    "------------------------------------------------------------------------------------------\n"
    "     Transition      Energy     Energy  Wavelength    R        MX        MY        MZ\n"
    "                      (eV)      (cm-1)    (nm)   (1e40*cgs)   (au)      (au)      (au)\n"
    "------------------------------------------------------------------------------------------\n"
    "  0-1A  ->  1-1A    8.000598   64529.2   155.0  -420.54720   0.25960  -0.03543  -0.64573\n"
    "  0-1 Ag ->  2-1 B3u  9.819031   79195.8   126.3   744.90418  -0.23136   0.04506  -1.65613\n"
    "\n";

// Coupled cluster, version 6: a table for each set of transition moments,
// the last ended by a footnote; version 5: the CD table's cm-1 and nm
// columns hold each other's values, a state at negative energy.
const std::string kCoupledCluster6 =
    "                    SPECTRUM FOR RIGHT TRANSITION MOMENTS\n"
    "--------------------------------------------------------------------\n\n\n"
    "                     ABSORPTION SPECTRUM VIA TRANSITION ELECTRIC DIPOLE MOMENTS    \n"
    "-----------------------------------------------------------------------\n"
    "     Transition      Energy     Energy  Wavelength fosc(D2)      D2        DX\n"
    "                      (eV)      (cm-1)    (nm)                 (au**2)    (au)\n"
    "-----------------------------------------------------------------------\n"
    "  0-1A  ->  1-1A    5.471765   44132.8   226.6   0.000480568   0.00358  -0.04438\n"
    "\n"
    "                    SPECTRUM FOR LEFT-RIGHT TRANSITION MOMENTS\n"
    "--------------------------------------------------------------------\n\n\n"
    "                     ABSORPTION SPECTRUM VIA TRANSITION ELECTRIC DIPOLE MOMENTS    \n"
    "-----------------------------------------------------------------------\n"
    "     Transition      Energy     Energy  Wavelength fosc(D2)      D2        DX\n"
    "                      (eV)      (cm-1)    (nm)                 (au**2)    (au)\n"
    "-----------------------------------------------------------------------\n"
    "  0-1A  ->  1-1A    5.471765   44132.8   226.6   0.000528270   0.00394  -0.04438\n"
    "*The positivity of oscillator strengths is not guaranteed in non-Hermitian theories.\n";
const std::string kCoupledCluster5 =
    "         ABSORPTION SPECTRUM VIA TRANSITION ELECTRIC DIPOLE MOMENTS\n"
    "-----------------------------------------------------------------------------\n"
    "State   Energy  Wavelength   fosc         T2         TX        TY        TZ  \n"
    "        (cm-1)    (nm)                  (au**2)     (au)      (au)      (au) \n"
    "-----------------------------------------------------------------------------\n"
    "   1   -1200.0  -8333.3   0.000000000   0.00000   0.00000   0.00000   0.00000\n"
    "   2   61501.1    162.6   0.997594062   5.34007   2.31086   0.00087   0.00000\n"
    "\n"
    "                             CD SPECTRUM\n"
    "-------------------------------------------------------------------\n"
    "State   Energy Wavelength       R         MX        MY        MZ   \n"
    "        (cm-1)   (nm)       (1e40*cgs)   (au)      (au)      (au)  \n"
    "-------------------------------------------------------------------\n"
    "   1   -8333.3   -1200.0      0.00000   0.00000   0.00000   0.00000\n"
    "   2     162.6   61501.1     -0.01077  -0.00000   0.00000   0.00000\n"
    "\n"
    "Final Gibbs free enthalpy         ...    -76.35000000 Eh\n";

// ROCIS with spin-orbit coupling, version 4.2: rows labelled by two states,
// the first a transition between degenerate ground states.
const std::string kRocis4 =
    "SPIN ORBIT CORRECTED ABSORPTION SPECTRUM VIA TRANSITION ELECTRIC DIPOLE MOMENTS\n"
    "-------------------------------------------------------------------------------\n"
    "States    Energy  Wavelength   fosc         T2         TX        TY        TZ  \n"
    "          (cm-1)    (nm)                  (au**2)     (au)      (au)      (au) \n"
    "-------------------------------------------------------------------------------\n"
    " 0  1       0.0    0.0   0.000000000   0.00000   0.00000   0.00000   0.00000\n"
    " 0  3 2316970.8    4.3   0.015320799   0.00435   0.00000   0.00000   0.06598\n"
    " 1  2 2316970.8    4.3   0.015320799   0.00435   0.00000   0.00000   0.06598\n"
    "\n";

TEST(OrcaReader, ReadsTheLeftRightSetAndTheMisprintedCdTableOfCoupledCluster) {
  const SpectraRead six = testing::read_ok("orca", kBanner + kCoupledCluster6);
  EXPECT_EQ(six.data.excited_states.oscillator_strength, (std::vector<double>{0.00052827}));
  // A left or right set alone is not kept.
  const SpectraRead right = testing::read_ok(
      "orca",
      kBanner + kCoupledCluster6.substr(0, kCoupledCluster6.find("   SPECTRUM FOR LEFT-RIGHT")));
  EXPECT_EQ(right.data.excited_states.size(), 0u);

  const SpectraRead five = testing::read_ok("orca", kBanner + kCoupledCluster5);
  const ExcitedStates& e = five.data.excited_states;
  EXPECT_EQ(e.wavenumber, (std::vector<double>{61501.1}));
  EXPECT_EQ(e.wavelength_nm, (std::vector<double>{162.6}));
  EXPECT_EQ(e.rotatory_length, (std::vector<double>{-0.01077}));
  ASSERT_EQ(five.notes.size(), 1u);
  EXPECT_EQ(five.notes[0].text, "left out 1 excited state at zero or negative energy");
  EXPECT_EQ(five.data.free_energy, -76.35);  // before 4.2: "free enthalpy"

  const SpectraRead rocis = testing::read_ok("orca", kBanner + kRocis4);
  EXPECT_EQ(rocis.data.excited_states.wavenumber, (std::vector<double>{2316970.8, 2316970.8}));
  EXPECT_EQ(rocis.notes.size(), 1u);
}

TEST(OrcaReader, ReadsVersion4ColumnsByTheirHeaders) {
  const SpectraRead read = testing::read_ok("orca", kBanner + kVersion4);
  const Vibrations& v = read.data.vibrations;
  EXPECT_EQ(v.frequency, (std::vector<double>{2069.36, 3978.81}));
  EXPECT_EQ(v.ir_intensity, (std::vector<double>{1.674341, 76.856228}));
  EXPECT_EQ(v.raman_activity, (std::vector<double>{5.291229, 0}));
  EXPECT_EQ(v.imaginary_left_out, 1u);
  ASSERT_EQ(read.notes.size(), 1u);
  EXPECT_EQ(read.notes[0].text, "left out 1 imaginary frequency (printed negative)");
  EXPECT_EQ(read.data.free_energy, -76.35);
}

TEST(OrcaReader, ReadsVersion5TablesWithTheirUnitsLine) {
  const SpectraRead read = testing::read_ok("orca", kBanner + kVersion5);
  const Vibrations& v = read.data.vibrations;
  EXPECT_EQ(v.frequency, (std::vector<double>{45.66, 78.63, 487.66}));
  EXPECT_EQ(v.ir_intensity, (std::vector<double>{0.03, 0, 1.95}));  // Int, not eps or T**2
  EXPECT_TRUE(v.raman_activity.empty());
  const ExcitedStates& e = read.data.excited_states;
  EXPECT_EQ(e.wavenumber, (std::vector<double>{43166.7, 46230.3, 25241.0}));
  EXPECT_EQ(e.wavelength_nm, (std::vector<double>{231.7, 216.3, 396.2}));
  EXPECT_TRUE(e.energy_ev.empty());
  EXPECT_EQ(e.oscillator_strength, (std::vector<double>{0.005267213, 1.171011871, 0}));
  EXPECT_EQ(e.rotatory_length, (std::vector<double>{0, 0.0001, 0}));
  EXPECT_EQ(e.rotatory_velocity, (std::vector<double>{-0.0, -0.00003, 0}));
  EXPECT_EQ(read.data.free_energy, -381.91112705);
}

TEST(OrcaReader, ReadsVersion6TransitionsWithTheirEnergyInElectronvolts) {
  const SpectraRead read = testing::read_ok("orca", kBanner + kVersion6);
  const ExcitedStates& e = read.data.excited_states;
  EXPECT_EQ(e.energy_ev, (std::vector<double>{8.000598, 9.819031}));
  EXPECT_EQ(e.wavenumber, (std::vector<double>{64529.2, 79195.8}));
  EXPECT_EQ(e.wavelength_nm, (std::vector<double>{155.0, 126.3}));
  EXPECT_EQ(e.oscillator_strength, (std::vector<double>{0.021521974, 0.069613546}));
  EXPECT_EQ(e.rotatory_length, (std::vector<double>{-420.5472, 744.90418}));
  EXPECT_TRUE(e.rotatory_velocity.empty());
  EXPECT_EQ(read.data.vibrations.size(), 0u);
}

// ORCA 6's VCD table (the modes numbered without a colon, rotational
// strengths in 1E-44 esu^2 cm^2) joins the IR table's modes, or is refused
// where it numbers others; alone, it gives its own.
const std::string kVcd =
    "VCD SPECTRUM CALCULATION\n"
    "------------------------\n"
    "\n"
    "Calculating the atomic axial tensor (analytic) ... done ( 0.051 sec)\n"
    "\n"
    "---------------------------------\n"
    " Mode   Freq    VCD-Intensity\n"
    "       (1/cm) (1E-44*esu^2*cm^2)\n"
    "---------------------------------\n"
    "    6    45.7          0.12\n"
    "    7    78.6         -3.05\n"
    "   15   487.7         21.84\n"
    "\n"
    "Maximum memory used throughout the entire PROP-calculation: 41.2 MB\n";

TEST(OrcaReader, ReadsTheVcdTableWithTheModesItNumbers) {
  const SpectraRead read = read_as("orca", kBanner + kVersion5 + kVcd);
  ASSERT_FALSE(read.error) << read.error->line << ": " << read.error->expected;
  EXPECT_EQ(read.data.vibrations.frequency, (std::vector<double>{45.66, 78.63, 487.66}));
  EXPECT_EQ(read.data.vibrations.rotational_strength, (std::vector<double>{0.12, -3.05, 21.84}));
  const SpectraRead alone = read_as("orca", kBanner + kVcd);
  ASSERT_FALSE(alone.error) << alone.error->line << ": " << alone.error->expected;
  EXPECT_EQ(alone.data.vibrations.frequency, (std::vector<double>{45.7, 78.6, 487.7}));
  EXPECT_TRUE(alone.data.vibrations.ir_intensity.empty());
  const std::size_t title = 49;  // of the VCD table, after kVersion5's lines
  testing::expect_refusals(
      "orca",
      {{kBanner + kVersion5 + testing::replaced(kVcd, "   15   487.7", "   16   487.7"),
        ReadFault::numbering, title, 1, "the modes of the table at line 6 as numbered there"},
       {kBanner + kVersion5 + testing::replaced(kVcd, "    7    78.6         -3.05\n", ""),
        ReadFault::count_mismatch, title, 1, "the 3 modes of the table at line 6, not 2"},
       {kBanner + testing::replaced(kVcd, "(1E-44", "(1E-40"), ReadFault::layout, 11, 1,
        "a layout of this table the reader knows, not the header 'Mode   Freq    "
        "VCD-Intensity'"}});
  testing::expect_truncations_safe("orca", kBanner + kVersion5 + kVcd);
}

// A file of several jobs (an optimisation's frequencies, then the final
// ones): the last table of each kind is read.
TEST(OrcaReader, TakesTheLastTableOfEveryKind) {
  const std::string first = kVersion5.substr(0, kVersion5.find("* The epsilon"));
  const SpectraRead read = testing::read_ok("orca", kBanner + first + kVersion4);
  EXPECT_EQ(read.data.vibrations.frequency, (std::vector<double>{2069.36, 3978.81}));
  EXPECT_EQ(read.data.vibrations.raman_activity, (std::vector<double>{5.291229, 0}));
  ASSERT_EQ(read.notes.size(), 1u);
  EXPECT_EQ(read.notes[0].line, 17u);  // the title of the table kept
}

TEST(OrcaReader, RefusesLayoutsItDoesNotKnowAndDamagedRows) {
  const std::string v5 = kBanner + kVersion5;
  testing::expect_refusals(
      "orca", {
                  // The IR intensity in a unit the reader does not know.
                  {replaced(v5, "km/mol    a.u.", "kJ/mol    a.u."), ReadFault::layout, 9, 1,
                   "a layout of this table the reader knows, not the header 'Mode   freq   "
                   "    eps      Int      T**2         TX        TY        TZ'"},
                  // An Int without its unit is not taken for km/mol, nor T**2 in a.u.
                  {replaced(v5, "km/mol    a.u.", "          a.u."), ReadFault::layout, 9, 1,
                   "a layout of this table the reader knows, not the header 'Mode   freq   "
                   "    eps      Int      T**2         TX        TY        TZ'"},
                  {replaced(v5, "   0.03  0.000039", "   0.0x  0.000039"), ReadFault::not_a_number,
                   12, 30, "an IR intensity as a number, not '0.0x'"},
                  {replaced(v5, "  0.000039  ( 0.000000  0.000000  0.006256)", "  0.000039"),
                   ReadFault::count_mismatch, 12, 44,
                   "7 numbers after the label, as the header names, not 4"},
                  {replaced(v5, "  6:     45.66", "  6      45.66"), ReadFault::layout, 12, 3,
                   "a row of the table: its label ('Mode'), then 7 numbers"},
                  {replaced(v5, "   2   46230.3    216.3      0.00010",
                            "   2   46230.4    216.3      0.00010"),
                   ReadFault::count_mismatch, 29, 1, "the 3 states of the table at line 19, not 3"},
                  {replaced(v5, "   3   25241.0    396.2 spin forbidden\n\n-", "\n-"),
                   ReadFault::count_mismatch, 29, 1, "the 3 states of the table at line 19, not 2"},
                  {replaced(v5, "   3   25241.0    396.2   spin", "   3   spin"),
                   ReadFault::missing_field, 26, 8, "an energy in cm-1 before 'spin forbidden'"},
                  {replaced(v5, "...   -381.91112705 Eh", "-381.91112705 Eh"),
                   ReadFault::missing_field, 48, 49, "the free energy after '...'"},
                  // IR and Raman tables of different modes.
                  {replaced(kBanner + kVersion4, "   6:      2069.36      5.29",
                            "   6:      2069.37      5.29"),
                   ReadFault::count_mismatch, 16, 1, "the 3 modes of the table at line 6, not 3"},
              });
}

TEST(OrcaReader, AFileCutAnywhereIsANamedErrorOrWhatItHolds) {
  testing::expect_truncations_safe("orca", kBanner + kVersion4);
  testing::expect_truncations_safe("orca", kBanner + kVersion5);
  testing::expect_truncations_safe("orca", kBanner + kVersion6);
  testing::expect_truncations_safe("orca", kBanner + kCoupledCluster6);
  testing::expect_truncations_safe("orca", kBanner + kCoupledCluster5);
  testing::expect_truncations_safe("orca", kBanner + kRocis4);
}

TEST(OrcaReader, IsRecognisedByItsBanner) {
  EXPECT_EQ(recognise_input(kBanner + kVersion5).name, "orca");
  EXPECT_EQ(recognise_input(kVersion5).name, "columns");
}

}  // namespace
}  // namespace broaden
