// The standard output of xtb (version 6) with --hess or --ohess: its
// frequencies, IR intensities and total free energy (the spectra reader
// contract of line_list_formats.h).
//
// "projected vibrational frequencies (cm⁻¹)" opens a table of "eigval :"
// lines, six frequencies each, translations and rotations included (printed
// as zeros, "-0.00"; an imaginary mode negative); the first line that is
// not "eigval :" ends it. "IR intensities (km·mol⁻¹)" then gives one
// "N: value" a mode ("10:150.75" has no blank after the colon), numbered
// from 1, as many as the table has frequencies. The intensities of the
// modes left out (zero or imaginary) are left out with them. Raman
// intensities (printed zero in version 6.5, their unit unstated) are not
// read. "| TOTAL FREE ENERGY  -7.171069803819 Eh |" gives the free energy
// (hartree). xtb prints the table twice (after the Hessian, and with the
// intensities under "Frequency Printout"): the last table is kept, with
// the intensities that follow it. A table the end of the file cuts is
// refused as cut short.
//   "eigval :  -0.00  1084.75" then "IR intensities (km·mol⁻¹)" and
//   "   1:  6.77   2: 26.68" -> frequency {1084.75}, IR intensity {26.68},
//   one zero mode left out
#include <string>
#include <vector>

#include "qc_text.h"
#include "records/spectra_data.h"

namespace broaden {
namespace {

using namespace qc;

constexpr std::string_view kTable = "projected vibrational frequencies";
constexpr std::string_view kIntensities = "IR intensities";
constexpr std::string_view kIntensityUnit = "(km\u00b7mol\u207b\u00b9)";
constexpr std::size_t kTokens = 24;

class XtbReader : SectionReader {
 public:
  explicit XtbReader(std::string_view text) : SectionReader(text) {}

  SpectraRead read() {
    bool more = next();
    while (more) {
      const std::string_view t = trimmed(line_.text);
      bool ok = true;
      if (t.starts_with(kTable)) {
        // The line after the table is then at hand, and read in turn.
        if (!read_frequencies()) return failed();
        continue;
      }
      if (t.starts_with(kIntensities)) ok = read_intensities();
      if (t.starts_with("| TOTAL FREE ENERGY")) ok = read_free_energy();
      if (!ok) return failed();
      more = next();
    }
    keep();
    return std::move(result_);
  }

 private:
  // The "eigval :" lines after the title; leaves the line after them at hand.
  bool read_frequencies() {
    table_line_ = line_.number;
    frequency_.clear();
    intensity_.clear();
    intensity_line_ = 0;
    while (next_in_section()) {
      if (!trimmed(line_.text).starts_with("eigval")) {
        if (frequency_.empty())
          return fail(ReadFault::misplaced, 1,
                      "the 'eigval :' lines of the table at line " + std::to_string(table_line_));
        return true;
      }
      const bool fits = split_tokens(line_.text, tokens_, kTokens, ":");
      if (!fits) return fail(ReadFault::count_mismatch, tokens_.back().column, "at most 23 values");
      for (std::size_t k = 1; k < tokens_.size(); ++k) {
        double value = 0.0;
        if (!number(tokens_[k], "a frequency", value)) return false;
        frequency_.push_back(value);
      }
    }
    return cut_short("the rest of the table at line " + std::to_string(table_line_));
  }

  bool read_intensities() {
    if (!line_.ended) return cut_short("the rest of the IR intensities' header");
    if (trimmed(line_.text) != std::string(kIntensities) + " " + std::string(kIntensityUnit))
      return fail(ReadFault::layout, 1,
                  "IR intensities in km\u00b7mol\u207b\u00b9, not the header " +
                      quoted(trimmed(line_.text), 100));
    if (table_line_ == 0 || intensity_line_ != 0)
      return fail(ReadFault::misplaced, 1, "a table of frequencies before its IR intensities");
    intensity_line_ = line_.number;
    while (intensity_.size() < frequency_.size()) {
      if (!next_in_section())
        return cut_short("the rest of the IR intensities at line " +
                         std::to_string(intensity_line_));
      const bool fits = split_tokens(line_.text, tokens_, kTokens, ":");
      if (!fits || tokens_.empty() || tokens_.size() % 2 != 0)
        return fail(ReadFault::layout, 1, "pairs of a mode's number and its IR intensity");
      for (std::size_t k = 0; k < tokens_.size(); k += 2) {
        const std::string expected = std::to_string(intensity_.size() + 1);
        if (tokens_[k].text != expected)
          return fail(ReadFault::numbering, tokens_[k].column,
                      "mode " + expected + ", not " + shown(tokens_[k].text));
        double value = 0.0;
        if (!number(tokens_[k + 1], "an IR intensity", value)) return false;
        intensity_.push_back(value);
      }
    }
    if (intensity_.size() != frequency_.size())
      return fail(ReadFault::count_mismatch, 1,
                  std::to_string(frequency_.size()) +
                      " IR intensities, one a frequency of the "
                      "table at line " +
                      std::to_string(table_line_) + ", not " + std::to_string(intensity_.size()));
    return true;
  }

  bool read_free_energy() {
    if (!line_.ended) return fail(unended(line_, "the free energy"));
    split_tokens(line_.text, tokens_, kTokens, "|");
    if (tokens_.size() != 5 || tokens_[4].text != "Eh")
      return fail(ReadFault::layout, 1, "the free energy in Eh between '|'");
    return free_energy(tokens_[3], result_.data.free_energy);
  }

  void keep() {
    if (table_line_ == 0) return;
    const std::span<const double> intensity =
        intensity_line_ != 0 ? std::span<const double>(intensity_) : std::span<const double>();
    result_.data.vibrations = real_modes(frequency_, intensity, {}, table_line_, result_.notes);
  }

  SpectraRead result_;
  std::vector<double> frequency_, intensity_;
  std::size_t table_line_ = 0, intensity_line_ = 0;
};

}  // namespace

SpectraRead read_xtb(std::string_view text) { return XtbReader(text).read(); }

bool recognises_xtb(std::string_view text) noexcept {
  // The banner's box "|  x T B  |" and the line "* xtb version 6.5.1 ...".
  const std::string_view head = text.substr(0, 16384);
  return head.find("|                           x T B                           |") !=
             std::string_view::npos &&
         head.find("* xtb version") != std::string_view::npos;
}

}  // namespace broaden
