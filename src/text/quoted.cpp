#include "text/quoted.h"

namespace broaden {
namespace {

void append_escape(std::string& written, unsigned char byte) {
  static constexpr char kHex[] = "0123456789abcdef";
  written += "\\x";
  written += kHex[byte >> 4];
  written += kHex[byte & 0xf];
}

bool control(unsigned char byte) noexcept { return byte < 0x20 || byte == 0x7f; }

// The length of the well-formed UTF-8 sequence of more than one byte that
// starts `text` (Unicode's table of well-formed byte sequences: no overlong
// form, no surrogate, nothing above U+10FFFF), or 0.
std::size_t sequence_length(std::string_view text) noexcept {
  const auto at = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = at(0);
  std::size_t length = 0;
  unsigned char low = 0x80, high = 0xbf;  // the second byte's range
  if (lead >= 0xc2 && lead <= 0xdf)
    length = 2;
  else if (lead >= 0xe0 && lead <= 0xef)
    length = 3;
  else if (lead >= 0xf0 && lead <= 0xf4)
    length = 4;
  if (length == 0 || text.size() < length) return 0;
  if (lead == 0xe0) low = 0xa0;
  if (lead == 0xed) high = 0x9f;
  if (lead == 0xf0) low = 0x90;
  if (lead == 0xf4) high = 0x8f;
  if (at(1) < low || at(1) > high) return 0;
  for (std::size_t k = 2; k < length; ++k)
    if (at(k) < 0x80 || at(k) > 0xbf) return 0;
  return length;
}

}  // namespace

std::string escaped(std::string_view text) {
  std::string written;
  written.reserve(text.size());
  for (const char c : text) {
    if (control(static_cast<unsigned char>(c)))
      append_escape(written, static_cast<unsigned char>(c));
    else
      written += c;
  }
  return written;
}

std::string escaped_utf8(std::string_view text) {
  std::string written;
  written.reserve(text.size());
  for (std::size_t k = 0; k < text.size();) {
    const auto byte = static_cast<unsigned char>(text[k]);
    const std::size_t length = byte < 0x80 ? 1 : sequence_length(text.substr(k));
    if (length == 0 || control(byte)) {
      append_escape(written, byte);
      ++k;
    } else {
      written.append(text.substr(k, length));
      k += length;
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
