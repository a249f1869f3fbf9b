#include "records/columns_reader.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "numbers/double_to_shortest.h"
#include "text/quoted.h"

namespace broaden {
namespace {

bool is_blank(char c) { return c == ' ' || c == '\t'; }
bool is_separator(char c) { return c == ',' || c == ';'; }

// One field of a line: its text and its 1-based column.
struct Field {
  std::string_view text;
  std::size_t column;
};

// Splits a line (comment already removed) into its first `wanted` fields.
// Returns fewer when the line has fewer.
// `fields` is cleared first (one vector serves every line).
void split_fields(std::string_view line, std::size_t wanted, std::vector<Field>& fields) {
  fields.clear();
  std::size_t pos = 0;
  while (pos < line.size() && is_blank(line[pos])) ++pos;
  if (pos == line.size()) return;
  while (fields.size() < wanted) {
    const std::size_t start = pos;
    while (pos < line.size() && !is_blank(line[pos]) && !is_separator(line[pos])) ++pos;
    fields.push_back(Field{line.substr(start, pos - start), start + 1});
    // The separator: blanks with at most one comma or semicolon among them.
    bool separator_seen = false;
    while (pos < line.size() && (is_blank(line[pos]) || is_separator(line[pos]))) {
      if (is_separator(line[pos])) {
        if (separator_seen) break;  // a second one: an empty field stands between
        separator_seen = true;
      }
      ++pos;
    }
    if (pos == line.size() && !separator_seen) break;
  }
}

// The field as it is shown in a message.
std::string shown(std::string_view text) {
  constexpr std::size_t kLimit = 32;
  return quoted(text, kLimit);
}

// The shortest text that reads back as the same double: "1e-150".
std::string shortest(double value) {
  char text[kShortestRoom];
  return std::string(text, double_to_shortest(value, 0, text));
}

// "a frequency", "an intensity": the phrase with its article.
std::string with_article(const std::string& phrase) {
  const bool vowel =
      !phrase.empty() && std::string_view("aeiou").find(phrase[0]) != std::string_view::npos;
  return (vowel ? "an " : "a ") + phrase;
}

// True when some field of `line` (comment removed) is a number of the columns.
bool holds_a_number(std::string_view line) {
  std::vector<Field> fields;
  split_fields(line, line.size() + 1, fields);
  return std::any_of(fields.begin(), fields.end(), [](const Field& field) {
    const DecimalScan scan = scan_decimal(field.text, kColumnsGrammar);
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
FieldRead read_field(const Field& field, int role, int number, const LineListOptions& options) {
  // Only a refused field needs its name.
  const auto what = [&] {
    return std::string(role_name(role)) + " (field " + std::to_string(number) + ")";
  };
  const auto refused = [](LineError why, std::string expected) {
    return FieldRead{0.0, LineListError{why, 0, 0, std::move(expected)}};
  };
  const DecimalScan scan = scan_decimal(field.text, kColumnsGrammar);
  if (scan.error != DecimalError::none || scan.empty)
    return refused(LineError::not_a_number,
                   "a number for the " + what() + ", not " +
                       (field.text.empty() ? std::string("an empty field") : shown(field.text)));
  const double value = scan_to_double(scan);
  if (!std::isfinite(value))
    return refused(LineError::out_of_range,
                   with_article(what()) + " within the range of doubles, not " + shown(field.text));
  if (role == 2 && !(value > 0.0))
    return refused(LineError::not_positive, "a positive " + what() + ", not " + shown(field.text));
  if (role == 2 && !(value >= options.width_low && value <= options.width_high))
    return refused(LineError::out_of_range,
                   with_article(what()) + " from " + shortest(options.width_low) + " to " +
                       shortest(options.width_high) + ", not " + shown(field.text));
  if (role == 1) return FieldRead{value, {}};
  const double scaled = role == 0 ? value * options.frequency_scale : value / options.width_divisor;
  if (!std::isfinite(scaled) || (role == 2 && !(scaled > 0.0)))
    return refused(std::isfinite(scaled) ? LineError::not_positive : LineError::out_of_range,
                   with_article(what()) + " that stays " +
                       (role == 2 ? "finite and positive" : "finite") + " once scaled, not " +
                       shown(field.text));
  return FieldRead{scaled, {}};
}

}  // namespace

LineListRead read_columns(std::string_view text, const LineListOptions& options) {
  const ColumnLayout& layout = options.columns;
  LineListRead result;
  const int numbers[3] = {layout.frequency, layout.intensity, layout.width};
  const int roles = layout.width > 0 ? 3 : 2;
  const auto wanted = static_cast<std::size_t>(*std::max_element(numbers, numbers + roles));

  constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
  std::size_t skipped = 0;
  if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark) skipped = kByteOrderMark.size();

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

    split_fields(line, wanted, fields);
    if (fields.empty()) continue;
    if (std::exchange(first_with_fields, false) && !holds_a_number(line)) {
      const std::size_t first = line.find_first_not_of(" \t");
      const std::size_t last = line.find_last_not_of(" \t");
      result.notes.push_back(LineListNote{
          line_number, "skipped the header row " + shown(line.substr(first, last + 1 - first))});
      continue;
    }

    double values[3] = {0.0, 0.0, 0.0};
    for (int role = 0; role < roles; ++role) {
      const auto index = static_cast<std::size_t>(numbers[role] - 1);
      if (index >= fields.size()) {
        result.error = LineListError{
            LineError::missing_field, line_number, offset + line.size() + 1,
            std::to_string(numbers[role]) + " fields (the " + role_name(role) + " is field " +
                std::to_string(numbers[role]) + "), not " + std::to_string(fields.size())};
        return result;
      }
      FieldRead read = read_field(fields[index], role, numbers[role], options);
      if (read.error) {
        result.error = std::move(read.error);
        result.error->line = line_number;
        result.error->column = offset + fields[index].column;
        return result;
      }
      values[role] = read.value;
    }
    result.table.push_back(Peak{values[0], values[1]});
    if (roles == 3) result.table.width.push_back(values[2]);
  }
  return result;
}

}  // namespace broaden
