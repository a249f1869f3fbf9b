// The excerpts of programs' outputs the tests share (tests/support/excerpts/,
// found through BROADEN_TEST_EXCERPTS; the Python tests read the same files
// through conftest.py's excerpt()). Each is named for what it holds:
//   gaussian-ir.log        three modes, the first imaginary, IR intensities
//   gaussian-ir-raman.log  the same with Raman activities
//   gaussian-raman.log     two real modes with Raman activities 3 and 7
//   gaussian-one-mode.log  one mode at 1000 cm-1 of IR intensity 10, no free energy
//   gaussian-td.log        two excited states with both rotatory strengths
//   gaussian-vcd.log       a freq=VCD analysis: four modes (the first imaginary) in two
//                          groups, IR intensities and rotational strengths
#pragma once

#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

namespace broaden::testing {

/// The whole text of the excerpt `name`, e.g. excerpt("gaussian-ir.log");
/// throws if there is none.
inline std::string excerpt(const std::string& name) {
  std::ifstream file(std::string(BROADEN_TEST_EXCERPTS) + "/" + name, std::ios::binary);
  if (!file) throw std::runtime_error("no excerpt " + name);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

}  // namespace broaden::testing
