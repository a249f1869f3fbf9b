// The Gaussian output: its harmonic frequency analyses, its excited states
// with their rotatory strengths and its free energy (the spectra reader
// contract of line_list_formats.h).
//
// What is read, line by line (a file may hold several jobs: the last
// complete analysis of each kind is taken):
// - a frequency analysis starts at the line "Harmonic frequencies
//   (cm**-1), ..." and holds groups of modes: a line of mode numbers (1 2 3,
//   counting on from the group before), then lines "KEY -- v1 v2 v3" (or
//   "KEY --- ..." in the high-precision layout) of which "Frequencies",
//   "IR Inten" / "IR Intensities" and "Raman Activ" / "Raman Activities"
//   are read, each with one value a mode of its group; other lines
//   (symmetries, coordinates) are passed over. The analysis ends at a blank
//   line, a line of dashes or the next analysis's first line; the end of the
//   file before that cuts it short.
// - the excited states start at "Excitation energies and oscillator
//   strengths:" and are the lines "Excited State N: LABEL E eV L nm f=F
//   ...", N counting from 1, between which configuration lines ("29 -> 37
//   0.5"), blank lines and the lines "This state ...", "Total Energy ...",
//   "Copying the ..." may stand; the listing ends at any other line.
// - the tables under "Rotatory Strengths (R) in cgs (10**-40
//   erg-esu-cm/Gauss)", whose header is "state XX YY ZZ R(velocity) E-M
//   Angle" or "state XX YY ZZ R(length)", one row a state counting from 1,
//   belong to the listing of excited states that follows them.
// - "Sum of electronic and thermal Free Energies= G" (hartree).
// A section the end of the file cuts, or a last line without its line end
// ends (the line may be cut short), is refused as cut short; so is a free
// energy on such a line. Rotatory strengths with no listing after them are
// cut short too. Errors name the line and column of the fault; a section
// cut short is placed just past the end of the file's last line:
//   " Frequencies --   1000.1x34 ..." -> error {not_a_number, that line,
//     the value's column, "a frequency value as a number, not '1000.1x34'"}
#include <algorithm>
#include <string>
#include <vector>

#include "qc_text.h"
#include "records/spectra_data.h"

