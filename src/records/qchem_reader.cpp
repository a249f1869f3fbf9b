// The Q-Chem output, versions 4 to 6: its vibrational analysis and its
// TDDFT/CIS excited states (the spectra reader contract of
// line_list_formats.h).
//
// What is read, line by line (a file may hold several jobs: the last
// complete table of each kind is taken):
// - the vibrational analysis starts at the banner line "** VIBRATIONAL
//   ANALYSIS **"; the banner names the units, "INFRARED INTENSITIES
//   (KM/MOL)" and "RAMAN SCATTERING ACTIVITIES (A**4/AMU)". Then groups of
//   modes: "Mode: 1 2 3" (counting on from the group before), lines "KEY:
//   v1 v2 v3" of which "Frequency", "IR Intens" and "Raman Intens" are
//   read, each with one value a mode of the group, up to the line of "X Y
//   Z" that heads the group's coordinates, which run to a blank line. A line
//   other than "Mode:" after the blank lines ends the analysis; an intensity
//   whose unit the banner does not name is refused as a layout unknown.
// - "This Molecule has N Imaginary Frequencies" (in the thermochemistry
//   after the analysis) must count the modes printed negative.
// - the excited states start at a title "WORD Excitation Energies" ("CIS",
//   "TDDFT/TDA", "TDDFT", ...) between lines of dashes, and are blocks
//   "Excited state N: excitation energy (eV) = E", N counting from 1, each
//   with one line "Strength : F"; the other lines of a block (energies,
//   multiplicity, amplitudes) are passed over. A line of dashes ends them.
// Q-Chem prints no Gibbs free energy (its thermochemistry gives the thermal
// enthalpy and entropy, in kcal/mol and cal/mol.K): the free energy is left
// absent. A table the end of the file cuts, or a last line without its line
// end ends, is refused as cut short:
//   " Frequency:   1000.1x   ..." -> error {not_a_number, that line, the
//     value's column, "a frequency as a number, not '1000.1x'"}
#include <string>
#include <vector>

#include "qc_text.h"
#include "records/spectra_data.h"

