// The Psi4 output (versions 1.3 and later): its harmonic vibrational
// analysis, its TDSCF excited states and its free energy (the spectra
// reader contract of line_list_formats.h).
//
// "==> Harmonic Vibrational Analysis <==" opens the vibrations, up to the
// next "==> ... <==" heading. They come in blocks of a "Vibration" line of
// mode numbers (consecutive through the table), a "Freq [cm^-1]" row (an
// imaginary mode printed "123.4567i") and, where printed (1.3 and later),
// an "IR activ [km/mol]" row, one value a mode. Imaginary and zero modes
// are left out with a note.
//
// TDSCF (1.4 and later): a header line naming "Excitation Energy" and
// "Oscillator Strength" (and "Rotatory Strength"), a units line under it,
// and a line of dashes, one run a column; each column is named by the
// heading and the unit over its run: the energy in "eV", the oscillator
// strength "au (length)", the rotatory strengths "au (length)" and "au
// (velocity)". Rows are the state's number, its symmetry "A->B2 (1 B2)",
// then one number a column, up to a blank line. Rotatory strengths are
// printed in atomic units (e a0 times e hbar / m_e) and converted to
// 10^-40 esu^2 cm^2 (below, CODATA 2018). A header without these columns
// is refused, naming it.
//
// "Total G, Free enthalpy at  298.15 [K]  -74.95935149 [Eh]" gives the free
// energy (hartree). The last complete table of each kind is kept; a table
// the end of the file cuts is refused as cut short.
//   "Vibration  7  8", "Freq [cm^-1]  2170.9199  4139.2996i",
//   "IR activ [km/mol]  7.2090  44.3988" -> frequency {2170.9199}, IR
//   intensity {7.209}, one imaginary mode left out
#include <string>
#include <vector>

#include "qc_text.h"
#include "records/spectra_data.h"

namespace broaden {

// One atomic unit of rotatory strength, e a0 * e hbar / m_e, in 10^-40
// esu^2 cm^2 (erg esu cm / G), from CODATA 2018: e = 1.602176634e-19 C and
// hbar = 1.054571817e-34 J s (exact), a0 = 5.29177210903e-11 m, m_e =
// 9.1093837015e-31 kg; 1 C m = 2.99792458e11 esu cm, 1 J/T = 1e3 erg/G.
// About 471.4436.
constexpr double kRotatoryAuIn1e40Cgs =
    (1.602176634e-19 * 5.29177210903e-11 * 2.99792458e11) *
    (1.602176634e-19 * 1.054571817e-34 / 9.1093837015e-31 * 1e3) * 1e40;

namespace {

using namespace qc;

constexpr std::size_t kTokens = 24;

bool contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

// The phrase of `line` (words separated by single blanks) over the 1-based
// columns [begin, end), or an empty view.
std::string_view phrase_over(std::string_view line, std::size_t begin, std::size_t end) {
  std::size_t k = 0;
  while (k < line.size()) {
    while (k < line.size() && is_blank(line[k])) ++k;
    const std::size_t start = k;
    while (k < line.size() &&
           !(is_blank(line[k]) && (k + 1 >= line.size() || is_blank(line[k + 1]))))
      ++k;
    if (start < k && start + 1 < end && begin < k + 1) return line.substr(start, k - start);
  }
  return {};
}

class Psi4Reader : SectionReader {
 public:
  explicit Psi4Reader(std::string_view text) : SectionReader(text) {}

  SpectraRead read() {
    while (next())
      if (!read_line()) return failed();
    if (vib_line_ != 0) {
      cut_short("the rest of the vibrational analysis at line " + std::to_string(vib_line_));
      return failed();
    }
    return std::move(result_);
  }

 private:
  bool read_line() {
    const std::string_view t = trimmed(line_.text);
    if (vib_line_ != 0) {
      if (!line_.ended)
        return cut_short("the rest of the vibrational analysis at line " +
                         std::to_string(vib_line_));
      if (t.starts_with("==>")) return close_vibrations();
      if (t.starts_with("Vibration")) return read_modes();
      if (t.starts_with("Freq [cm^-1]")) return read_row(frequency_, "a frequency");
      if (t.starts_with("IR activ [km/mol]")) return read_row(intensity_, "an IR intensity");
      return true;
    }
    if (t == "==> Harmonic Vibrational Analysis <==") {
      vib_line_ = line_.number;
      frequency_.clear();
      intensity_.clear();
      block_ = 0;
      return true;
    }
    if (t.starts_with("Total G, Free enthalpy at")) return read_free_energy();
    if (contains(t, "Excitation Energy") && contains(t, "Oscillator Strength"))
      return read_states();
    return true;
  }

