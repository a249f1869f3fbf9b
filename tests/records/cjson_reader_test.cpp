// The Chemical JSON reader through its row: the cclib and Avogadro
// flavours, errors of syntax placed at their line and column, errors of
// content, truncation at every line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "spectra_checks.h"

namespace broaden {
namespace {

using testing::read_as;

const std::string kCclib = R"({
    "chemical json": 0,
    "atoms": {"elements": {"number": [8, 1, 1]}},
    "properties": {
        "energy": {"free energy": -76.3949, "total": -2078.1}
    },
    "vibrations": {
        "frequencies": [-12.5, 1639.47, 3800.1],
        "intensities": {"IR": [0.5, 57.55, 2.0], "raman": [0.1, 6.25, 0]}
    },
    "transitions": {
        "electronic transitions": [43166.7, 46230.3],
        "oscillator strength": [0.0053, 1.171],
        "rotatory strength": [-0.4, 12.25]
    }
}
)";

const std::string kAvogadro = R"({
  "atoms": {"coords": {"3d": [0, 0, 0]}},
  "chemicalJson": 1,
  "vibrations": {
    "frequencies": [1639.47, 3800.1],
    "intensities": [57.55, 2],
    "ramanIntensities": [6.25, 0.5],
    "modes": [1, 2]
  }
}
)";

TEST(CjsonReader, ReadsTheCclibFlavour) {
  const SpectraRead read = testing::read_ok("cjson", kCclib);
  const Vibrations& v = read.data.vibrations;
  EXPECT_EQ(v.frequency, (std::vector<double>{1639.47, 3800.1}));
  EXPECT_EQ(v.ir_intensity, (std::vector<double>{57.55, 2}));
  EXPECT_EQ(v.raman_activity, (std::vector<double>{6.25, 0}));
  EXPECT_EQ(v.imaginary_left_out, 1u);
  const ExcitedStates& e = read.data.excited_states;
  EXPECT_EQ(e.wavenumber, (std::vector<double>{43166.7, 46230.3}));
  EXPECT_EQ(e.oscillator_strength, (std::vector<double>{0.0053, 1.171}));
  EXPECT_EQ(e.rotatory_unnamed, (std::vector<double>{-0.4, 12.25}));
  EXPECT_EQ(read.data.free_energy, -76.3949);
  EXPECT_EQ(holdings(read.data),
            "IR intensities, Raman activities, excited states, rotatory strengths, a free energy");
}

TEST(CjsonReader, ReadsTheAvogadroFlavour) {
  const SpectraRead read = testing::read_ok("cjson", kAvogadro);
  EXPECT_EQ(read.data.vibrations.frequency, (std::vector<double>{1639.47, 3800.1}));
  EXPECT_EQ(read.data.vibrations.ir_intensity, (std::vector<double>{57.55, 2}));
  EXPECT_EQ(read.data.vibrations.raman_activity, (std::vector<double>{6.25, 0.5}));
  EXPECT_FALSE(read.data.free_energy);
}

TEST(CjsonReader, PlacesSyntaxErrorsAndNamesContentErrors) {
  testing::expect_refusals(
      "cjson",
      {
          // Python's bare literals: refused where read, at their place; the places
          // of what follows them are those of the text as given.
          {"{\"chemical json\": 0,\n \"vibrations\": {\"frequencies\": [1, NaN]}}",
           "kind 0 not_a_number at 2:36: vibrations.frequencies as an array of numbers, not NaN"},
          {"{\"chemical json\": 0, \"x\": [null, NaN],\n\"properties\": {\"energy\": {\"free "
           "energy\": "
           "-Infinity}}}",
           "kind 0 out_of_range at 2:42: properties.energy.\"free energy\" as a number within the "
           "range "
           "of doubles, not -Infinity"},
          {"{\"chemical json\": 0, \"x\": [Infinity, \"NaN\\\"\", NaN] \"vibrations\": {}}",
           "kind 0 syntax at 1:63: JSON text (syntax error while parsing object - unexpected "
           "string "
           "literal; expected '}')"},
          {"{\"chemical json\": 0, \"vibrations\": {\"frequencies\": [1e999]}}",
           "kind 0 out_of_range at 1:1: JSON numbers within the range of doubles (number overflow "
           "parsing "
           "'1e999')"},
          {"{\"vibrations\": {\"frequencies\": [1]}}",
           "kind 0 layout at 1:1: a Chemical JSON object (with a \"chemical json\" or "
           "\"chemicalJson\" "
           "member)"},
          {"{\"chemical json\": 0, \"vibrations\": {\"frequencies\": [1, \"2\"]}}",
           "kind 0 not_a_number at 1:1: vibrations.frequencies as an array of numbers"},
          {"{\"chemical json\": 0, \"vibrations\": {\"frequencies\": [1, 2], \"intensities\": "
           "{\"IR\": "
           "[3]}}}",
           "kind 0 count_mismatch at 1:1: the IR intensities with 2 values, one for each of "
           "vibrations.frequencies, "
           "not 1"},
          {"{\"chemical json\": 0, \"transitions\": {\"oscillator strength\": [0.1]}}",
           "kind 0 misplaced at 1:1: transitions.\"electronic transitions\" for the strengths"},
          {"{\"chemical json\": 0, \"properties\": {\"energy\": {\"free energy\": \"-1\"}}}",
           "kind 0 not_a_number at 1:1: properties.energy.\"free energy\" as a number"},
          {"\t \r\n",
           "kind 0 syntax at 1:3: JSON text (syntax error while parsing value - unexpected end "
           "of input; expected '[', '{', or a literal)"},
          {std::string(100, '[') + std::string(100, ']'),
           "kind 0 syntax at 1:1: JSON nested no deeper than 64 levels"},
      });
}

