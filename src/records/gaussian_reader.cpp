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

// The quantities of a frequency analysis: frequency, IR intensity, Raman activity.
constexpr std::size_t kQuantities = 3;

// A frequency analysis as read: its values and the group of modes at hand.
struct Analysis {
  std::size_t first_line = 0;
  std::vector<double> values[kQuantities];
  std::size_t group = 0;  // modes in the current group; 0 before the first
  std::size_t group_line = 0;
  std::size_t groups = 0;
  bool has[kQuantities] = {false, false, false};    // this group's Frequencies, IR, Raman lines
  bool first[kQuantities] = {false, false, false};  // the first group's
};

// Which quantity a "KEY --" line gives, or -1 for a line not read.
int quantity_of(std::string_view key) {
  if (key == "Frequencies") return 0;
  if (key == "IR Inten" || key == "IR Intensities") return 1;
  if (key == "Raman Activ" || key == "Raman Activities") return 2;
  return -1;
}

class GaussianReader : SectionReader {
 public:
  explicit GaussianReader(std::string_view text) : SectionReader(text) {}

  SpectraRead read() {
    bool pending = false;  // a line already read, not yet looked at
    while (pending || next()) {
      pending = false;
      const std::string_view t = trimmed(line_.text);
      if (starts_with(t, kAnalysis)) {
        if (!read_analysis()) return failed();
        pending = ended_by_line_;
      } else if (t == kListing) {
        if (!read_listing()) return failed();
        pending = ended_by_line_;
      } else if (starts_with(t, kRotatory)) {
        if (!read_rotatory()) return failed();
        pending = ended_by_line_;
      } else if (starts_with(t, kFreeEnergy)) {
        if (!read_free_energy(t)) return failed();
      }
    }
    if (!pending_rotatory_.empty()) {
      cut_short("the excited states of the rotatory strengths at line " +
                std::to_string(pending_rotatory_.front().line));
      return failed();
    }
    return std::move(result_);
  }

 private:
  // One value a mode of the group, after the key.
  bool read_values(std::size_t from, std::size_t count, std::vector<double>& into,
                   std::string_view what, std::string_view article) {
    const std::string_view rest = line_.text.substr(from);
    const bool all = split_tokens(rest, tokens_, count + 1);
    if (tokens_.size() != count) {
      const std::size_t column =
          tokens_.size() > count ? from + tokens_[count].column : line_.text.size() + 1;
      return fail(
          ReadFault::count_mismatch, column,
          std::to_string(count) + " " + std::string(what) +
              " values, one a mode of the group, not " +
              (all ? std::to_string(tokens_.size()) : "more than " + std::to_string(count + 1)));
    }
    for (Token token : tokens_) {
      token.column += from;
      double value = 0.0;
      if (!number(token, std::string(article) + std::string(what) + " value", value)) return false;
      into.push_back(value);
    }
    return true;
  }

  // The group at hand has the lines the first group has, and its frequencies.
  bool close_group(const Analysis& a) {
    if (a.group == 0) return true;
    static constexpr const char* kNames[kQuantities] = {"Frequencies", "IR Inten", "Raman Activ"};
    for (std::size_t k = 0; k < kQuantities; ++k)
      if ((k == 0 && !a.has[k]) || (a.groups > 1 && a.has[k] != a.first[k]))
        return fail(read_error(ReadFault::misplaced, a.group_line, 1,
                               std::string(a.has[k] ? "no line '" : "a line '") + kNames[k] +
                                   " --' in the group of modes at line " +
                                   std::to_string(a.group_line) + ", as in the group before"));
    return true;
  }

  // A line of mode numbers (in tokens_), counting on from the group before.
  bool open_group(Analysis& a) {
    if (!close_group(a)) return false;
    const std::size_t before = a.values[0].size();
    for (std::size_t k = 0; k < tokens_.size(); ++k)
      if (count_of(tokens_[k].text) != before + k + 1)
        return fail(ReadFault::numbering, tokens_[k].column,
                    "mode " + std::to_string(before + k + 1) + ", not " + shown(tokens_[k].text));
    a.group = tokens_.size();
    a.group_line = line_.number;
    ++a.groups;
    std::fill(std::begin(a.has), std::end(a.has), false);
    return true;
  }

