// The spectrum record: one grid point a line, format (f12.4,' , ',f12.4).
#pragma once

#include <cstddef>
#include <functional>
#include <ostream>
#include <span>
#include <string>
#include <vector>

namespace broaden {

/// Characters in one spectrum record, its line feed included.
inline constexpr std::size_t kSpectrumRecordSize = 28;

/// Writes one spectrum record filling `record`: the abscissa as a
/// 12-character fixed-point field with 4 decimals (double_to_fixed), the
/// three characters " , ", the intensity likewise, and a line feed.
///
///   spectrum_record(0.1, 0.0)   -> "      0.1000 ,       0.0000\n"
///   spectrum_record(1e8, -1e-9) -> "************ ,      -0.0000\n"
void spectrum_record(double abscissa, double intensity,
                     std::span<char, kSpectrumRecordSize> record) noexcept;

/// The same record as a string, for tests.
std::string spectrum_record(double abscissa, double intensity);

/// Writes the records of points 1..size of `abscissae` and `intensities`
/// (which have the same size) to `out`, in order, through a buffer of some
/// hundred records. Failures are left to the stream to report: through its
/// state, or by throwing when its exception mask asks for it or its buffer
/// throws; the records handed on before a failure stay written.
void write_spectrum(std::ostream& out, std::span<const double> abscissae,
                    std::span<const double> intensities);

/// True when every value in [low, high] writes the same intensity field,
/// so that the field of `low` is the record's whatever the value is. Rounding
/// to four decimals is monotone inside the field's range, so equal fields
/// there prove it; outside it every value prints the same twelve asterisks,
/// so equal asterisk fields prove it only where both ends lie past the same
/// limit (both at least 10^7, or both at most -10^6): an interval reaching
/// from past a limit into the range, or across it, is not settled. A zero
/// has the sign of its bit: -0.0 must lie only in [-0.0, -0.0], and +0.0
/// not in an interval ending at -0.0. Ends that are the same double (NaN
/// included) settle.
///
///   interval_settles(7.97881, 7.97884) -> true   (both "7.9788")
///   interval_settles(1.2344499, 1.2344501) -> false
///   interval_settles(-1e25, 1e25) -> false        (asterisks at both ends)
///   interval_settles(1e7, 2e7) -> true
bool interval_settles(double low, double high) noexcept;

/// The indices (from 0, ascending) of the points whose interval
/// [low[i], high[i]] does not settle its field (interval_settles).
///
///   low {0, 1.2344499}, high {0, 1.2344501} -> {1}
std::vector<std::size_t> unsettled_points(std::span<const double> low,
                                          std::span<const double> high);

/// Writes the records of points 1..size as above, for intensities known
/// only to lie in [low[i], high[i]] (spans of the same size): where the
/// interval settles the field (interval_settles) that field is written,
/// elsewhere the field of exact(i) (i counted from 0). Returns how many
/// points needed exact(i). Failures as above.
///
///   low 7.97884, high 7.97885        -> "      7.9788" (exact not asked)
///   low 1.23449999, high 1.23450001  -> the field of exact(i)
std::size_t write_spectrum(std::ostream& out, std::span<const double> abscissae,
                           std::span<const double> low, std::span<const double> high,
                           const std::function<double(std::size_t)>& exact);

}  // namespace broaden
