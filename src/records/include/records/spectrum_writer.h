// The spectrum record: one grid point a line, format (f12.4,' , ',f12.4).
#pragma once

#include <cstddef>
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
/// (which have the same size) to `out`, in order. Failures are left to the
/// stream to report: through its state, or by throwing when its exception
/// mask asks for it or its buffer throws.
void write_spectrum(std::ostream& out, std::span<const double> abscissae,
                    std::span<const double> intensities);

}  // namespace broaden
