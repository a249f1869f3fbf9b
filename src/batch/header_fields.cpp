#include "batch/header_fields.h"

#include <algorithm>

namespace broaden {

const std::string* HeaderFields::find(std::string_view key) const noexcept {
  const auto at = std::find_if(fields_.begin(), fields_.end(),
                               [&](const HeaderField& field) { return field.key == key; });
  return at == fields_.end() ? nullptr : &at->value;
}

bool HeaderFields::set(std::string_view key, std::string value) {
  const auto at = std::find_if(fields_.begin(), fields_.end(),
                               [&](const HeaderField& field) { return field.key == key; });
  if (at == fields_.end()) return false;
  at->value = std::move(value);
  return true;
}

std::string HeaderFields::text() const {
  std::string line;
  for (const HeaderField& field : fields_) {
    if (!line.empty()) line += ' ';
    line += field.key;
    line += '=';
    line += field.value;
  }
  return line;
}

}  // namespace broaden
