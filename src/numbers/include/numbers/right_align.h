// Text right-aligned in a field of its own size.
#pragma once

#include <algorithm>
#include <span>
#include <string_view>

namespace broaden {

/// Fills `field` exactly: blanks, then `text` against its right end. Text
/// longer than the field gives a field of asterisks instead.
///
///   right_align("NaN", 5-character field)  -> "  NaN"
///   right_align("12345", 4-character field) -> "****"
inline void right_align(std::string_view text, std::span<char> field) noexcept {
  if (text.size() > field.size()) {
    std::fill_n(field.data(), field.size(), '*');
    return;
  }
  const std::size_t padding = field.size() - text.size();
  std::fill_n(field.data(), padding, ' ');
  text.copy(field.data() + padding, text.size());
}

}  // namespace broaden
