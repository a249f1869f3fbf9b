// The GAMESS-US output (and Firefly's, which keeps its layout): its normal
// coordinate analysis and its TD-DFT excited states (the spectra reader
// contract of line_list_formats.h).
//
// What is read, line by line (a file may hold several jobs: the last
// complete table of each kind is taken):
// - the analysis runs from "NORMAL COORDINATE ANALYSIS IN THE HARMONIC
//   APPROXIMATION" to "......END OF NORMAL COORDINATE ANALYSIS......". In
//   it: "MODES 1 TO 6 ARE TAKEN AS ROTATIONS AND TRANSLATIONS." (those modes
//   are left out, as zero frequencies); the units line "FREQUENCIES IN
//   CM**-1, IR INTENSITIES IN DEBYE**2/AMU-ANGSTROM**2," (each intensity
//   then multiplied by kKmPerMolPerDebyeSquared, rounding once) or "... IN
//   KM/MOL" (read as printed); groups of modes: a line of mode numbers
//   (counting on from the group before), "FREQUENCY: v1 v2 ..." (an "I"
//   after a value marks it imaginary), then lines "KEY: values" to a blank
//   line, of which "IR INTENSITY" and "RAMAN ACTIVITY" (A^4/amu) are read,
//   one value a mode of the group. "7 - 60 VIBRATIONAL MODES ARE USED IN
//   THERMOCHEMISTRY." must name the last mode read.
// - the excited states start at the title "SINGLET EXCITATIONS" or
//   "TRIPLET EXCITATIONS" and are blocks "STATE # N ENERGY = E EV", N
//   counting from 1, with "OSCILLATOR STRENGTH = F" in every block or in
//   none, up to "SUMMARY OF TDDFT RESULTS"; "NSTATE = N" of the TD-DFT
//   parameters before them counts them.
// GAMESS prints no Gibbs free energy (its thermochemistry gives the thermal
// corrections, in kJ/mol and kcal/mol): the free energy is left absent. A
// table the end of the file cuts, or a last line without its line end ends,
// is refused as cut short; intensities in a unit the units line does not
// name are refused as a layout unknown:
//   "    IR INTENSITY:      0.0x000 ..." -> error {not_a_number, that line,
//     the value's column, "an IR intensity as a number, not '0.0x000'"}
#include <string>
#include <vector>

#include "qc_text.h"
#include "records/spectra_data.h"

