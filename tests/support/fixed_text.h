// A double as the spectrum file's fixed-point field shows it, short of the
// field: the exact binary value rounded to a number of decimals, ties to
// even, by the standard library's conversion. Lets the engine's tests speak
// of printed values without the formatting library.
#pragma once

#include <charconv>
#include <string>

namespace broaden::testing {

///   fixed_text(0.1, 4)    -> "0.1000"
///   fixed_text(-1e-9, 4)  -> "-0.0000"
///   fixed_text(1.03125, 4) -> "1.0312"
inline std::string fixed_text(double value, int decimals) {
  char text[400];  // the largest double has 309 integer digits
  const auto end =
      std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals).ptr;
  return std::string(text, end);
}

}  // namespace broaden::testing
