// The lines of a fit (--fit) at given values: what broaden-batch's run and
// the Python module's fit() share, so that both move the lines, take the
// ranges and start the fit alike. The spectrum itself is drawn by each
// (add_profiles), from the positions and the profile these give.
#pragma once

#include <optional>
#include <span>
#include <vector>

#include "batch/compare.h"
#include "batch/options.h"
#include "line_shapes/line_profiles.h"

namespace broaden {

/// The unit a fitted parameter is in: a shift in the lines' `broadening`
/// unit (eV for excitations), a width in the widths' unit (--fwhm=0.2ev's,
/// else `broadening`); none for the scale.
///   fit_unit(shift, electronvolt, options) -> electronvolt
std::optional<AxisUnit> fit_unit(FitParameter parameter, AxisUnit broadening,
                                 const BatchOptions& options);

/// The ranges options.compare.fit asks for: as given, else each parameter's
/// default in its unit: scale 0.9 to 1.1; shift -1 to 1 eV (-100 to 100
/// cm-1); fwhm 0.05 to 1 eV (2 to 60 cm-1). `kind` is the spectrum's (none:
/// a line list, which takes every parameter). Throws BatchFailure (status
/// 2) for a parameter the kind does not take: the scale moves vibrations
/// (ir, raman, vcd), the shift excitations (uv, ecd):
///   --fit shift, ir -> "--fit shift does not fit ir spectra: fit the scale of vibrations"
///   --fit scale,fwhm, a line list in cm-1 -> {scale 0.9..1.1, fwhm 2..60}
std::vector<FitRange> fit_ranges(std::optional<SpectrumKind> kind, AxisUnit broadening,
                                 const BatchOptions& options);

/// Where the width is not fitted, the scan of the scale and of the shift
/// made fine enough that one of its steps moves the lines `positions` (in
/// the `broadening` unit) by at most the lines' full width at half maximum,
/// else a scan between its points may never see the bands overlap: `scan`
/// set to 1 + ceil(the largest move / the width), at least
/// scan_points(ranges.size()) and at most kFinestScan; where the width is
/// fitted its scan's wide widths see them.
///   scale 0.9..1.1 alone, a line at 3000 cm-1, fwhm 10 cm-1 -> scan 61
void scan_within_width(std::span<FitRange> ranges, std::span<const double> positions,
                       const BatchOptions& options, AxisUnit broadening);
inline constexpr int kFinestScan = 201;

/// Whether `ranges` fit `parameter`.
bool fits(std::span<const FitRange> ranges, FitParameter parameter) noexcept;

/// The positions `from` at the values `v` into `to` (of from's size): each
/// scaled about options.shift where the scale is fitted, then shifted by
/// v.shift where the shift is fitted; as they are otherwise.
///   from {1000}, scale fitted, v.scale 0.9, --shift 0 -> to {900}
void moved_positions(std::span<const double> from, std::span<double> to,
                     std::span<const FitRange> ranges, const FitValues& v,
                     const BatchOptions& options) noexcept;

/// The profile the lines are drawn with at `v`, in the `broadening` unit:
/// options.profile with its full width at half maximum v.fwhm (given in the
/// widths' unit) where fwhm is fitted; none where it is not (the profile
/// stays as it is).
///   gaussian, fwhm fitted, v.fwhm 10 -> sigma 10 / 2.3548...
std::optional<ProfileParameters> profile_at(std::span<const FitRange> ranges, const FitValues& v,
                                            const BatchOptions& options, AxisUnit broadening);

/// The values a fit starts from: scale 1, shift 0, fwhm the profile's.
FitValues fit_start(const BatchOptions& options) noexcept;

/// Whether a spectrum is signed (its verdict told): by its kind's zero
/// line (ecd, vcd), else (a line list) where an intensity is negative.
bool signed_spectrum(std::optional<SpectrumKind> kind, std::span<const double> intensity) noexcept;

}  // namespace broaden
