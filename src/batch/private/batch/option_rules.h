// broaden-batch's options by handle, their values as given, and the rules
// between them: what fits what, the refusals, and the tsv parameter line.
// The command line (options.cpp) registers each option under its handle,
// reads it and hands what it read to checked_options.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "batch/options.h"
#include "line_shapes/line_profiles.h"
#include "records/columns_reader.h"

namespace broaden {

/// Every option but the shape quantities (rows of kShapeQuantities, whose
/// options their rows make), in the order --help lists them.
enum class Option {
  input,
  columns,
  scale,
  delimiter,
  decimal_comma,
  line_unit,
  spectrum,
  axis,
  units,
  laser,
  temperature,
  rotatory,
  shift,
  sticks,
  inputs_from,
  weights,
  boltzmann,
  energies,
  shape,
  normalise,
  cutoff,
  from,
  to,
  step,
  points,
  output,
  force,
  format,
  digits,
  plot,
  plot_size,
  title,
  plot_reverse,
  no_plot_reverse,
  plot_sticks,
  no_plot_sticks,
  overlay,
  overlay_columns,
  overlay_scale,
  overlay_shift,
  overlay_label,
  compare,
  compare_columns,
  compare_range,
  report,
  fit,
  score,
  classic,
  threads,
  quiet,
};

/// An option's names as the command line takes them, its long name first
/// ("--normalise,--normalize"), or a short one before it ("-o,--output").
struct OptionRow {
  Option option;
  std::string_view names;
};
inline constexpr OptionRow kOptions[] = {
    {Option::input, "--input"},
    {Option::columns, "--columns"},
    {Option::scale, "--scale"},
    {Option::delimiter, "--delimiter"},
    {Option::decimal_comma, "--decimal-comma"},
    {Option::line_unit, "--line-unit"},
    {Option::spectrum, "--spectrum"},
    {Option::axis, "--axis"},
    {Option::units, "--units"},
    {Option::laser, "--laser"},
    {Option::temperature, "--temperature"},
    {Option::rotatory, "--rotatory"},
    {Option::shift, "--shift"},
    {Option::sticks, "--sticks"},
    {Option::inputs_from, "--inputs-from"},
    {Option::weights, "--weights"},
    {Option::boltzmann, "--boltzmann"},
    {Option::energies, "--energies"},
    {Option::shape, "--shape"},
    {Option::normalise, "--normalise,--normalize"},
    {Option::cutoff, "--cutoff"},
    {Option::from, "--from"},
    {Option::to, "--to"},
    {Option::step, "--step"},
    {Option::points, "--points"},
    {Option::output, "-o,--output"},
    {Option::force, "--force"},
    {Option::format, "--format"},
    {Option::digits, "--digits"},
    {Option::plot, "--plot"},
    {Option::plot_size, "--plot-size"},
    {Option::title, "--title"},
    {Option::plot_reverse, "--plot-reverse"},
    {Option::no_plot_reverse, "--no-plot-reverse"},
    {Option::plot_sticks, "--plot-sticks"},
    {Option::no_plot_sticks, "--no-plot-sticks"},
    {Option::overlay, "--overlay"},
    {Option::overlay_columns, "--overlay-columns"},
    {Option::overlay_scale, "--overlay-scale"},
    {Option::overlay_shift, "--overlay-shift"},
    {Option::overlay_label, "--overlay-label"},
    {Option::compare, "--compare"},
    {Option::compare_columns, "--compare-columns"},
    {Option::compare_range, "--compare-range"},
    {Option::report, "--report"},
    {Option::fit, "--fit"},
    {Option::score, "--score"},
    {Option::classic, "--classic"},
    {Option::threads, "--threads"},
    {Option::quiet, "--quiet"},
};
inline constexpr std::size_t kOptionCount = std::size(kOptions);
static_assert([] {
  for (std::size_t i = 0; i < kOptionCount; ++i) {
    if (static_cast<std::size_t>(kOptions[i].option) != i) return false;
  }
  return static_cast<std::size_t>(Option::quiet) + 1 == kOptionCount;
}());

/// The long name of an option, as refusals write it: Option::normalise -> "--normalise".
constexpr std::string_view option_name(Option option) {
  std::string_view names = kOptions[static_cast<std::size_t>(option)].names;
  names.remove_prefix(names.find("--"));
  return names.substr(0, names.find(','));
}

/// The row of kShapeQuantities named `name`; a name without a row does not compile.
consteval std::size_t quantity_row(std::string_view name) {
  for (std::size_t i = 0; i < std::size(kShapeQuantities); ++i) {
    if (kShapeQuantities[i].name == name) return i;
  }
  throw "a shape quantity without a row";
}

/// --units: the file's quantity, molar absorption (epsilon) or Raman
/// cross-sections, the default first; which kinds take each (raman, or the
/// others: --help lists them). epsilon still gives Raman cross-sections with
/// --laser, with a note that cross-section names them.
struct UnitsRow {
  bool epsilon;        ///< converted (spectrum_kinds.h): BatchOptions::epsilon
  bool cross_section;  ///< BatchOptions::cross_section
  std::string_view name;
  std::string_view note;  ///< in --help, after the name
  bool raman, others;     ///< taken by raman, by the other kinds
};
inline constexpr UnitsRow kUnits[] = {
    {false, false, "native", "the file's quantity", true, true},
    {true, false, "epsilon", "L mol-1 cm-1", false, true},
    {true, true, "cross-section", "cm2 sr-1, with --laser", true, false},
};

/// --rotatory: the rotatory strengths an ecd spectrum is drawn from, the default first.
struct RotatoryRow {
  RotatoryForm form;
  std::string_view name;
};
inline constexpr RotatoryRow kRotatoryForms[] = {
    {RotatoryForm::velocity, "velocity"},
    {RotatoryForm::length, "length"},
};

/// The grid without --from, --to, --step or --points: 0.1 to 2000 by 0.1.
inline constexpr std::string_view kDefaultFrom = "0.1", kDefaultTo = "2000", kDefaultStep = "0.1";

/// Which options the command line gave, by handle.
class Given {
 public:
  bool operator()(Option option) const { return options_[static_cast<std::size_t>(option)]; }
  /// The option of the row `row` of kShapeQuantities.
  bool quantity(std::size_t row) const { return quantities_.at(row); }
  void set(Option option) { options_[static_cast<std::size_t>(option)] = true; }
  void set_quantity(std::size_t row) { quantities_.at(row) = true; }

