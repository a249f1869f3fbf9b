// The Turbomole outputs (versions 6 and 7): escf's and ricc2's excited
// states and aoforce's vibrations (the spectra reader contract of
// line_list_formats.h).
//
// escf: each state is a block headed "N singlet a excitation" (or triplet)
// with "Excitation energy / eV:", "/ nm:" and "/ cm^(-1):", then under
// "Oscillator strength:" the "length representation:" (the velocity and
// mixed forms are not read), and under "Rotatory strength:" the lines
// "velocity rep. / 10^(-40)erg*cm^3:" and "length rep. / 10^(-40)erg*cm^3:"
// (10^-40 erg cm^3 = 10^-40 esu^2 cm^2, the unit of SpectraData; a line of
// another unit is refused). The states of a job end at "SUMMARY OF
// EXCITATION ENERGIES" or "escf : all done"; their number must be the
// "total number of roots to be determined" announced.
//
// ricc2: the last "| sym | multi | state | ... excitation energies" table
// (its units line names "eV" and "cm-1"), and the "oscillator strength
// (length gauge)" of each transition, whose "number, symmetry,
// multiplicity:" must be the table's row in turn, one for every state.
//
// aoforce: after "NORMAL MODES and VIBRATIONAL FREQUENCIES", blocks of
// "mode" numbers, "frequency" (an imaginary one printed "i123.45" or
// negative) and "intensity (km/mol)" rows, one value a mode, up to "zero
// point VIBRATIONAL energy" or "all done". Imaginary and zero modes are
// left out with a note.
//
// A job's banner ("escf (host) : TURBOMOLE rev. V7.4.1") starts anew: the
// states of an earlier job cut short are dropped; the last complete table
// of each kind is kept. A table the end of the file cuts, or a last line
// without its line end ends, is refused as cut short.
//   "Excitation energy / eV:   8.466699968968847" -> energy_ev 8.466699968968847
//   "    length rep. / a.u.:  0.1" under "Rotatory strength:"
//     -> error {not_a_number, its line, 1, "a rotatory strength in
//        10^(-40)erg*cm^3, not '...'", layout}
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "qc_text.h"
#include "records/spectra_data.h"

namespace broaden {
namespace {

using namespace qc;

constexpr std::size_t kTokens = 16;
constexpr double kUnset = std::numeric_limits<double>::quiet_NaN();

bool contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

// One escf state's values, NaN where the block printed none.
struct EscfState {
  double ev = kUnset, nm = kUnset, wavenumber = kUnset, f = kUnset, r_length = kUnset,
         r_velocity = kUnset;
};

class TurbomoleReader : SectionReader {
 public:
  explicit TurbomoleReader(std::string_view text) : SectionReader(text) {}

  SpectraRead read() {
    while (next())
      if (!read_line()) return failed();
    if (escf_open_ || vib_open_) {
      cut_short(open_part());
      return failed();
    }
    if (!keep_cc2()) return failed();
    return std::move(result_);
  }

 private:
  std::string open_part() const {
    return std::string("the rest of the ") + (vib_open_ ? "vibrations" : "excited states") +
           " at line " + std::to_string(vib_open_ ? vib_line_ : escf_line_);
  }

