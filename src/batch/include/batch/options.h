// The command line of broaden-batch -> what to do, checked.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "batch/compare.h"
#include "batch/header_fields.h"
#include "batch/plot.h"
#include "line_shapes/line_profiles.h"
#include "numbers/decimal_scan.h"
#include "records/columns_reader.h"

namespace broaden {

/// The spectra a quantum-chemistry output can give, by --spectrum's names
/// (their table: spectrum_kinds.h).
enum class SpectrumKind { ir, raman, uv, ecd, vcd };
/// The units of an axis (spectrum_kinds.h): wavenumbers, energies, wavelengths.
enum class AxisUnit { per_centimetre, electronvolt, nanometre, micrometre };
/// Which rotatory strength an ecd spectrum is drawn from.
enum class RotatoryForm { velocity, length };
enum class GridKind { classic_default, step, points };
enum class OutputFormat { tsv, csv, classic };

/// How an overlay is drawn against the computed curve, by --overlay-scale.
enum class OverlayScale { axis, max };
struct OverlayScaleRow {
  OverlayScale scale;
  std::string_view name;
  std::string_view help;
};
inline constexpr OverlayScaleRow kOverlayScales[] = {
    {OverlayScale::axis, "axis", "on its own right axis"},
    {OverlayScale::max, "max", "scaled to the computed curve's largest intensity"},
};

/// The picture --plot asks for, checked.
struct PlotOptions {
  std::string file;                    ///< empty: no picture
  const PlotFormat* format = nullptr;  ///< from the file's suffix
  int width = 1200;                    ///< in the format's unit (pixels, or points for pdf)
  int height = 700;
  std::optional<bool> reverse;  ///< --plot-reverse / --no-plot-reverse; else the axes' own
  std::optional<bool> sticks;   ///< --plot-sticks / --no-plot-sticks; else the axes' own
  std::string title;
  std::string overlay;           ///< empty: none; "-" is not taken (standard input holds the lines)
  ColumnLayout overlay_columns;  ///< its x and y fields, by default 1,2
  OverlayScale overlay_scale = OverlayScale::axis;
  double overlay_shift = 0.0;
  std::string overlay_label;  ///< --overlay-label; empty: the overlay's header names it
};

/// --score: the score a fit maximises, the default first.
struct ScoreRow {
  Score score;
  std::string_view name;
  std::string_view help;
};
inline constexpr ScoreRow kScores[] = {
    {Score::cosine, "cosine", "the cosine of the two curves"},
    {Score::pearson, "pearson", "their correlation coefficient"},
};

/// One parameter --fit names, with its range where given (low <= high;
/// else the default of its kind, compare_run).
struct FitAsked {
  FitParameter parameter = FitParameter::scale;
  std::optional<AxisRange> range;
};

/// The comparison --compare asks for, checked.
struct CompareOptions {
  std::string file;                ///< the measured spectrum; empty: no comparison
  ColumnLayout columns;            ///< its x and y fields, by default 1,2
  std::optional<AxisRange> range;  ///< --compare-range on the output axis
  std::string report;              ///< --report FILE; empty: none, "-": standard output
  std::vector<FitAsked> fit;       ///< --fit, in the order given
  Score score = Score::cosine;
};

/// A checked command line.
struct BatchOptions {
  /// The inputs, in the order given: line lists or quantum-chemistry
  /// outputs, summed; "-" (at most once): standard input.
  std::vector<std::string> inputs{"-"};
  /// --inputs-from FILE: a list of further inputs, one a line ("-":
  /// standard input), read at the start of the run and added after those
  /// of the command line (add_listed_inputs); empty: none.
  std::string inputs_from;
  /// --weights: one a file, each line's intensity multiplied by its file's;
  /// empty: 1 each (or the Boltzmann weights).
  std::vector<double> weights;
  /// --boltzmann T: the files weighted by their free energies at T kelvin
  /// (boltzmann_weights, spectrum_kinds.h); 0: not asked.
  double boltzmann = 0.0;
  /// --energies FILE: the table of the inputs' energies --boltzmann weighs
  /// them by (energy_table.h; "-": standard input), read at the start of the
  /// run; empty: their free energies.
  std::string energies;
  /// The input format: a row of input_formats() (line_list_formats.h) by
  /// its name, or "auto": the row that recognises the text, else columns.
  std::string input = "auto";
  /// With a quantum-chemistry output: the spectrum asked for; none: the one
  /// the file holds (refused at the run where it holds several).
  std::optional<SpectrumKind> spectrum;
  /// --from and --to were given; without them a quantum-chemistry output's
  /// grid spans its lines (default_grid_for, grid.h).
  bool range_given = false;
  /// The axis of the grid and the output (--axis); none: the spectrum's
  /// default (spectrum_kinds.h), cm-1 for a line list.
  std::optional<AxisUnit> axis;
  /// The unit of a line list's positions (--line-unit); it is broadened in
  /// eV where they are in eV, else in cm-1.
  AxisUnit line_unit = AxisUnit::per_centimetre;
  /// The unit the width options carried ("0.3eV"); none: the unit the lines
  /// are broadened in.
  std::optional<AxisUnit> width_unit;
  double shift = 0.0;          ///< added to every position (broadening unit) after --scale
  bool epsilon = false;        ///< --units epsilon or cross-section: intensities converted
  bool cross_section = false;  ///< --units cross-section (epsilon set too)
  double laser = 0.0;          ///< --laser in cm-1; 0: none
  double kelvin = 298.15;      ///< --temperature
  RotatoryForm rotatory = RotatoryForm::velocity;
  bool rotatory_given = false;  ///< --rotatory, which only ecd takes
  std::string sticks;           ///< --sticks FILE; empty: none, "-": standard output
  bool columns_given = false;   ///< --columns, which only a columns line list takes
  bool syntax_given = false;    ///< --delimiter or --decimal-comma, likewise
  ColumnLayout columns;
  double scale = 1.0;
  /// Per-line widths (in the option's measure) are divided by this to give
  /// the shape's own measure.
  double width_divisor = 1.0;

