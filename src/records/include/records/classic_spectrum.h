// The classic spectrum file of a line list: the fixed grid, the Gaussian
// broadening of every peak, one spectrum record a grid point.
#pragma once

#include <cstddef>
#include <ostream>
#include <span>

namespace broaden {

/// Writes the 20000 spectrum records (spectrum_writer.h) of the peaks
/// `frequency`/`intensity` (the same size) broadened with `width`, each
/// intensity field the one the straightforward loop's value gives
/// (engine.h): every point as an interval around the engine's estimate,
/// those the field cannot settle computed the straightforward way, on every
/// core (or on `threads` threads; 0: as many as pay). Returns how many
/// points were so computed after the estimate.
/// Failures are the stream's, as write_spectrum says; std::bad_alloc when
/// the spectrum cannot be held.
///
///   {1000.0: 100.0}, width 5 -> record 10000 "   1000.0000 ,       7.9788\n"
std::size_t write_classic_spectrum(std::ostream& out, std::span<const double> frequency,
                                   std::span<const double> intensity, double width,
                                   unsigned threads = 0);

}  // namespace broaden
