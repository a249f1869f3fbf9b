// The NWChem output (the layout of versions 6 and 7): the infrared
// intensities of its frequency analysis and the roots of its TDDFT module
// (the spectra reader contract of line_list_formats.h).
//
// What is read, line by line (a file may hold several tasks: the last
// complete table of each kind is taken):
// - the table titled "Normal Eigenvalue || Infra Red Intensities" (or
//   "... Projected Infra Red Intensities", which follows it), whose header
//   " Mode [cm**-1] || [atomic units] [(debye/angs)**2] [(KM/mol)]
//   [arbitrary]" names the units of its columns: the frequency and the
//   column "[(KM/mol)]" are read; the rows "N F || v1 v2 ..." number the
//   modes from 1, up to a line of dashes. A header without [(KM/mol)] is a
//   layout the reader does not know.
// - the roots of a TDDFT run, from "NWChem TDDFT Module" to " Task  times"
//   (or the next run): "No. of roots : N" counts the roots of each block
//   (the singlets, then the triplets of a restricted run), each "Root K
//   [spin] [symmetry] E a.u. E eV" numbered from 1 in its block, each with
//   one line "Dipole Oscillator Strength F" (version 7) or "Oscillator
//   Strength F" (version 6); "Spin forbidden" there gives a zero strength.
// NWChem prints no Gibbs free energy (its thermochemistry gives the thermal
// corrections and the entropy): the free energy is left absent. A table or
// run the end of the file cuts, or a last line without its line end ends,
// is refused as cut short:
//   "    7     1713.0x8 ||  ..." -> error {not_a_number, that line, the
//     value's column, "a frequency as a number, not '1713.0x8'"}
#include <optional>
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

