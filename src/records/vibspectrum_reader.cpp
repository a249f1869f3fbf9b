// The `vibspectrum` data-group file that Turbomole's aoforce and xtb write
// (the spectra reader contract of line_list_formats.h).
//
// The group "$vibrational spectrum" runs to the next line starting with
// '$' ("$end" or another group); lines starting with '#' are comments. Its
// header comments, where present, name the layout:
//   #  mode     symmetry     wave number   IR intensity    selection rules
//   #                         cm**(-1)        km/mol         IR     RAMAN
// (xtb writes the intensity's unit "(km*mol⁻¹)"); a header naming other
// columns or units is refused. Each row is the mode's number (1, 2, ... in
// turn), its symmetry label (left blank for translations and rotations),
// the wavenumber in cm^-1, the IR intensity in km/mol, and the IR and
// Raman selection rules, each "YES", "NO" or "-":
//   "     7        a1           1640.54        75.40120       YES     YES"
// A file may hold the group more than once: the last is taken. Modes
// printed negative (imaginary) or zero are left out with a note. A group
// the end of the file cuts, or a last line without its line end ends, is
// refused as cut short.
#include <string>
#include <vector>

#include "qc_text.h"
#include "records/spectra_data.h"

namespace broaden {
namespace {

using namespace qc;

constexpr std::string_view kGroup = "$vibrational spectrum";

bool is_rule(std::string_view text) { return text == "YES" || text == "NO" || text == "-"; }

// The header comment's columns in their order, or its units.
bool known_header(std::string_view comment) {
  const std::size_t mode = comment.find("mode");
  const std::size_t number = comment.find("wave number");
  const std::size_t intensity = comment.find("IR intensity");
  return mode != std::string_view::npos && number != std::string_view::npos &&
         intensity != std::string_view::npos && mode < number && number < intensity;
}

bool known_units(std::string_view comment) {
  const std::size_t wave = comment.find("cm**(-1)");
  std::size_t km = comment.find("km/mol");
  if (km == std::string_view::npos) km = comment.find("km*mol\u207b\u00b9");
  return wave != std::string_view::npos && km != std::string_view::npos && wave < km;
}

class VibspectrumReader : SectionReader {
 public:
  explicit VibspectrumReader(std::string_view text) : SectionReader(text) {}

  SpectraRead read() {
    while (next())
      if (trimmed(line_.text) == kGroup && !read_group()) return failed();
    return std::move(result_);
  }

 private:
  bool read_group() {
    const std::size_t group = line_.number;
    SpectraRead read;
    Vibrations& v = read.data.vibrations;
    std::size_t modes = 0;
    while (next_in_section()) {
      const std::string_view t = trimmed(line_.text);
      if (t.empty()) continue;
      if (t.front() == '$') {
        const std::string note = left_out_note(v.imaginary_left_out, v.zero_left_out);
        if (!note.empty()) read.notes.push_back(LineListNote{group, note});
        result_ = std::move(read);
        return true;
      }
      if (t.front() == '#') {
        if (!check_comment(t)) return false;
        continue;
      }
      if (!read_row(modes, v)) return false;
      ++modes;
    }
    return cut_short("the rest of the $vibrational spectrum at line " + std::to_string(group) +
                     " up to its $end");
  }

  // A comment that heads the columns must name the layout known.
  bool check_comment(std::string_view comment) {
    const bool header = comment.find("mode") != std::string_view::npos;
    const bool units = comment.find("cm**") != std::string_view::npos ||
                       comment.find("km") != std::string_view::npos;
    if ((header && !known_header(comment)) || (!header && units && !known_units(comment)))
      return fail(ReadFault::layout, 1,
                  "a layout of this group the reader knows (mode, symmetry, wave number in "
                  "cm**(-1), IR intensity in km/mol, selection rules), not the header " +
                      quoted(comment, 100));
    return true;
  }

  bool read_row(std::size_t modes, Vibrations& v) {
    const bool fits = split_tokens(line_.text, tokens_, 6);
    const std::size_t n = tokens_.size();
    if (!fits || n < 5 || !is_rule(tokens_[n - 1].text) || !is_rule(tokens_[n - 2].text))
      return fail(ReadFault::layout, fits && n > 0 ? tokens_[0].column : 1,
                  "a row of the $vibrational spectrum: the mode, its symmetry, the wave number, "
                  "the IR intensity and two selection rules (YES, NO or -)");
    const std::string expected = std::to_string(modes + 1);
    if (tokens_[0].text != expected)
      return fail(ReadFault::numbering, tokens_[0].column,
                  "mode " + expected + ", not " + shown(tokens_[0].text));
    const std::size_t at = n - 4;  // the wave number, after the symmetry if printed
    double frequency = 0.0, intensity = 0.0;
    if (!number(tokens_[at], "a wave number", frequency) ||
        !number(tokens_[at + 1], "an IR intensity", intensity))
      return false;
    if (frequency <= 0.0) {
      ++(frequency < 0.0 ? v.imaginary_left_out : v.zero_left_out);
      return true;
    }
    v.frequency.push_back(frequency);
    v.ir_intensity.push_back(intensity);
    return true;
  }

  SpectraRead result_;
};

}  // namespace

SpectraRead read_vibspectrum(std::string_view text) { return VibspectrumReader(text).read(); }

bool recognises_vibspectrum(std::string_view text) noexcept {
  // The first line that is not blank opens the group.
  Lines lines(text.substr(0, 4096));
  Line line;
  while (lines.next(line)) {
    if (is_blank_line(line.text)) continue;
    return trimmed(line.text) == kGroup;
  }
  return false;
}

}  // namespace broaden
