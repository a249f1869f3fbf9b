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