  bool read_modes() {
    const bool fits = split_tokens(line_.text, tokens_, kTokens);
    if (block_ != 0 && frequency_.size() != first_ + block_)
      return fail(ReadFault::misplaced, 1, "a 'Freq [cm^-1]' row for the modes before");
    if (!intensity_.empty() && intensity_.size() != frequency_.size())
      return fail(ReadFault::misplaced, 1, "an 'IR activ [km/mol]' row for the modes before");
    if (frequency_.empty()) first_ = 0;
    block_ = 0;
    for (std::size_t k = 1; fits && k < tokens_.size(); ++k) {
      if (!is_count(tokens_[k].text))
        return fail(ReadFault::layout, tokens_[k].column,
                    "a mode number, not " + shown(tokens_[k].text));
      const std::size_t mode = count_of(tokens_[k].text);
      if (frequency_.empty() && k == 1) next_mode_ = mode;
      if (mode != next_mode_)
        return fail(ReadFault::numbering, tokens_[k].column,
                    "mode " + std::to_string(next_mode_) + ", not " + shown(tokens_[k].text));
      ++next_mode_;
      ++block_;
    }
    first_ = frequency_.size();
    if (!fits || block_ == 0) return fail(ReadFault::layout, 1, "mode numbers after 'Vibration'");
    return true;
  }

  // A row of one value a mode of the block, after its label "... [unit]".
  bool read_row(std::vector<double>& into, std::string_view what) {
    if (block_ == 0 || into.size() != first_)
      return fail(ReadFault::misplaced, 1,
                  "a 'Vibration' line before " + quoted(trimmed(line_.text), 24));
    const std::size_t label = line_.text.find(']') + 1;
    const bool fits = split_tokens(line_.text.substr(label), tokens_, kTokens);
    if (!fits || tokens_.size() != block_)
      return fail(ReadFault::count_mismatch, fits ? line_.text.size() + 1 : label + 1,
                  std::to_string(block_) + " values, one a mode of the 'Vibration' line, not " +
                      (fits ? std::to_string(tokens_.size()) : "more"));
    for (Token token : tokens_) {
      token.column += label;
      const bool imaginary = &into == &frequency_ && token.text.back() == 'i';
      if (imaginary) token.text.remove_suffix(1);
      double value = 0.0;
      if (!number(token, what, value)) return false;
      into.push_back(imaginary ? -value : value);
    }
    return true;
  }

  bool close_vibrations() {
    const std::size_t line = vib_line_;
    vib_line_ = 0;
    if (frequency_.size() != first_ + block_ ||
        (!intensity_.empty() && intensity_.size() != frequency_.size()))
      return fail(ReadFault::count_mismatch, 1,
                  "a frequency and IR intensity row for each 'Vibration' line of the analysis at "
                  "line " +
                      std::to_string(line));
    result_.notes.clear();
    result_.data.vibrations = real_modes(frequency_, intensity_, {}, line, result_.notes);
    return true;
  }

  bool read_free_energy() {
    if (!line_.ended) return fail(unended(line_, "the free energy"));
    split_tokens(line_.text, tokens_, kTokens);
    if (tokens_.size() < 2 || tokens_.back().text != "[Eh]")
      return fail(ReadFault::layout, 1, "the free energy before '[Eh]'");
    return free_energy(tokens_[tokens_.size() - 2], result_.data.free_energy);
  }

  enum Role : std::size_t { energy_ev, oscillator, r_length, r_velocity, none };
  bool read_states();
  bool columns_of(const Line& header, const Line& units, std::vector<Role>& roles);
  bool read_state_row(const std::vector<Role>& roles, ExcitedStates& e);

