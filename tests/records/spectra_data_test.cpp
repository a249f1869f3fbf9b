// The spectra data's prose and the input formats' table as the program
// outputs extend it.
#include "records/spectra_data.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "records/line_list_formats.h"

namespace broaden {
namespace {

TEST(SpectraData, SaysWhatAFileHoldsAndWhatItLacks) {
  SpectraData data;
  EXPECT_EQ(holdings(data), "nothing");
  data.vibrations.frequency = {1000, 2000};
  EXPECT_EQ(holdings(data), "frequencies without intensities");
  data.vibrations.ir_intensity = {1, 2};
  data.excited_states.energy_ev = {5.5};
  EXPECT_EQ(holdings(data), "IR intensities, excited states without strengths");
  data.excited_states.oscillator_strength = {0.1};
  EXPECT_EQ(holds_none_message("dvb.log", data, SpectrumQuantity::raman_activity),
            "dvb.log holds no Raman activities (it holds: IR intensities, excited states)");
  data.excited_states.rotatory_length = {-3};
  data.free_energy = -76.4;
  EXPECT_EQ(holdings(data),
            "IR intensities, excited states, rotatory strengths (length), a free energy");
  EXPECT_TRUE(holds(data, SpectrumQuantity::rotatory_length));
  EXPECT_FALSE(holds(data, SpectrumQuantity::rotatory_velocity));
  EXPECT_EQ(holds_none_message("a.out", data, SpectrumQuantity::rotatory_velocity),
            "a.out holds no rotatory strengths (velocity) (it holds: IR intensities, excited "
            "states, rotatory strengths (length), a free energy)");
  data.excited_states.wavenumber = {1, 2, 3};
  EXPECT_EQ(data.excited_states.size(), 3u);
}

TEST(InputFormats, LineListsAreTheRowsWithAReadEachRowWithOneReader) {
  const auto all = input_formats();
  const auto lists = line_list_formats();
  std::set<std::string_view> names;
  std::size_t next_list = 0;  // of `lists`
  for (const LineListFormat& row : all) {
    EXPECT_TRUE(names.insert(row.name).second) << row.name << " twice";
    EXPECT_EQ(find_input_format(row.name), &row);
    EXPECT_NE(row.read == nullptr, row.read_spectra == nullptr) << row.name;
    const LineListFormat* list = find_line_list_format(row.name);
    if (row.read == nullptr) {
      EXPECT_EQ(list, nullptr) << row.name;
    } else {
      ASSERT_LT(next_list, lists.size()) << row.name;
      EXPECT_EQ(list, &lists[next_list++]) << row.name;
      EXPECT_TRUE(list->read == row.read && list->summary == row.summary) << row.name;
    }
    if (row.recognises != nullptr) {
      EXPECT_FALSE(row.recognises("")) << row.name;
    }
    if (row.read_spectra != nullptr) {
      // Nothing read from nothing, and no error either.
      const SpectraRead empty =
          row.read_spectra(row.name == "cjson" ? "{\"chemicalJson\": 1}" : "");
      EXPECT_FALSE(empty.error) << row.name << ": " << empty.error->expected;
      EXPECT_EQ(holdings(empty.data), "nothing") << row.name;
    }
  }
  EXPECT_EQ(next_list, lists.size());
  for (const char* name : {"gaussian", "orca", "molden", "cjson"})
    EXPECT_NE(find_input_format(name), nullptr) << name;
  EXPECT_EQ(find_input_format("auto"), nullptr);
  EXPECT_EQ(recognise_line_list(" Entering Gaussian System\n").name, "columns");
  EXPECT_EQ(recognise_input(" Entering Gaussian System\n").name, "gaussian");
}

}  // namespace
}  // namespace broaden
