// The Molden file: its [FREQ] and [INT] sections (the spectra reader
// contract of line_list_formats.h).
//
// A section starts at a line whose first non-blank character is '[' and
// runs to the next such line or the end of the file; section names are
// matched without regard to case. [FREQ] holds one frequency a line
// (cm^-1), [INT] one IR intensity a line (km/mol), as many as [FREQ] has;
// blank lines are passed over, other sections ([Molden Format], [Atoms],
// [FR-COORD], ...) are not read. A file holds each section once at most.
// A value on the last line needs its line end: without it the file may
// have been cut in the middle of the number. [FREQ] is never the last
// section (the programs write [FR-COORD] and [FR-NORM-COORD] after it, and
// [INT] is checked against its count): at the end of the file it is taken
// as cut short.
#include <string>
#include <vector>

#include "qc_text.h"
#include "records/spectra_data.h"

namespace broaden {
namespace {

using namespace qc;

bool same_name(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t k = 0; k < a.size(); ++k) {
    const auto lower = [](char c) {
      return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    };
    if (lower(a[k]) != lower(b[k])) return false;
  }
  return true;
}

// The section a line opens ("[FREQ]" -> "FREQ"), or an empty view.
std::string_view section_of(std::string_view line) {
  const std::string_view t = trimmed(line);
  if (t.empty() || t.front() != '[') return {};
  const std::size_t close = t.find(']');
  return close == std::string_view::npos ? t.substr(1) : t.substr(1, close - 1);
}

class MoldenReader : SectionReader {
 public:
  explicit MoldenReader(std::string_view text) : SectionReader(text) {}

  SpectraRead read() {
    while (next()) {
      const std::string_view t = trimmed(line_.text);
      if (!t.empty() && t.front() == '[') {
        if (!open_section()) return failed();
      } else if (into_ != nullptr && !t.empty() && !read_value()) {
        return failed();
      }
    }
    if (into_ == &frequency_) {
      cut_short("a section after [FREQ] (the file may have been cut short)");
      return failed();
    }
    if (!check_counts()) return failed();
    keep_vibrations();
    return std::move(result_);
  }

 private:
  // The line at hand opens a section: [FREQ] and [INT] are read, once each.
  bool open_section() {
    const std::string_view name = section_of(line_.text);
    into_ = nullptr;
    const bool freq = same_name(name, "FREQ");
    if (!freq && !same_name(name, "INT")) return true;
    std::size_t& seen = freq ? freq_line_ : int_line_;
    if (seen != 0)
      return fail(ReadFault::misplaced, 1,
                  "one [" + std::string(name) + "] section, as at line " + std::to_string(seen));
    seen = line_.number;
    into_ = freq ? &frequency_ : &intensity_;
    what_ = freq ? "a frequency" : "an IR intensity";
    return true;
  }

  // One value of the section at hand, alone on its line, the line ended.
  bool read_value() {
    if (!split_tokens(line_.text, tokens_, 1))
      return fail(ReadFault::count_mismatch, tokens_[0].column,
                  "one " + std::string(what_.substr(what_.find(' ') + 1)) + " a line");
    double value = 0.0;
    if (!number(tokens_[0], what_, value)) return false;
    if (!line_.ended) return fail(unended(line_, what_));
    into_->push_back(value);
    return true;
  }

  // [INT] has its [FREQ], and one intensity a frequency.
  bool check_counts() {
    if (int_line_ != 0 && freq_line_ == 0)
      return fail(read_error(ReadFault::misplaced, int_line_, 1,
                             "a [FREQ] section for the intensities of [INT]"));
    if (int_line_ != 0 && intensity_.size() != frequency_.size())
      return fail(read_error(ReadFault::count_mismatch, int_line_, 1,
                             std::to_string(frequency_.size()) +
                                 " intensities, one for each frequency of [FREQ] (line " +
                                 std::to_string(freq_line_) + "), not " +
                                 std::to_string(intensity_.size())));
    return true;
  }

  void keep_vibrations() {
    Vibrations& v = result_.data.vibrations;
    for (std::size_t k = 0; k < frequency_.size(); ++k) {
      if (frequency_[k] <= 0.0) {
        ++(frequency_[k] < 0.0 ? v.imaginary_left_out : v.zero_left_out);
        continue;
      }
      v.frequency.push_back(frequency_[k]);
      if (int_line_ != 0) v.ir_intensity.push_back(intensity_[k]);
    }
    const std::string note = left_out_note(v.imaginary_left_out, v.zero_left_out);
    if (!note.empty()) result_.notes.push_back(LineListNote{freq_line_, note});
  }

  SpectraRead result_;
  std::vector<double> frequency_, intensity_;
  std::size_t freq_line_ = 0, int_line_ = 0;
  std::vector<double>* into_ = nullptr;  // the values of the section at hand, if read
  std::string_view what_;                // their quantity, with its article
};

}  // namespace

SpectraRead read_molden(std::string_view text) { return MoldenReader(text).read(); }

bool recognises_molden(std::string_view text) noexcept {
  // The first line that is not blank is "[Molden Format]".
  Lines lines(text.substr(0, 4096));
  Line line;
  while (lines.next(line)) {
    if (is_blank_line(line.text)) continue;
    return same_name(trimmed(line.text), "[Molden Format]");
  }
  return false;
}

}  // namespace broaden
