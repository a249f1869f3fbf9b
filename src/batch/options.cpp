#include "batch/options.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <array>
#include <iterator>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "batch/option_rules.h"
#include "batch/option_values.h"
#include "batch/output_formats.h"
#include "batch/spectrum_kinds.h"
#include "records/line_list_formats.h"

#ifndef BROADEN_VERSION
#error "BROADEN_VERSION must be defined by the build"
#endif

// The command line as CLI11 reads it: each option registered under its
// handle (option_rules.h) with its help, the help text, and CLI11's errors
// in this program's words. The rules between the options are option_rules.cpp's.

namespace broaden {
namespace {

std::string version_text() { return "broaden-batch " BROADEN_VERSION; }

// Each option as CLI11 holds it, by handle: what the command line gave.
struct Registered {
  std::array<CLI::Option*, kOptionCount> options{};
  std::array<CLI::Option*, std::size(kShapeQuantities)> quantities{};

  Given given() const {
    Given given;
    for (std::size_t i = 0; i < options.size(); ++i) {
      if (options[i]->count() > 0) given.set(kOptions[i].option);
    }
    for (std::size_t i = 0; i < quantities.size(); ++i) {
      if (quantities[i]->count() > 0) given.set_quantity(i);
    }
    return given;
  }
};

// Registers options under a heading of --help.
class Registrar {
 public:
  Registrar(CLI::App& app, Registered& registered) : app_(app), registered_(registered) {}
  void heading(std::string heading) { heading_ = std::move(heading); }
  void option(Option option, std::string& value, const std::string& help, const char* type) {
    slot(option) = app_.add_option(names(option), value, help)->type_name(type)->group(heading_);
  }
  void flag(Option option, bool& value, const std::string& help) {
    slot(option) = app_.add_flag(names(option), value, help)->group(heading_);
  }
  void quantity(std::size_t row, std::string& value) {
    const ShapeQuantity& quantity = kShapeQuantities[row];
    registered_.quantities.at(row) =
        app_.add_option(option_of(quantity.name), value, std::string(quantity.help))
            ->type_name(std::string(quantity.symbol))
            ->group(heading_);
  }

 private:
  static std::string names(Option option) {
    return std::string(kOptions[static_cast<std::size_t>(option)].names);
  }
  CLI::Option*& slot(Option option) {
    return registered_.options.at(static_cast<std::size_t>(option));
  }

