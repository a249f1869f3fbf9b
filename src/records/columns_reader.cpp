#include "records/columns_reader.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "numbers/double_to_shortest.h"
#include "records/line_list_formats.h"
#include "text/quoted.h"

namespace broaden {
namespace {

// How the fields of a line are told apart, and how their numbers are written.
struct Syntax {
  Delimiter delimiter = Delimiter::automatic;
  std::string_view blanks = " \t";     ///< skipped around fields
  std::string_view separators = ",;";  ///< each one ends a field
  DecimalGrammar grammar = kColumnsGrammar;

  explicit Syntax(const ColumnLayout& layout) : delimiter(layout.delimiter) {
    if (layout.decimal_comma) grammar.point = ',';
    switch (layout.delimiter) {
      case Delimiter::automatic:
        separators = layout.decimal_comma ? ";" : ",;";
        break;
      case Delimiter::blank:
        separators = "";
        break;
      case Delimiter::comma:
        separators = ",";
        break;
      case Delimiter::semicolon:
        separators = ";";
        break;
      case Delimiter::tab:
        blanks = " ";
        separators = "\t";
        break;
    }
  }
  bool is_blank(char c) const { return blanks.find(c) != std::string_view::npos; }
  bool is_separator(char c) const { return separators.find(c) != std::string_view::npos; }
  // Blanks and tabs alone separate fields, as runs holding at most one separator.
  bool runs() const { return delimiter == Delimiter::automatic || delimiter == Delimiter::blank; }
};

// One field of a line: its text and its 1-based column.
struct Field {
  std::string_view text;
  std::size_t column;
};

// Splits a line (comment already removed) into its first `wanted` fields.
// Returns fewer when the line has fewer, none when it holds only blanks.
// `fields` is cleared first (one vector serves every line).
void split_fields(std::string_view line, std::size_t wanted, const Syntax& syntax,
                  std::vector<Field>& fields) {
  fields.clear();
  std::size_t pos = 0;
  while (pos < line.size() && (syntax.is_blank(line[pos]) || line[pos] == '\t')) ++pos;
  if (pos == line.size()) return;
  if (!syntax.runs()) {
    // Each separator ends a field; the blanks around a field are not its own.
    for (std::size_t start = 0; fields.size() < wanted;) {
      const std::size_t end = std::min(line.find_first_of(syntax.separators, start), line.size());
      std::size_t first = start, last = end;
      while (first < last && syntax.is_blank(line[first])) ++first;
      while (last > first && syntax.is_blank(line[last - 1])) --last;
      fields.push_back(Field{line.substr(first, last - first), first + 1});
      if (end == line.size()) break;
      start = end + 1;
    }
    return;
  }
  while (fields.size() < wanted) {
    const std::size_t start = pos;
    while (pos < line.size() && !syntax.is_blank(line[pos]) && !syntax.is_separator(line[pos]))
      ++pos;
    fields.push_back(Field{line.substr(start, pos - start), start + 1});
    // The separator: blanks with at most one comma or semicolon among them.
    bool separator_seen = false;
    while (pos < line.size() && (syntax.is_blank(line[pos]) || syntax.is_separator(line[pos]))) {
      if (syntax.is_separator(line[pos])) {
        if (separator_seen) break;  // a second one: an empty field stands between
        separator_seen = true;
      }
      ++pos;
    }
    if (pos == line.size() && !separator_seen) break;
  }
}

// The position of the first comma of `line` with a digit on either side, or npos.
std::size_t comma_between_digits(std::string_view line) {
  const auto digit = [](char c) { return c >= '0' && c <= '9'; };
  for (std::size_t i = line.find(','); i != std::string_view::npos; i = line.find(',', i + 1)) {
    if (i > 0 && i + 1 < line.size() && digit(line[i - 1]) && digit(line[i + 1])) return i;
  }
  return std::string_view::npos;
}

// The field as it is shown in a message.
std::string shown(std::string_view text) {
  constexpr std::size_t kLimit = 32;
  return quoted(text, kLimit);
}

// "a frequency", "an intensity": the phrase with its article.
std::string with_article(const std::string& phrase) {
  const bool vowel =
      !phrase.empty() && std::string_view("aeiou").find(phrase[0]) != std::string_view::npos;
  return (vowel ? "an " : "a ") + phrase;
}

// True when some field of `line` (comment removed) is a number of the columns.
bool holds_a_number(std::string_view line, const Syntax& syntax) {
  std::vector<Field> fields;
  split_fields(line, line.size() + 1, syntax, fields);
  return std::any_of(fields.begin(), fields.end(), [&](const Field& field) {
    const DecimalScan scan = scan_decimal(field.text, syntax.grammar);
    return scan.error == DecimalError::none && !scan.empty;
  });
}

// The end of the line starting at `start` (the position of its CR or LF,
// or the text's end) and where the next line starts: CR, LF and CR LF all
// end a line.
std::pair<std::size_t, std::size_t> line_end(std::string_view text, std::size_t start) {
  const std::size_t end = std::min(text.find_first_of("\r\n", start), text.size());
  if (end == text.size()) return {end, end};
  if (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') return {end, end + 2};
  return {end, end + 1};
}

const char* role_name(int role) {
  switch (role) {
    case 0:
      return "frequency";
    case 1:
      return "intensity";
    default:
      return "width";
  }
}

// The value of one field in its role (0 frequency, 1 intensity, 2 width),
// field `number` of the line, scaled; or why it is refused, with the line
// number and column left for the caller to fill in.
struct FieldRead {
  double value = 0.0;
  std::optional<LineListError> error;
};
FieldRead read_field(const Field& field, int role, int number, const LineListOptions& options,
                     const DecimalGrammar& grammar) {
  // Only a refused field needs its name.
  const auto what = [&] {
    return std::string(role_name(role)) + " (field " + std::to_string(number) + ")";
  };
  const auto refused = [](ReadFault why, std::string expected) {
    return FieldRead{0.0, read_error(why, 0, 0, std::move(expected))};
  };
  const DecimalScan scan = scan_decimal(field.text, grammar);
  if (scan.error != DecimalError::none || scan.empty)
    return refused(ReadFault::not_a_number,
                   "a number for the " + what() + ", not " +
                       (field.text.empty() ? std::string("an empty field") : shown(field.text)));
  const double value = scan_to_double(scan);
  if (!std::isfinite(value))
    return refused(ReadFault::out_of_range,
                   with_article(what()) + " within the range of doubles, not " + shown(field.text));
  if (role == 2 && !(value > 0.0))
    return refused(ReadFault::not_positive, "a positive " + what() + ", not " + shown(field.text));
  if (role == 2 && !(value >= options.width_low && value <= options.width_high))
    return refused(ReadFault::out_of_range,
                   with_article(what()) + " from " + shortest(options.width_low) + " to " +
                       shortest(options.width_high) + ", not " + shown(field.text));
  if (role == 1) return FieldRead{value, {}};
  const double scaled = role == 0 ? value * options.frequency_scale : value / options.width_divisor;
  if (!std::isfinite(scaled) || (role == 2 && !(scaled > 0.0)))
    return refused(std::isfinite(scaled) ? ReadFault::not_positive : ReadFault::out_of_range,
                   with_article(what()) + " that stays " +
                       (role == 2 ? "finite and positive" : "finite") + " once scaled, not " +
                       shown(field.text));
  return FieldRead{scaled, {}};
}

// Read as blanks, commas and semicolons, a list whose every line holds a
// semicolon and some of whose commas stand between digits was most likely
// written with decimal commas: refused at the first such comma.
struct DecimalCommaWatch {
  bool active = false;  // automatic delimiters, no decimal comma named
  bool every_line_has_semicolon = true;
  std::optional<LineListError> error;

  // `line` (comment removed) is line `number`, its columns `offset` bytes on.
  void look_at(std::string_view line, std::size_t number, std::size_t offset) {
    if (!active || !every_line_has_semicolon) return;
    every_line_has_semicolon = line.find(';') != std::string_view::npos;
    if (const std::size_t comma = comma_between_digits(line);
        every_line_has_semicolon && !error && comma != std::string_view::npos)
      error = read_error(
          ReadFault::decimal_comma, number, offset + comma + 1,
          "fields apart by blanks, commas or semicolons, not a decimal comma: every line holds "
          "a semicolon and a comma stands between digits here; give --decimal-comma if the "
          "commas are decimal points, or --delimiter to name what separates the fields");
  }
};

// Where the fields of each role stand (1-based) and how many roles there are.
struct Roles {
  int numbers[3];
  int count;
};

// The values of line `number`'s fields in their roles into `values`, or the
// first refused; `line` (comment removed) has its columns `offset` bytes on.
std::optional<LineListError> read_roles(const std::vector<Field>& fields, std::string_view line,
                                        std::size_t number, std::size_t offset, const Roles& roles,
                                        const LineListOptions& options, const Syntax& syntax,
                                        double (&values)[3]) {
  for (int role = 0; role < roles.count; ++role) {
    const auto index = static_cast<std::size_t>(roles.numbers[role] - 1);
    if (index >= fields.size())
      return read_error(ReadFault::missing_field, number, offset + line.size() + 1,
                        std::to_string(roles.numbers[role]) + " fields (the " + role_name(role) +
                            " is field " + std::to_string(roles.numbers[role]) + "), not " +
                            std::to_string(fields.size()));
    FieldRead read = read_field(fields[index], role, roles.numbers[role], options, syntax.grammar);
    if (read.error) {
      read.error->line = number;
      read.error->column = offset + fields[index].column;
      return read.error;
    }
    values[role] = read.value;
  }
  return std::nullopt;
}

// The note for a first line of fields that holds no number.
LineListNote header_note(std::string_view line, std::size_t number) {
  const std::size_t first = line.find_first_not_of(" \t");
  const std::size_t last = line.find_last_not_of(" \t");
  return LineListNote{number,
                      "skipped the header row " + shown(line.substr(first, last + 1 - first))};
}

}  // namespace

LineListRead read_columns(std::string_view text, const LineListOptions& options) {
  const ColumnLayout& layout = options.columns;
  const Syntax syntax(layout);
  LineListRead result;
  const Roles roles{{layout.frequency, layout.intensity, layout.width}, layout.width > 0 ? 3 : 2};
  const auto wanted =
      static_cast<std::size_t>(*std::max_element(roles.numbers, roles.numbers + roles.count));

  const std::size_t skipped = text.size() - past_byte_order_mark(text).size();

  DecimalCommaWatch commas;
  commas.active = layout.delimiter == Delimiter::automatic && !layout.decimal_comma;
  std::size_t line_number = 0;
  std::vector<Field> fields;
  bool first_with_fields = true;
  for (std::size_t start = 0; start < text.size();) {
    ++line_number;
    const auto [end, next] = line_end(text, start);
    std::string_view line = text.substr(start, end - start);
    start = next;
    line = line.substr(0, line.find('#'));
    // Columns count from the line's start, the byte-order mark included.
    const std::size_t offset = line_number == 1 ? skipped : 0;
    line.remove_prefix(std::min(offset, line.size()));

    split_fields(line, wanted, syntax, fields);
    if (fields.empty()) continue;
    if (std::exchange(first_with_fields, false) && !holds_a_number(line, syntax)) {
      result.notes.push_back(header_note(line, line_number));
      continue;
    }
    commas.look_at(line, line_number, offset);
    double values[3] = {0.0, 0.0, 0.0};
    result.error = read_roles(fields, line, line_number, offset, roles, options, syntax, values);
    if (result.error) break;
    result.table.push_back(Peak{values[0], values[1]});
    if (roles.count == 3) result.table.width.push_back(values[2]);
  }
  // A line read with the wrong separators may well fail on its own first.
  if (commas.error && (commas.every_line_has_semicolon || result.error))
    result.error = commas.error;
  return result;
}

}  // namespace broaden
