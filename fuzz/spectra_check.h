// The spectra reader contract, checked on one input by the fuzz targets of
// the quantum-chemistry outputs' readers. Every reader:
// - gives the same answer twice (it is a pure function of its text);
// - refuses a text at a line that exists (lines end at LF, a CR before it
//   belongs to the line end), a column within it or just past its end,
//   with what was expected said, and a kind of its class (line_table.h);
//   cut short just past the end of the file's last line;
// - or gives columns of one length each (or none), finite values, positive
//   frequencies, a position for every excited state, and a finite free
//   energy, with a prose of what it holds.
#pragma once

#include <cmath>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "records/line_list_formats.h"

namespace broaden::fuzz {

inline bool finite(const std::vector<double>& values) {
  for (const double v : values)
    if (!std::isfinite(v)) return false;
  return true;
}

inline bool same(const SpectraRead& a, const SpectraRead& b) {
  if (a.error || b.error) return a.error == b.error;
  const Vibrations& v = a.data.vibrations;
  const Vibrations& w = b.data.vibrations;
  const ExcitedStates& e = a.data.excited_states;
  const ExcitedStates& f = b.data.excited_states;
  return v.frequency == w.frequency && v.ir_intensity == w.ir_intensity &&
         v.raman_activity == w.raman_activity && v.rotational_strength == w.rotational_strength &&
         e.energy_ev == f.energy_ev && e.wavenumber == f.wavenumber &&
         e.wavelength_nm == f.wavelength_nm && e.oscillator_strength == f.oscillator_strength &&
         e.rotatory_velocity == f.rotatory_velocity && e.rotatory_length == f.rotatory_length &&
         e.rotatory_unnamed == f.rotatory_unnamed && a.data.free_energy == b.data.free_energy &&
         a.notes == b.notes;
}

inline void check_spectra(std::string_view format_name, std::string_view text) {
  const LineListFormat* format = find_input_format(format_name);
  FUZZ_CHECK(format != nullptr && format->read_spectra != nullptr);
  const SpectraRead read = format->read_spectra(text);
  FUZZ_CHECK(same(read, format->read_spectra(text)));
  if (read.error) {
    const LineListError& error = *read.error;
    std::size_t start = 0;
    for (std::size_t line = 1; line < error.line; ++line) {
      start = text.find('\n', start);
      FUZZ_CHECK(start != std::string_view::npos);
      ++start;
    }
    std::size_t end = std::min(text.find('\n', start), text.size());
    if (end < text.size() && end > start && text[end - 1] == '\r') --end;
    FUZZ_CHECK(error.line >= 1 && error.column >= 1 && error.column <= end - start + 1);
    FUZZ_CHECK(!error.expected.empty());
    FUZZ_CHECK(error.what == line_error_of(error.kind) || format_name == "cjson");
    // Cut short: just past the end of the file's last line.
    const std::string_view rest = text.substr(end);
    FUZZ_CHECK(
        error.kind != ReadFault::cut_short ||
        (error.column == end - start + 1 && (rest.empty() || rest == "\n" || rest == "\r\n")));
    return;
  }
  const Vibrations& v = read.data.vibrations;
  FUZZ_CHECK(v.ir_intensity.empty() || v.ir_intensity.size() == v.size());
  FUZZ_CHECK(v.raman_activity.empty() || v.raman_activity.size() == v.size());
  FUZZ_CHECK(v.rotational_strength.empty() || v.rotational_strength.size() == v.size());
  FUZZ_CHECK(finite(v.frequency) && finite(v.ir_intensity) && finite(v.raman_activity) &&
             finite(v.rotational_strength));
  for (const double f : v.frequency) FUZZ_CHECK(f > 0.0);
  const ExcitedStates& e = read.data.excited_states;
  const std::size_t n = e.size();
  for (const std::vector<double>* column :
       {&e.energy_ev, &e.wavenumber, &e.wavelength_nm, &e.oscillator_strength, &e.rotatory_velocity,
        &e.rotatory_length, &e.rotatory_unnamed}) {
    FUZZ_CHECK(column->empty() || column->size() == n);
    FUZZ_CHECK(finite(*column));
  }
  FUZZ_CHECK(n == 0 || !e.energy_ev.empty() || !e.wavenumber.empty() || !e.wavelength_nm.empty());
  FUZZ_CHECK(!read.data.free_energy || std::isfinite(*read.data.free_energy));
  FUZZ_CHECK(!holdings(read.data).empty());
  for (const LineListNote& note : read.notes) FUZZ_CHECK(note.line >= 1 && !note.text.empty());
}

}  // namespace broaden::fuzz
