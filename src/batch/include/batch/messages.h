// What a run of broaden-batch has to say besides its output: its notes and
// warnings as data, each a kind and its values, rendered to text only where
// they are shown (on standard error, or as the Python module's notes).
#pragma once

#include <cstddef>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "batch/options.h"
#include "batch/spectrum_kinds.h"

namespace broaden {

/// A reader's word on a line of an input: a line list's note, or a
/// quantum-chemistry output's (imaginary modes left out...), or the
/// overlay's. `input` as given ("-" for standard input).
struct ReaderNote {
  std::string input;
  std::size_t line = 0;
  std::string text;
  bool warning = false;  ///< an output's notes are warnings: lines were left out
};
/// Raman activities with --units epsilon but no --laser: nothing converted.
struct RamanWithoutLaser {};
/// Raman cross-sections asked for as --units epsilon, which still gives them.
struct EpsilonCrossSections {};
/// An input that holds no lines.
struct NoLines {
  std::string input;
};
/// An input named again: its lines count each time.
struct GivenTwice {
  std::string input;
};
/// A file whose Boltzmann weight is 0, its free energy `above` hartree
/// above the lowest at `kelvin`.
struct WeighsNothing {
  std::string input;
  double kelvin = 0.0, above = 0.0;
};
/// The Boltzmann populations of the inputs (--boltzmann): each input's
/// energy as read (its free energy in hartree, or the table's value in
/// `unit`), its energy above the lowest in `unit`, and its weight; by the
/// energies of the table `table` (--energies), or (empty) by the free
/// energies the outputs hold, shown in kShownEnergyUnit. The one message of
/// several lines.
struct Populations {
  struct Row {
    std::string input;
    double energy = 0.0, above = 0.0, weight = 0.0;
  };
  double kelvin = 0.0;
  std::string table;
  const EnergyUnitRow* unit = &kShownEnergyUnit;
  std::vector<Row> rows;
};
/// The energies of the table `table` weigh the inputs, though `outputs` of
/// them hold a free energy.
struct TableEnergiesUsed {
  std::string table;
  std::size_t outputs = 0;
};
/// Lines outside the grid (but those of zero intensity), whose ends are
/// told as written (`first`, `last`).
struct LinesOutside {
  std::size_t outside = 0, lines = 0;
  std::string first, last;
};
/// A grid whose largest step exceeds a quarter of the narrowest full width.
struct CoarseGrid {
  double step = 0.0, narrowest = 0.0;
  AxisUnit axis = AxisUnit::per_centimetre;
};
/// Values beyond the largest double, written as inf: points of the
/// spectrum, or lines' intensities (`lines`).
struct BeyondDoubles {
  std::size_t count = 0, of = 0;
  bool lines = false;
};
/// A picture of a spectrum that is zero everywhere: only its axes are drawn.
struct BlankPicture {};
/// Points of the overlay (shifted) outside the grid's ends, told as
/// written (`first`, `last`): they lie beyond the picture.
struct OverlayOutside {
  std::size_t outside = 0, points = 0;
  std::string first, last;
};
/// A grid the run made itself (no --from, --to, --step or --points) of more
/// than kLargeGrid points; `wavelengths` where a micrometre axis would do.
struct LargeGrid {
  std::size_t points = 0;
  bool wavelengths = false;
};
/// What --compare found: over which range of the axis and how many points,
/// the score (`score`, with its value before a fit), the values fitted with
/// the unit of each (none for scale), and for a signed spectrum the ESI and
/// its verdict.
struct Compared {
  std::string experiment;
  double first = 0.0, last = 0.0;
  std::size_t points = 0;
  AxisUnit axis = AxisUnit::per_centimetre;
  Score score = Score::cosine;
  std::optional<double> after, before;
  struct Value {
    FitParameter parameter;
    double value;
    std::optional<AxisUnit> unit;
  };
  std::vector<Value> fitted;
  std::optional<Enantiomer> enantiomer;
  bool fit = false;
};
/// The drawing program's own first words on a picture it drew.
struct DrawingNote {
  std::string text;
};

using Message =
    std::variant<ReaderNote, RamanWithoutLaser, EpsilonCrossSections, NoLines, GivenTwice,
                 WeighsNothing, LinesOutside, CoarseGrid, BeyondDoubles, BlankPicture,
                 OverlayOutside, LargeGrid, DrawingNote, Compared, Populations, TableEnergiesUsed>;

/// Whether `message` is a warning (else a note).
bool is_warning(const Message& message) noexcept;

/// The text of `message`, one line without its end and without the
/// program's "broaden-batch: note: " before it (Populations: several lines
/// apart by "\n", each a note); names escaped or quoted as messages show
/// them:
///   ReaderNote{"a.txt", 3, "a blank line"} -> "a.txt:3: a blank line"
///   NoLines{"b.log"} -> "'b.log' holds no lines: it adds nothing to the spectrum"
///   Compared{...} -> "compared with exp.csv over 400 to 4000 cm-1 (1801 points): cosine 0.912
///     (0.801 before the fit), scale 0.9612, fwhm 12.3 cm-1"
///   LargeGrid{746428, true} -> "the grid spanning the lines has 746428 points: give --step
///     or --points for fewer (--axis um draws wavelengths in micrometres)"
///   Populations{298.15, "", kcal/mol, {{"a.log", -382, 0, 0.9}, {"bb.log", -381.99, 1.36, 0.1}}}
///     -> "Boltzmann populations at 298.15 K, by the outputs' free energies (energy above the
///        lowest, weight):\n  'a.log'   0.000 kcal/mol  0.9000\n  'bb.log'  1.360 kcal/mol  0.1000"
std::string message_text(const Message& message);

/// Writes each of `messages` (each line of one) as a line of standard error,
/// "broaden-batch: note: TEXT" or "broaden-batch: warning: TEXT"; nothing
/// with `quiet`.
void write_messages(std::span<const Message> messages, bool quiet, std::ostream& err);

}  // namespace broaden