  CLI::App& app_;
  Registered& registered_;
  std::string heading_;
};

// `text` cut into lines of at most `width` characters at its blanks.
std::string wrapped(const std::string& text, std::size_t width) {
  std::string result, line;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = std::min(text.find(' ', start), text.size());
    const std::string word = text.substr(start, end - start);
    if (!line.empty() && line.size() + 1 + word.size() > width) {
      result += line + "\n";
      line.clear();
    }
    line += (line.empty() ? "" : " ") + word;
    start = end + 1;
  }
  return result + line;
}

// Rows and their help, the first the default: "a (default): first; b: second".
template <class Rows>
std::string helped(const Rows& rows) {
  std::string text;
  for (const auto& row : rows) {
    text += std::string(text.empty() ? "" : "; ") + std::string(row.name) +
            (text.empty() ? " (default)" : "") + ": " + std::string(row.help);
  }
  return text;
}

std::string name_of_row(const auto& row) { return std::string(row.name); }

void add_input_options(Registrar& add, Values& v) {
  add.heading("Input");
  std::vector<std::string> inputs{"auto (default: recognised from the content, else columns)"};
  for (const LineListFormat& row : input_formats()) inputs.emplace_back(row.summary);
  add.option(Option::input, v.input, listed(inputs, " or "), "KIND");
  add.option(Option::columns, v.columns, "Fields of frequency, intensity, width (default 1,2)",
             "F,I[,W]");
  add.option(Option::scale, v.scale, "Multiply every frequency by F", "F");
  add.option(Option::delimiter, v.delimiter,
             "Fields apart by " + listed(names_default_first(kDelimiters), " or "), "HOW");
  add.flag(Option::decimal_comma, v.decimal_comma,
           "Numbers written 1000,5 (then blanks or semicolons separate)");
  add.option(Option::line_unit, v.line_unit,
             "The unit of a line list's positions: " + listed(names_default_first(kAxes), " or "),
             "UNIT");
}

// --axis's help: the axes and each one's spectra by default, from their tables.
std::string axis_help() {
  std::vector<std::string> defaults;
  for (const AxisRow& axis : kAxes) {
    std::vector<std::string> kinds;
    for (const SpectrumKindRow& kind : kSpectrumKinds) {
      if (kind.default_axis == axis.unit) kinds.emplace_back(kind.name);
    }
    if (!kinds.empty())
      defaults.push_back(std::string(axis.name) + " for " + listed(kinds, " and "));
  }
  return listed(names_of(kAxes, name_of_row<AxisRow>), " or ") +
         " (default: " + listed(defaults, ", ") + ")";
}

// --units's help: each unit, then the units each kind takes, from their tables:
// "...: ir, uv and ecd take native or epsilon, raman native or cross-section".
std::string units_help() {
  std::vector<std::string> units;
  for (const UnitsRow& row : kUnits)
    units.push_back(std::string(row.name) + " (" + (units.empty() ? "default: " : "") +
                    std::string(row.note) + ")");
  std::vector<std::string> groups;
  for (const bool raman : {false, true}) {
    std::vector<std::string> kinds, taken;
    for (const SpectrumKindRow& kind : kSpectrumKinds) {
      if ((kind.kind == SpectrumKind::raman) == raman) kinds.emplace_back(kind.name);
    }
    for (const UnitsRow& row : kUnits) {
      if (raman ? row.raman : row.others) taken.emplace_back(row.name);
    }
    groups.push_back(listed(kinds, " and ") + (groups.empty() ? " take " : " ") +
                     listed(taken, " or "));
  }
  return listed(units, " or ") + ": " + listed(groups, ", ");
}

void add_spectrum_options(Registrar& add, Values& v) {
  add.heading("Spectra of quantum-chemistry outputs");
  add.option(Option::spectrum, v.spectrum,
             listed(names_of(kSpectrumKinds, name_of_row<SpectrumKindRow>), " or ") +
                 " (default: the one the file holds)",
             "KIND");
  add.option(Option::axis, v.axis, axis_help(), "UNIT");
  add.option(Option::units, v.units, units_help(), "HOW");
  add.option(Option::laser, v.laser,
             "Raman with --units cross-section: the laser, as 532nm or 18796.99cm-1", "L");
  add.option(Option::temperature, v.temperature,
             "Raman: kelvin (default " + shortest(BatchOptions{}.kelvin) + ")", "T");
  add.option(Option::rotatory, v.rotatory,
             std::string(spectrum_kind_row(SpectrumKind::ecd).name) + ": " +
                 listed(names_default_first(kRotatoryForms), " or "),
             "FORM");
  add.option(Option::shift, v.shift,
             "Add X to every position (in the broadening unit) after --scale", "X");
  add.option(Option::sticks, v.sticks,
             "Write the lines as drawn to FILE (tsv; - for standard output)", "FILE");

  add.heading("Several inputs");
  add.option(Option::inputs_from, v.inputs_from,
             "Read further inputs from FILE, one name a line (- for standard input), after "
             "those of the command line",
             "FILE");
  add.option(Option::weights, v.weights, "Each file's weight, one a file (default 1 each)",
             "W1,W2,...");
  add.option(Option::boltzmann, v.boltzmann,
             "Weight the files by their Gibbs free energies at T kelvin, normalised to 1", "T");
  add.option(Option::energies, v.energies,
             "With --boltzmann: the files' energies from FILE, a name and an energy a line, the "
             "unit in its header (- for standard input)",
             "FILE");
}

// The shape options and their help, from the shape table.
void add_shape_options(Registrar& add, Values& v) {
  add.heading("Line shape and width");
  add.option(Option::shape, v.shape, listed(names_default_first(kLineShapes), " or "), "SHAPE");
  for (std::size_t i = 0; i < std::size(kShapeQuantities); ++i) add.quantity(i, v.quantities[i]);
  add.option(Option::normalise, v.normalise, helped(kNormalisations), "HOW");
  add.option(Option::cutoff, v.cutoff,
             "Cut each line's wings at N of its full widths (default: never; the manual "
             "states the bound)",
             "N");
}

void add_grid_and_output_options(Registrar& add, Values& v) {
  add.heading("Grid (default: " + std::string(kDefaultFrom) + " to " + std::string(kDefaultTo) +
              " by " + std::string(kDefaultStep) + "; for an output, spanning its lines)");
  add.option(Option::from, v.from, "First abscissa", "A");
  add.option(Option::to, v.to, "Last abscissa (the last point is not above it)", "B");
  add.option(Option::step, v.step, "Step, in exact decimals", "S");
  add.option(Option::points, v.points, "Number of points, A and B included", "N");

  add.heading("Output");
  add.option(Option::output, v.output, "Write to FILE (default: standard output)", "FILE");
  add.flag(Option::force, v.force, "Replace FILE if it exists");
  add.option(
      Option::format, v.format,
      listed(names_of(spectrum_formats(), [](const auto& row) { return row.summary; }), " or "),
      "FORMAT");
  add.option(Option::digits, v.digits, "Significant digits (default: the shortest exact)", "N");
}

void add_picture_options(Registrar& add, Values& v) {
  add.heading("Picture (drawn by gnuplot)");
  add.option(
      Option::plot, v.plot,
      "Draw the spectrum into FILE, a " + plot_suffixes() + " (without -o, no text is written)",
      "FILE");
  std::vector<std::string> in_points;
  for (const PlotFormat& row : kPlotFormats) {
    if (row.unit == PlotSizeUnit::points) in_points.emplace_back(row.suffix);
  }
  const PlotOptions defaults;
  add.option(Option::plot_size, v.plot_size,
             "Its size in pixels, points for " + listed(in_points, " and ") + " (default " +
                 std::to_string(defaults.width) + "," + std::to_string(defaults.height) + ")",
             "W,H");
  add.option(Option::title, v.title, "Its title", "TEXT");
  add.flag(Option::plot_reverse, v.plot_reverse,
           "Draw the abscissae from high to low (the default for wavenumbers)");
  add.flag(Option::no_plot_reverse, v.no_plot_reverse, "Draw them from low to high");
  add.flag(Option::plot_sticks, v.plot_sticks, "Draw the lines as sticks on a right axis");
  add.flag(Option::no_plot_sticks, v.no_plot_sticks, "Leave the sticks out");
  add.option(Option::overlay, v.overlay, "Lay the spectrum in FILE (columns) over the computed one",
             "FILE");
  add.option(Option::overlay_columns, v.overlay_columns,
             "Its fields of abscissa and intensity (default 1,2)", "X,Y");
  add.option(Option::overlay_scale, v.overlay_scale, helped(kOverlayScales), "HOW");
  add.option(Option::overlay_shift, v.overlay_shift, "Add X to its every abscissa", "X");
  add.option(Option::overlay_label, v.overlay_label,
             "Its axis's label, its quantity (default: its header's)", "TEXT");
}

void add_compare_options(Registrar& add, Values& v) {
  add.heading("Comparison with a measured spectrum");
  add.option(Option::compare, v.compare,
             "Score the computed spectrum against the one in FILE (columns) on its grid", "FILE");
  add.option(Option::compare_columns, v.compare_columns,
             "Its fields of abscissa and intensity (default 1,2)", "X,Y");
  add.option(Option::compare_range, v.compare_range, "Compare only from A to B on the output axis",
             "A,B");
  add.option(Option::report, v.report, "Write the scores and the fit as JSON to FILE (- stdout)",
             "FILE");
  add.option(Option::fit, v.fit,
             "Fit scale, shift and/or fwhm, each in a range: scale=0.9:1.1,fwhm=2:60", "LIST");
  add.option(Option::score, v.score, helped(kScores), "NAME");
}

// Every option, in the order of --help; each at most once, and flags
// without values: refused by check_repeats and command_line_error, in this
// program's words.
Registered add_options(CLI::App& app, Values& v) {
  app.add_option("LINE-LIST", v.inputs,
                 "The line lists or outputs, summed (default: standard input)")
      ->type_name("");
  Registered registered;
  Registrar add(app, registered);
  add_input_options(add, v);
  add_spectrum_options(add, v);
  add_shape_options(add, v);
  add_grid_and_output_options(add, v);
  add_picture_options(add, v);
  add_compare_options(add, v);
  add.heading("Output");
  add.flag(Option::classic, v.classic,
           "The classic preset: fixed records, Gaussians of --sigma, the classic grid and records");
  add.heading("Run");
  add.option(Option::threads, v.threads,
             "Threads to compute with (default: the processors it may use)", "N");
  add.flag(Option::quiet, v.quiet, "No warnings, notes or progress on standard error");
  if (std::find(registered.options.begin(), registered.options.end(), nullptr) !=
      registered.options.end())
    throw std::logic_error("an option of kOptions without its registration");
  for (CLI::Option* option : app.get_options()) {
    option->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    if (option->get_expected_min() == 0) option->disable_flag_override();
  }
  return registered;
}

std::string description() {
  const auto titles =
      names_of(kLineShapes, [](const LineShapeRow& row) { return std::string(row.title); });
  return wrapped(
      "Broadens a line list into a spectrum: each line (a frequency and an intensity) becomes a " +
          listed(titles, " or ") +
          " profile, summed on a grid and written as text. Each LINE-LIST is a line list or "
          "the output of a quantum-chemistry program, several summed, or - (or nothing) for "
          "standard input.",
      88);
}

// Each option at most once: the first given more often, in the order of the help.
void check_repeats(const CLI::App& app) {
  for (const CLI::Option* option : app.get_options()) {
    const std::size_t count = option->count();
    if (count < 2) continue;
    const std::string name =
        option->get_lnames().empty() ? option->get_name() : "--" + option->get_lnames().front();
    if (option->get_lnames().empty() && option->get_snames().empty()) continue;  // the inputs
    throw UsageError{name + " is given " +
                     (count == 2 ? std::string("twice") : std::to_string(count) + " times") +
                     ": give each option once"};
  }
}

// The refusal of a command line CLI11 could not read, in this program's
// words: which argument is at fault, found again in `argv`.
std::string command_line_error(CLI::App& app, const CLI::ParseError& error, int argc,
                               const char* const* argv) {
  if (dynamic_cast<const CLI::ExtrasError*>(&error) != nullptr && app.remaining_size() > 0) {
    const std::string extra = app.remaining().front();
    return "unknown option " + option_quoted(extra.substr(0, extra.find('=')));
  }
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "--") break;
    const std::size_t equals = argument.find('=');
    const bool long_form = argument.rfind("--", 0) == 0;
    const std::string name = long_form ? argument.substr(0, equals) : argument;
    const CLI::Option* option = app.get_option_no_throw(name);
    if (option == nullptr) continue;
    const bool flag = option->get_expected_min() == 0;
    const bool has_value = long_form && equals != std::string::npos;
    if (flag && has_value) return name + " takes no value";
    if (!flag && ((has_value && equals + 1 == argument.size()) || (!has_value && i + 1 == argc)))
      return name == "-o" || name == "--output" ? name + " needs a file name"
                                                : name + " needs a value";
  }
  return "cannot read the command line";
}

}  // namespace

Command parse_command_line(int argc, const char* const* argv) {
  CLI::App app{description(), "broaden-batch"};
  app.set_version_flag("--version", version_text(), "Show the version and exit");
  app.get_formatter()->column_width(34);
  app.footer(
      "Exit status: 0 success, 1 reading or writing failed, 2 usage error.\n"
      "See broaden-batch(1) for the formats and the classic preset.");
  Values v;
  const Registered registered = add_options(app, v);

  Command command;
  try {
    app.parse(argc, argv);
    check_repeats(app);
    command.options = checked_options(registered.given(), v);
  } catch (const CLI::CallForHelp&) {
    command.action = CommandAction::help;
    command.text = app.help();
  } catch (const CLI::CallForVersion&) {
    command.action = CommandAction::version;
    command.text = version_text() + "\n";
  } catch (const CLI::ParseError& error) {
    command.action = CommandAction::usage_error;
    command.text = command_line_error(app, error, argc, argv);
  } catch (const UsageError& error) {
    command.action = CommandAction::usage_error;
    command.text = error.message;
  }
  return command;
}

}  // namespace broaden
