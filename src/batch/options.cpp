#include "batch/options.h"

#include <CLI/CLI.hpp>
#include <charconv>
#include <cmath>
#include <optional>

#include "batch/grid.h"

#ifndef BROADEN_VERSION
#error "BROADEN_VERSION must be defined by the build"
#endif

namespace broaden {
namespace {

// Thrown inside this file to end the checks with a usage error.
struct UsageError {
  std::string message;
};

// 2 sqrt(2 ln 2), the FWHM of a Gaussian of standard deviation 1, rounded
// to the nearest double.
constexpr double kFwhmPerSigma = 2.3548200450309493;

std::string quoted(const std::string& text) { return "'" + text + "'"; }

// Option values are numbers as the columns write them.
DecimalScan decimal_of(const std::string& name, const std::string& text) {
  DecimalScan number = scan_decimal(text, kColumnsGrammar);
  if (number.error != DecimalError::none || number.empty)
    throw UsageError{name + " takes a decimal number, not " + quoted(text)};
  return number;
}

double positive(const std::string& name, const std::string& text) {
  const double value = scan_to_double(decimal_of(name, text));
  if (!(value > 0.0) || !std::isfinite(value))
    throw UsageError{name + " must be a positive finite number, not " + quoted(text)};
  return value;
}

// A width in an option's measure divided into the shape's own measure; the
// quotient must stay positive and finite.
double converted(const std::string& name, const std::string& text, double divisor) {
  const double value = positive(name, text) / divisor;
  if (!(value > 0.0)) throw UsageError{name + " " + text + " is too small to be used"};
  return value;
}

// The shortest text that reads back as the same double: "0.1", "1e-300".
std::string shortest(double value) {
  char text[32];
  return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

std::int64_t whole_number(const std::string& name, const std::string& text) {
  std::int64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || text.empty())
    throw UsageError{name + " takes a whole number, not " + quoted(text)};
  return value;
}

ColumnLayout column_layout(const std::string& text) {
  ColumnLayout layout;
  int numbers[3] = {0, 0, 0};
  int count = 0;
  std::size_t start = 0;
  for (;;) {
    const std::size_t comma = std::min(text.find(',', start), text.size());
    const std::string part = text.substr(start, comma - start);
    const std::int64_t number = count < 3 ? whole_number("--columns", part) : 0;
    if (count == 3 || number < 1 || number > 1'000'000)
      throw UsageError{
          "--columns takes two or three field numbers from 1 up, as F,I or F,I,W, "
          "not " +
          quoted(text)};
    numbers[count++] = static_cast<int>(number);
    if (comma == text.size()) break;
    start = comma + 1;
  }
  if (count < 2 || numbers[0] == numbers[1] || numbers[0] == numbers[2] || numbers[1] == numbers[2])
    throw UsageError{"--columns takes two or three different field numbers, as F,I or F,I,W, not " +
                     quoted(text)};
  layout.frequency = numbers[0];
  layout.intensity = numbers[1];
  layout.width = numbers[2];
  return layout;
}

// The index of `value` among `names` (the enumerators' order).
int one_of(const char* option, const std::string& value, std::initializer_list<const char*> names) {
  int index = 0;
  std::string list;
  for (const char* name : names) {
    if (value == name) return index;
    list += (index == 0 ? "" : index + 1 == static_cast<int>(names.size()) ? " or " : ", ");
    list += name;
    ++index;
  }
  throw UsageError{std::string(option) + " takes " + list + ", not " + quoted(value)};
}

struct Values {
  std::string line_list = "-";
  std::string input, columns, scale, shape, fwhm, sigma, hwhm, gaussian_fwhm, lorentzian_fwhm, eta,
      normalise, from, to, step, points, output, format, digits;
  bool force = false;
  bool classic = false;
};

BatchOptions check(const CLI::App& app, const Values& v) {
  auto given = [&](const char* name) { return app.get_option(name)->count() > 0; };
  BatchOptions o;
  if (v.line_list.empty()) throw UsageError{"the line-list name is empty"};
  if (given("--output") && v.output.empty()) throw UsageError{"-o needs a file name"};
  o.line_list = v.line_list;
  o.output = v.output.empty() ? "-" : v.output;
  o.force = v.force;

  if (v.classic) {
    // The preset fixes everything but the width and where the spectrum goes.
    for (const char* name :
         {"--columns", "--scale", "--fwhm", "--hwhm", "--gaussian-fwhm", "--lorentzian-fwhm",
          "--eta", "--normalise", "--from", "--to", "--step", "--points", "--digits"}) {
      if (given(name))
        throw UsageError{std::string("--classic fixes what ") + name +
                         " would set: give it --sigma, the line list and -o only"};
    }
    if (given("--input") && v.input != "fixed")
      throw UsageError{"--classic reads the fixed line-list records: --input " + v.input +
                       " does not fit"};
    if (given("--shape") && v.shape != "gaussian")
      throw UsageError{"--classic draws Gaussians: --shape " + v.shape + " does not fit"};
    if (given("--format") && v.format != "classic")
      throw UsageError{"--classic writes the classic spectrum records: --format " + v.format +
                       " does not fit"};
    if (!given("--sigma"))
      throw UsageError{"--classic needs the width as --sigma (the standard deviation)"};
    o.classic = true;
    o.input = InputKind::fixed;
    o.format = OutputFormat::classic;
    o.sigma = positive("--sigma", v.sigma);
    o.parameters = "classic sigma=" + shortest(o.sigma);
    return o;
  }

  o.input = InputKind(one_of("--input", v.input, {"columns", "fixed"}));
  if (given("--columns")) {
    if (o.input == InputKind::fixed)
      throw UsageError{"--columns is for --input columns; the fixed records have their own layout"};
    o.columns = column_layout(v.columns);
  }
  if (given("--scale")) o.scale = positive("--scale", v.scale);
  const bool width_column = o.columns.width > 0;

  o.shape = Shape(one_of("--shape", v.shape, {"gaussian", "lorentzian", "pseudo-voigt", "voigt"}));
  o.normalise = Normalise(one_of("--normalise", v.normalise, {"area", "height"}));

  // Which width options each shape takes.
  struct WidthOption {
    const char* name;
    bool fits[4];  // gaussian, lorentzian, pseudo-voigt, voigt
  };
  static const WidthOption kWidths[] = {{"--fwhm", {true, true, true, false}},
                                        {"--sigma", {true, false, false, false}},
                                        {"--hwhm", {false, true, false, false}},
                                        {"--gaussian-fwhm", {false, false, false, true}},
                                        {"--lorentzian-fwhm", {false, false, false, true}},
                                        {"--eta", {false, false, true, false}}};
  const auto shape_index = static_cast<std::size_t>(o.shape);
  for (const WidthOption& option : kWidths) {
    if (given(option.name) && !option.fits[shape_index])
      throw UsageError{std::string(option.name) + " does not fit --shape " + v.shape +
                       (given("--shape") ? "" : " (the default)")};
  }
  if (given("--fwhm") + given("--sigma") + given("--hwhm") > 1)
    throw UsageError{"give one width: --fwhm, --sigma or --hwhm"};

  std::string widths;
  switch (o.shape) {
    case Shape::gaussian:
    case Shape::lorentzian:
    case Shape::pseudo_voigt: {
      const bool gaussian = o.shape == Shape::gaussian;
      const char* measure = given("--sigma") ? "--sigma" : given("--hwhm") ? "--hwhm" : "--fwhm";
      const std::string& text = given("--sigma") ? v.sigma : given("--hwhm") ? v.hwhm : v.fwhm;
      // From the option's measure to the shape's own one.
      const double divisor = std::string(measure) == "--fwhm"
                                 ? (o.shape == Shape::gaussian     ? kFwhmPerSigma
                                    : o.shape == Shape::lorentzian ? 2.0
                                                                   : 1.0)
                                 : 1.0;
      o.width_divisor = divisor;
      if (given(measure)) {
        const double width = converted(measure, text, divisor);
        (gaussian ? o.sigma : o.shape == Shape::lorentzian ? o.gamma : o.fwhm) = width;
        widths = std::string(measure + 2) + "=" + shortest(positive(measure, text));
      } else if (!width_column) {
        throw UsageError{gaussian                       ? "give the width: --fwhm or --sigma"
                         : o.shape == Shape::lorentzian ? "give the width: --fwhm or --hwhm"
                                                        : "give the width: --fwhm (and --eta)"};
      }
      if (width_column)
        widths = std::string("width=field ") + std::to_string(o.columns.width) + " (" +
                 (measure + 2) + ")";
      if (o.shape == Shape::pseudo_voigt) {
        if (!given("--eta")) throw UsageError{"pseudo-voigt needs --eta, the Lorentzian fraction"};
        o.eta = scan_to_double(decimal_of("--eta", v.eta));
        if (!(o.eta >= 0.0 && o.eta <= 1.0))
          throw UsageError{"--eta must lie between 0 and 1, not " + quoted(v.eta)};
        widths += " eta=" + shortest(o.eta);
      }
      break;
    }
    case Shape::voigt:
      if (width_column)
        throw UsageError{"voigt takes no width field: give --gaussian-fwhm and --lorentzian-fwhm"};
      if (!given("--gaussian-fwhm") || !given("--lorentzian-fwhm"))
        throw UsageError{"voigt needs both --gaussian-fwhm and --lorentzian-fwhm"};
      o.sigma = converted("--gaussian-fwhm", v.gaussian_fwhm, kFwhmPerSigma);
      o.gamma = converted("--lorentzian-fwhm", v.lorentzian_fwhm, 2.0);
      widths = "gaussian-fwhm=" + shortest(positive("--gaussian-fwhm", v.gaussian_fwhm)) +
               " lorentzian-fwhm=" + shortest(positive("--lorentzian-fwhm", v.lorentzian_fwhm));
      break;
  }

  // The grid: --from and --to together (else the classic range), and
  // --step or --points (else the classic step).
  if (given("--from") != given("--to")) throw UsageError{"--from and --to go together"};
  if (given("--step") && given("--points")) throw UsageError{"give --step or --points, not both"};
  o.from = given("--from") ? decimal_of("--from", v.from) : decimal_of("--from", "0.1");
  o.to = given("--to") ? decimal_of("--to", v.to) : decimal_of("--to", "2000");
  o.step = given("--step") ? decimal_of("--step", v.step) : decimal_of("--step", "0.1");
  const double from = scan_to_double(o.from);
  const double to = scan_to_double(o.to);
  std::string grid;
  if (given("--points")) {
    o.grid = GridKind::points;
    o.points = whole_number("--points", v.points);
    if (o.points < 2) throw UsageError{"--points must be at least 2, not " + quoted(v.points)};
    if (o.points > static_cast<std::int64_t>(kMaxGridPoints))
      throw UsageError{"--points must be at most " + std::to_string(kMaxGridPoints)};
    grid = "points=" + std::to_string(o.points);
  } else {
    o.grid = given("--from") || given("--step") ? GridKind::step : GridKind::classic_default;
    if (o.step.negative || o.step.digits.find_first_not_of('0') == std::string::npos)
      throw UsageError{"--step must be positive, not " + quoted(v.step)};
    grid = "step=" + shortest(scan_to_double(o.step));
  }
  if (!std::isfinite(from) || !std::isfinite(to))
    throw UsageError{"--from and --to must lie within the range of doubles"};
  if (!(from < to) && !(from == to && o.grid == GridKind::step))
    throw UsageError{"--from must be below --to"};

  o.format = OutputFormat(one_of("--format", v.format, {"tsv", "csv", "classic"}));
  if (given("--digits")) {
    if (o.format == OutputFormat::classic)
      throw UsageError{"--digits does not fit --format classic, which has four decimals"};
    const std::int64_t digits = whole_number("--digits", v.digits);
    if (digits < 1 || digits > 17)
      throw UsageError{"--digits must be from 1 to 17, not " + quoted(v.digits)};
    o.digits = static_cast<int>(digits);
  }

  o.parameters = "shape=" + v.shape + " " + widths + " normalise=" + v.normalise +
                 " from=" + shortest(from) + " to=" + shortest(to) + " " + grid +
                 " scale=" + shortest(o.scale);
  return o;
}

}  // namespace

std::string version_text() { return "broaden-batch " BROADEN_VERSION; }

Command parse_command_line(int argc, const char* const* argv) {
  CLI::App app{
      "Broadens a line list into a spectrum: each line (a frequency and an intensity) becomes a\n"
      "Gaussian, Lorentzian, pseudo-Voigt or Voigt profile, summed on a grid and written as\n"
      "text. LINE-LIST is a file, or - (or nothing) for standard input.",
      "broaden-batch"};
  app.set_version_flag("--version", version_text(), "Show the version and exit");
  app.get_formatter()->column_width(34);
  app.footer(
      "Exit status: 0 success, 1 reading or writing failed, 2 usage error.\n"
      "See broaden-batch(1) for the formats and the classic preset.");

  Values v;
  v.shape = "gaussian";
  v.normalise = "area";
  v.input = "columns";
  v.format = "tsv";
  app.add_option("LINE-LIST", v.line_list, "The line list (default: standard input)")
      ->type_name("");
  // Each option under its heading in --help.
  std::string heading;
  auto add = [&](const char* names, std::string& value, const char* text, const char* type) {
    app.add_option(names, value, text)->type_name(type)->group(heading);
  };
  heading = "Input";
  add("--input", v.input, "columns (default) or fixed (the classic records)", "KIND");
  add("--columns", v.columns, "Fields of frequency, intensity, width (default 1,2)", "F,I[,W]");
  add("--scale", v.scale, "Multiply every frequency by F", "F");

  heading = "Line shape and width";
  add("--shape", v.shape, "gaussian (default), lorentzian, pseudo-voigt or voigt", "SHAPE");
  add("--fwhm", v.fwhm, "Full width at half maximum", "W");
  add("--sigma", v.sigma, "Gaussian standard deviation", "S");
  add("--hwhm", v.hwhm, "Lorentzian half width at half maximum", "H");
  add("--gaussian-fwhm", v.gaussian_fwhm, "Voigt: FWHM of the Gaussian part", "G");
  add("--lorentzian-fwhm", v.lorentzian_fwhm, "Voigt: FWHM of the Lorentzian part", "L");
  add("--eta", v.eta, "Pseudo-Voigt: Lorentzian fraction, 0 to 1", "E");
  add("--normalise,--normalize", v.normalise,
      "area (default): each line's integral is its intensity; height: its maximum", "HOW");

  heading = "Grid (default: 0.1 to 2000 by 0.1)";
  add("--from", v.from, "First abscissa", "A");
  add("--to", v.to, "Last abscissa (the last point is not above it)", "B");
  add("--step", v.step, "Step, in exact decimals", "S");
  add("--points", v.points, "Number of points, A and B included", "N");

  heading = "Output";
  add("-o,--output", v.output, "Write to FILE (default: standard output)", "FILE");
  app.add_flag("--force", v.force, "Replace FILE if it exists")->group(heading);
  add("--format", v.format, "tsv (default), csv or classic", "FORMAT");
  add("--digits", v.digits, "Significant digits (default: the shortest exact)", "N");
  app.add_flag("--classic", v.classic,
               "The classic preset: fixed records, Gaussians of --sigma, the classic grid and "
               "records")
      ->group(heading);

  Command command;
  try {
    app.parse(argc, argv);
    command.options = check(app, v);
  } catch (const CLI::CallForHelp&) {
    command.action = CommandAction::help;
    command.text = app.help();
  } catch (const CLI::CallForVersion&) {
    command.action = CommandAction::version;
    command.text = version_text() + "\n";
  } catch (const CLI::ParseError& error) {
    command.action = CommandAction::usage_error;
    command.text = error.what();
  } catch (const UsageError& error) {
    command.action = CommandAction::usage_error;
    command.text = error.message;
  }
  return command;
}

}  // namespace broaden
