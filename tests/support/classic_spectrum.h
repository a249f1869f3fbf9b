// The classic spectrum file as the tests expect it: 20000 records of 28
// bytes on the single-precision grid 0.1, 0.2, ... 2000.0.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

namespace broaden::testing {

inline constexpr int kRecords = 20000;
inline constexpr std::size_t kRecordSize = 28;
inline constexpr std::size_t kSpectrumSize = kRecords * kRecordSize;

/// The abscissa field of record i (from 1), e.g. grid_field(3) is
/// "      0.3000".
inline std::string grid_field(int i) {
  const float abscissa = static_cast<float>(i) * 0.1f;
  char text[32];
  std::snprintf(text, sizeof text, "%12.4f", static_cast<double>(abscissa));
  return text;
}

/// The whole spectrum file of a run with no peaks.
inline std::string zero_spectrum() {
  std::string text;
  for (int i = 1; i <= kRecords; ++i) text += grid_field(i) + " ,       0.0000\n";
  return text;
}

}  // namespace broaden::testing
