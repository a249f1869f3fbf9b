#include "numbers/right_align.h"

#include <algorithm>

namespace broaden {

void right_align(std::string_view text, std::span<char> field) noexcept {
  if (text.size() > field.size()) {
    std::ranges::fill(field, '*');
    return;
  }
  const std::size_t padding = field.size() - text.size();
  std::ranges::fill(field.first(padding), ' ');
  std::ranges::copy(text, field.begin() + static_cast<std::ptrdiff_t>(padding));
}

}  // namespace broaden
