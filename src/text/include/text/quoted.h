// Names and other text as they stand in a diagnostic of one line.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace broaden {

/// No limit on the bytes quoted() shows.
inline constexpr std::size_t kWholeText = std::string_view::npos;

/// `text` with every control character (the bytes below 0x20, and 0x7f)
/// written as \xNN, two lower-case hexadecimal digits; every other byte, a
/// byte of a UTF-8 sequence included, stays as it is. The result never
/// holds a line end, so a message built from it stays one line.
///
///   escaped("no\nsuch")  -> "no\x0asuch"   (the four characters \, x, 0, a)
///   escaped("caf\xC3\xA9") -> "caf\xC3\xA9"  (unchanged)
std::string escaped(std::string_view text);

/// escaped(), and every byte that is not part of a well-formed UTF-8
/// sequence (a stray continuation byte, a cut or overlong sequence, a
/// surrogate, a code point above U+10FFFF) written \xNN as well: the result
/// is well-formed UTF-8, as an SVG picture's XML must be.
///
///   escaped_utf8("caf\xC3\xA9")  -> "caf\xC3\xA9"   (unchanged: é)
///   escaped_utf8("caf\xE9")      -> "caf\xe9"       (the four characters \, x, e, 9)
std::string escaped_utf8(std::string_view text);

/// `text` as a message shows it: its first `limit` bytes (all of it by
/// default) escaped() between apostrophes, followed by "..." when bytes
/// were left out. Apostrophes inside are not doubled.
///
///   quoted("lines.txt")       -> "'lines.txt'"
///   quoted("bad\x1bname")     -> "'bad\x1bname'"  (the escape written \x1b)
///   quoted("abcdef", 4)       -> "'abcd'..."
std::string quoted(std::string_view text, std::size_t limit = kWholeText);

}  // namespace broaden
