// Fuzz target: the gamess reader (the GAMESS-US or Firefly output) against the spectra reader
// contract of spectra_check.h, on any bytes.
#include <cstdint>
#include <string_view>

#include "spectra_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  broaden::fuzz::check_spectra("gamess",
                               std::string_view(reinterpret_cast<const char*>(data), size));
  return 0;
}
