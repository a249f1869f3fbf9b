// The spectrum record: one grid point a line, format (f12.4,' , ',f12.4).
#pragma once

#include <cstddef>
#include <functional>
#include <ostream>
#include <span>
#include <string>

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

/// Writes the records of points 1..size as above, for intensities known
/// only to lie in [low[i], high[i]] (spans of the same size). Rounding to a
/// fixed-point field is monotone, so where both ends give the same field
/// every value between them does, and that field is written; where they
/// differ, the field of exact(i) (i counted from 0) is written. Returns how
/// many points needed exact(i). Failures as above. A zero value has the sign
/// of its bit: -0.0 must lie only in an interval [-0.0, -0.0], and +0.0 not
/// in one ending at -0.0.
///
///   low 7.97884, high 7.97885        -> "      7.9788" (exact not asked)
///   low 1.23449999, high 1.23450001  -> the field of exact(i)
std::size_t write_spectrum(std::ostream& out, std::span<const double> abscissae,
                           std::span<const double> low, std::span<const double> high,
                           const std::function<double(std::size_t)>& exact);

}  // namespace broaden
