// What the readers of program outputs share (internal to the records
// library): lines with their numbers, blank-separated tokens with their
// columns, numbers read from tokens with the error a reader gives, and the
// section reader (the line at hand, the next line of a section, the end of
// the file where more was due, the free energy, the first error).
#pragma once

#include <cmath>
#include <cstddef>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "numbers/decimal_scan.h"
#include "records/line_table.h"
#include "records/spectra_data.h"
#include "text/quoted.h"

namespace broaden::qc {

/// One line: its bytes without the line end, its 1-based number, the
/// offset of its first byte in the text, and whether a line end closes it
/// (the programs end every line: a value on a last line without one may
/// have been cut short, and is refused).
struct Line {
  std::string_view text;
  std::size_t number = 0;
  std::size_t offset = 0;
  bool ended = false;
};

/// The lines of a text, one after the other. A line ends at a line feed;
/// a carriage return right before it belongs to the line end. The last line
/// may lack its line feed; an empty text has no line. Finding a line end is
/// memchr over the bytes, so a scan runs at about memory speed.
class Lines {
 public:
  explicit Lines(std::string_view text) : text_(text) {}

  /// The next line into `line`; false at the end of the text.
  bool next(Line& line) {
    if (position_ >= text_.size()) return false;
    const char* begin = text_.data() + position_;
    const void* found = std::memchr(begin, '\n', text_.size() - position_);
    const std::size_t end =
        found == nullptr ? text_.size()
                         : static_cast<std::size_t>(static_cast<const char*>(found) - text_.data());
    std::string_view bytes = text_.substr(position_, end - position_);
    if (found != nullptr && !bytes.empty() && bytes.back() == '\r') bytes.remove_suffix(1);
    line = Line{bytes, ++number_, position_, found != nullptr};
    position_ = found == nullptr ? text_.size() : end + 1;
    return true;
  }