namespace broaden {
namespace {

using namespace qc;

constexpr std::size_t kTokens = 16;
constexpr std::string_view kAnalysis = "NORMAL COORDINATE ANALYSIS IN THE HARMONIC APPROXIMATION";

bool starts_with(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

bool contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

enum class IrUnit { none, debye, km_per_mol };

// An analysis as read: its first line, each mode's values (imaginary ones
// negative), the modes taken as rotations and translations.
struct Analysis {
  std::size_t line = 0;
  std::vector<double> frequency, ir, raman;
  std::size_t rigid_first = 0, rigid_last = 0;
  IrUnit unit = IrUnit::none;
};

class GamessReader : SectionReader {
 public:
  explicit GamessReader(std::string_view text) : SectionReader(text) {}

  SpectraRead read() {
    while (next()) {
      const std::string_view t = trimmed(line_.text);
      bool ok = true;
      if (t == kAnalysis) {
        ok = read_analysis();
      } else if (t == "SINGLET EXCITATIONS" || t == "TRIPLET EXCITATIONS") {
        ok = read_states();
      } else if (starts_with(t, "NSTATE ")) {
        split_tokens(line_.text, tokens_, 4);
        if (tokens_.size() == 3 && tokens_[1].text == "=" && is_count(tokens_[2].text))
          nstate_ = count_of(tokens_[2].text);
      }
      if (!ok) return failed();
    }
    vibrations();
    return std::move(result_);
  }

 private:
  bool read_analysis() {
    Analysis a;
    a.line = line_.number;
    const std::string what = "the normal coordinate analysis at line " + std::to_string(a.line);
    Line previous = line_;
    while (true) {
      previous = line_;
      if (!next_in_section()) return cut_short("the rest of " + what);
      const std::string_view t = trimmed(line_.text);
      if (contains(t, "END OF NORMAL COORDINATE ANALYSIS")) break;
      if (starts_with(t, "MODES ") && contains(t, "ARE TAKEN AS ROTATIONS AND TRANSLATIONS")) {
        split_tokens(line_.text, tokens_, kTokens);
        if (tokens_.size() > 3 && is_count(tokens_[1].text) && is_count(tokens_[3].text)) {
          a.rigid_first = count_of(tokens_[1].text);
          a.rigid_last = count_of(tokens_[3].text);
        }
      } else if (starts_with(t, "FREQUENCIES IN CM**-1")) {
        const std::size_t at = t.find("IR INTENSITIES IN ");
        const std::string_view unit =
            at == std::string_view::npos ? std::string_view() : t.substr(at + 18);
        a.unit = starts_with(unit, "DEBYE**2/AMU-ANGSTROM**2") ? IrUnit::debye
                 : starts_with(unit, "KM/MOL")                 ? IrUnit::km_per_mol
                                                               : IrUnit::none;
      } else if (starts_with(t, "FREQUENCY:")) {
        if (!read_group(a, previous.text, what)) return false;
      } else if (contains(t, "VIBRATIONAL MODES ARE USED IN THERMOCHEMISTRY")) {
        split_tokens(line_.text, tokens_, kTokens);
        if (tokens_.size() > 2 && is_count(tokens_[2].text) &&
            count_of(tokens_[2].text) != a.frequency.size())
          return fail(ReadFault::count_mismatch, tokens_[2].column,
                      "the " + std::to_string(a.frequency.size()) + " modes of " + what + ", not " +
                          shown(tokens_[2].text));
      }
    }
    if (!a.frequency.empty()) analysis_ = std::move(a);
    return true;
  }

  // A group: the mode numbers in `numbers`, its "FREQUENCY:" line at hand,
  // its other lines up to a blank line.
  bool read_group(Analysis& a, std::string_view numbers, const std::string& what) {
    const std::size_t first = a.frequency.size();
    if (!split_tokens(numbers, tokens_, kTokens) || tokens_.empty())
      return fail(ReadFault::misplaced, 1, "a line of mode numbers before 'FREQUENCY:'");
    const std::size_t n = tokens_.size();
    for (std::size_t k = 0; k < n; ++k)
      if (!is_count(tokens_[k].text) || count_of(tokens_[k].text) != first + k + 1)
        return fail(
            ReadFault::misplaced, 1,
            "a line of mode numbers from " + std::to_string(first + 1) + " before 'FREQUENCY:'");
    if (!read_values("FREQUENCY", n, 1.0, a.frequency)) return false;
    bool ir = false, raman = false;
    while (true) {
      if (!next_in_section()) return cut_short("the rest of " + what);
      const std::string_view t = trimmed(line_.text);
      if (t.empty()) break;
      const bool is_ir = starts_with(t, "IR INTENSITY:");
      if (!is_ir && !starts_with(t, "RAMAN ACTIVITY:")) continue;
      bool& seen = is_ir ? ir : raman;
      if (seen) return fail(ReadFault::misplaced, 1, "one such line a group");
      seen = true;
      if (is_ir && a.unit == IrUnit::none)
        return fail(ReadFault::layout, 1,
                    "IR intensities in a unit the units line names (DEBYE**2/AMU-ANGSTROM**2, "
                    "KM/MOL)");
      const double scale = is_ir && a.unit == IrUnit::debye ? kKmPerMolPerDebyeSquared : 1.0;
      if (!read_values(is_ir ? "IR INTENSITY" : "RAMAN ACTIVITY", n, scale, is_ir ? a.ir : a.raman))
        return false;
    }
    if ((!a.ir.empty() && a.ir.size() != a.frequency.size()) ||
        (!a.raman.empty() && a.raman.size() != a.frequency.size()))
      return fail(ReadFault::count_mismatch, 1,
                  "the same intensities in every group of modes, as in the first");
    return true;
  }

  // "KEY: v1 v2 ..." of the line at hand into `into`: `n` values, each
  // multiplied by `scale`; a frequency followed by "I" is negated.
  bool read_values(std::string_view key, std::size_t n, double scale, std::vector<double>& into) {
    const bool all = split_tokens(line_.text.substr(line_.text.find(':') + 1), tokens_, kTokens);
    const std::size_t offset = line_.text.find(':') + 1;
    std::size_t read = 0;
    const std::string_view what = key == "FREQUENCY"      ? "a frequency"
                                  : key == "IR INTENSITY" ? "an IR intensity"
                                                          : "a Raman activity";
    for (std::size_t k = 0; k < tokens_.size(); ++k) {
      Token token = tokens_[k];
      token.column += offset;
      if (read == n)
        return fail(ReadFault::count_mismatch, token.column,
                    std::to_string(n) + " values after '" + std::string(key) +
                        ":', one a mode of the group, not more");
      double value = 0.0;
      if (!number(token, what, value)) return false;
      if (key == "FREQUENCY" && k + 1 < tokens_.size() && tokens_[k + 1].text == "I") {
        value = -value;
        ++k;
      }
      into.push_back(value * scale);
      ++read;
    }
    if (!all)
      return fail(ReadFault::count_mismatch, tokens_.back().column + offset,
                  std::to_string(n) + " values after '" + std::string(key) +
                      ":', one a mode of the group, not more");
    if (read != n)
      return fail(ReadFault::count_mismatch, line_.text.size() + 1,
                  std::to_string(n) + " values after '" + std::string(key) +
                      ":', one a mode of the group, not " + std::to_string(read));
    return true;
  }

  // The states from the title to "SUMMARY OF TDDFT RESULTS".
  bool read_states() {
    const std::string what = "the excited states at line " + std::to_string(line_.number);
    ExcitedStates states;
    std::size_t strengths = 0;
    while (next_in_section()) {
      const std::string_view t = trimmed(line_.text);
      if (starts_with(t, "SUMMARY OF")) {
        const std::size_t n = states.energy_ev.size();
        if (n == 0) return fail(ReadFault::misplaced, 1, "the states of " + what);
        if (strengths != 0 && strengths != n)
          return fail(ReadFault::count_mismatch, 1,
                      "an oscillator strength for each of the " + std::to_string(n) +
                          " states of " + what + ", not " + std::to_string(strengths));
        if (nstate_ != 0 && nstate_ != n)
          return fail(
              ReadFault::count_mismatch, 1,
              "the " + std::to_string(nstate_) + " states NSTATE names, not " + std::to_string(n));
        result_.data.excited_states = std::move(states);
        return true;
      }
      if (starts_with(t, "STATE #")) {
        if (!read_state(states)) return false;
      } else if (starts_with(t, "OSCILLATOR STRENGTH")) {
        if (strengths == states.energy_ev.size())
          return fail(ReadFault::misplaced, 1, "one oscillator strength a state");
        split_tokens(line_.text, tokens_, kTokens);
        if (tokens_.size() < 4 || tokens_[2].text != "=")
          return missing("one oscillator strength after '='");
        double value = 0.0;
        if (!number(tokens_[3], "an oscillator strength", value)) return false;
        states.oscillator_strength.push_back(value);
        ++strengths;
      }
    }
    return cut_short("the rest of " + what);
  }

  // "STATE #   N  ENERGY =    E EV".
  bool read_state(ExcitedStates& states) {
    const bool all = split_tokens(line_.text, tokens_, kTokens);
    const std::size_t n = states.energy_ev.size() + 1;
    if (tokens_.size() < 4 || tokens_[1].text != "#" || !is_count(tokens_[2].text) ||
        tokens_[3].text != "ENERGY" || (tokens_.size() > 4 && tokens_[4].text != "="))
      return fail(ReadFault::layout, 1, "'STATE # N ENERGY = E EV'");
    if (count_of(tokens_[2].text) != n)
      return fail(ReadFault::numbering, tokens_[2].column,
                  "state " + std::to_string(n) + ", not " + shown(tokens_[2].text));
    if (tokens_.size() < 6) return missing("the excitation energy after '='");
    if (!all || tokens_.size() != 7 || tokens_[6].text != "EV")
      return fail(ReadFault::layout, tokens_.size() > 6 ? tokens_[6].column : line_.text.size() + 1,
                  "'EV' after the energy, and the line's end");
    double value = 0.0;
    if (!number(tokens_[5], "an excitation energy", value)) return false;
    states.energy_ev.push_back(value);
    return true;
  }

  // The analysis kept into the data: the rotations and translations, and
  // the imaginary modes, left out.
  void vibrations() {
    Vibrations& v = result_.data.vibrations;
    for (std::size_t k = 0; k < analysis_.frequency.size(); ++k) {
      const double f = analysis_.frequency[k];
      const bool rigid = k + 1 >= analysis_.rigid_first && k + 1 <= analysis_.rigid_last;
      if (rigid || f <= 0.0) {
        ++(f < 0.0 && !rigid ? v.imaginary_left_out : v.zero_left_out);
        continue;
      }
      v.frequency.push_back(f);
      if (!analysis_.ir.empty()) v.ir_intensity.push_back(analysis_.ir[k]);
      if (!analysis_.raman.empty()) v.raman_activity.push_back(analysis_.raman[k]);
    }
    const std::string note = left_out_note(v.imaginary_left_out, v.zero_left_out);
    if (!note.empty()) result_.notes.push_back(LineListNote{analysis_.line, note});
  }

  Analysis analysis_;
  std::size_t nstate_ = 0;
  SpectraRead result_;
};

}  // namespace

SpectraRead read_gamess(std::string_view text) { return GamessReader(text).read(); }

bool recognises_gamess(std::string_view text) noexcept {
  // The banner: "* GAMESS VERSION = 20 APR 2017 (R1) *" of GAMESS-US,
  // "Firefly version 8.2.0" (or "PC GAMESS version") of Firefly.
  const std::string_view head = text.substr(0, 16384);
  return contains(head, "GAMESS VERSION =") || contains(head, "Firefly version") ||
         contains(head, "PC GAMESS version");
}

}  // namespace broaden
