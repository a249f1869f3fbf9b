#include "docstrings.h"

#include <stdexcept>
#include <string_view>
#include <vector>

#include "line_shapes/line_profiles.h"
#include "records/line_list_formats.h"

namespace broaden::docstrings {
namespace {

// The names as Python writes strings, one after the other, the first followed by `first_mark`:
//   {"area", "height"}, " (default)" -> "\"area\" (default) or \"height\""
std::string quoted_list(const std::vector<std::string_view>& names,
                        std::string_view first_mark = "") {
  std::string text;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (i > 0) text += i + 1 == names.size() ? " or " : ", ";
    text += '"' + std::string(names[i]) + '"';
    if (i == 0) text += first_mark;
  }
  return text;
}

// The words of `text` (split at blanks) filled greedily into lines of at most `width`
// characters, each begun by `indent`, without a last line end.
std::string filled_lines(std::string_view text, std::size_t width, std::string_view indent) {
  std::string lines, line(indent);
  while (!text.empty()) {
    const std::size_t end = std::min(text.find(' '), text.size());
    const std::string_view word = text.substr(0, end);
    text.remove_prefix(std::min(end + 1, text.size()));
    if (line.size() > indent.size() && line.size() + 1 + word.size() > width) {
      lines += line + '\n';
      line = indent;
    }
    if (line.size() > indent.size()) line += ' ';
    line += word;
  }
  return lines + line;
}

// `text` with its one `slot` replaced by `value`.
std::string with_slot(std::string text, std::string_view slot, std::string_view value) {
  const std::size_t at = text.find(slot);
  if (at == std::string::npos) throw std::logic_error("a docstring has no " + std::string(slot));
  return text.replace(at, slot.size(), value);
}

template <class Rows>
std::vector<std::string_view> names_of(const Rows& rows) {
  std::vector<std::string_view> names;
  for (const auto& row : rows) names.push_back(row.name);
  return names;
}

}  // namespace

std::string spectrum() {
  const std::string text =
      with_slot(kSpectrum, "{shapes}", quoted_list(names_of(kLineShapes), " (default)"));
  return with_slot(text, "{normalisations}", quoted_list(names_of(kNormalisations), " (default)"));
}

std::string read() {
  const std::string_view text = kRead, slot = "{other formats}";
  // The entry of `input`, up to the slot: the formats it already names are not listed again.
  const std::size_t at = text.find(slot);
  const std::string_view entry = text.substr(0, at).substr(text.rfind("\ninput : ", at));
  std::vector<std::string_view> others;
  for (const std::string_view name : names_of(input_formats())) {
    if (entry.find('"' + std::string(name) + '"') == std::string_view::npos) others.push_back(name);
  }
  return with_slot(
      std::string(text), slot,
      filled_lines(quoted_list(others) + ". Formats added to broaden-batch are read here too.", 76,
                   "    "));
}

}  // namespace broaden::docstrings