 private:
  std::string_view text_;
  std::size_t position_ = 0;
  std::size_t number_ = 0;
};

inline bool is_blank(char c) { return c == ' ' || c == '\t'; }

/// The line without its leading and trailing blanks.
inline std::string_view trimmed(std::string_view line) {
  std::size_t first = 0;
  while (first < line.size() && is_blank(line[first])) ++first;
  std::size_t last = line.size();
  while (last > first && is_blank(line[last - 1])) --last;
  return line.substr(first, last - first);
}

inline bool is_blank_line(std::string_view line) { return trimmed(line).empty(); }

/// A line of dashes only (blanks around them allowed), at least three.
inline bool is_dash_line(std::string_view line) {
  const std::string_view t = trimmed(line);
  return t.size() >= 3 && t.find_first_not_of('-') == std::string_view::npos;
}

/// Whether a line of `text` opens with `mark` (after blanks): a program's
/// banner in its own place, not a name in a comment or a sentence.
///   line_opens_with("x\n  * O   R   C   A *\n", "* O   R   C   A *") -> true
///   line_opens_with("# made by O   R   C   A\n", "O   R   C   A")     -> false
inline bool line_opens_with(std::string_view text, std::string_view mark) noexcept {
  for (std::size_t at = text.find(mark); at != std::string_view::npos;
       at = text.find(mark, at + 1)) {
    std::size_t start = at;
    while (start > 0 && is_blank(text[start - 1])) --start;
    if (start == 0 || text[start - 1] == '\n' || text[start - 1] == '\r') return true;
  }
  return false;
}

/// One blank-separated token of a line and its 1-based byte column.
struct Token {
  std::string_view text;
  std::size_t column = 0;
};

/// Splits `line` into at most `limit` tokens separated by blanks and by the
/// characters of `also` (which belong to no token). Returns false when the
/// line holds more than `limit` tokens (the rest is not split: a line of a
/// hundred megabytes costs no more than `limit` tokens).
inline bool split_tokens(std::string_view line, std::vector<Token>& tokens, std::size_t limit,
                         std::string_view also = {}) {
  tokens.clear();
  const auto separator = [&](char c) {
    return is_blank(c) || also.find(c) != std::string_view::npos;
  };
  std::size_t position = 0;
  while (true) {
    while (position < line.size() && separator(line[position])) ++position;
    if (position == line.size()) return true;
    if (tokens.size() == limit) return false;
    const std::size_t start = position;
    while (position < line.size() && !separator(line[position])) ++position;
    tokens.push_back(Token{line.substr(start, position - start), start + 1});
  }
}

/// A token as a message shows it: quoted, at most 32 bytes.
inline std::string shown(std::string_view text) { return quoted(text, 32); }

/// How the outputs write numbers: an optional sign, digits with at most one
/// point, an optional exponent of E, e, D or d.
inline constexpr DecimalGrammar kOutputGrammar{.d_exponent = true};

/// The token as the nearest double into `value`, or the error: not a number
/// ("a number for the IR intensity, not 'x'"), or beyond the doubles
/// ("an IR intensity within the range of doubles, not '1e999'"). `what` is
/// the quantity with its article: "an IR intensity".
inline std::optional<LineListError> read_number(const Token& token, std::size_t line,
                                                std::string_view what, double& value) {
  const DecimalScan scan = scan_decimal(token.text, kOutputGrammar);
  if (scan.error != DecimalError::none || scan.empty)
    return read_error(ReadFault::not_a_number, line, token.column,
                      std::string(what) + " as a number, not " + shown(token.text));
  value = scan_to_double(scan);
  if (!std::isfinite(value))
    return read_error(ReadFault::out_of_range, line, token.column,
                      std::string(what) + " within the range of doubles, not " + shown(token.text));
  return std::nullopt;
}

/// The error for a value on the last line of the file when no line end
/// closes it: the file may have been cut in the middle of the number
/// (ReadFault::cut_short, just past the line's end).
inline LineListError unended(const Line& line, std::string_view what) {
  return read_error(ReadFault::cut_short, line.number, line.text.size() + 1,
                    "a line end after " + std::string(what) +
                        " (the file may have been cut short), not the end of the file");
}

/// True when the token is a decimal integer without sign: "12".
inline bool is_count(std::string_view text) {
  return !text.empty() && text.size() <= 9 &&
         text.find_first_not_of("0123456789") == std::string_view::npos;
}

inline std::size_t count_of(std::string_view text) {
  std::size_t n = 0;
  for (const char c : text) n = n * 10 + static_cast<std::size_t>(c - '0');
  return n;
}

/// The note for modes left out, or nothing when none were:
///   left_out_note(2, 0) -> "left out 2 imaginary frequencies (printed negative)"
inline std::string left_out_note(std::size_t imaginary, std::size_t zero) {
  std::string text;
  if (imaginary > 0)
    text = "left out " + std::to_string(imaginary) + " imaginary frequenc" +
           (imaginary == 1 ? "y" : "ies") + " (printed negative)";
  if (zero > 0)
    text += (text.empty() ? "left out " : "; and ") + std::to_string(zero) + " zero frequenc" +
            (zero == 1 ? "y" : "ies") + " (translations and rotations)";
  return text;
}

/// The modes of `frequency` printed positive, with their IR intensities and
/// Raman activities (`ir`, `raman`: one a mode, or empty where the file
/// prints none); those printed negative (imaginary) or zero counted as left
/// out, with their note at `line` added to `notes`.
///   frequency {-50, 0, 1000}, ir {1, 2, 3} -> frequency {1000}, ir {3},
///   imaginary_left_out 1, zero_left_out 1
inline Vibrations real_modes(std::span<const double> frequency, std::span<const double> ir,
                             std::span<const double> raman, std::size_t line,
                             std::vector<LineListNote>& notes) {
  Vibrations v;
  for (std::size_t k = 0; k < frequency.size(); ++k) {
    if (frequency[k] <= 0.0) {
      ++(frequency[k] < 0.0 ? v.imaginary_left_out : v.zero_left_out);
      continue;
    }
    v.frequency.push_back(frequency[k]);
    if (!ir.empty()) v.ir_intensity.push_back(ir[k]);
    if (!raman.empty()) v.raman_activity.push_back(raman[k]);
  }
  const std::string note = left_out_note(v.imaginary_left_out, v.zero_left_out);
  if (!note.empty()) notes.push_back(LineListNote{line, note});
  return v;
}

/// The note for excited states printed at zero or negative energy (an
/// unstable reference), left out so that none sets the grid:
///   states_left_out_note(1) -> "left out 1 excited state at zero or negative energy"
inline std::string states_left_out_note(std::size_t count) {
  return "left out " + std::to_string(count) + " excited state" + (count == 1 ? "" : "s") +
         " at zero or negative energy";
}

/// The reading every program output's reader shares: the line at hand,
/// the next line of the file or of a section, and the first error, placed
/// at its line and column. A reader derives from it, reads `line_` and
/// `tokens_`, and returns false as soon as one of the fail functions has;
/// its read() then returns failed(). Over "A\n1.5\n":
///   next() -> true, line_ 1 "A";  next_in_section() -> true, line_ 2 "1.5"
///   next_in_section() -> false;   cut_short("the rest of A") -> false, the error
///     {cut_short, line 2, column 4, "the rest of A, not the end of the file"}
class SectionReader {
 public:
  explicit SectionReader(std::string_view text) : lines_(text) {}

