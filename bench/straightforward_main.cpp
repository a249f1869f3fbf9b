// The straightforward program the engine is measured against: the same
// dialogue answers on standard input (line-list name, count, spectrum name,
// width, one a line), the same line-list and spectrum records, and the
// plain loop of every peak at every point with the scalar exp. Built with
// -O2 -fno-tree-vectorize, as a plain compilation of that loop would be.
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "records/line_list.h"
#include "records/spectrum_writer.h"
#include "support/reference_engine.h"
#include "synthesis/engine_testing.h"

int main() {
  std::string input_name, count_text, output_name, width_text;
  if (!std::getline(std::cin, input_name) || !std::getline(std::cin, count_text) ||
      !std::getline(std::cin, output_name) || !std::getline(std::cin, width_text))
    return 2;
  std::ifstream lines(input_name);
  std::vector<double> frequency, intensity;
  for (long k = 0, count = std::stol(count_text); k < count; ++k) {
    const broaden::PeakRecord record = broaden::read_peak(lines);
    if (record.status != broaden::RecordStatus::ok) return 2;
    frequency.push_back(record.peak.frequency);
    intensity.push_back(record.peak.intensity);
  }
  static broaden::Spectrum spectrum;
  static broaden::Spectrum scratch;
  broaden::build_grid(spectrum.w, spectrum.t);
  broaden::testing::add_peaks_reference(frequency, intensity,
                                        std::strtod(width_text.c_str(), nullptr), spectrum.w,
                                        spectrum.t, scratch.t);
  std::ofstream out(output_name);
  broaden::write_spectrum(out, spectrum.w, spectrum.t);
  return out.good() ? 0 : 2;
}