  /// The shape, its normalisation and its widths in the shape's own measure,
  /// as the shape table (line_profiles.h) converts the options: --shape
  /// lorentzian --fwhm 10 -> gamma 5. With the classic preset, sigma is the
  /// classic width.
  ProfileParameters profile;

  GridKind grid = GridKind::classic_default;
  DecimalScan from, to, step;  ///< with classic_default and step: the decimals of the grid
  std::int64_t points = 0;

  std::string output = "-";  ///< "-": standard output
  /// false: the spectrum's text is written nowhere (--plot without -o).
  bool data_output = true;
  PlotOptions plot;
  CompareOptions compare;
  bool force = false;
  OutputFormat format = OutputFormat::tsv;
  int digits = 0;  ///< significant digits; 0: the shortest that read back exactly

  bool classic = false;  ///< the classic preset

  bool quiet = false;    ///< no warnings, notes or progress on standard error
  unsigned threads = 0;  ///< 0: as many as pay, at most the processors this process may use

  /// The parameters as they were given, as the tsv comment line tells them:
  /// the shape's fields (shape=lorentzian fwhm=10 normalise=area), the
  /// grid's (from=0.1 to=2000 step=0.1; the run tells another where the grid
  /// is made to span the lines) and the rest (scale=1 units=epsilon ...);
  /// `parameters` is the three as one line.
  HeaderFields shape_fields, grid_fields, other_fields;
  std::string parameters;
};

enum class CommandAction { run, help, version, usage_error };

struct Command {
  CommandAction action = CommandAction::run;
  BatchOptions options;  ///< with run
  std::string text;      ///< help or version text, or the usage error's message
};

/// Reads and checks the command line (argv[0] is the program's name).
///
/// GNU style: `--name value`, `--name=value`, `-o FILE`, options anywhere,
/// `--` ends them. Each option may be given once; names of shapes, formats,
/// normalisations and delimiters are taken in either case ("Lorentzian").
/// Usage errors (an option given twice, an unknown option, an option without
/// its value, a flag given one, a value that is not a number, a zero, negative or non-finite
/// width, eta outside [0, 1], --points below 2, --from not below --to, a
/// step that is not positive, options that do not fit the shape or the
/// preset) come back as usage_error with a message of one line. The shape
/// options, their help and their refusals come from the shape table
/// (kLineShapes, kShapeQuantities, kNormalisations). The grid itself is
/// built later (grid.h), which refuses the rest.
///
///   {"broaden-batch", "--shape", "lorentzian", "--fwhm", "10"}
///     -> run {profile {lorentzian, gamma 5}, grid classic_default}
///   {"broaden-batch", "--fwhm", "0"}
///     -> usage_error "--fwhm must be a positive finite number, not '0'"
///   {"broaden-batch", "--force", "--force"}
///     -> usage_error "--force is given twice: give each option once"
Command parse_command_line(int argc, const char* const* argv);

}  // namespace broaden
