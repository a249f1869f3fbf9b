// What the tests of the spectra readers share: the reader through its row,
// and the truncation property (a file cut anywhere reads as a named error
// or as what the whole file gives, section by section, never as anything
// else).
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "records/line_list_formats.h"
#include "records/spectra_data.h"

namespace broaden::testing {

inline const LineListFormat& spectra_format(std::string_view name) {
  const LineListFormat* row = find_input_format(name);
  if (row == nullptr || row->read_spectra == nullptr)
    throw std::runtime_error("no spectra format " + std::string(name));
  return *row;
}

inline SpectraRead read_as(std::string_view format, std::string_view text) {
  return spectra_format(format).read_spectra(text);
}

// The kinds in the order of their enumeration.
inline const char* name_of(ReadFault kind) {
  static constexpr const char* kNames[] = {
      "not_a_number", "out_of_range",   "not_positive", "missing_field", "decimal_comma", "layout",
      "numbering",    "count_mismatch", "misplaced",    "cut_short",     "syntax"};
  return kNames[static_cast<int>(kind)];
}

/// An error as a test failure shows it: "kind 1 cut_short at 12:41: expected ...".
inline std::string shown(const LineListError& error) {
  return "kind " + std::to_string(static_cast<int>(error.what)) + " " + name_of(error.kind) +
         " at " + std::to_string(error.line) + ":" + std::to_string(error.column) + ": " +
         error.expected;
}

/// What `format` reads of `text`, which it must read without an error (a
/// failure shows the error).
inline SpectraRead read_ok(std::string_view format, std::string_view text) {
  SpectraRead read = read_as(format, text);
  EXPECT_FALSE(read.error) << format << ": " << shown(*read.error);
  return read;
}

// Each column of `part` is empty or as in `whole`: a file cut short may
// hold fewer tables, never other values.
inline bool within(const std::vector<double>& part, const std::vector<double>& whole) {
  return part.empty() || part == whole;
}

inline bool within(const Vibrations& part, const Vibrations& whole) {
  return part.size() == 0 ||
         (part.frequency == whole.frequency && within(part.ir_intensity, whole.ir_intensity) &&
          within(part.raman_activity, whole.raman_activity) &&
          within(part.rotational_strength, whole.rotational_strength) &&
          part.imaginary_left_out == whole.imaginary_left_out &&
          part.zero_left_out == whole.zero_left_out);
}

inline bool within(const ExcitedStates& part, const ExcitedStates& whole) {
  return within(part.energy_ev, whole.energy_ev) && within(part.wavenumber, whole.wavenumber) &&
         within(part.wavelength_nm, whole.wavelength_nm) &&
         within(part.oscillator_strength, whole.oscillator_strength) &&
         within(part.rotatory_velocity, whole.rotatory_velocity) &&
         within(part.rotatory_length, whole.rotatory_length) &&
         within(part.rotatory_unnamed, whole.rotatory_unnamed);
}

/// The error names a line of `text` and a column within it or just past
/// its end, and says what was expected.
inline void expect_placed(std::string_view text, const LineListError& error,
                          const std::string& context) {
  std::size_t start = 0;
  for (std::size_t line = 1; line < error.line; ++line) {
    const std::size_t end = text.find('\n', start);
    ASSERT_NE(end, std::string_view::npos) << context << ": no line " << error.line;
    start = end + 1;
  }
  std::size_t end = std::min(text.find('\n', start), text.size());
  if (end < text.size() && end > start && text[end - 1] == '\r') --end;
  EXPECT_GE(error.line, 1u) << context;
  EXPECT_GE(error.column, 1u) << context;
  EXPECT_LE(error.column, end - start + 1) << context << ": " << error.expected;
  EXPECT_FALSE(error.expected.empty()) << context;
}

/// A text and the error it is refused with, as shown() gives it: written
/// out ({text, "kind 1 cut_short at 3:4: ..."}, where the class is the
/// reader's own, as in Chemical JSON) or by its kind, the class following
/// from it ({text, ReadFault::numbering, 5, 15, "mode 2, not '3'"}).
struct Refusal {
  Refusal(std::string refused, std::string error)
      : text(std::move(refused)), shown(std::move(error)) {}
  Refusal(std::string refused, ReadFault kind, std::size_t line, std::size_t column,
          std::string expected)
      : text(std::move(refused)),
        shown(testing::shown(read_error(kind, line, column, std::move(expected)))) {}
  std::string text, shown;
};

/// Each text is refused with its error, placed in the text, and nothing
/// read beside it.
inline void expect_refusals(std::string_view format, const std::vector<Refusal>& cases) {
  for (const Refusal& c : cases) {
    const SpectraRead read = read_as(format, c.text);
    ASSERT_TRUE(read.error) << c.shown;
    EXPECT_EQ(shown(*read.error), c.shown);
    EXPECT_EQ(read.data.vibrations.size() + read.data.excited_states.size(), 0u) << c.shown;
    EXPECT_FALSE(read.data.free_energy) << c.shown;
    expect_placed(c.text, *read.error, c.shown);
  }
}

/// `text` with its first `from` replaced by `to` (an excerpt damaged).
inline std::string replaced(std::string text, const std::string& from, const std::string& to) {
  const std::size_t at = text.find(from);
  if (at == std::string::npos) throw std::runtime_error("no " + from);
  return text.replace(at, from.size(), to);
}

/// Cuts `text` after every line and in the middle of every line: each cut
/// reads as an error placed in the cut text, or as data each column of
/// which is empty or as the whole text gives it.
inline void expect_truncations_safe(std::string_view format, std::string_view text) {
  const SpectraRead whole = read_as(format, text);
  ASSERT_FALSE(whole.error) << whole.error->line << ": " << whole.error->expected;
  std::vector<std::size_t> cuts;
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t end = std::min(text.find('\n', start), text.size());
    cuts.push_back(start + (end - start) / 2);
    cuts.push_back(std::min(end + 1, text.size()));
    start = end + 1;
  }
  for (const std::size_t cut : cuts) {
    const std::string_view part = text.substr(0, cut);
    const std::string context =
        std::string(format) + " cut at byte " + std::to_string(cut) + ", after '" +
        std::string(part.substr(part.size() - std::min<std::size_t>(part.size(), 40))) + "'";
    const SpectraRead read = read_as(format, part);
    if (read.error) {
      expect_placed(part, *read.error, context);
      // A line cut in its middle is refused as cut short (JSON names its syntax).
      if (!part.empty() && part.back() != '\n' && format != "cjson") {
        EXPECT_STREQ(name_of(read.error->kind), "cut_short") << context;
      }
      continue;
    }
    const SpectraData& d = read.data;
    EXPECT_TRUE(within(d.vibrations, whole.data.vibrations)) << context;
    EXPECT_TRUE(within(d.excited_states, whole.data.excited_states)) << context;
    EXPECT_TRUE(!d.free_energy || d.free_energy == whole.data.free_energy) << context;
  }
}

}  // namespace broaden::testing
