#include "batch/fit_lines.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "batch/batch.h"
#include "batch/input_lines.h"
#include "batch/spectrum_kinds.h"

namespace broaden {

std::optional<AxisUnit> fit_unit(FitParameter parameter, AxisUnit broadening,
                                 const BatchOptions& options) {
  switch (parameter) {
    case FitParameter::scale:
      return std::nullopt;
    case FitParameter::shift:
      return broadening;
    case FitParameter::fwhm:
      return options.width_unit.value_or(broadening);
  }
  return std::nullopt;
}

std::vector<FitRange> fit_ranges(std::optional<SpectrumKind> kind, AxisUnit broadening,
                                 const BatchOptions& options) {
  // Vibrational spectra are those broadened in wavenumbers (ir, raman, vcd).
  const bool vibrational = kind && spectrum_kind_row(*kind).broadening == AxisUnit::per_centimetre;
  std::vector<FitRange> ranges;
  for (const FitAsked& asked : options.compare.fit) {
    const FitParameter p = asked.parameter;
    if (kind && (p == FitParameter::scale) != vibrational && p != FitParameter::fwhm)
      throw BatchFailure{
          kBatchUsageError,
          std::string("--fit ") + (vibrational ? "shift" : "scale") + " does not fit " +
              std::string(spectrum_kind_row(*kind).name) + " spectra: fit " +
              (vibrational ? "the scale of vibrations" : "the shift of excitations")};
    const bool ev = fit_unit(p, broadening, options) == AxisUnit::electronvolt;
    const AxisRange range = asked.range.value_or(
        p == FitParameter::scale   ? AxisRange{0.9, 1.1}
        : p == FitParameter::shift ? (ev ? AxisRange{-1, 1} : AxisRange{-100, 100})
        : ev                       ? AxisRange{0.05, 1.0}
                                   : AxisRange{2, 60});
    ranges.push_back({p, range.a, range.b});
  }
  return ranges;
}

void scan_within_width(std::span<FitRange> ranges, std::span<const double> positions,
                       const BatchOptions& options, AxisUnit broadening) {
  if (fits(ranges, FitParameter::fwhm)) return;
  const double fwhm =
      profile_fwhm(profile_in_unit(options.profile, options.width_unit, broadening));
  double farthest = 0.0;  // from the point the scale moves the lines about
  for (double p : positions)
    if (std::isfinite(p)) farthest = std::max(farthest, std::fabs(p - options.shift));
  for (FitRange& r : ranges) {
    if (r.parameter == FitParameter::fwhm) continue;
    const double move = (r.high - r.low) * (r.parameter == FitParameter::scale ? farthest : 1.0);
    const double steps = move / fwhm;
    const int least = scan_points(ranges.size());
    r.scan = !(steps < kFinestScan - 1) ? kFinestScan
                                        : std::max(least, 1 + static_cast<int>(std::ceil(steps)));
  }
}

bool fits(std::span<const FitRange> ranges, FitParameter parameter) noexcept {
  return std::any_of(ranges.begin(), ranges.end(),
                     [&](const FitRange& r) { return r.parameter == parameter; });
}

void moved_positions(std::span<const double> from, std::span<double> to,
                     std::span<const FitRange> ranges, const FitValues& v,
                     const BatchOptions& options) noexcept {
  const bool scale = fits(ranges, FitParameter::scale), shift = fits(ranges, FitParameter::shift);
  for (std::size_t k = 0; k < from.size(); ++k) {
    double p = from[k];
    if (scale) p = (p - options.shift) * v.scale + options.shift;
    if (shift) p += v.shift;
    to[k] = p;
  }
}

std::optional<ProfileParameters> profile_at(std::span<const FitRange> ranges, const FitValues& v,
                                            const BatchOptions& options, AxisUnit broadening) {
  if (!fits(ranges, FitParameter::fwhm)) return std::nullopt;
  ProfileParameters profile = options.profile;
  for (const ShapeWidth& width : line_shape_row(profile.shape)->widths)
    if (width.name == "fwhm") profile.*width.field = v.fwhm / width.divisor;
  return profile_in_unit(profile, options.width_unit, broadening);
}

FitValues fit_start(const BatchOptions& options) noexcept {
  FitValues start;
  start.fwhm = profile_fwhm(options.profile);
  return start;
}

bool signed_spectrum(std::optional<SpectrumKind> kind, std::span<const double> intensity) noexcept {
  if (kind) return spectrum_kind_row(*kind).zero_line;
  return std::any_of(intensity.begin(), intensity.end(), [](double v) { return v < 0.0; });
}

}  // namespace broaden
