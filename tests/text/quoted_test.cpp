#include "text/quoted.h"

#include <gtest/gtest.h>

#include <string>

namespace broaden {
namespace {

using namespace std::string_literals;

TEST(Escaped, EveryControlByteAndOnlyThoseBecomeFourCharacters) {
  for (int byte = 0; byte < 256; ++byte) {
    const std::string text(1, static_cast<char>(byte));
    const std::string written = escaped(text);
    if (byte < 0x20 || byte == 0x7f) {
      ASSERT_EQ(written.size(), 4u) << byte;
      EXPECT_EQ(std::stoi(written.substr(2), nullptr, 16), byte);
      EXPECT_EQ(written.substr(0, 2), "\\x");
      EXPECT_EQ(written.find_first_of("ABCDEF"), std::string::npos) << written;
    } else {
      EXPECT_EQ(written, text) << byte;
    }
  }
  // NUL bytes, line ends and multi-byte characters inside a longer text.
  EXPECT_EQ(escaped("a\0b\r\nc\xC3\xA9\x7f"s), "a\\x00b\\x0d\\x0ac\xC3\xA9\\x7f");
  EXPECT_EQ(escaped(""), "");
}

// Well-formed UTF-8 stays; every byte of an ill-formed sequence, and every
// control byte, is written \xNN: the result is always well-formed UTF-8.
TEST(EscapedUtf8, KeepsWellFormedSequencesAndEscapesEveryOtherByte) {
  const struct {
    std::string text, written;
  } cases[] = {
      {"caf\xC3\xA9 \xE2\x81\xBB\xF0\x9F\x98\x80", "caf\xC3\xA9 \xE2\x81\xBB\xF0\x9F\x98\x80"},
      {"caf\xE9", "caf\\xe9"},                       // Latin-1
      {"\xC3", "\\xc3"},                             // cut short
      {"\xC3(", "\\xc3("},                           // a lead without its continuation
      {"\x80\xBF", "\\x80\\xbf"},                    // stray continuations
      {"\xC0\xAF", "\\xc0\\xaf"},                    // overlong '/'
      {"\xE0\x80\xAF", "\\xe0\\x80\\xaf"},           // overlong, three bytes
      {"\xED\xA0\x80", "\\xed\\xa0\\x80"},           // a surrogate
      {"\xF4\x90\x80\x80", "\\xf4\\x90\\x80\\x80"},  // above U+10FFFF
      {"\xF5\x80\x80\x80", "\\xf5\\x80\\x80\\x80"},  // no such lead
      {"a\nb\x7f", "a\\x0ab\\x7f"},                  // control bytes as escaped()
  };
  for (const auto& c : cases) EXPECT_EQ(escaped_utf8(c.text), c.written) << escaped(c.text);
  // Every two-byte text comes out well-formed: escaping it again changes nothing.
  for (int a = 0; a < 256; ++a)
    for (int b = 0; b < 256; ++b) {
      const std::string text{static_cast<char>(a), static_cast<char>(b)};
      ASSERT_EQ(escaped_utf8(escaped_utf8(text)), escaped_utf8(text)) << a << " " << b;
    }
}

TEST(Quoted, CutsAtTheLimitBeforeEscapingAndMarksWhatWasLeftOut) {
  const struct {
    std::string text;
    std::size_t limit;
    std::string shown;
  } cases[] = {
      {"lines.txt", kWholeText, "'lines.txt'"},
      {"", kWholeText, "''"},
      {"it's", kWholeText, "'it's'"},
      {"no\nsuch", kWholeText, "'no\\x0asuch'"},
      {"abcdef", 6, "'abcdef'"},
      {"abcdef", 5, "'abcde'..."},
      {"abcdef", 0, "''..."},
      // The limit counts bytes of the text, not of its escaped form.
      {"\t\t\t", 2, "'\\x09\\x09'..."},
      {std::string(100, 'x'), 64, std::string(1, '\'').append(64, 'x').append("'...")},
  };
  for (const auto& c : cases) EXPECT_EQ(quoted(c.text, c.limit), c.shown) << c.text;
}

}  // namespace
}  // namespace broaden