 private:
  std::array<bool, kOptionCount> options_{};
  std::array<bool, std::size(kShapeQuantities)> quantities_{};
};

/// The option values as text (the flags as flags), as the command line gave
/// them or their defaults.
struct Values {
  std::vector<std::string> inputs;
  std::string input = "auto", columns, scale, shape{kLineShapes[0].name},
              normalise{kNormalisations[0].name}, from, to, step, points, output, format = "tsv",
              digits, delimiter{kDelimiters[0].name}, threads, cutoff, spectrum, axis, line_unit,
              units{kUnits[0].name}, laser, temperature, rotatory{kRotatoryForms[0].name}, shift,
              sticks, inputs_from, weights, boltzmann, energies;
  std::string plot, plot_size, title, overlay, overlay_columns,
      overlay_scale{kOverlayScales[0].name}, overlay_shift, overlay_label;
  std::string compare, compare_columns, compare_range, report, fit, score{kScores[0].name};
  bool plot_reverse = false, no_plot_reverse = false, plot_sticks = false, no_plot_sticks = false;
  std::array<std::string, std::size(kShapeQuantities)> quantities;  ///< of kShapeQuantities
  bool force = false;
  bool classic = false;
  bool decimal_comma = false;
  bool quiet = false;
};

/// Every rule, in the order a command line breaking several hears of the
/// first; fails with a UsageError (option_values.h). Fills in the tsv
/// parameter line ("shape=gaussian fwhm=10 normalise=area from=0.1 ...").
///   {--fwhm 10} -> {profile {gaussian, sigma 4.2466...}, grid classic_default}
///   {--fwhm 10 --sigma 4} -> "give one width: --fwhm, --sigma or --hwhm"
BatchOptions checked_options(const Given& given, Values v);

/// `o` (checked, with --inputs-from) with the names the list `list` gives
/// added after the command line's: one name a line, whole but for the line
/// end ("\n" or "\r\n"); an empty line, or one of blanks only, skipped.
/// Checked as the command line's names are: "-" once, and not at all where
/// the list itself came from standard input; --weights one a file; at least
/// one input. Fails with a UsageError.
///   inputs {"a.log"}, list "b.log\n\nc.log\n" -> inputs {"a.log", "b.log", "c.log"}
///   --inputs-from -, list "-\n" -> "--inputs-from - reads standard input: the list cannot
///     name - too"
void add_listed_inputs(BatchOptions& o, std::string_view list);

}  // namespace broaden