  // A line "KEY -- values" of the group at hand, its values from `from`.
  bool read_key_line(Analysis& a, std::string_view key, std::size_t from) {
    const int found = quantity_of(key);
    if (found < 0) return true;
    const auto which = static_cast<std::size_t>(found);
    if (a.group == 0)
      return fail(ReadFault::misplaced, 1, "a line of mode numbers before " + shown(key));
    if (a.has[which])
      return fail(ReadFault::misplaced, 1, "one " + shown(key) + " line a group of modes");
    a.has[which] = true;
    if (a.groups == 1) a.first[which] = true;
    static constexpr std::string_view kWhat[kQuantities] = {"frequency", "IR intensity",
                                                            "Raman activity"};
    static constexpr std::string_view kArticle[kQuantities] = {"a ", "an ", "a "};
    return read_values(from, a.group, a.values[which], kWhat[which], kArticle[which]);
  }

  bool read_analysis() {
    Analysis a;
    a.first_line = line_.number;
    ended_by_line_ = false;
    while (next_in_section()) {
      const std::string_view t = trimmed(line_.text);
      if (t.empty() || is_dash_line(t) || starts_with(t, kAnalysis)) {
        ended_by_line_ = !t.empty() && !is_dash_line(t);
        if (!close_group(a)) return false;
        if (a.groups == 0)
          return fail(
              ReadFault::misplaced, 1,
              "the modes of the frequency analysis at line " + std::to_string(a.first_line));
        keep_vibrations(a);
        return true;
      }
      const bool all = split_tokens(line_.text, tokens_, kTokens);
      const bool numbers = all && !tokens_.empty() &&
                           std::all_of(tokens_.begin(), tokens_.end(),
                                       [](const Token& token) { return is_count(token.text); });
      if (numbers && tokens_.size() <= 5) {
        if (!open_group(a)) return false;
        continue;
      }
      std::string_view key;
      const std::size_t from = values_start(line_.text, key);
      if (from != std::string_view::npos && !read_key_line(a, key, from)) return false;
    }
    return cut_short("the rest of the frequency analysis at line " + std::to_string(a.first_line));
  }

  void keep_vibrations(const Analysis& a) {
    const std::vector<double>& frequency = a.values[0];
    const std::vector<double>& ir = a.values[1];
    const std::vector<double>& raman = a.values[2];
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
    vibration_note_ = note.empty() ? 0 : a.first_line;
    if (!note.empty()) result_.notes.push_back(LineListNote{a.first_line, note});
    result_.data.vibrations = std::move(v);
  }

  // "Excited State   1:      Singlet-A      5.6287 eV  220.27 nm  f=0.0018  <S**2>=0.000"
  bool read_state(std::size_t number_expected, ExcitedStates& states) {
    split_tokens(line_.text, tokens_, kTokens);
    const std::string label = std::to_string(number_expected) + ":";
    if (tokens_.size() < 3 || tokens_[2].text != label)
      return fail(ReadFault::numbering,
                  tokens_.size() < 3 ? line_.text.size() + 1 : tokens_[2].column,
                  "excited state " + std::to_string(number_expected) + " (\"" + label + "\")");
    double values[3] = {0, 0, 0};
    bool found[3] = {false, false, false};
    for (std::size_t k = 3; k < tokens_.size(); ++k) {
      const std::string_view text = tokens_[k].text;
      if ((text == "eV" || text == "nm") && k > 3) {
        const int which = text == "eV" ? 0 : 1;
        if (!number(tokens_[k - 1], which == 0 ? "an excitation energy" : "a wavelength",
                    values[which]))
          return false;
        found[which] = true;
      } else if (starts_with(text, "f=") && !found[2]) {
        if (!number(Token{text.substr(2), tokens_[k].column + 2}, "an oscillator strength",
                    values[2]))
          return false;
        found[2] = true;
      }
    }
    if (!found[0] || !found[1] || !found[2])
      return fail(ReadFault::layout, line_.text.size() + 1,
                  "an excited state as \"N: LABEL E eV L nm f=F\", with its " +
                      std::string(!found[0]   ? "energy in eV"
                                  : !found[1] ? "wavelength in nm"
                                              : "f="));
    states.energy_ev.push_back(values[0]);
    states.wavelength_nm.push_back(values[1]);
    states.oscillator_strength.push_back(values[2]);
    return true;
  }