bool ends_with(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

bool contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

// The bracketed column names after "||" in the header, or nothing when the
// header is not "Mode [cm**-1] || [...] ...".
std::optional<std::vector<std::string_view>> unit_columns(std::string_view header) {
  const std::size_t bars = header.find("||");
  if (bars == std::string_view::npos) return std::nullopt;
  std::vector<Token> left;
  split_tokens(header.substr(0, bars), left, 3);
  if (left.size() != 2 || left[0].text != "Mode" || left[1].text != "[cm**-1]") return std::nullopt;
  std::vector<std::string_view> columns;
  std::string_view rest = header.substr(bars + 2);
  while (!trimmed(rest).empty()) {
    rest = trimmed(rest);
    const std::size_t close = rest.find(']');
    if (rest.front() != '[' || close == std::string_view::npos || columns.size() == kTokens)
      return std::nullopt;
    columns.push_back(rest.substr(1, close - 1));
    rest = rest.substr(close + 1);
  }
  return columns;
}

// A TDDFT run as read: its first line, the roots announced a block, the
// roots read, the block's roots so far, and whether the last root has its
// strength.
struct Run {
  std::size_t line = 0;
  std::size_t announced = 0;
  std::size_t block = 0;
  bool strength = true;
  ExcitedStates states;
};

class NwchemReader : SectionReader {
 public:
  explicit NwchemReader(std::string_view text) : SectionReader(text) {}

  SpectraRead read() {
    while (next()) {
      const std::string_view t = trimmed(line_.text);
      bool ok = line_.ended || !run_ || cut_short("the rest of " + run_what());
      if (!ok) {
      } else if (starts_with(t, "Normal Eigenvalue ||") && ends_with(t, "Infra Red Intensities")) {
        ok = read_ir();
      } else if (t == "NWChem TDDFT Module") {
        ok = end_run();
        run_.emplace();
        run_->line = line_.number;
      } else if (run_) {
        ok = read_run_line(t);
      }
      if (!ok) return failed();
    }
    if (run_) {
      cut_short("the rest of " + run_what());
      return failed();
    }
    vibrations();
    return std::move(result_);
  }

 private:
  std::string run_what() const { return "the TDDFT run at line " + std::to_string(run_->line); }

  bool read_run_line(std::string_view t) {
    if (starts_with(t, "Task  times")) return end_run();
    if (starts_with(t, "No. of roots")) {
      split_tokens(line_.text, tokens_, kTokens, ":");
      if (tokens_.size() == 4 && is_count(tokens_[3].text))
        run_->announced = count_of(tokens_[3].text);
      return true;
    }
    if (starts_with(t, "Root ") && ends_with(t, " eV")) return read_root();
    if (starts_with(t, "Dipole Oscillator Strength") || starts_with(t, "Oscillator Strength"))
      return read_strength(t);
    return true;
  }

  // "Root K [spin] [symmetry] E a.u. E eV".
  bool read_root() {
    if (!end_block(false)) return false;
    const bool all = split_tokens(line_.text, tokens_, kTokens);
    const std::size_t n = tokens_.size();
    if (!all || n < 6 || n > 8 || tokens_[n - 3].text != "a.u." || !is_count(tokens_[1].text))
      return fail(ReadFault::layout, 1, "'Root K [spin] [symmetry] E a.u. E eV'");
    const std::size_t k = count_of(tokens_[1].text);
    if (k != run_->block + 1 && k != 1)
      return fail(
          ReadFault::numbering, tokens_[1].column,
          "root " + std::to_string(run_->block + 1) + " or 1, not " + shown(tokens_[1].text));
    if (k == 1 && !end_block(true)) return false;
    double value = 0.0;
    if (!number(tokens_[n - 2], "an excitation energy", value)) return false;
    run_->states.energy_ev.push_back(value);
    run_->block = k;
    run_->strength = false;
    return true;
  }

  bool read_strength(std::string_view t) {
    if (run_->strength) return fail(ReadFault::misplaced, 1, "one oscillator strength a root");
    split_tokens(line_.text, tokens_, kTokens);
    double value = 0.0;
    if (!contains(t, "Spin forbidden")) {
      const std::size_t words = starts_with(t, "Dipole") ? 3 : 2;
      if (tokens_.size() != words + 1) return missing("one oscillator strength");
      if (!number(tokens_[words], "an oscillator strength", value)) return false;
    }
    run_->states.oscillator_strength.push_back(value);
    run_->strength = true;
    return true;
  }

  // The block of roots ends (`complete`: a new block or the run's end): its
  // last root must have its strength, and the block its roots.
  bool end_block(bool complete) {
    if (!run_->strength) return fail(ReadFault::misplaced, 1, "an oscillator strength before");
    if (complete && run_->block != 0 && run_->announced != 0 && run_->block != run_->announced)
      return fail(ReadFault::count_mismatch, 1,
                  "the " + std::to_string(run_->announced) + " roots 'No. of roots' names in " +
                      run_what() + ", not " + std::to_string(run_->block));
    return true;
  }

  bool end_run() {
    if (!run_) return true;
    if (!end_block(true)) return false;
    if (!run_->states.energy_ev.empty()) result_.data.excited_states = std::move(run_->states);
    run_.reset();
    return true;
  }

  bool read_ir() {
    const std::size_t title = line_.number;
    const std::string what = "the table at line " + std::to_string(title);
    if (!next_in_section()) return cut_short("the header of " + what);
    const auto columns = unit_columns(line_.text);
    std::size_t km = 0;
    while (columns && km < columns->size() && (*columns)[km] != "(KM/mol)") ++km;
    if (!columns || km == columns->size())
      return fail(ReadFault::layout, 1,
                  "a layout of this table the reader knows, not the header " +
                      quoted(trimmed(line_.text), 100));
    if (!next_in_section()) return cut_short("the rest of " + what);
    if (!starts_with(trimmed(line_.text), "---"))
      return fail(ReadFault::misplaced, 1, "a line of dashes under the header of " + what);
    std::vector<double> frequency, intensity;
    while (next_in_section()) {
      if (is_dash_line(line_.text)) {
        if (frequency.empty()) return fail(ReadFault::misplaced, 1, "the rows of " + what);
        ir_line_ = title;
        ir_frequency_ = std::move(frequency);
        ir_intensity_ = std::move(intensity);
        return true;
      }
      const bool all = split_tokens(line_.text, tokens_, kTokens);
      const std::size_t n = columns->size() + 3;
      if (tokens_.size() < 3 || tokens_[2].text != "||" || !is_count(tokens_[0].text))
        return fail(ReadFault::layout, 1, "a row 'N F || values' of " + what);
      if (count_of(tokens_[0].text) != frequency.size() + 1)
        return fail(
            ReadFault::numbering, tokens_[0].column,
            "mode " + std::to_string(frequency.size() + 1) + ", not " + shown(tokens_[0].text));
      if (!all || tokens_.size() != n)
        return fail(ReadFault::count_mismatch, all ? line_.text.size() + 1 : tokens_.back().column,
                    std::to_string(columns->size()) +
                        " values after '||', as the header names, not " +
                        (all ? std::to_string(tokens_.size() - 3) : "more"));
      double f = 0.0, a = 0.0;
      if (!number(tokens_[1], "a frequency", f) || !number(tokens_[3 + km], "an IR intensity", a))
        return false;
      frequency.push_back(f);
      intensity.push_back(a);
    }
    return cut_short("the rest of " + what);
  }

  void vibrations() {
    result_.data.vibrations = real_modes(ir_frequency_, ir_intensity_, {}, ir_line_, result_.notes);
  }

  std::size_t ir_line_ = 0;
  std::vector<double> ir_frequency_, ir_intensity_;
  std::optional<Run> run_;
  SpectraRead result_;
};

}  // namespace

SpectraRead read_nwchem(std::string_view text) { return NwchemReader(text).read(); }

bool recognises_nwchem(std::string_view text) noexcept {
  // The banner "Northwest Computational Chemistry Package (NWChem) 7.0.2"
  // opens every NWChem output.
  return contains(text.substr(0, 16384), "Northwest Computational Chemistry Package (NWChem)");
}

}  // namespace broaden
