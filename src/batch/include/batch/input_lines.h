// The lines broaden-batch draws, from the text of its inputs: a line list's
// table, or the spectrum a quantum-chemistry output holds with its
// conversions (spectrum_kinds.h); several inputs summed by their weights.
// Pure functions over the texts: reading the files is the caller's.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "batch/energy_table.h"
#include "batch/header_fields.h"
#include "batch/messages.h"
#include "batch/options.h"
#include "records/line_table.h"

namespace broaden {

/// Why the lines could not be had: the exit status (kBatchFailed or
/// kBatchUsageError, batch.h) and the one-line message that follows
/// "broaden-batch: ".
struct BatchFailure {
  int status;
  std::string message;
};

/// An input's name as messages show it: "standard input" for "-", else the
/// name with control characters escaped (shown_input) or quoted
/// (quoted_input):
///   shown_input("a.log") -> "a.log";  quoted_input("a.log") -> "'a.log'"
std::string shown_input(const std::string& name);
std::string quoted_input(const std::string& name);

/// The lines of one input, or of several summed.
struct InputLines {
  /// The positions in the unit they are broadened in (`broadening`), after
  /// --scale and --shift; the intensities as drawn (converted with --units
  /// epsilon, times the file's weight); per-line widths where the columns
  /// give them.
  LineTable table;
  /// Empty where every intensity is a double (as always but for the
  /// extreme); else one a line: line k's intensity is table.intensity[k]
  /// times 2^intensity_exponent[k], an exponent other than 0 only where a
  /// conversion or a weight took it beyond the largest double (1e308 km/mol
  /// times 10), each product still rounded once.
  std::vector<int> intensity_exponent;
  std::optional<SpectrumKind> kind;  ///< set for an output
  AxisUnit broadening = AxisUnit::per_centimetre;
  /// ecd and vcd with --units epsilon: the curve is multiplied at each point
  /// by its wavenumber (delta epsilon over wavenumber integrates to R).
  bool times_wavenumber = false;
  /// The positions as the files print them, in `printed_unit`, before
  /// --scale and --shift (empty where the files print them differently):
  /// the sticks on that axis give them as printed.
  std::vector<double> printed;
  AxisUnit printed_unit = AxisUnit::per_centimetre;
  /// The format the input was read in, its row's name ("gaussian"); for
  /// several inputs, the first's.
  std::string_view format;
  /// The quantity of an output's curve, as the tsv header names it after
  /// "intensity=": "L/(mol*cm)", "km/mol"; empty for a line list.
  std::string intensity;
  /// The same for the sticks, each a line's area: with --units epsilon
  /// "epsilon/(L/mol/cm)*eV" (a Raman cross-section and a native quantity
  /// are what the curve's header names).
  std::string sticks_intensity;
  /// Whether the intensities were converted by --units epsilon (Raman
  /// activities only with --laser).
  bool converted_units = false;
  std::optional<double> free_energy;  ///< an output's Gibbs free energy, hartree
  /// The files' weights once summed (--weights, or the Boltzmann weights);
  /// empty where none were asked for.
  std::vector<double> weights;
};

/// The lines of the input `name` whose text is `text`, read in the format
/// options.input names (or recognised from the content with "auto"). The
/// readers' notes are added to `messages` (ReaderNote, an output's as
/// warnings; none with --quiet).
/// Throws BatchFailure: a reader's error "NAME:LINE:COLUMN: expected ...",
/// a file without the spectrum asked for, an option that does not fit the
/// input (status 2), a position that does not stay finite.
///
///   "1000 2\n", "a.txt", defaults -> {frequency {1000}, intensity {2}}
///   a Gaussian output with IR intensities, --units epsilon
///     -> intensities times kIrEpsilonPerKmPerMol, kind ir
InputLines read_input_lines(std::string_view text, const std::string& name,
                            const BatchOptions& options, std::vector<Message>& messages);

/// The inputs `reads` (of options.inputs, in that order) summed: their lines
/// one file after another, each intensity times its file's weight
/// (options.weights, or with options.boltzmann the weights of their
/// energies, boltzmann_weights: those of `energies` (--energies, taken from
/// the lowest in the table's unit, then in hartree), else their free
/// energies), each rounded once; with neither, as read.
/// Sets `header` to the inputs' fields for the tsv comment line:
///   one file: input='a.log' lines=3
///   two files: input='a.log' weight=1 input='b.log' weight=1 lines=6
///   --weights 0.7,0.3: input='a.log' weight=0.7 input='b.log' weight=0.3 lines=6
///   --boltzmann: input='a.log' free_energy=-382.1 weight=0.9 relative_energy=0kcal/mol ...
///   --energies (kJ/mol): input='a.log' energy=-1.5kJ/mol weight=0.6 relative_energy=0kJ/mol ...
/// (relative_energy: above the lowest, in the table's unit or kcal/mol).
/// Throws BatchFailure when the files give different kinds of spectrum (or
/// mix line lists and outputs), or with --boltzmann but no `energies` when
/// one holds no free energy.
///
/// Messages are added to `messages` (none with --quiet): with --boltzmann
/// the populations (Populations), and with `energies` where outputs hold
/// free energies too that the table's are used (TableEnergiesUsed); warnings
/// of a file without lines (an empty list, a wrong file: its spectrum is
/// zero), a file named more than once (its lines count each time), and
/// with --boltzmann a file whose weight is 0 (its energy so far above the
/// lowest that it is likely another molecule's).
InputLines summed_inputs(std::vector<InputLines> reads, const BatchOptions& options,
                         HeaderFields& header, std::vector<Message>& messages,
                         const InputEnergies* energies = nullptr);

/// The axis the spectrum is drawn on: --axis, else the spectrum's default
/// (nm for uv and ecd, cm-1 for ir, raman and vcd), else the line list's unit.
AxisUnit axis_of(const InputLines& lines, const BatchOptions& options) noexcept;

/// The lines as drawn on `axis`: positions converted from the broadening
/// unit (the printed decimals where the axis is the files' unit and neither
/// --scale nor --shift moved them), intensities as drawn (for ecd and vcd
/// with --units epsilon times the line's wavenumber; infinite where beyond the
/// largest double).
///   uv lines at 4 eV, axis nm -> position 309.96...
struct Sticks {
  std::vector<double> position, intensity;
};
Sticks sticks_of(const InputLines& lines, const BatchOptions& options, AxisUnit axis);

}  // namespace broaden