  bool read_line() {
    const std::string_view t = trimmed(line_.text);
    // Within a table a last line without its line end may be cut anywhere.
    if ((escf_open_ || vib_open_) && !line_.ended) return cut_short(open_part());
    if (t.starts_with("Note that this is the intermediate result of a preoptimization")) {
      preoptimization_ = true;
      return true;
    }
    // Both marks searched for anywhere in a line hold a colon: one memchr
    // spares the two searches on most lines.
    const bool colon = std::memchr(t.data(), ':', t.size()) != nullptr;
    if (colon && contains(t, ") : TURBOMOLE")) {
      escf_open_ = vib_open_ = false;  // a job cut short before this one is dropped
      announced_ = 0;
      return true;
    }
    if (vib_open_) return read_vibration_line(t);
    if (t.starts_with("NORMAL MODES and VIBRATIONAL FREQUENCIES")) return open_vibrations();
    if (t.starts_with("total number of roots to be determined:")) return read_announced();
    if (t.starts_with("| sym | multi | state |") && contains(t, "excitation energies"))
      return read_cc_table();
    if (t.starts_with("|    number, symmetry, multiplicity:")) return read_transition_label();
    if (t.starts_with("oscillator strength (length gauge)")) return read_cc_strength();
    if (colon && contains(t, "ricc2 : all done")) cc_done_ = cc_line_ != 0;
    if (t.ends_with(" excitation") && split_tokens(t, tokens_, 5) && tokens_.size() == 4 &&
        is_count(tokens_[0].text) && (tokens_[1].text == "singlet" || tokens_[1].text == "triplet"))
      return open_state();
    if (escf_open_) return read_state_line(t);
    return true;
  }

  bool read_announced() {
    split_tokens(line_.text, tokens_, kTokens);
    if (tokens_.empty() || !is_count(tokens_.back().text) || !line_.ended)
      return missing("the number of roots after ':'");
    announced_ = count_of(tokens_.back().text);
    announced_line_ = line_.number;
    return true;
  }

  bool open_state() {
    if (!escf_open_) {
      escf_open_ = true;
      escf_line_ = line_.number;
      states_.clear();
    }
    states_.emplace_back();
    section_ = Section::none;
    return true;
  }

  // A value of the escf state at hand, or the end of its job's states.
  bool read_state_line(std::string_view t) {
    if (t.starts_with("SUMMARY OF EXCITATION ENERGIES") || contains(t, "escf : all done"))
      return close_states();
    if (t == "Oscillator strength:") section_ = Section::oscillator;
    if (t == "Rotatory strength:") section_ = Section::rotatory;
    EscfState& s = states_.back();
    if (t.starts_with("Excitation energy / eV:")) return value_after_colon(s.ev, "an energy in eV");
    if (t.starts_with("Excitation energy / nm:")) return value_after_colon(s.nm, "a wavelength");
    if (t.starts_with("Excitation energy / cm^(-1):"))
      return value_after_colon(s.wavenumber, "an energy in cm-1");
    if (section_ == Section::oscillator && t.starts_with("length representation:"))
      return value_after_colon(s.f, "an oscillator strength");
    if (section_ == Section::rotatory && contains(t, "rep. /")) {
      const bool length = t.starts_with("length rep. /");
      if (!contains(t, "rep. / 10^(-40)erg*cm^3:") || (!length && !t.starts_with("velocity")))
        return fail(ReadFault::layout, 1,
                    "a rotatory strength in 10^(-40)erg*cm^3, not " + quoted(t, 100));
      return value_after_colon(length ? s.r_length : s.r_velocity, "a rotatory strength");
    }
    return true;
  }

  // The number after the line's last ':', the line ended.
  bool value_after_colon(double& into, std::string_view what) {
    const std::size_t colon = line_.text.rfind(':');
    split_tokens(line_.text.substr(colon + 1), tokens_, 2);
    if (tokens_.size() != 1) return missing(std::string(what) + " alone after ':'");
    Token token = tokens_[0];
    token.column += colon + 1;
    if (!number(token, what, into)) return false;
    if (!line_.ended) return fail(unended(line_, what));
    return true;
  }

  bool close_states();
  bool read_cc_table();
  bool read_cc_row(std::size_t ev, std::size_t cm, std::size_t values);
  bool read_transition_label();
  bool read_cc_strength();
  bool keep_cc2();
  bool open_vibrations();
  bool read_vibration_line(std::string_view t);
  bool read_vibration_row(std::vector<double>& into, std::size_t label, std::string_view what);
  bool close_vibrations();

  enum class Section { none, oscillator, rotatory };

