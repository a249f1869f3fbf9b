#include "keywords.h"

#include "numbers/double_to_shortest.h"

namespace broaden {
namespace {

// A command-line argument cannot hold a NUL byte: it is shown as the
// refusal would show it, and refused as any other unknown name.
std::string without_nul(const std::string& text) {
  std::string kept;
  for (const char c : text) kept += c == '\0' ? std::string("\\x00") : std::string(1, c);
  return kept;
}

// `line` checked by parse_command_line.
CheckedKeywords checked_line(const std::vector<std::string>& line) {
  std::vector<const char*> argv;
  for (const std::string& argument : line) argv.push_back(argument.c_str());
  argv.push_back(nullptr);
  Command command = parse_command_line(static_cast<int>(line.size()), argv.data());
  CheckedKeywords checked;
  switch (command.action) {
    case CommandAction::run:
      checked.options = std::move(command.options);
      break;
    case CommandAction::usage_error:
      checked.error = std::move(command.text);
      break;
    case CommandAction::help:
    case CommandAction::version:
      // No keyword becomes --help or --version: every value follows "=".
      checked.error = "internal error: the keywords asked for " + line.back();
      break;
  }
  return checked;
}

}  // namespace

std::vector<std::string> command_line_of(const SpectrumKeywords& keywords,
                                         const CompareKeywords* compare) {
  std::vector<std::string> line{"broaden-batch"};
  if (keywords.shape != kLineShapes[0].name)
    line.push_back("--shape=" + without_nul(keywords.shape));
  if (keywords.normalise != kNormalisations[0].name)
    line.push_back("--normalise=" + without_nul(keywords.normalise));
  for (const auto& [name, value] : keywords.quantities)
    line.push_back("--" + name + "=" + shortest(value));
  if (keywords.line_widths) line.push_back("--columns=1,2,3");
  if (keywords.start) line.push_back("--from=" + shortest(*keywords.start));
  if (keywords.stop) line.push_back("--to=" + shortest(*keywords.stop));
  if (keywords.step) line.push_back("--step=" + shortest(*keywords.step));
  if (keywords.points) line.push_back("--points=" + std::to_string(*keywords.points));
  if (keywords.cutoff) line.push_back("--cutoff=" + shortest(*keywords.cutoff));
  if (keywords.axis) line.push_back("--axis=" + without_nul(*keywords.axis));
  if (keywords.unit != "cm-1") line.push_back("--line-unit=" + without_nul(keywords.unit));
  if (compare == nullptr) return line;
  line.push_back(std::string("--compare=") + kMeasuredName);
  if (compare->fit) line.push_back("--fit=" + without_nul(*compare->fit));
  if (compare->score) line.push_back("--score=" + without_nul(*compare->score));
  if (const auto& range = compare->range)
    line.push_back("--compare-range=" + shortest(range->first) + "," + shortest(range->second));
  return line;
}

CheckedKeywords check_keywords(const SpectrumKeywords& keywords, const CompareKeywords* compare) {
  return checked_line(command_line_of(keywords, compare));
}

std::vector<std::string> command_line_of(const ReadKeywords& keywords) {
  std::vector<std::string> line{"broaden-batch"};
  const auto text = [&](const char* name, const std::optional<std::string>& value) {
    if (value) line.push_back(std::string("--") + name + "=" + without_nul(*value));
  };
  const auto number = [&](const char* name, const std::optional<double>& value) {
    if (value) line.push_back(std::string("--") + name + "=" + shortest(*value));
  };
  if (keywords.input != "auto") line.push_back("--input=" + without_nul(keywords.input));
  text("columns", keywords.columns);
  text("spectrum", keywords.spectrum);
  text("axis", keywords.axis);
  text("units", keywords.units);
  text("laser", keywords.laser);
  number("temperature", keywords.temperature);
  text("rotatory", keywords.rotatory);
  number("scale", keywords.scale);
  number("shift", keywords.shift);
  text("line-unit", keywords.line_unit);
  if (keywords.weights) {
    std::string weights;
    for (const double weight : *keywords.weights) {
      if (!weights.empty()) weights += ',';
      weights += shortest(weight);
    }
    line.push_back("--weights=" + weights);
  }
  number("boltzmann", keywords.boltzmann);
  line.push_back("--sigma=1");
  line.push_back("--");
  for (const std::string& input : keywords.inputs)
    line.push_back(input == "-" ? std::string("./-") : without_nul(input));
  return line;
}

CheckedKeywords check_keywords(const ReadKeywords& keywords) {
  return checked_line(command_line_of(keywords));
}

}  // namespace broaden