  // The listing ended at the line at hand: its states, with the rotatory
  // strengths read before it.
  bool keep_states(ExcitedStates& states, std::size_t first_line) {
    if (states.energy_ev.empty())
      return fail(ReadFault::misplaced, 1,
                  "the excited states listed after line " + std::to_string(first_line));
    for (RotatoryTable& table : pending_rotatory_) {
      if (table.values.size() != states.energy_ev.size())
        return fail(read_error(ReadFault::count_mismatch, table.line, 1,
                               std::to_string(states.energy_ev.size()) +
                                   " rotatory strengths, one for each excited state listed at "
                                   "line " +
                                   std::to_string(first_line) + ", not " +
                                   std::to_string(table.values.size())));
      (table.velocity ? states.rotatory_velocity : states.rotatory_length) =
          std::move(table.values);
    }
    pending_rotatory_.clear();
    result_.data.excited_states = std::move(states);
    return true;
  }

  bool read_listing() {
    const std::size_t first_line = line_.number;
    ExcitedStates states;
    ended_by_line_ = false;
    while (next_in_section()) {
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
      return keep_states(states, first_line);
    }
    return cut_short("the rest of the excited states listed after line " +
                     std::to_string(first_line));
  }

  // The header of a rotatory-strength table, on the line at hand: whether
  // it is of the velocity form, or false after failing.
  bool read_rotatory_header(RotatoryTable& table) {
    split_tokens(line_.text, tokens_, kTokens);
    std::string header;
    for (const Token& token : tokens_) {
      if (!header.empty()) header += ' ';
      header += token.text;
    }
    table.velocity = header == "state XX YY ZZ R(velocity) E-M Angle";
    if (!table.velocity && header != "state XX YY ZZ R(length)")
      return fail(ReadFault::layout, 1,
                  "a rotatory-strength header Gaussian prints ('state XX YY ZZ R(velocity) "
                  "E-M Angle' or 'state XX YY ZZ R(length)'), not " +
                      shown(trimmed(line_.text)));
    return true;
  }

  bool read_rotatory() {
    RotatoryTable table{{}, line_.number, false};
    ended_by_line_ = false;
    if (!next_in_section())
      return cut_short("the header of the rotatory strengths at line " +
                       std::to_string(table.line));
    if (!read_rotatory_header(table)) return false;
    const std::size_t width = table.velocity ? 6 : 5;
    while (next_in_section()) {
      const bool all = split_tokens(line_.text, tokens_, kTokens);
      if (tokens_.empty() || !is_count(tokens_[0].text)) {
        ended_by_line_ = true;
        if (table.values.empty())
          return fail(ReadFault::misplaced, 1,
                      "the rows of the rotatory strengths at line " + std::to_string(table.line));
        std::erase_if(pending_rotatory_,
                      [&](const RotatoryTable& other) { return other.velocity == table.velocity; });
        pending_rotatory_.push_back(std::move(table));
        return true;
      }
      if (count_of(tokens_[0].text) != table.values.size() + 1)
        return fail(
            ReadFault::numbering, tokens_[0].column,
            "state " + std::to_string(table.values.size() + 1) + ", not " + shown(tokens_[0].text));
      if (!all || tokens_.size() != width)
        return fail(ReadFault::count_mismatch, all ? line_.text.size() + 1 : tokens_.back().column,
                    std::to_string(width) + " fields as the header names, not " +
                        (all ? std::to_string(tokens_.size()) : "more"));
      double value = 0.0;
      if (!number(tokens_[4], "a rotatory strength", value)) return false;
      table.values.push_back(value);
    }
    return cut_short("the rest of the rotatory strengths at line " + std::to_string(table.line));
  }

  bool read_free_energy(std::string_view t) {
    const std::size_t from =
        static_cast<std::size_t>(t.data() - line_.text.data()) + kFreeEnergy.size();
    split_tokens(line_.text.substr(from), tokens_, 2);
    if (tokens_.size() != 1) return missing("one free energy after '='");
    Token token = tokens_[0];
    token.column += from;
    return free_energy(token, result_.data.free_energy);
  }

  SpectraRead result_;
  std::vector<RotatoryTable> pending_rotatory_;
  std::size_t vibration_note_ = 0;
  bool ended_by_line_ = false;  // the last section ended at a line of its own
};

}  // namespace

SpectraRead read_gaussian(std::string_view text) { return GaussianReader(text).read(); }

bool recognises_gaussian(std::string_view text) noexcept {
  // The banner stands in the first lines of every Gaussian output, at the
  // start of its line: " Entering Gaussian System", or the copyright's
  // second line "            Gaussian, Inc.  All Rights Reserved.".
  const std::string_view head = text.substr(0, 16384);
  return qc::line_opens_with(head, "Entering Gaussian System") ||
         qc::line_opens_with(head, "Gaussian, Inc.");
}

}  // namespace broaden
