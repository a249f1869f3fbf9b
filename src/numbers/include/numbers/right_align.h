// Text right-aligned in a field of its own size.
#pragma once

#include <span>
#include <string_view>

namespace broaden {

/// Fills `field` exactly: blanks, then `text` against its right end. Text
/// longer than the field gives a field of asterisks instead.
///
///   right_align("NaN", 5-character field)  -> "  NaN"
///   right_align("12345", 4-character field) -> "****"
void right_align(std::string_view text, std::span<char> field) noexcept;

}  // namespace broaden