namespace broaden {
namespace {

using namespace qc;

constexpr std::string_view kAnalysis = "Harmonic frequencies (cm**-1)";
constexpr std::string_view kListing = "Excitation energies and oscillator strengths:";
constexpr std::string_view kRotatory = "Rotatory Strengths (R) in cgs";
constexpr std::string_view kFreeEnergy = "Sum of electronic and thermal Free Energies=";

// At most this many tokens of a line are looked at: a group has at most 5
// modes, a rotatory table 7 columns.
constexpr std::size_t kTokens = 12;

bool starts_with(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

// "KEY -- values" (or "KEY --- values"): where the values start, or npos.
std::size_t values_start(std::string_view line, std::string_view& key) {
  const std::size_t dashes = line.find(" --");
  if (dashes == std::string_view::npos) return std::string_view::npos;
  std::size_t position = dashes + 3;
  if (position < line.size() && line[position] == '-') ++position;
  if (position < line.size() && !is_blank(line[position])) return std::string_view::npos;
  key = trimmed(line.substr(0, dashes));
  return position;
}

// A rotatory-strength table, as read: its values, the line of its title.
struct RotatoryTable {
  std::vector<double> values;
  std::size_t line = 0;
  bool velocity = false;
};

class GaussianReader {
 public:
  explicit GaussianReader(std::string_view text) : lines_(text) {}

  SpectraRead read() {
    bool pending = false;  // a line already read, not yet looked at
    while (pending || lines_.next(line_)) {
      pending = false;
      const std::string_view t = trimmed(line_.text);
      if (starts_with(t, kAnalysis)) {
        if (!read_analysis()) return fail();
        pending = ended_by_line_;
      } else if (t == kListing) {
        if (!read_listing()) return fail();
        pending = ended_by_line_;
      } else if (starts_with(t, kRotatory)) {
        if (!read_rotatory()) return fail();
        pending = ended_by_line_;
      } else if (starts_with(t, kFreeEnergy)) {
        if (!read_free_energy(t)) return fail();
      }
      last_line_ = line_;
    }
    if (!pending_rotatory_.empty()) {
      cut_short("the excited states of the rotatory strengths at line " +
                std::to_string(pending_rotatory_.front().line));
      return fail();
    }
    return std::move(result_);
  }

 private:
  SpectraRead fail() {
    SpectraRead failed;
    failed.error = std::move(error_);
    return failed;
  }

  // The file ended where more was due: the error at the end of its last line.
  void cut_short(const std::string& due) {
    error_ = error_at(LineError::missing_field, last_line_.number == 0 ? 1 : last_line_.number,
                      last_line_.text.size() + 1, due + ", not the end of the file");
  }

  // The next line of a section. A last line without its line end ends the
  // section as the end of the file does: it may be a line cut short.
  bool next_line() {
    last_line_ = line_;
    if (!lines_.next(line_)) return false;
    if (line_.ended) return true;
    last_line_ = line_;
    return false;
  }

  // One value a mode of the group, after the key.
  bool read_values(std::size_t from, std::size_t count, std::vector<double>& into,
                   std::string_view what, std::string_view article) {
    const std::string_view rest = line_.text.substr(from);
    const bool all = split_tokens(rest, tokens_, count + 1);
    if (tokens_.size() != count) {
      const std::size_t column =
          tokens_.size() > count ? from + tokens_[count].column : line_.text.size() + 1;
      error_ = error_at(
          LineError::missing_field, line_.number, column,
          std::to_string(count) + " " + std::string(what) +
              " values, one a mode of the group, not " +
              (all ? std::to_string(tokens_.size()) : "more than " + std::to_string(count + 1)));
      return false;
    }
    for (Token token : tokens_) {
      token.column += from;
      double value = 0.0;
      if (auto e = read_number(token, line_.number,
                               std::string(article) + std::string(what) + " value", value)) {
        error_ = std::move(e);
        return false;
      }
      into.push_back(value);
    }
    return true;
  }

  bool read_analysis() {
    const std::size_t first_line = line_.number;
    std::vector<double> frequency, ir, raman;
    std::size_t group = 0;  // modes in the current group; 0 before the first
    std::size_t group_line = 0;
    bool has[3] = {false, false, false};    // this group's Frequencies, IR, Raman lines
    bool first[3] = {false, false, false};  // the first group's
    std::size_t groups = 0;
    const auto close_group = [&]() -> bool {
      if (group == 0) return true;
      static constexpr const char* kNames[3] = {"Frequencies", "IR Inten", "Raman Activ"};
      for (int k = 0; k < 3; ++k)
        if ((k == 0 && !has[k]) || (groups > 1 && has[k] != first[k])) {
          error_ = error_at(LineError::missing_field, group_line, 1,
                            std::string(has[k] ? "no line '" : "a line '") + kNames[k] +
                                " --' in the group of modes at line " + std::to_string(group_line) +
                                ", as in the group before");
          return false;
        }
      return true;
    };
    ended_by_line_ = false;
    while (next_line()) {
      const std::string_view t = trimmed(line_.text);
      if (t.empty() || is_dash_line(t) || starts_with(t, kAnalysis)) {
        ended_by_line_ = !t.empty() && !is_dash_line(t);
        if (!close_group()) return false;
        if (groups == 0) {
          error_ =
              error_at(LineError::missing_field, line_.number, 1,
                       "the modes of the frequency analysis at line " + std::to_string(first_line));
          return false;
        }
        keep_vibrations(frequency, ir, raman, first_line);
        return true;
      }
      const bool all = split_tokens(line_.text, tokens_, kTokens);
      const bool numbers = all && !tokens_.empty() &&
                           std::all_of(tokens_.begin(), tokens_.end(),
                                       [](const Token& token) { return is_count(token.text); });
      if (numbers && tokens_.size() <= 5) {
        if (!close_group()) return false;
        for (std::size_t k = 0; k < tokens_.size(); ++k)
          if (count_of(tokens_[k].text) != frequency.size() + k + 1) {
            error_ = error_at(LineError::not_a_number, line_.number, tokens_[k].column,
                              "mode " + std::to_string(frequency.size() + k + 1) + ", not " +
                                  shown(tokens_[k].text));
            return false;
          }
        group = tokens_.size();
        group_line = line_.number;
        ++groups;
        std::fill(std::begin(has), std::end(has), false);
        continue;
      }
      std::string_view key;
      const std::size_t from = values_start(line_.text, key);
      if (from == std::string_view::npos) continue;
      int which = -1;
      if (key == "Frequencies")
        which = 0;
      else if (key == "IR Inten" || key == "IR Intensities")
        which = 1;
      else if (key == "Raman Activ" || key == "Raman Activities")
        which = 2;
      if (which < 0) continue;
      if (group == 0) {
        error_ = error_at(LineError::missing_field, line_.number, 1,
                          "a line of mode numbers before " + shown(key));
        return false;
      }
      if (has[which]) {
        error_ = error_at(LineError::missing_field, line_.number, 1,
                          "one " + shown(key) + " line a group of modes");
        return false;
      }
      has[which] = true;
      if (groups == 1) first[which] = true;
      static constexpr std::string_view kWhat[3] = {"frequency", "IR intensity", "Raman activity"};
      std::vector<double>& into = which == 0 ? frequency : which == 1 ? ir : raman;
      static constexpr std::string_view kArticle[3] = {"a ", "an ", "a "};
      if (!read_values(from, group, into, kWhat[which], kArticle[which])) return false;
    }
    cut_short("the rest of the frequency analysis at line " + std::to_string(first_line));
    return false;
  }

  void keep_vibrations(const std::vector<double>& frequency, const std::vector<double>& ir,
                       const std::vector<double>& raman, std::size_t first_line) {
    Vibrations v;
    for (std::size_t k = 0; k < frequency.size(); ++k) {
      if (frequency[k] < 0.0) {
        ++v.imaginary_left_out;
        continue;
      }
      if (frequency[k] == 0.0) {
        ++v.zero_left_out;
        continue;
      }
      v.frequency.push_back(frequency[k]);
      if (!ir.empty()) v.ir_intensity.push_back(ir[k]);
      if (!raman.empty()) v.raman_activity.push_back(raman[k]);
    }
    std::erase_if(result_.notes,
                  [&](const LineListNote& note) { return note.line == vibration_note_; });
    const std::string note = left_out_note(v.imaginary_left_out, v.zero_left_out);
    vibration_note_ = note.empty() ? 0 : first_line;
    if (!note.empty()) result_.notes.push_back(LineListNote{first_line, note});
    result_.data.vibrations = std::move(v);
  }

  // "Excited State   1:      Singlet-A      5.6287 eV  220.27 nm  f=0.0018  <S**2>=0.000"
  bool read_state(std::size_t number, ExcitedStates& states) {
    const auto refuse = [&](std::size_t column, const std::string& expected) {
      error_ = error_at(LineError::not_a_number, line_.number, column, expected);
      return false;
    };
    split_tokens(line_.text, tokens_, kTokens);
    if (tokens_.size() < 3 || tokens_[2].text != std::to_string(number) + ":")
      return refuse(
          tokens_.size() < 3 ? line_.text.size() + 1 : tokens_[2].column,
          "excited state " + std::to_string(number) + " (\"" + std::to_string(number) + ":\")");
    double values[3] = {0, 0, 0};
    bool found[3] = {false, false, false};
    for (std::size_t k = 3; k < tokens_.size(); ++k) {
      const std::string_view text = tokens_[k].text;
      if ((text == "eV" || text == "nm") && k > 3) {
        const int which = text == "eV" ? 0 : 1;
        if (auto e =
                read_number(tokens_[k - 1], line_.number,
                            which == 0 ? "an excitation energy" : "a wavelength", values[which])) {
          error_ = std::move(e);
          return false;
        }
        found[which] = true;
      } else if (starts_with(text, "f=") && !found[2]) {
        Token value{text.substr(2), tokens_[k].column + 2};
        if (auto e = read_number(value, line_.number, "an oscillator strength", values[2])) {
          error_ = std::move(e);
          return false;
        }
        found[2] = true;
      }
    }
    if (!found[0] || !found[1] || !found[2])
      return refuse(line_.text.size() + 1,
                    "an excited state as \"N: LABEL E eV L nm f=F\", with its " +
                        std::string(!found[0]   ? "energy in eV"
                                    : !found[1] ? "wavelength in nm"
                                                : "f="));
    states.energy_ev.push_back(values[0]);
    states.wavelength_nm.push_back(values[1]);
    states.oscillator_strength.push_back(values[2]);
    return true;
  }

  bool read_listing() {
    const std::size_t first_line = line_.number;
    ExcitedStates states;
    ended_by_line_ = false;
    while (next_line()) {
      const std::string_view t = trimmed(line_.text);
      if (t.empty() || starts_with(t, "This state") || starts_with(t, "Total Energy") ||
          starts_with(t, "Copying the"))
        continue;
      if (starts_with(t, "Excited State")) {
        if (!read_state(states.energy_ev.size() + 1, states)) return false;
        continue;
      }
      split_tokens(t, tokens_, 3);
      if (tokens_.size() >= 2 && (tokens_[1].text == "->" || tokens_[1].text == "<-")) continue;
      ended_by_line_ = true;
      if (states.energy_ev.empty()) {
        error_ = error_at(LineError::missing_field, line_.number, 1,
                          "the excited states listed after line " + std::to_string(first_line));
        return false;
      }
      for (RotatoryTable& table : pending_rotatory_) {
        if (table.values.size() != states.energy_ev.size()) {
          error_ = error_at(LineError::missing_field, table.line, 1,
                            std::to_string(states.energy_ev.size()) +
                                " rotatory strengths, one for each excited state listed at line " +
                                std::to_string(first_line) + ", not " +
                                std::to_string(table.values.size()));
          return false;
        }
        (table.velocity ? states.rotatory_velocity : states.rotatory_length) =
            std::move(table.values);
      }
      pending_rotatory_.clear();
      result_.data.excited_states = std::move(states);
      return true;
    }
    cut_short("the rest of the excited states listed after line " + std::to_string(first_line));
    return false;
  }

  bool read_rotatory() {
    const std::size_t title = line_.number;
    ended_by_line_ = false;
    if (!next_line()) {
      cut_short("the header of the rotatory strengths at line " + std::to_string(title));
      return false;
    }
    split_tokens(line_.text, tokens_, kTokens);
    std::string header;
    for (const Token& token : tokens_) {
      if (!header.empty()) header += ' ';
      header += token.text;
    }
    RotatoryTable table{{}, title, header == "state XX YY ZZ R(velocity) E-M Angle"};
    const std::size_t width = table.velocity ? 6 : 5;
    if (!table.velocity && header != "state XX YY ZZ R(length)") {
      error_ = error_at(LineError::not_a_number, line_.number, 1,
                        "a rotatory-strength header Gaussian prints ('state XX YY ZZ R(velocity) "
                        "E-M Angle' or 'state XX YY ZZ R(length)'), not " +
                            shown(trimmed(line_.text)));
      return false;
    }
    while (next_line()) {
      const bool all = split_tokens(line_.text, tokens_, kTokens);
      if (tokens_.empty() || !is_count(tokens_[0].text)) {
        ended_by_line_ = true;
        if (table.values.empty()) {
          error_ = error_at(LineError::missing_field, line_.number, 1,
                            "the rows of the rotatory strengths at line " + std::to_string(title));
          return false;
        }
        std::erase_if(pending_rotatory_,
                      [&](const RotatoryTable& other) { return other.velocity == table.velocity; });
        pending_rotatory_.push_back(std::move(table));
        return true;
      }
      if (count_of(tokens_[0].text) != table.values.size() + 1) {
        error_ = error_at(
            LineError::not_a_number, line_.number, tokens_[0].column,
            "state " + std::to_string(table.values.size() + 1) + ", not " + shown(tokens_[0].text));
        return false;
      }
      if (!all || tokens_.size() != width) {
        error_ = error_at(LineError::missing_field, line_.number,
                          all ? line_.text.size() + 1 : tokens_.back().column,
                          std::to_string(width) + " fields as the header names, not " +
                              (all ? std::to_string(tokens_.size()) : "more"));
        return false;
      }
      double value = 0.0;
      if (auto e = read_number(tokens_[4], line_.number, "a rotatory strength", value)) {
        error_ = std::move(e);
        return false;
      }
      table.values.push_back(value);
    }
    cut_short("the rest of the rotatory strengths at line " + std::to_string(title));
    return false;
  }

  bool read_free_energy(std::string_view t) {
    const std::size_t from =
        static_cast<std::size_t>(t.data() - line_.text.data()) + kFreeEnergy.size();
    split_tokens(line_.text.substr(from), tokens_, 2);
    if (tokens_.size() != 1) {
      error_ = error_at(LineError::missing_field, line_.number, line_.text.size() + 1,
                        "one free energy after '='");
      return false;
    }
    Token token = tokens_[0];
    token.column += from;
    double value = 0.0;
    if (auto e = read_number(token, line_.number, "a free energy", value)) {
      error_ = std::move(e);
      return false;
    }
    if (!line_.ended) {
      error_ = unended(line_, "the free energy");
      return false;
    }
    result_.data.free_energy = value;
    return true;
  }

  Lines lines_;
  Line line_;
  Line last_line_;
  std::vector<Token> tokens_;
  SpectraRead result_;
  std::optional<LineListError> error_;
  std::vector<RotatoryTable> pending_rotatory_;
  std::size_t vibration_note_ = 0;
  bool ended_by_line_ = false;  // the last section ended at a line of its own
};

}  // namespace

SpectraRead read_gaussian(std::string_view text) { return GaussianReader(text).read(); }

bool recognises_gaussian(std::string_view text) noexcept {
  // The banner stands in the first lines of every Gaussian output.
  const std::string_view head = text.substr(0, 16384);
  return head.find("Entering Gaussian System") != std::string_view::npos ||
         head.find("Gaussian, Inc.") != std::string_view::npos;
}

}  // namespace broaden
