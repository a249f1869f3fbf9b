// Hostile files for every spectra reader: binary bytes, a line of 100 MB,
// numbers beyond the doubles and textual NaN and infinities. Each gives a
// named error placed in the file (or, where no section is found at all,
// nothing), never a crash, a hang or a value that is not finite.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "spectra_checks.h"

namespace broaden {
namespace {

using testing::read_as;

constexpr const char* kFormats[] = {"gaussian",  "orca",        "molden", "cjson",
                                    "turbomole", "vibspectrum", "xtb",    "psi4",
                                    "qchem",     "gamess",      "nwchem"};

// A file of each format whose one number is `number`.
std::string with_number(std::string_view format, const std::string& number) {
  if (format == "gaussian")
    return " Harmonic frequencies (cm**-1), IR intensities (KM/Mole)\n"
           "                      1\n"
           " Frequencies --   " +
           number + "\n\n";
  if (format == "orca")
    return "IR SPECTRUM\n-----------\n Mode    freq (cm**-1)   T**2\n------------\n   6:   " +
           number + "   1.0\n\n";
  if (format == "molden") return "[FREQ]\n" + number + "\n[INT]\n1.0\n";
  if (format == "turbomole")
    return " NORMAL MODES and VIBRATIONAL FREQUENCIES (cm**(-1))\n mode  1\n frequency  " + number +
           "\n intensity (km/mol)  1.0\n zero point VIBRATIONAL energy\n";
  if (format == "vibspectrum")
    return "$vibrational spectrum\n  1  a  " + number + "  1.0  YES  YES\n$end\n";
  if (format == "xtb")
    return " projected vibrational frequencies (cm\u207b\u00b9)\neigval : " + number + "\n\n";
  if (format == "psi4")
    return "  ==> Harmonic Vibrational Analysis <==\n  Vibration  7\n  Freq [cm^-1]  " + number +
           "\n  ==> Thermochemistry Components <==\n";
  if (format == "qchem")
    return " ** VIBRATIONAL ANALYSIS **\n\n Mode:  1\n Frequency:   " + number +
           "\n   X  Y  Z\n\n STANDARD THERMODYNAMIC QUANTITIES\n";
  if (format == "gamess")
    return "NORMAL COORDINATE ANALYSIS IN THE HARMONIC APPROXIMATION\n   1\n FREQUENCY:   " +
           number + "\n\n ......END OF NORMAL COORDINATE ANALYSIS......\n";
  if (format == "nwchem")
    return " Normal Eigenvalue ||  Infra Red Intensities\n  Mode   [cm**-1]  || [(KM/mol)]\n"
           " ------ ---------- || ----------\n    1   " +
           number + " ||   1.0\n ----------\n";
  return "{\"chemical json\": 0, \"vibrations\": {\"frequencies\": [" + number + "]}}";
}

TEST(HostileFiles, NumbersBeyondTheDoublesAndNotNumbersAreNamedErrors) {
  for (const char* format : kFormats) {
    const SpectraRead fine = read_as(format, with_number(format, "1234.5"));
    ASSERT_FALSE(fine.error) << format << ": " << fine.error->expected;
    EXPECT_EQ(fine.data.vibrations.frequency, std::vector<double>{1234.5}) << format;
    for (const std::string& number :
         {std::string("1e999"), std::string("-1e400"), std::string("1").append(400, '0')}) {
      const std::string text = with_number(format, number);
      const SpectraRead read = read_as(format, text);
      ASSERT_TRUE(read.error) << format << " " << number;
      testing::expect_placed(text, *read.error, std::string(format) + " " + number);
      if (std::string_view(format) != "cjson") {
        EXPECT_EQ(read.error->what, LineError::out_of_range);
      }
    }
    for (const char* number : {"nan", "NaN", "inf", "-Infinity", "0x1p3", "1.2.3"}) {
      const std::string text = with_number(format, number);
      const SpectraRead read = read_as(format, text);
      ASSERT_TRUE(read.error) << format << " " << number;
      EXPECT_EQ(read.error->what, LineError::not_a_number) << format << " " << number;
      testing::expect_placed(text, *read.error, std::string(format) + " " + number);
    }
  }
}

TEST(HostileFiles, BinaryBytesAreRefusedOrHoldNothing) {
  std::mt19937 random(20261208);
  std::string bytes(1 << 16, '\0');
  for (char& c : bytes) c = static_cast<char>(random() & 0xff);
  for (const char* format : kFormats) {
    const SpectraRead alone = read_as(format, bytes);
    if (alone.error) {
      testing::expect_placed(bytes, *alone.error, format);
    } else {
      EXPECT_EQ(holdings(alone.data), "nothing") << format;
    }
    // After a whole section the bytes are passed over or refused; they never
    // change what the section holds.
    const std::string after = with_number(format, "1") + bytes;
    const SpectraRead read = read_as(format, after);
    if (read.error) {
      testing::expect_placed(after, *read.error, format);
    } else {
      EXPECT_EQ(read.data.vibrations.frequency, std::vector<double>{1}) << format;
    }
  }
}

TEST(HostileFiles, ALineOf100MegabytesIsReadInOnePassAndRefused) {
  const std::size_t size = std::size_t{100} << 20;
  const std::string digits(size, '7');
  std::string words;
  words.reserve(size);
  while (words.size() + 2 <= size) words += "1 ";
  for (const char* format : kFormats) {
    // One number of 100 MB, and 50 million fields on one line, each where
    // the format reads numbers.
    for (const std::string* line : {&digits, static_cast<const std::string*>(&words)}) {
      const std::string text = with_number(format, *line);
      const SpectraRead read = read_as(format, text);
      ASSERT_TRUE(read.error) << format;
      testing::expect_placed(text, *read.error, format);
    }
  }
}

// A line of 50 million fields after each heading of the excited-state and VCD
// layouts: a named error placed in the file, or nothing read.
TEST(HostileFiles, HugeLinesUnderTheExcitedStateHeadingsAreRefusedOrPassedOver) {
  std::string words;
  words.reserve(std::size_t{100} << 20);
  while (words.size() + 2 <= (std::size_t{100} << 20)) words += "1 ";
  const struct {
    const char* format;
    const char* heading;
  } cases[] = {
      {"gaussian", " Ground to excited state transition electric dipole moments (Au):\n"},
      {"gaussian", " Rotatory Strengths (R) in cgs (10**-40 erg-esu-cm/Gauss)\n"},
      {"gaussian", " Excitation energies and oscillator strengths:\n Excited State   1: "},
      {"orca", "SPECTRUM FOR LEFT-RIGHT TRANSITION MOMENTS\n"},
      {"orca", "CD SPECTRUM\nState   Energy Wavelength       R\n-----\n   1 "},
      {"orca", "VCD SPECTRUM CALCULATION\n"},
      {"gaussian",
       " Harmonic frequencies (cm**-1)\n 1\n Frequencies --   1000.0\n Rot. str.   -- "},
  };
  for (const auto& c : cases) {
    const std::string text = c.heading + words + "\n\n";
    const SpectraRead read = read_as(c.format, text);
    if (read.error) {
      testing::expect_placed(text, *read.error, c.heading);
    } else {
      EXPECT_EQ(holdings(read.data), "nothing") << c.heading;
    }
  }
}

}  // namespace
}  // namespace broaden