TEST(CjsonReader, ReadsTheTablesCclibWritesForOrca) {
  // Literals where nothing reads them are no matter.
  const std::string text = R"({"chemical json": 0, "atoms": {"charge": NaN},
  "transitions": {"electronic transitions": {
    "ABSORPTION SPECTRUM": [[1, 2], [9, 9]],
    "ABSORPTION SPECTRUM VIA TRANSITION ELECTRIC DIPOLE MOMENTS": [[30000.5, 41000], [0.25, 1e-3]],
    "ABSORPTION SPECTRUM VIA TRANSITION VELOCITY DIPOLE MOMENTS": [[0], [Infinity]],
    "CD SPECTRUM": [[30000.5, 41000], [-1.5, 2]],
    "CD SPECTRUM VIA TRANSITION VELOCITY DIPOLE MOMENTS": [[30000.5, 41000], [-1.25, 3]]}}})";
  const SpectraRead read = testing::read_ok("cjson", text);
  const ExcitedStates& e = read.data.excited_states;
  EXPECT_EQ(e.wavenumber, (std::vector<double>{30000.5, 41000}));
  EXPECT_EQ(e.oscillator_strength, (std::vector<double>{0.25, 1e-3}));
  EXPECT_EQ(e.rotatory_length, (std::vector<double>{-1.5, 2}));
  EXPECT_EQ(e.rotatory_velocity, (std::vector<double>{-1.25, 3}));
  const std::string table = R"({"chemical json": 0, "transitions": {"electronic transitions": )";
  EXPECT_EQ(
      testing::shown(*read_as("cjson", table + R"({"CD SPECTRUM": [[1, 2], [3]]}}})").error),
      "kind 0 count_mismatch at 1:1: transitions.\"electronic transitions\".\"CD SPECTRUM\"[1] "
      "with 2 values, one for each of its energies, not 1");
  EXPECT_EQ(
      testing::shown(*read_as("cjson", table + R"({"CD SPECTRUM": [[1, 2], [3, 4]],
    "ABSORPTION SPECTRUM": [[1], [0.5]]}}})")
                          .error),
      "kind 0 count_mismatch at 1:1: each table of transitions with 1 values, one for each of "
      "the states of the others, not 2");
}

TEST(CjsonReader, AFileCutAnywhereIsANamedError) {
  testing::expect_truncations_safe("cjson", kCclib);
  testing::expect_truncations_safe("cjson", kAvogadro);
  // A JSON text is whole or refused: no cut but the last line end reads.
  for (std::size_t cut = 0; cut + 1 < kCclib.size(); ++cut)
    EXPECT_TRUE(read_as("cjson", kCclib.substr(0, cut)).error) << cut;
}

TEST(CjsonReader, IsRecognisedByItsMember) {
  EXPECT_EQ(recognise_input(kCclib).name, "cjson");
  EXPECT_EQ(recognise_input(kAvogadro).name, "cjson");
  EXPECT_EQ(recognise_input("{\"vibrations\": {}}").name, "columns");
}

}  // namespace
}  // namespace broaden
