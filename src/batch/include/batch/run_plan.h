// One run of broaden-batch as a typed description of what is drawn: the
// lines read and summed, their axis and sticks (LinesPlan, which the Python
// module's read() gives too), then the profile, the grid, the headers and
// the picture's axes (RunPlan). Pure: the texts are read, and the spectrum
// computed and written, by the run (batch.cpp).
#pragma once

#include <vector>

#include "batch/grid.h"
#include "batch/header_fields.h"
#include "batch/input_lines.h"
#include "batch/messages.h"
#include "batch/options.h"
#include "batch/plot.h"
#include "line_shapes/line_profiles.h"

namespace broaden {

/// The lines of every input, summed, on the axis they are drawn on.
struct LinesPlan {
  InputLines lines;                          ///< summed (summed_inputs), in the broadening unit
  HeaderFields inputs;                       ///< the inputs' fields: input='a.log' ... lines=3
  AxisUnit axis = AxisUnit::per_centimetre;  ///< axis_of
  Sticks sticks;                             ///< the lines on the axis, as drawn (sticks_of)
};

/// The inputs `reads` (read_input_lines of each of options.inputs, in
/// order) summed, with --boltzmann by `energies` where given (--energies),
/// and put on their axis; messages added to `messages`.
/// Throws BatchFailure as summed_inputs does.
///   one Gaussian TD output, defaults -> axis nm, sticks at each state's wavelength
LinesPlan plan_lines(std::vector<InputLines> reads, const BatchOptions& options,
                     std::vector<Message>& messages, const InputEnergies* energies = nullptr);

/// Everything the run draws.
struct RunPlan {
  LinesPlan read;
  /// The shape and its widths in the unit the lines are broadened in
  /// (profile_in_unit, spectrum_kinds.h).
  ProfileParameters profile;
  /// The points: `preset` (the grid the options ask for) where --from and
  /// --to were given or the lines are wavenumbers drawn on wavenumbers, else
  /// the grid that spans the lines that carry intensity (all where none
  /// does; grid_spanning_lines, grid.h), for infrared and Raman on
  /// wavenumbers 400 to 4000 cm-1 where those lines lie inside it.
  GridResult grid;
  /// The grid was made by the run alone: it spans the lines, and none of
  /// --from, --to, --step, --points was given.
  bool grid_made = false;
  /// The spectrum's header, in order: the shape's fields, the grid's, the
  /// rest of the options', the inputs', then for an output spectrum= and
  /// intensity=, and axis= where the axis is not the classic wavenumbers.
  HeaderFields header;
  /// The sticks' header: the same, with the sticks' intensity= (each a
  /// line's area).
  HeaderFields sticks_header;
  /// The picture's axes: labels in the spectrum's units, the direction, the
  /// zero line; reverse as the options ask, else the kind's own.
  PlotAxes axes = kLineListAxes;
  /// Sticks only with --plot-sticks, labelled by what they carry in its
  /// units ("IR intensity / km mol⁻¹").
  bool sticks_drawn = false;
  std::string_view sticks_label;
};

/// The plan of a run whose lines are `read`. `preset` is the grid the
/// options ask for, made before the lines were read (a refused one ends the
/// run before any work). Throws BatchFailure where the grid that spans the
/// lines is refused. Not for the classic preset, whose run is its own.
///   a Gaussian IR output, --fwhm 10 -> grid from 10 widths below the lowest
///   mode to 10 above the highest, header "... spectrum=ir intensity=km/mol axis=cm-1"
RunPlan plan_run(LinesPlan read, const BatchOptions& options, GridResult preset);

}  // namespace broaden
