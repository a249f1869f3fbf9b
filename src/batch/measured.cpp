#include "batch/measured.h"

#include <algorithm>
#include <utility>

#include "batch/batch.h"
#include "batch/input_lines.h"
#include "batch/spectrum_kinds.h"
#include "records/jcamp_reader.h"
#include "records/line_list_formats.h"
#include "text/quoted.h"

namespace broaden {
namespace {

// The field `number` (from 1) of `line`, split as `delimiter` splits a
// columns line list's fields; automatic: at each comma, semicolon or tab
// where the line holds one (names may hold blanks: "T / %"), else at runs
// of blanks. Empty where it has fewer.
std::string_view field_of(std::string_view line, int number, Delimiter delimiter) {
  const bool marked = line.find_first_of(",;\t") != std::string_view::npos;
  const bool by_blanks =
      delimiter == Delimiter::blank || (delimiter == Delimiter::automatic && !marked);
  const std::string_view ends = by_blanks                           ? std::string_view(" \t")
                                : delimiter == Delimiter::automatic ? ",;\t"
                                : delimiter == Delimiter::comma     ? ","
                                : delimiter == Delimiter::semicolon ? ";"
                                                                    : "\t";
  std::size_t start = 0;
  for (int k = 1; start <= line.size(); ++k) {
    if (by_blanks) start = std::min(line.find_first_not_of(ends, start), line.size());
    const std::size_t end = std::min(line.find_first_of(ends, start), line.size());
    std::string_view field = line.substr(start, end - start);
    const std::size_t first = field.find_first_not_of(" \t");
    field = first == std::string_view::npos
                ? std::string_view()
                : field.substr(first, field.find_last_not_of(" \t") - first + 1);
    if (k == number) return field;
    if (end == line.size()) break;
    start = end + 1;
  }
  return {};
}

// The measured quantity as its file names it: the intensity's field of its
// header row (the reader's note `header` tells its line), or else of the
// comment line just before its first row ("# wavenumber absorbance").
std::string measured_quantity(std::string_view text, const ColumnLayout& layout,
                              std::size_t header) {
  std::size_t number = 0, start = 0;
  std::string_view comment;
  while (start < text.size()) {
    const std::size_t end = std::min(text.find_first_of("\r\n", start), text.size());
    std::string_view line = text.substr(start, end - start);
    ++number;
    start = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    const std::size_t first = line.find_first_not_of(" \t");
    if (first == std::string_view::npos) continue;
    if (line[first] == '#') {
      comment = line.substr(first + 1);
      continue;
    }
    const std::string_view named = number == header ? line.substr(0, line.find('#')) : comment;
    return std::string(field_of(named, layout.intensity, layout.delimiter));
  }
  return {};
}

// The failure of a measured file refused at its place.
BatchFailure refused(const std::string& name, const LineListError& error) {
  return BatchFailure{kBatchFailed, escaped(name) + ":" + std::to_string(error.line) + ":" +
                                        std::to_string(error.column) + ": expected " +
                                        error.expected};
}

AxisUnit axis_of(JcampXUnit unit) noexcept {
  switch (unit) {
    case JcampXUnit::per_centimetre:
      return AxisUnit::per_centimetre;
    case JcampXUnit::nanometre:
      return AxisUnit::nanometre;
    case JcampXUnit::micrometre:
      return AxisUnit::micrometre;
    case JcampXUnit::electronvolt:
      return AxisUnit::electronvolt;
  }
  return AxisUnit::per_centimetre;
}

// A JCAMP-DX curve, its abscissae put on `axis`.
Measured jcamp_measured(std::string_view text, const std::string& name,
                        std::optional<AxisUnit> axis, std::vector<Message>& messages) {
  JcampRead read = read_jcamp(text, JcampTable::curve);
  if (!read.error && read.curve.peak_table)
    read.error = read_error(ReadFault::layout, read.curve.table_line, 1,
                            "a measured spectrum (##XYDATA=, ##XYPOINTS=), not a ##PEAK TABLE= "
                            "(give a peak table as an input: --input jcamp)");
  if (read.error) throw refused(name, *read.error);
  const AxisUnit unit = axis_of(read.curve.x_unit);
  if (axis)
    for (double& x : read.curve.x) x = converted(x, unit, *axis);
  for (const LineListNote& note : read.curve.notes)
    messages.push_back(ReaderNote{name, note.line, note.text, false});
  return Measured{std::move(read.curve.x), std::move(read.curve.y),
                  std::move(read.curve.y_quantity), axis.value_or(unit)};
}

}  // namespace

Measured read_measured(std::string_view text, const std::string& name, const ColumnLayout& layout,
                       std::optional<AxisUnit> axis, std::vector<Message>& messages) {
  if (recognises_jcamp(past_byte_order_mark(text)))
    return jcamp_measured(text, name, axis, messages);
  LineListRead read = read_columns(text, LineListOptions{.columns = layout});
  if (read.error) throw refused(name, *read.error);
  // The reader tells a header row by its first note (columns_reader.h).
  const bool header =
      !read.notes.empty() && read.notes.front().text.starts_with("skipped the header row");
  Measured measured{std::move(read.table.frequency), std::move(read.table.intensity),
                    measured_quantity(text, layout, header ? read.notes.front().line : 0), axis};
  for (const LineListNote& note : read.notes)
    messages.push_back(ReaderNote{name, note.line, note.text, false});
  return measured;
}

}  // namespace broaden
