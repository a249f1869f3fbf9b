#include "records/jcamp_reader.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>
#include <utility>

#include "numbers/double_to_shortest.h"
#include "qc_text.h"

namespace broaden {
namespace {

using qc::shown;

// More points than any measured spectrum holds, so that a hostile count
// (a DUP of a billion) cannot ask for the memory of one.
constexpr std::size_t kMostPoints = 10'000'000;

// The line without its "$$" comment.
std::string_view uncommented(std::string_view line) {
  return line.substr(0, std::min(line.find("$$"), line.size()));
}

// A label as the format compares it: upper case, blanks, '-', '/', '_' dropped.
std::string normalised(std::string_view label) {
  std::string out;
  for (const char c : label) {
    if (c == ' ' || c == '\t' || c == '-' || c == '/' || c == '_') continue;
    out += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
  }
  return out;
}

enum class Table { none, xydata, xypoints, peaks };
enum class Form { affn, sqz, dif, dup };

// One value of a data line: its number, its form and its 1-based column.
struct Value {
  double number = 0.0;
  Form form = Form::affn;
  std::size_t column = 0;
  std::string_view text;  // as written
};

// The form and leading digit of an ASDF pseudo-digit; false for a
// character that is none.
bool pseudo_digit(char c, Form& form, int& digit) {
  if (c == '@' || c == '%') {
    form = c == '@' ? Form::sqz : Form::dif;
    digit = 0;
  } else if (c >= 'A' && c <= 'I') {
    form = Form::sqz, digit = c - 'A' + 1;
  } else if (c >= 'a' && c <= 'i') {
    form = Form::sqz, digit = -(c - 'a' + 1);
  } else if (c >= 'J' && c <= 'R') {
    form = Form::dif, digit = c - 'J' + 1;
  } else if (c >= 'j' && c <= 'r') {
    form = Form::dif, digit = -(c - 'j' + 1);
  } else if (c >= 'S' && c <= 'Z') {
    form = Form::dup, digit = c - 'S' + 1;
  } else if (c == 's') {
    form = Form::dup, digit = 9;
  } else {
    return false;
  }
  return true;
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool is_separator(char c) { return c == ' ' || c == '\t' || c == ','; }

// The end of the AFFN value starting at `at`: a sign, digits and points,
// and an exponent "E" or "e" followed by a sign and a digit.
std::size_t affn_end(std::string_view text, std::size_t at) {
  std::size_t end = at + ((text[at] == '+' || text[at] == '-') ? 1 : 0);
  while (end < text.size() && (is_digit(text[end]) || text[end] == '.')) ++end;
  if (end + 2 < text.size() && (text[end] == 'E' || text[end] == 'e') &&
      (text[end + 1] == '+' || text[end + 1] == '-') && is_digit(text[end + 2])) {
    end += 2;
    while (end < text.size() && is_digit(text[end])) ++end;
  }
  return end;
}

// The values of an XYDATA line, or the error at the first that is none.
std::optional<LineListError> asdf_values(const qc::Line& line, std::string_view text,
                                         std::vector<Value>& values) {
  values.clear();
  for (std::size_t at = 0; at < text.size();) {
    const char c = text[at];
    if (is_separator(c)) {
      ++at;
      continue;
    }
    Form form = Form::affn;
    int digit = 0;
    std::string number;
    std::size_t end = at + 1;
    if (c == '+' || c == '-' || c == '.' || is_digit(c)) {
      end = affn_end(text, at);
      number = std::string(text.substr(at, end - at));
    } else if (pseudo_digit(c, form, digit)) {
      while (end < text.size() && (is_digit(text[end]) || text[end] == '.')) ++end;
      number = (digit < 0 ? "-" : "") + std::to_string(std::abs(digit)) +
               std::string(text.substr(at + 1, end - at - 1));
    } else {
      return read_error(ReadFault::syntax, line.number, at + 1,
                        "a value of the data table (AFFN, or an ASDF character), not " +
                            shown(text.substr(at, 1)));
    }
    const DecimalScan scan = scan_decimal(number, {});
    if (scan.error != DecimalError::none || scan.empty ||
        (form == Form::dup && number.find('.') != std::string::npos))
      return read_error(ReadFault::not_a_number, line.number, at + 1,
                        "a number, not " + shown(text.substr(at, end - at)));
    values.push_back(Value{scan_to_double(scan), form, at + 1, text.substr(at, end - at)});
    at = end;
  }
  return std::nullopt;
}

// The number of a record's value, or nothing.
std::optional<double> affn_number(std::string_view text) {
  const DecimalScan scan = scan_decimal(qc::trimmed(text), {});
  if (scan.error != DecimalError::none || scan.empty) return std::nullopt;
  const double value = scan_to_double(scan);
  return std::isfinite(value) ? std::optional<double>(value) : std::nullopt;
}

// A number of a record with where it was read.
struct Field {
  std::optional<double> value;
  std::size_t line = 0;
};

// A text of a record with where it was read.
struct TextField {
  std::string text;
  std::size_t line = 0;
  std::size_t column = 0;
};

// One block: its records and its data table.
struct Block {
  std::size_t title_line = 0;
  std::string title;
  bool compound = false;
  std::size_t nested = 0;  // blocks read inside a compound one
  Field xfactor, yfactor, firstx, lastx, firsty, npoints;
  TextField xunits, yunits;
  Table table = Table::none;  // the table being read
  Table kind = Table::none;   // the table read
  std::size_t table_line = 0;
  std::vector<double> x, y;
  // The first point of each data line and its line number.
  std::vector<std::pair<std::size_t, std::size_t>> starts;
  bool ended_in_dif = false;
  double last_dif = 0.0;
  std::size_t last_data_line = 0;
  std::size_t first_y_line = 0;
};

std::size_t line_of_point(const Block& b, std::size_t index) {
  const auto after = std::upper_bound(
      b.starts.begin(), b.starts.end(), index,
      [](std::size_t i, const std::pair<std::size_t, std::size_t>& s) { return i < s.first; });
  return after == b.starts.begin() ? b.table_line : std::prev(after)->second;
}

class Reader : public qc::SectionReader {
 public:
  Reader(std::string_view text, JcampTable wanted) : SectionReader(text), wanted_(wanted) {}

  JcampRead read() {
    if (!read_lines() || !chosen_checked()) {
      JcampRead read;
      read.error = failed().error;
      return read;
    }
    return JcampRead{std::move(curve_), std::nullopt};
  }

 private:
  // Every line to the ##END= of the first block; false on an error.
  bool read_lines() {
    while (next()) {
      const std::string_view text = uncommented(line_.text);
      // A byte-order mark is stepped over, its bytes counted in the columns.
      const std::size_t from = line_.number == 1 && text.starts_with("\xEF\xBB\xBF") ? 3 : 0;
      const std::size_t first = text.find_first_not_of(" \t", from);
      if (first == std::string_view::npos) continue;
      if (text.compare(first, 2, "##") == 0) {
        if (!label(text, first)) return false;
        if (done_) return true;
      } else if (blocks_.empty()) {
        return fail(ReadFault::layout, first + 1,
                    "##TITLE= first, not " + shown(qc::trimmed(text)));
      } else if (blocks_.back().table != Table::none && !data_line(text)) {
        return false;
      }
    }
    if (blocks_.empty()) return cut_short("##TITLE=");
    return cut_short("the ##END= of the block at line " +
                     std::to_string(blocks_.back().title_line));
  }

  // A labelled record at `first`: its label normalised, its value.
  bool label(std::string_view text, std::size_t first) {
    const std::size_t equals = text.find('=', first);
    if (equals == std::string_view::npos)
      return fail(ReadFault::syntax, first + 1,
                  "a label and '=' after '##', not " + shown(qc::trimmed(text)));
    const std::string name = normalised(text.substr(first + 2, equals - first - 2));
    const std::string_view value = qc::trimmed(text.substr(equals + 1));
    const std::string_view rest = text.substr(equals + 1);
    const std::size_t column = equals + 2 + std::min(rest.find_first_not_of(" \t"), rest.size());
    if (name == "TITLE") return title(value, first);
    if (blocks_.empty())
      return fail(ReadFault::layout, first + 1, "##TITLE= first, not " + shown(qc::trimmed(text)));
    if (blocks_.back().table != Table::none && !end_table()) return false;
    if (name == "END") return end_block();
    return record(name, value, column);
  }

  bool title(std::string_view value, std::size_t first) {
    if (!blocks_.empty()) {
      Block& open = blocks_.back();
      if (open.table != Table::none && !end_table()) return false;
      if (!open.compound || blocks_.size() > 1)
        return fail(ReadFault::misplaced, first + 1,
                    "the ##END= of the block at line " + std::to_string(open.title_line) +
                        " before another ##TITLE=");
      ++open.nested;
    }
    blocks_.emplace_back();
    blocks_.back().title_line = line_.number;
    blocks_.back().title = std::string(value);
    return true;
  }

  // The records the reader reads; any other is skipped.
  bool record(const std::string& name, std::string_view value, std::size_t column) {
    Block& b = blocks_.back();
    if (name == "JCAMPDX") return version(value, column);
    if (name == "BLOCKS") return (b.compound = true, count(value, column, blocks_count_));
    if (name == "XUNITS") return (b.xunits = {std::string(value), line_.number, column}, true);
    if (name == "YUNITS") return (b.yunits = {std::string(value), line_.number, column}, true);
    if (name == "XFACTOR") return number(value, column, b.xfactor);
    if (name == "YFACTOR") return number(value, column, b.yfactor);
    if (name == "FIRSTX") return number(value, column, b.firstx);
    if (name == "LASTX") return number(value, column, b.lastx);
    if (name == "FIRSTY") return number(value, column, b.firsty);
    if (name == "NPOINTS") return count(value, column, b.npoints);
    if (name == "XYDATA") return start_table(Table::xydata, value, column);
    if (name == "XYPOINTS") return start_table(Table::xypoints, value, column);
    if (name == "PEAKTABLE") return start_table(Table::peaks, value, column);
    return true;
  }

  bool version(std::string_view value, std::size_t column) {
    const std::string_view first = value.substr(0, value.find_first_of(" \t"));
    for (const std::string_view known : {"4.24", "5.01", "5.00", "5.0", "5"})
      if (first == known) return true;
    return fail(ReadFault::layout, column,
                "a JCAMP-DX version 4.24, 5.00 or 5.01, not " + shown(value));
  }

  bool number(std::string_view value, std::size_t column, Field& into) {
    into = Field{affn_number(value), line_.number};
    if (!into.value) return fail(ReadFault::not_a_number, column, "a number, not " + shown(value));
    return true;
  }

  bool count(std::string_view value, std::size_t column, Field& into) {
    if (!qc::is_count(value))
      return fail(ReadFault::not_a_number, column, "a count, not " + shown(value));
    if (qc::count_of(value) == 0 || qc::count_of(value) > kMostPoints)
      return fail(ReadFault::out_of_range, column,
                  "a count from 1 to " + std::to_string(kMostPoints) + ", not " + shown(value));
    into = Field{static_cast<double>(qc::count_of(value)), line_.number};
    return true;
  }

  bool start_table(Table table, std::string_view value, std::size_t column) {
    Block& b = blocks_.back();
    if (b.table_line != 0)
      return fail(ReadFault::misplaced, 1,
                  "one data table a block, as at line " + std::to_string(b.table_line));
    const std::string form = normalised(value);
    const std::string_view wanted = table == Table::xydata ? "(X++(Y..Y))" : "(XY..XY)";
    if (form != normalised(wanted))
      return fail(ReadFault::layout, column,
                  "the table " + std::string(wanted) + ", not " + shown(value));
    if (table == Table::xydata)
      for (const auto& [field, label] :
           {std::pair{&b.firstx, "##FIRSTX="}, std::pair{&b.lastx, "##LASTX="},
            std::pair{&b.npoints, "##NPOINTS="}})
        if (!field->value)
          return fail(ReadFault::misplaced, 1, std::string("a ") + label + " before the ##XYDATA=");
    b.table = b.kind = table;
    b.table_line = line_.number;
    return true;
  }

  bool data_line(std::string_view text) {
    Block& b = blocks_.back();
    if (b.table == Table::xydata) return xydata_line(b, text);
    std::vector<qc::Token>& tokens = tokens_;
    qc::split_tokens(text, tokens, text.size(), ",;");
    for (const qc::Token& token : tokens) {
      const std::optional<double> value = affn_number(token.text);
      if (!value)
        return fail(ReadFault::not_a_number, token.column, "a number, not " + shown(token.text));
      if (b.y.size() == kMostPoints)
        return fail(ReadFault::out_of_range, token.column,
                    "at most " + std::to_string(kMostPoints) + " points");
      if (b.first_y_line == 0) b.first_y_line = line_.number;
      if (pending_) {
        if (b.starts.empty() || b.starts.back().second != line_.number)
          b.starts.emplace_back(b.y.size(), line_.number);
        b.x.push_back(*pending_);
        b.y.push_back(*value);
        pending_.reset();
      } else {
        pending_ = *value;
      }
    }
    return true;
  }

  // A line of ##XYDATA=: its X checked, its Ys decoded.
  bool xydata_line(Block& b, std::string_view text) {
    if (auto error = asdf_values(line_, text, values_)) return fail(std::move(*error));
    if (values_.empty())  // a line of separators only
      return fail(ReadFault::layout, 1, "an X value (AFFN) first on the line");
    if (values_.front().form != Form::affn)
      return fail(ReadFault::layout, values_.front().column,
                  "an X value (AFFN) first on the line, not an ASDF one");
    const bool check = b.ended_in_dif && !b.y.empty();
    const std::size_t first_index = b.y.size() - (check ? 1 : 0);
    std::size_t k = 1;
    if (check) {
      if (values_.size() < 2)
        return missing("the Y check value " + shortest(b.y.back()) + " (the last Y of line " +
                       std::to_string(b.last_data_line) + ")");
      const Value& v = values_[1];
      if (v.form == Form::dif || v.form == Form::dup || v.number != b.y.back())
        return fail(ReadFault::count_mismatch, v.column,
                    "the Y check value " + shortest(b.y.back()) + " (the last Y of line " +
                        std::to_string(b.last_data_line) + "), not " + shown(v.text));
      k = 2;
    }
    if (!x_checked(b, values_.front(), first_index)) return false;
    b.starts.emplace_back(first_index, line_.number);
    if (b.first_y_line == 0 && k < values_.size()) b.first_y_line = line_.number;
    b.ended_in_dif = false;
    for (; k < values_.size(); ++k)
      if (!y_value(b, values_[k], values_[k - 1].form)) return false;
    b.last_data_line = line_.number;
    return true;
  }

  bool x_checked(const Block& b, const Value& x, std::size_t index) {
    const double n = *b.npoints.value;
    const double step = n > 1 ? (*b.lastx.value - *b.firstx.value) / (n - 1) : 0.0;
    const double expected = *b.firstx.value + static_cast<double>(index) * step;
    const double xfactor = b.xfactor.value.value_or(1.0);
    const double tolerance = 0.5 * std::abs(step) + 0.5 * std::abs(xfactor);
    const double off = std::abs(x.number * xfactor - expected);
    if (off < tolerance || off == 0.0) return true;
    return fail(ReadFault::count_mismatch, x.column,
                "the X of point " + std::to_string(index + 1) + ", " + shortest(expected) +
                    " to within " + shortest(tolerance) + " once times ##XFACTOR=, not " +
                    shortest(x.number));
  }

  // One Y value after one of form `before` on the line.
  bool y_value(Block& b, const Value& v, Form before) {
    const std::size_t limit = static_cast<std::size_t>(*b.npoints.value);
    std::size_t adding = 1;
    if (v.form == Form::dup) {
      if (before == Form::dup || &v == &values_[1])
        return fail(ReadFault::syntax, v.column, "a Y value before a DUP count");
      adding = static_cast<std::size_t>(std::min(v.number, 1e9)) - 1;
    } else if (v.form == Form::dif && b.y.empty()) {
      return fail(ReadFault::syntax, v.column, "an AFFN or SQZ Y value before a DIF one");
    }
    if (adding > limit - std::min(limit, b.y.size()))
      return fail(ReadFault::count_mismatch, v.column,
                  "at most the " + std::to_string(limit) + " points of ##NPOINTS= at line " +
                      std::to_string(b.npoints.line));
    const bool dif = v.form == Form::dif || (v.form == Form::dup && b.ended_in_dif);
    for (std::size_t i = 0; i < adding; ++i) {
      if (v.form == Form::dup)
        b.y.push_back(dif ? b.y.back() + b.last_dif : b.y.back());
      else
        b.y.push_back(v.form == Form::dif ? b.y.back() + v.number : v.number);
    }
    if (v.form == Form::dif) b.last_dif = v.number;
    b.ended_in_dif = dif;
    return true;
  }

  // The table ends at the label of the line at hand: its counts checked.
  bool end_table() {
    Block& b = blocks_.back();
    const Table table = std::exchange(b.table, Table::none);
    if (pending_)
      return fail(ReadFault::missing_field, 1,
                  "the Y of the last pair of the table at line " + std::to_string(b.table_line) +
                      " before the next record");
    const std::size_t read = b.y.size();
    if (b.npoints.value && read != static_cast<std::size_t>(*b.npoints.value))
      return fail(ReadFault::count_mismatch, 1,
                  "the " + shortest(*b.npoints.value) + " points of ##NPOINTS= at line " +
                      std::to_string(b.npoints.line) + " in the table at line " +
                      std::to_string(b.table_line) + ", not " + std::to_string(read));
    if (read == 0)
      return fail(ReadFault::missing_field, 1,
                  "the points of the table at line " + std::to_string(b.table_line));
    if (table == Table::xydata) xydata_abscissae(b);
    return factors_applied(b) && first_y_checked(b);
  }

  static void xydata_abscissae(Block& b) {
    const std::size_t n = b.y.size();
    const double first = *b.firstx.value, last = *b.lastx.value;
    b.x.resize(n);
    for (std::size_t i = 0; i < n; ++i)
      b.x[i] = i + 1 == n && n > 1
                   ? last
                   : first + static_cast<double>(i) * ((last - first) / static_cast<double>(n - 1));
    b.x.front() = first;
    b.xfactor.value = 1.0;  // the abscissae are FIRSTX and LASTX's own
  }

  bool factors_applied(Block& b) {
    const double xfactor = b.xfactor.value.value_or(1.0), yfactor = b.yfactor.value.value_or(1.0);
    for (std::size_t i = 0; i < b.y.size(); ++i) {
      b.x[i] *= xfactor;
      b.y[i] *= yfactor;
      if (!std::isfinite(b.x[i]) || !std::isfinite(b.y[i]))
        return fail(read_error(ReadFault::out_of_range, line_of_point(b, i), 1,
                               "values within the range of doubles once times ##XFACTOR= and "
                               "##YFACTOR="));
    }
    return true;
  }

  bool first_y_checked(const Block& b) {
    if (!b.firsty.value) return true;
    const double firsty = *b.firsty.value, y = b.y.front();
    const double tolerance =
        1e-4 * std::max(std::abs(firsty), std::abs(y)) + std::abs(b.yfactor.value.value_or(1.0));
    if (std::abs(firsty - y) <= tolerance) return true;
    return fail(read_error(ReadFault::count_mismatch, b.firsty.line, 1,
                           "a ##FIRSTY= of the first Y times ##YFACTOR= (" + shortest(y) +
                               ", line " + std::to_string(b.first_y_line) + "), not " +
                               shortest(firsty)));
  }

  bool end_block() {
    Block block = std::move(blocks_.back());
    blocks_.pop_back();
    if (blocks_.empty()) {
      done_ = true;
      if (block.compound && blocks_count_.value &&
          block.nested != static_cast<std::size_t>(*blocks_count_.value))
        return fail(ReadFault::count_mismatch, 1,
                    "the " + shortest(*blocks_count_.value) + " blocks of ##BLOCKS= at line " +
                        std::to_string(blocks_count_.line) + ", not " +
                        std::to_string(block.nested));
    } else {
      ++seen_;
    }
    // A curve wanted replaces a peak table chosen before it.
    const bool replaces = chosen_ && wanted_ == JcampTable::curve &&
                          chosen_->kind == Table::peaks && block.kind != Table::peaks;
    if (block.table_line != 0 && (!chosen_ || replaces)) {
      chosen_ = std::move(block);
      chosen_index_ = blocks_.empty() ? 0 : seen_;
    }
    if (done_ && !chosen_)
      return fail(ReadFault::misplaced, 1,
                  "a ##XYDATA=, ##XYPOINTS= or ##PEAK TABLE= before the last ##END=");
    return true;
  }

  // The block read: its units checked, transmittance turned into absorbance.
  bool chosen_checked() {
    Block& b = *chosen_;
    curve_.title = b.title;
    curve_.peak_table = b.kind == Table::peaks;
    curve_.table_line = b.table_line;
    if (chosen_index_ != 0)
      curve_.notes.push_back({b.title_line, "read block " + std::to_string(chosen_index_) + " of " +
                                                std::to_string(seen_) +
                                                ", the first that holds a spectrum"});
    if (!x_unit(b)) return false;
    if (b.yunits.line == 0)
      return fail(
          read_error(ReadFault::misplaced, b.table_line, 1, "a ##YUNITS= before the data table"));
    const std::string y = normalised(b.yunits.text);  // units compared as labels are
    const bool percent = y.find('%') != std::string::npos || y.find("PERCENT") != std::string::npos;
    if (y.find("TRANSMITTANCE") != std::string::npos || y == "%T" || y == "T") {
      absorbance_of_transmittance(b, percent);
    } else {
      curve_.y_quantity = y == "ABSORBANCE" ? "absorbance" : b.yunits.text;
    }
    curve_.x = std::move(b.x);
    curve_.y = std::move(b.y);
    return true;
  }

  bool x_unit(const Block& b) {
    if (b.xunits.line == 0)
      return fail(
          read_error(ReadFault::misplaced, b.table_line, 1, "an ##XUNITS= before the data table"));
    const std::string x = normalised(b.xunits.text);  // "1/CM" -> "1CM"
    if (x == "1CM") {
      curve_.x_unit = JcampXUnit::per_centimetre;
    } else if (x == "NANOMETERS") {
      curve_.x_unit = JcampXUnit::nanometre;
    } else if (x == "MICROMETERS") {
      curve_.x_unit = JcampXUnit::micrometre;
    } else if (x == "EV") {
      curve_.x_unit = JcampXUnit::electronvolt;
    } else {
      return fail(
          read_error(ReadFault::layout, b.xunits.line, b.xunits.column,
                     "##XUNITS= 1/CM, NANOMETERS, MICROMETERS or EV, not " + shown(b.xunits.text)));
    }
    return true;
  }

  // -log10(T) of each point, T a fraction (or a percent: named, or a plain
  // transmittance above 1.5); points of T <= 0 left out, counted.
  void absorbance_of_transmittance(Block& b, bool percent) {
    const bool above = std::any_of(b.y.begin(), b.y.end(), [](double t) { return t > 1.5; });
    const bool as_percent = percent || above;
    std::size_t kept = 0, left_out = 0, first_left_out = 0;
    for (std::size_t i = 0; i < b.y.size(); ++i) {
      const double t = as_percent ? b.y[i] / 100.0 : b.y[i];
      if (!(t > 0.0)) {
        if (left_out++ == 0) first_left_out = line_of_point(b, i);
        continue;
      }
      b.x[kept] = b.x[i];
      b.y[kept++] = 0.0 - std::log10(t);  // +0, not -0, at T = 1
    }
    b.x.resize(kept);
    b.y.resize(kept);
    curve_.y_quantity = "absorbance";
    curve_.notes.push_back({b.yunits.line, "turned " + shown(b.yunits.text) +
                                               " into absorbance, -log10(T), T in " +
                                               (percent ? "percent"
                                                : above ? "percent (a value exceeds 1.5)"
                                                        : "fractions")});
    if (left_out > 0)
      curve_.notes.push_back({first_left_out, "left out " + std::to_string(left_out) + " point" +
                                                  (left_out == 1 ? "" : "s") +
                                                  " of transmittance zero or below (absorbance "
                                                  "infinite), the first on this line"});
  }

  JcampTable wanted_;
  std::vector<Block> blocks_;  // the block open, inside the compound one
  std::optional<Block> chosen_;
  std::size_t chosen_index_ = 0, seen_ = 0;
  Field blocks_count_;
  std::optional<double> pending_;  // an X of XYPOINTS waiting for its Y
  std::vector<Value> values_;
  bool done_ = false;
  JcampCurve curve_;
};

}  // namespace

bool recognises_jcamp(std::string_view text) noexcept {
  qc::Lines lines(text);
  qc::Line line;
  while (lines.next(line)) {
    const std::string_view t = qc::trimmed(uncommented(line.text));
    if (t.empty()) continue;
    const std::size_t equals = t.find('=');
    return t.starts_with("##") && equals != std::string_view::npos &&
           normalised(t.substr(2, equals - 2)) == "TITLE";
  }
  return false;
}

JcampRead read_jcamp(std::string_view text, JcampTable wanted) {
  return Reader(text, wanted).read();
}

LineListRead read_jcamp_peaks(std::string_view text, const LineListOptions& options) {
  JcampRead read = read_jcamp(text);
  LineListRead lines;
  const JcampCurve& c = read.curve;
  if (!read.error && !c.peak_table)
    read.error = read_error(ReadFault::layout, c.table_line, 1,
                            "a ##PEAK TABLE= for a line list (this file holds a measured "
                            "spectrum: give it with --overlay)");
  if (!read.error && c.x_unit != JcampXUnit::per_centimetre)
    read.error = read_error(ReadFault::layout, c.table_line, 1,
                            "a ##PEAK TABLE= in 1/CM (peaks in wavelengths are not read as a "
                            "line list)");
  if (read.error) {
    lines.error = std::move(read.error);
    return lines;
  }
  for (std::size_t i = 0; i < c.x.size(); ++i) {
    const double frequency = c.x[i] * options.frequency_scale;
    if (!std::isfinite(frequency)) {
      lines.error = read_error(ReadFault::out_of_range, c.table_line, 1,
                               "frequencies within the range of doubles once scaled");
      return lines;
    }
    lines.table.push_back(Peak{frequency, c.y[i]});
  }
  lines.table.frequency_unit = Unit::per_centimetre;
  lines.notes = std::move(read.curve.notes);
  return lines;
}

}  // namespace broaden