  SpectraRead result_;
  std::vector<double> frequency_, intensity_;
  std::size_t vib_line_ = 0, block_ = 0, first_ = 0, next_mode_ = 0;
};

bool Psi4Reader::columns_of(const Line& header, const Line& units, std::vector<Role>& roles) {
  split_tokens(line_.text, tokens_, kTokens);  // the dashes, one run a column
  roles.clear();
  bool seen[none + 1] = {};
  for (const Token& run : tokens_) {
    const std::size_t begin = run.column, end = run.column + run.text.size();
    const std::string_view heading = phrase_over(header.text, begin, end);
    const std::string_view unit = phrase_over(units.text, begin, end);
    Role role = none;
    if (heading == "Excitation Energy" && unit == "eV") role = energy_ev;
    if (heading == "Oscillator Strength" && unit == "au (length)") role = oscillator;
    if (heading == "Rotatory Strength" && unit == "au (length)") role = r_length;
    if (heading == "Rotatory Strength" && unit == "au (velocity)") role = r_velocity;
    if (role != none && seen[role]) return false;  // two columns of one quantity
    seen[role] = true;
    roles.push_back(role);
  }
  return roles.size() >= 3 && seen[energy_ev] && seen[oscillator];
}

bool Psi4Reader::read_states() {
  const Line header = line_;
  const std::string what = "the table at line " + std::to_string(header.number);
  if (!next_in_section()) return cut_short("the units line of " + what);
  const Line units = line_;
  if (!next_in_section()) return cut_short("a line of dashes under " + what);
  std::vector<Role> roles;
  const std::string_view dashes = trimmed(line_.text);
  if (dashes.empty() || dashes.find_first_not_of("- ") != std::string_view::npos ||
      !columns_of(header, units, roles))
    return fail(read_error(ReadFault::layout, header.number, 1,
                           "a layout of this table the reader knows, not the header " +
                               quoted(trimmed(header.text), 100)));
  ExcitedStates e;
  while (next_in_section()) {
    if (is_blank_line(line_.text)) {
      if (e.energy_ev.empty()) return fail(ReadFault::misplaced, 1, "the rows of " + what);
      result_.data.excited_states = std::move(e);
      return true;
    }
    if (!read_state_row(roles, e)) return false;
  }
  return cut_short("the rest of " + what);
}

bool Psi4Reader::read_state_row(const std::vector<Role>& roles, ExcitedStates& e) {
  const bool fits = split_tokens(line_.text, tokens_, kTokens);
  // The number, then the symmetry up to the word ending in ')'.
  std::size_t label = 1;
  while (label < tokens_.size() && tokens_[label].text.back() != ')') ++label;
  ++label;
  const std::size_t numeric = roles.size() - 2;
  const std::string expected = std::to_string(e.energy_ev.size() + 1);
  if (!fits || tokens_.empty() || tokens_[0].text != expected || label > tokens_.size() ||
      tokens_.size() - label != numeric)
    return fail(
        tokens_.empty() || tokens_[0].text == expected ? ReadFault::layout : ReadFault::numbering,
        tokens_.empty() ? 1 : tokens_[0].column,
        "a row of state " + expected + ": its number, its symmetry 'A->B (1 B)', then " +
            std::to_string(numeric) + " numbers");
  for (std::size_t k = 0; k < numeric; ++k) {
    const Role role = roles[k + 2];
    if (role == none) continue;
    double value = 0.0;
    if (!number(tokens_[label + k], role == energy_ev ? "an energy in eV" : "a strength", value))
      return false;
    switch (role) {
      case energy_ev:
        e.energy_ev.push_back(value);
        break;
      case oscillator:
        e.oscillator_strength.push_back(value);
        break;
      case r_length:
        e.rotatory_length.push_back(value * kRotatoryAuIn1e40Cgs);
        break;
      case r_velocity:
        e.rotatory_velocity.push_back(value * kRotatoryAuIn1e40Cgs);
        break;
      case none:
        break;
    }
  }
  return true;
}

}  // namespace

SpectraRead read_psi4(std::string_view text) { return Psi4Reader(text).read(); }

bool recognises_psi4(std::string_view text) noexcept {
  // The banner opening every output.
  return text.substr(0, 16384).find(
             "Psi4: An Open-Source Ab Initio Electronic Structure Package") !=
         std::string_view::npos;
}

}  // namespace broaden