  SpectraRead result_;
  // escf
  bool escf_open_ = false;
  std::size_t escf_line_ = 0, announced_ = 0, announced_line_ = 0;
  std::vector<EscfState> states_;
  Section section_ = Section::none;
  // ricc2
  struct CcState {
    std::string sym;
    std::size_t multi = 0, number = 0;
  };
  std::vector<CcState> cc_states_;
  std::vector<double> cc_ev_, cc_cm_, cc_f_;
  std::size_t cc_line_ = 0, transition_line_ = 0;
  bool preoptimization_ = false, cc_done_ = false;
  std::optional<CcState> transition_;
  // aoforce
  bool vib_open_ = false;
  std::size_t vib_line_ = 0, block_modes_ = 0;
  bool block_frequency_ = false, block_intensity_ = false;
  std::vector<double> frequency_, intensity_;
};

bool TurbomoleReader::close_states() {
  escf_open_ = false;
  if (announced_ != 0 && states_.size() != announced_)
    return fail(ReadFault::count_mismatch, 1,
                "the " + std::to_string(announced_) + " roots announced at line " +
                    std::to_string(announced_line_) + ", not " + std::to_string(states_.size()));
  ExcitedStates e;
  const auto column = [&](double EscfState::*field, std::vector<double>& into,
                          const char* what) -> bool {
    const bool first = !std::isnan(states_.front().*field);
    for (std::size_t k = 0; k < states_.size(); ++k) {
      if (std::isnan(states_[k].*field) == first)
        return fail(ReadFault::count_mismatch, 1,
                    "state " + std::to_string(k + 1) + " of the job at line " +
                        std::to_string(escf_line_) + (first ? " with " : " without ") + what +
                        ", as its first");
      if (first) into.push_back(states_[k].*field);
    }
    return true;
  };
  if (!column(&EscfState::ev, e.energy_ev, "an energy in eV") ||
      !column(&EscfState::nm, e.wavelength_nm, "a wavelength") ||
      !column(&EscfState::wavenumber, e.wavenumber, "an energy in cm-1") ||
      !column(&EscfState::f, e.oscillator_strength, "an oscillator strength") ||
      !column(&EscfState::r_length, e.rotatory_length, "a length rotatory strength") ||
      !column(&EscfState::r_velocity, e.rotatory_velocity, "a velocity rotatory strength"))
    return false;
  if (e.energy_ev.empty() && e.wavenumber.empty() && e.wavelength_nm.empty())
    return fail(
        ReadFault::misplaced, 1,
        "the excitation energies of the states of the job at line " + std::to_string(escf_line_));
  result_.data.excited_states = std::move(e);
  cc_line_ = 0;  // an escf job after a ricc2 table replaces it
  return true;
}

bool TurbomoleReader::read_cc_table() {
  if (preoptimization_) {  // an intermediate table, the final one follows
    preoptimization_ = false;
    return true;
  }
  const std::size_t title = line_.number;
  const std::string what = "the table at line " + std::to_string(title);
  if (!next_in_section() || !next_in_section()) return cut_short("the units line of " + what);
  const Line units = line_;
  split_tokens(units.text, tokens_, kTokens, "|+");
  std::size_t ev = kTokens, cm = kTokens;
  for (std::size_t k = 0; k < tokens_.size(); ++k) {
    if (tokens_[k].text == "eV") ev = k;
    if (tokens_[k].text == "cm-1") cm = k;
  }
  const std::size_t values = tokens_.size();
  if (ev == kTokens && cm == kTokens)
    return fail(ReadFault::layout, 1,
                "a units line naming eV or cm-1 under " + what + ", not " +
                    quoted(trimmed(units.text), 100));
  if (!next_in_section()) return cut_short("the rows of " + what);
  cc_states_.clear();
  cc_ev_.clear();
  cc_cm_.clear();
  cc_f_.clear();
  transition_.reset();
  while (next_in_section()) {
    if (trimmed(line_.text).starts_with("+=")) {
      if (cc_states_.empty()) return fail(ReadFault::misplaced, 1, "the rows of " + what);
      cc_line_ = title;
      cc_done_ = false;
      return true;
    }
    if (!read_cc_row(ev, cm, values)) return false;
  }
  return cut_short("the rest of " + what);
}

bool TurbomoleReader::read_cc_row(std::size_t ev, std::size_t cm, std::size_t values) {
  const bool fits = split_tokens(line_.text, tokens_, kTokens, "|");
  if (!fits || tokens_.size() != values + 3 || !is_count(tokens_[1].text) ||
      !is_count(tokens_[2].text))
    return fail(ReadFault::layout, tokens_.empty() ? 1 : tokens_[0].column,
                "a row of the table: symmetry, multiplicity, state, then " +
                    std::to_string(values) + " numbers");
  cc_states_.push_back(
      CcState{std::string(tokens_[0].text), count_of(tokens_[1].text), count_of(tokens_[2].text)});
  double value = 0.0;
  if (ev != kTokens) {
    if (!number(tokens_[3 + ev], "an energy in eV", value)) return false;
    cc_ev_.push_back(value);
  }
  if (cm != kTokens) {
    if (!number(tokens_[3 + cm], "an energy in cm-1", value)) return false;
    cc_cm_.push_back(value);
  }
  return true;
}

bool TurbomoleReader::read_transition_label() {
  if (!line_.ended) return cut_short("the rest of the transition's label");
  const std::size_t colon = line_.text.find(':');
  split_tokens(line_.text.substr(colon + 1), tokens_, 4, "|");
  if (tokens_.size() != 3 || !is_count(tokens_[0].text) || !is_count(tokens_[2].text))
    return fail(ReadFault::layout, colon + 2, "the number, symmetry and multiplicity");
  transition_ =
      CcState{std::string(tokens_[1].text), count_of(tokens_[2].text), count_of(tokens_[0].text)};
  transition_line_ = line_.number;
  return true;
}

bool TurbomoleReader::read_cc_strength() {
  if (!transition_ || cc_line_ == 0)
    return fail(ReadFault::misplaced, 1,
                "a transition's number, symmetry, multiplicity before its oscillator strength, "
                "after a table of excitation energies");
  const std::size_t k = cc_f_.size();
  const CcState& t = *transition_;
  if (k >= cc_states_.size() || cc_states_[k].number != t.number ||
      cc_states_[k].multi != t.multi || cc_states_[k].sym != t.sym)
    return fail(read_error(ReadFault::numbering, transition_line_, 1,
                           k < cc_states_.size()
                               ? "state " + std::to_string(cc_states_[k].number) + " " +
                                     cc_states_[k].sym + " " + std::to_string(cc_states_[k].multi) +
                                     " of the table at line " + std::to_string(cc_line_)
                               : "no more transitions than the " +
                                     std::to_string(cc_states_.size()) + " states of the table"));
  double f = 0.0;
  if (!value_after_colon(f, "an oscillator strength")) return false;
  cc_f_.push_back(f);
  transition_.reset();
  return true;
}

bool TurbomoleReader::keep_cc2() {
  if (cc_line_ == 0) return true;
  // Strengths stop short of the states where the file was cut before the
  // end of ricc2's run, else where ricc2 printed fewer.
  if (!cc_f_.empty() && cc_f_.size() < cc_states_.size() && !cc_done_)
    return cut_short("the rest of the oscillator strengths of the table at line " +
                     std::to_string(cc_line_));
  if (!cc_f_.empty() && cc_f_.size() != cc_states_.size())
    return fail(read_error(ReadFault::count_mismatch, cc_line_, 1,
                           "an oscillator strength for each of the " +
                               std::to_string(cc_states_.size()) + " states, not " +
                               std::to_string(cc_f_.size())));
  ExcitedStates& e = result_.data.excited_states;
  e = ExcitedStates{};
  e.energy_ev = std::move(cc_ev_);
  e.wavenumber = std::move(cc_cm_);
  e.oscillator_strength = std::move(cc_f_);
  return true;
}

bool TurbomoleReader::open_vibrations() {
  vib_open_ = true;
  vib_line_ = line_.number;
  block_modes_ = 0;
  block_frequency_ = block_intensity_ = false;
  frequency_.clear();
  intensity_.clear();
  return true;
}

bool TurbomoleReader::read_vibration_line(std::string_view t) {
  if (contains(t, "zero point VIBRATIONAL energy") || contains(t, ": all done"))
    return close_vibrations();
  if (t.starts_with("NORMAL MODES and VIBRATIONAL FREQUENCIES")) return open_vibrations();
  if (t.starts_with("mode ") || t == "mode") {
    const bool fits = split_tokens(line_.text, tokens_, kTokens);
    if (block_modes_ != 0 && !block_frequency_)
      return fail(ReadFault::misplaced, 1, "a frequency row for the modes before");
    block_modes_ = 0;
    block_frequency_ = block_intensity_ = false;
    for (std::size_t k = 1; fits && k < tokens_.size(); ++k) {
      const std::string expected = std::to_string(frequency_.size() + block_modes_ + 1);
      if (tokens_[k].text != expected)
        return fail(ReadFault::numbering, tokens_[k].column,
                    "mode " + expected + ", not " + shown(tokens_[k].text));
      ++block_modes_;
    }
    if (!fits || block_modes_ == 0)
      return fail(ReadFault::layout, 1, "a row of mode numbers after 'mode'");
    return true;
  }
  if (t.starts_with("frequency")) {
    if (block_modes_ == 0 || block_frequency_)
      return fail(ReadFault::misplaced, 1, "a line of mode numbers before 'frequency'");
    block_frequency_ = true;
    return read_vibration_row(frequency_, 1, "a frequency");
  }
  if (t.starts_with("intensity (km/mol)")) {
    if (!block_frequency_ || block_intensity_)
      return fail(ReadFault::misplaced, 1, "a frequency row before 'intensity (km/mol)'");
    block_intensity_ = true;
    return read_vibration_row(intensity_, 2, "an IR intensity");
  }
  return true;
}

bool TurbomoleReader::read_vibration_row(std::vector<double>& into, std::size_t label,
                                         std::string_view what) {
  const bool fits = split_tokens(line_.text, tokens_, kTokens);
  if (!fits || tokens_.size() != label + block_modes_)
    return fail(
        ReadFault::count_mismatch, fits ? line_.text.size() + 1 : tokens_.back().column,
        std::to_string(block_modes_) + " values, one a mode of the group, not " +
            (fits ? std::to_string(tokens_.size() - std::min(label, tokens_.size())) : "more"));
  for (std::size_t k = label; k < tokens_.size(); ++k) {
    Token token = tokens_[k];
    const bool imaginary = &into == &frequency_ && token.text.front() == 'i';
    if (imaginary) token.text.remove_prefix(1), ++token.column;
    double value = 0.0;
    if (!number(token, what, value)) return false;
    into.push_back(imaginary ? -value : value);
  }
  if (!line_.ended) return fail(unended(line_, what));
  return true;
}

bool TurbomoleReader::close_vibrations() {
  vib_open_ = false;
  if (!intensity_.empty() && intensity_.size() != frequency_.size())
    return fail(ReadFault::count_mismatch, 1,
                std::to_string(frequency_.size()) + " IR intensities, one a mode, not " +
                    std::to_string(intensity_.size()));
  result_.notes.clear();
  result_.data.vibrations = real_modes(frequency_, intensity_, {}, vib_line_, result_.notes);
  return true;
}

}  // namespace

SpectraRead read_turbomole(std::string_view text) { return TurbomoleReader(text).read(); }

bool recognises_turbomole(std::string_view text) noexcept {
  // Every module's banner: " escf (host) : TURBOMOLE rev. V7.4.1 ...".
  return text.substr(0, 16384).find(") : TURBOMOLE") != std::string_view::npos;
}

}  // namespace broaden