namespace broaden {
namespace {

using namespace qc;

constexpr std::size_t kTokens = 12;

bool starts_with(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

bool contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

// The vibrational analysis as read: the line of its banner, each mode's
// values in the file's order (negative frequencies included).
struct Analysis {
  std::size_t line = 0;
  std::vector<double> frequency, ir, raman;
  bool ir_unit = false, raman_unit = false;
};

class QChemReader : SectionReader {
 public:
  explicit QChemReader(std::string_view text) : SectionReader(text) {}

  SpectraRead read() {
    bool pending = false;  // line_ is read but not yet looked at
    while (pending || next()) {
      pending = false;
      const std::string_view t = trimmed(line_.text);
      bool ok = true;
      if (t.size() > 4 && starts_with(t, "**") &&
          trimmed(t.substr(2, t.size() - 4)) == "VIBRATIONAL ANALYSIS") {
        ok = read_analysis(pending);
      } else if (starts_with(t, "This Molecule has")) {
        ok = check_imaginary();
      } else if (t.size() > 20 && t.substr(t.size() - 20) == " Excitation Energies") {
        ok = read_states();
      }
      if (!ok) return failed();
    }
    vibrations();
    return std::move(result_);
  }

 private:
  // The banner's units, then the groups; `pending` is set when the line
  // after the analysis is read and not yet looked at.
  bool read_analysis(bool& pending) {
    Analysis analysis;
    analysis.line = line_.number;
    const std::string what = "the vibrational analysis at line " + std::to_string(line_.number);
    do {
      if (!next_in_section()) return cut_short("the modes of " + what);
      analysis.ir_unit = analysis.ir_unit || contains(line_.text, "INFRARED INTENSITIES (KM/MOL)");
      analysis.raman_unit =
          analysis.raman_unit || contains(line_.text, "RAMAN SCATTERING ACTIVITIES (A**4/AMU)");
    } while (!starts_with(trimmed(line_.text), "Mode:"));
    while (true) {
      if (!read_group(analysis, what)) return false;
      do {
        if (!next_in_section()) return cut_short("the rest of " + what);
      } while (is_blank_line(line_.text));
      if (!starts_with(trimmed(line_.text), "Mode:")) break;
    }
    analysis_ = std::move(analysis);
    pending = true;
    return true;
  }

  // One group from its "Mode:" line to the blank line after its coordinates.
  bool read_group(Analysis& a, const std::string& what) {
    if (!split_tokens(line_.text, tokens_, kTokens) || tokens_.size() < 2)
      return fail(ReadFault::layout, 1, "a line 'Mode:' and at most 11 mode numbers");
    const std::size_t first = a.frequency.size();
    const std::size_t n = tokens_.size() - 1;
    for (std::size_t k = 0; k < n; ++k) {
      const Token& token = tokens_[k + 1];
      if (!is_count(token.text) || count_of(token.text) != first + k + 1)
        return fail(ReadFault::numbering, token.column,
                    "mode " + std::to_string(first + k + 1) + ", not " + shown(token.text));
    }
    bool ir = false, raman = false, frequency = false;
    while (true) {
      if (!next_in_section()) return cut_short("the rest of " + what);
      const std::string_view t = trimmed(line_.text);
      const std::size_t colon = t.find(':');
      if (colon == std::string_view::npos) break;  // the coordinates' header
      const std::string_view key = t.substr(0, colon);
      std::vector<double>* into = key == "Frequency"      ? &a.frequency
                                  : key == "IR Intens"    ? &a.ir
                                  : key == "Raman Intens" ? &a.raman
                                                          : nullptr;
      if (into == nullptr) continue;
      bool& seen = into == &a.frequency ? frequency : into == &a.ir ? ir : raman;
      if (seen) return fail(ReadFault::misplaced, 1, "one line '" + std::string(key) + "' a group");
      if ((into == &a.ir && !a.ir_unit) || (into == &a.raman && !a.raman_unit))
        return fail(ReadFault::layout, 1,
                    "an intensity in a unit the banner names (KM/MOL, A**4/AMU), not '" +
                        std::string(key) + "' without it");
      seen = true;
      if (!read_values(key, n, *into)) return false;
    }
    if (!frequency) return fail(ReadFault::misplaced, 1, "a line 'Frequency:' in the group");
    if ((!a.ir.empty() && a.ir.size() != a.frequency.size()) ||
        (!a.raman.empty() && a.raman.size() != a.frequency.size()))
      return fail(ReadFault::count_mismatch, 1,
                  "the same intensities in every group of modes, as in the first");
    while (!is_blank_line(line_.text))
      if (!next_in_section()) return cut_short("the rest of " + what);
    return true;
  }

  bool read_values(std::string_view key, std::size_t n, std::vector<double>& into) {
    const bool all = split_tokens(line_.text, tokens_, kTokens, ":");
    const std::size_t words = key == "Frequency" ? 1 : 2;
    if (!all || tokens_.size() != words + n) {
      return fail(ReadFault::count_mismatch, all ? line_.text.size() + 1 : tokens_.back().column,
                  std::to_string(n) + " values after '" + std::string(key) +
                      ":', one a mode of the group, not " +
                      (all ? std::to_string(tokens_.size() - words) : "more"));
    }
    const std::string_view what = key == "Frequency"   ? "a frequency"
                                  : key == "IR Intens" ? "an IR intensity"
                                                       : "a Raman activity";
    for (std::size_t k = words; k < tokens_.size(); ++k) {
      double value = 0.0;
      if (!number(tokens_[k], what, value)) return false;
      into.push_back(value);
    }
    return true;
  }

  bool check_imaginary() {
    split_tokens(line_.text, tokens_, kTokens);
    if (tokens_.size() != 6 || tokens_[4].text != "Imaginary" || !is_count(tokens_[3].text))
      return true;  // not the count of imaginary modes
    std::size_t negative = 0;
    for (const double f : analysis_.frequency) negative += f < 0.0 ? 1 : 0;
    if (analysis_.line != 0 && negative != count_of(tokens_[3].text))
      return fail(ReadFault::count_mismatch, tokens_[3].column,
                  std::to_string(negative) + " imaginary frequencies, as the analysis at line " +
                      std::to_string(analysis_.line) + " prints them, not " +
                      shown(tokens_[3].text));
    return true;
  }

  // The states from the title to the line of dashes after them.
  bool read_states() {
    const std::string what = "the excited states at line " + std::to_string(line_.number);
    if (!split_tokens(trimmed(line_.text), tokens_, kTokens) || tokens_.size() != 3) return true;
    if (!next_in_section()) return cut_short("the rest of " + what);
    if (!is_dash_line(line_.text)) return true;  // not the title of a table
    ExcitedStates states;
    bool strength = true;
    while (next_in_section()) {
      const std::string_view t = trimmed(line_.text);
      if (is_dash_line(t)) {
        if (states.energy_ev.empty()) return fail(ReadFault::misplaced, 1, "the states of " + what);
        if (!strength)
          return fail(ReadFault::misplaced, 1, "a line 'Strength' in the state before");
        result_.data.excited_states = std::move(states);
        return true;
      }
      if (starts_with(t, "Excited state")) {
        if (!strength)
          return fail(ReadFault::misplaced, 1, "a line 'Strength' in the state before");
        if (!read_state(states)) return false;
        strength = false;
      } else if (starts_with(t, "Strength")) {
        if (strength) return fail(ReadFault::misplaced, 1, "one line 'Strength' a state");
        split_tokens(line_.text, tokens_, kTokens, ":");
        if (tokens_.size() != 2) return missing("one oscillator strength after 'Strength :'");
        double value = 0.0;
        if (!number(tokens_[1], "an oscillator strength", value)) return false;
        states.oscillator_strength.push_back(value);
        strength = true;
      }
    }
    return cut_short("the rest of " + what);
  }

  // "Excited state N: excitation energy (eV) = E".
  bool read_state(ExcitedStates& states) {
    const bool all = split_tokens(line_.text, tokens_, kTokens, ":");
    static constexpr std::string_view kWords[] = {"Excited", "state", "", "excitation",
                                                  "energy",  "(eV)",  "="};
    for (std::size_t k = 0; k < 7; ++k)
      if (k != 2 && (k >= tokens_.size() || tokens_[k].text != kWords[k]))
        return fail(ReadFault::layout, k < tokens_.size() ? tokens_[k].column : 1,
                    "'Excited state N: excitation energy (eV) = E'");
    const std::size_t n = states.energy_ev.size() + 1;
    if (!is_count(tokens_[2].text) || count_of(tokens_[2].text) != n)
      return fail(ReadFault::numbering, tokens_[2].column,
                  "state " + std::to_string(n) + ", not " + shown(tokens_[2].text));
    if (tokens_.size() < 8) return missing("the excitation energy after '='");
    if (!all || tokens_.size() > 8)
      return fail(ReadFault::layout, tokens_[8].column, "the line's end after the energy");
    double value = 0.0;
    if (!number(tokens_[7], "an excitation energy", value)) return false;
    states.energy_ev.push_back(value);
    return true;
  }

  // The analysis kept into the data, imaginary modes left out.
  void vibrations() {
    result_.data.vibrations = real_modes(analysis_.frequency, analysis_.ir, analysis_.raman,
                                         analysis_.line, result_.notes);
  }

  Analysis analysis_;
  SpectraRead result_;
};

}  // namespace

SpectraRead read_qchem(std::string_view text) { return QChemReader(text).read(); }

bool recognises_qchem(std::string_view text) noexcept {
  // The banner "Welcome to Q-Chem" and the line "Q-Chem 5.1, Q-Chem, Inc.,
  // Pleasanton, CA" open every Q-Chem output.
  const std::string_view head = text.substr(0, 16384);
  return contains(head, "Welcome to Q-Chem") || contains(head, ", Q-Chem, Inc.,");
}

}  // namespace broaden
