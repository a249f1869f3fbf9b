// The table of energies --energies reads, for --boltzmann where the inputs
// hold no free energy (the tables conformer searches print): a file name
// and its energy a line, the unit named in the table's header, each input
// found in it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "batch/spectrum_kinds.h"

namespace broaden {

/// The energies of the inputs as a table gives them.
struct InputEnergies {
  std::string table;                    ///< the table's name as given ("-": standard input)
  const EnergyUnitRow* unit = nullptr;  ///< a row of kEnergyUnits
  std::vector<double> energy;           ///< one an input, in `unit`, the double nearest the row's
};

/// The energies of `inputs` (as the command line and --inputs-from give
/// them) from the table `text`, named `table`.
///
/// The table: one row a line, a file name and its energy; blank lines and
/// lines whose first character other than a blank is '#' are skipped. Where
/// a line holds a tab its fields are apart by tabs (a name may then hold
/// blanks), otherwise by blanks; each row has two fields. The unit is named
/// before the first row, by a '#' line or by a header row (the first line
/// that is not a comment, where its last field does not start as a number
/// does, with a digit, a sign or a point), by one of the names of
/// kEnergyUnits in any case, standing apart from letters and digits:
/// "# file energy/kcal/mol", "file  energy(kJ/mol)", "name\tE [Eh]". A '#'
/// line naming no unit is a comment.
///
/// A row's name matches the input of that name as given; a name without a
/// '/' that no input has matches the one input whose last path component it
/// is ("conf1.out" for "run/conf1.out"), and is refused where several are.
///
/// Throws BatchFailure (status 1) "TABLE:LINE: ..." where the table names
/// no unit before its first row (at that row, or at the header row naming
/// none), names two, a line names two, a row has not two fields or its
/// energy is not a finite decimal number, a row names no input, or a second
/// row names an input (naming the first's line); "TABLE gives no energy for
/// 'NAME'" for an input without a row.
///
///   "# file energy/kcal/mol\na.log -1.5\nb.log 0\n", inputs {"b.log", "a.log"}
///     -> {unit kcal/mol, energy {0, -1.5}}
///   "a.log 1\n" -> "TABLE:1: the table names no unit of energy before its first row ..."
InputEnergies input_energies(std::string_view text, const std::string& table,
                             const std::vector<std::string>& inputs);

}  // namespace broaden
