// Fuzz target: the nwchem reader (the NWChem output) against the spectra reader
// contract of spectra_check.h, on any bytes.
#include <cstdint>
#include <string_view>

#include "spectra_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  broaden::fuzz::check_spectra("nwchem",
                               std::string_view(reinterpret_cast<const char*>(data), size));
  return 0;
}
