#include "batch/run_plan.h"

#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "batch/batch.h"
#include "batch/spectrum_kinds.h"

namespace broaden {
namespace {

// Whether the grid spans the lines: an output's always, a line list's away
// from wavenumbers (where the classic range, 0.1 to 2000, means nothing);
// never where --from and --to were given.
bool spans_lines(const LinesPlan& read, const BatchOptions& options) {
  const bool wavenumbers = !read.lines.kind && read.lines.broadening == AxisUnit::per_centimetre &&
                           read.axis == AxisUnit::per_centimetre;
  return !wavenumbers && !options.range_given && !read.lines.table.frequency.empty();
}

// The spectrum's header; `sticks` takes the sticks' intensity.
HeaderFields header_of(const RunPlan& plan, const HeaderFields& grid, const BatchOptions& options,
                       bool sticks) {
  const InputLines& lines = plan.read.lines;
  HeaderFields header = options.shape_fields;
  header.append(grid);
  header.append(options.other_fields);
  header.append(plan.read.inputs);
  if (lines.kind) {
    header.add("spectrum", std::string(spectrum_kind_row(*lines.kind).name));
    header.add("intensity", sticks ? lines.sticks_intensity : lines.intensity);
  }
  if (lines.kind || options.axis || options.line_unit != AxisUnit::per_centimetre)
    header.add("axis", std::string(axis_row(plan.read.axis).name));
  return header;
}

// The picture's axes: an output's labelled with its quantity in its units,
// a Raman spectrum's abscissae as the shift they are.
PlotAxes axes_of(const LinesPlan& read, const BatchOptions& options) {
  PlotAxes axes = kLineListAxes;
  axes.x_label = axis_row(read.axis).label;
  axes.reverse = read.axis == AxisUnit::per_centimetre;
  if (read.lines.kind) {
    const SpectrumKindRow& row = spectrum_kind_row(*read.lines.kind);
    axes.y_label = read.lines.converted_units ? row.epsilon_label : row.native_label;
    axes.zero_line = row.zero_line;
    if (row.kind == SpectrumKind::raman && read.axis == AxisUnit::per_centimetre)
      axes.x_label = "Raman shift / cm⁻¹";
  }
  axes.reverse = options.plot.reverse.value_or(axes.reverse);
  return axes;
}

// The sticks' axis label: what a stick carries, in its units.
std::string_view sticks_label_of(const InputLines& lines) {
  if (!lines.kind) return "line intensity";
  const SpectrumKindRow& row = spectrum_kind_row(*lines.kind);
  return lines.converted_units ? row.epsilon_sticks_label : row.native_sticks_label;
}

// The positions the grid spans: the lines' that carry intensity, all where
// none does.
std::vector<double> carrying_intensity(const LineTable& table) {
  std::vector<double> positions;
  for (std::size_t k = 0; k < table.frequency.size(); ++k)
    if (table.intensity[k] != 0.0) positions.push_back(table.frequency[k]);
  if (positions.empty()) positions = table.frequency;
  return positions;
}

// Infrared, Raman and VCD spectra on wavenumbers are drawn 4000 to 400
// where their lines lie inside that range.
std::optional<ConventionalRange> convention_of(const LinesPlan& read) {
  const bool vibrational = read.lines.kind && (*read.lines.kind == SpectrumKind::ir ||
                                               *read.lines.kind == SpectrumKind::raman ||
                                               *read.lines.kind == SpectrumKind::vcd);
  if (!vibrational || read.axis != AxisUnit::per_centimetre) return std::nullopt;
  return kVibrationalRange;
}

}  // namespace

LinesPlan plan_lines(std::vector<InputLines> reads, const BatchOptions& options,
                     std::vector<Message>& messages, const InputEnergies* energies) {
  LinesPlan plan;
  plan.lines = summed_inputs(std::move(reads), options, plan.inputs, messages, energies);
  plan.axis = axis_of(plan.lines, options);
  plan.sticks = sticks_of(plan.lines, options, plan.axis);
  return plan;
}

RunPlan plan_run(LinesPlan read, const BatchOptions& options, GridResult preset) {
  RunPlan plan;
  plan.read = std::move(read);
  const InputLines& lines = plan.read.lines;
  plan.profile = profile_in_unit(options.profile, options.width_unit, lines.broadening);
  HeaderFields grid_fields = options.grid_fields;
  plan.grid = std::move(preset);
  if (spans_lines(plan.read, options)) {
    SpanningGrid spanning =
        grid_spanning_lines(carrying_intensity(lines.table), profile_fwhm(plan.profile),
                            lines.broadening, plan.read.axis, options, convention_of(plan.read));
    if (!spanning.grid.error.empty())
      throw BatchFailure{spanning.grid.out_of_memory ? kBatchFailed : kBatchUsageError,
                         spanning.grid.error};
    plan.grid = std::move(spanning.grid);
    grid_fields = std::move(spanning.fields);
    plan.grid_made = options.grid == GridKind::classic_default;
  }
  plan.header = header_of(plan, grid_fields, options, false);
  plan.sticks_header = header_of(plan, grid_fields, options, true);
  plan.axes = axes_of(plan.read, options);
  plan.sticks_drawn = options.plot.sticks.value_or(false);
  plan.sticks_label = sticks_label_of(lines);
  return plan;
}

}  // namespace broaden