 protected:
  /// The next line of the file into `line_`; false at its end (`line_` is
  /// then the last line).
  bool next() { return lines_.next(line_); }

  /// The next line of a section into `line_`. False at the end of the file,
  /// and on a last line without its line end, which ends the section as the
  /// end of the file does (it may be a line cut short): either way `line_`
  /// is then the file's last line, where cut_short places its error.
  bool next_in_section() { return lines_.next(line_) && line_.ended; }

  /// The error `error`; returns false.
  bool fail(LineListError error) {
    error_ = std::move(error);
    return false;
  }

  /// An error of `kind` at `column` of the line at hand; returns false.
  bool fail(ReadFault kind, std::size_t column, std::string expected) {
    return fail(read_error(kind, line_.number, column, std::move(expected)));
  }

  /// A value missing at the end of the line at hand: missing_field, or
  /// cut_short on a last line without its line end (the file may have been
  /// cut before the value); returns false.
  bool missing(std::string expected) {
    return fail(line_.ended ? ReadFault::missing_field : ReadFault::cut_short,
                line_.text.size() + 1, std::move(expected));
  }

  /// The file ended where `due` was: "DUE, not the end of the file", just
  /// past the end of the file's last line (line 1, column 1 in a file of no
  /// line). Called once next() or next_in_section() said false; returns false.
  bool cut_short(const std::string& due) {
    return fail(read_error(ReadFault::cut_short, line_.number == 0 ? 1 : line_.number,
                           line_.text.size() + 1, due + ", not the end of the file"));
  }

  /// The token of the line at hand as a number into `value`, or fails as
  /// read_number does. `what` is the quantity with its article.
  bool number(const Token& token, std::string_view what, double& value) {
    if (auto error = read_number(token, line_.number, what, value)) return fail(std::move(*error));
    return true;
  }

  /// The free energy in `token` (hartree) into `into`: a number, and the
  /// line end after it (on a last line without one the number may be cut
  /// short: refused as unended()).
  bool free_energy(const Token& token, std::optional<double>& into) {
    double value = 0.0;
    if (!number(token, "a free energy", value)) return false;
    if (!line_.ended) return fail(unended(line_, "the free energy"));
    into = value;
    return true;
  }

  /// What a reader gives once it has failed: no data, the error.
  SpectraRead failed() {
    SpectraRead read;
    read.error = std::move(error_);
    return read;
  }

  Line line_;
  std::vector<Token> tokens_;

 private:
  Lines lines_;
  std::optional<LineListError> error_;
};

}  // namespace broaden::qc
