#include "text/quoted.h"

namespace broaden {

std::string escaped(std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string written;
  written.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7f) {
      written += "\\x";
      written += kHex[byte >> 4];
      written += kHex[byte & 0xf];
    } else {
      written += c;
    }
  }
  return written;
}

std::string quoted(std::string_view text, std::size_t limit) {
  std::string shown(1, '\'');
  shown += escaped(text.substr(0, limit));
  shown += text.size() > limit ? "'..." : "'";
  return shown;
}

}  // namespace broaden
