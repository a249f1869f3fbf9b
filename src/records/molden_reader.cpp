// The Molden file: its [FREQ] and [INT] sections (the spectra reader
// contract of line_list_formats.h).
//
// A section starts at a line whose first non-blank character is '[' and
// runs to the next such line or the end of the file; section names are
// matched without regard to case. [FREQ] holds one frequency a line
// (cm^-1), [INT] one IR intensity a line (km/mol), as many as [FREQ] has;
// blank lines are passed over, other sections ([Molden Format], [Atoms],
// [FR-COORD], ...) are not read. A file holds each section once at most.
// A value on the last line needs its line end: without it the file may
// have been cut in the middle of the number. [FREQ] is never the last
// section (the programs write [FR-COORD] and [FR-NORM-COORD] after it, and
// [INT] is checked against its count): at the end of the file it is taken
// as cut short.
#include <string>
#include <vector>

#include "qc_text.h"
#include "records/spectra_data.h"

namespace broaden {
namespace {

using namespace qc;

bool same_name(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t k = 0; k < a.size(); ++k) {
    const auto lower = [](char c) {
      return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    };
    if (lower(a[k]) != lower(b[k])) return false;
  }
  return true;
}

// The section a line opens ("[FREQ]" -> "FREQ"), or an empty view.
std::string_view section_of(std::string_view line) {
  const std::string_view t = trimmed(line);
  if (t.empty() || t.front() != '[') return {};
  const std::size_t close = t.find(']');
  return close == std::string_view::npos ? t.substr(1) : t.substr(1, close - 1);
}

}  // namespace

SpectraRead read_molden(std::string_view text) {
  SpectraRead result;
  Lines lines(text);
  Line line;
  std::vector<double> frequency, intensity;
  std::size_t freq_line = 0, int_line = 0;
  std::vector<double>* into = nullptr;
  std::string_view what;
  std::vector<Token> tokens;
  const auto refuse = [&](LineError why, std::size_t number, std::size_t column,
                          std::string expected) {
    SpectraRead failed;
    failed.error = error_at(why, number, column, std::move(expected));
    return failed;
  };
  while (lines.next(line)) {
    const std::string_view t = trimmed(line.text);
    if (!t.empty() && t.front() == '[') {
      const std::string_view name = section_of(line.text);
      into = nullptr;
      const bool freq = same_name(name, "FREQ");
      if (freq || same_name(name, "INT")) {
        std::size_t& seen = freq ? freq_line : int_line;
        if (seen != 0)
          return refuse(
              LineError::missing_field, line.number, 1,
              "one [" + std::string(name) + "] section, as at line " + std::to_string(seen));
        seen = line.number;
        into = freq ? &frequency : &intensity;
        what = freq ? "a frequency" : "an IR intensity";
      }
      continue;
    }
    if (into == nullptr || t.empty()) continue;
    const bool one = split_tokens(line.text, tokens, 1);
    if (!one)
      return refuse(LineError::missing_field, line.number, tokens[0].column,
                    "one " + std::string(what.substr(what.find(' ') + 1)) + " a line");
    double value = 0.0;
    if (auto e = read_number(tokens[0], line.number, what, value)) {
      result.error = std::move(e);
      result.data = {};
      return result;
    }
    if (!line.ended)
      return refuse(LineError::missing_field, line.number, line.text.size() + 1,
                    unended(line, what).expected);
    into->push_back(value);
  }
  if (into == &frequency)
    return refuse(LineError::missing_field, line.number == 0 ? 1 : line.number,
                  line.text.size() + 1,
                  "a section after [FREQ] (the file may have been cut short), not the end of the "
                  "file");
  if (int_line != 0 && freq_line == 0)
    return refuse(LineError::missing_field, int_line, 1,
                  "a [FREQ] section for the intensities of [INT]");
  if (int_line != 0 && intensity.size() != frequency.size())
    return refuse(LineError::missing_field, int_line, 1,
                  std::to_string(frequency.size()) +
                      " intensities, one for each frequency of [FREQ] (line " +
                      std::to_string(freq_line) + "), not " + std::to_string(intensity.size()));
  Vibrations& v = result.data.vibrations;
  for (std::size_t k = 0; k < frequency.size(); ++k) {
    if (frequency[k] <= 0.0) {
      ++(frequency[k] < 0.0 ? v.imaginary_left_out : v.zero_left_out);
      continue;
    }
    v.frequency.push_back(frequency[k]);
    if (int_line != 0) v.ir_intensity.push_back(intensity[k]);
  }
  const std::string note = left_out_note(v.imaginary_left_out, v.zero_left_out);
  if (!note.empty()) result.notes.push_back(LineListNote{freq_line, note});
  return result;
}

bool recognises_molden(std::string_view text) noexcept {
  // The first line that is not blank is "[Molden Format]".
  Lines lines(text.substr(0, 4096));
  Line line;
  while (lines.next(line)) {
    if (is_blank_line(line.text)) continue;
    return same_name(trimmed(line.text), "[Molden Format]");
  }
  return false;
}

}  // namespace broaden
