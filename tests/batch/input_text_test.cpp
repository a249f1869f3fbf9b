// What an input may be before its format is recognised: text with or
// without a byte-order mark, or a gzip of it, each read alike; anything
// else refused for what it is; a program recognised by its own marks, not
// by a name in a comment.
#include <gtest/gtest.h>
#include <zlib.h>

#include <sstream>
#include <string>
#include <vector>

#include "support/batch_harness.h"
#include "support/excerpts.h"

namespace broaden {
namespace {

using InputTextTest = testing::BatchTest;

// `text` as gzip writes it.
std::string gzipped(const std::string& text) {
  z_stream z{};
  deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&z, text.size()) + 32, '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  z.avail_in = static_cast<uInt>(text.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

const char* const kBom = "\xEF\xBB\xBF";

TEST_F(InputTextTest, EachFormatReadsAlikeAfterAByteOrderMarkAndGzipped) {
  const struct {
    const char* format;
    std::string text;
  } inputs[] = {
      {"columns", "# cm-1 km/mol\n1000 2\n1500 1\n"},
      {"gaussian", testing::excerpt("gaussian-ir.log")},
      {"orca",
       "   * O   R   C   A *\n-----------\nIR SPECTRUM\n-----------\n\n Mode    freq (cm**-1)   "
       "T**2         TX         TY         TZ\n---------------------------------------------------"
       "----------------\n   6:      2069.36    1.674341  ( -0.000000   0.914970  -0.914970)\n\n"},
      {"molden", "[Molden Format]\n[FREQ]\n1639.47\n3800.1\n[INT]\n57.55\n2.0\n"},
      {"cjson",
       R"({"chemicalJson": 1, "vibrations": {"frequencies": [1639.47], "intensities": [5]}})"
       "\n"},
  };
  for (const auto& input : inputs) {
    folder.write("in", input.text);
    ASSERT_EQ(run({"--fwhm", "10", "--points", "9", "in"}), 0) << input.format << err.str();
    const std::string plain = out.str(), said = err.str();
    for (const std::string& variant :
         {kBom + input.text, gzipped(input.text), gzipped(kBom + input.text),
          gzipped(input.text.substr(0, 9)) + gzipped(input.text.substr(9)) +
              std::string(512, '\0')}) {
      folder.write("in", variant);
      EXPECT_EQ(run({"--fwhm", "10", "--points", "9", "in"}), 0) << input.format << err.str();
      EXPECT_EQ(out.str(), plain) << input.format;
      EXPECT_EQ(err.str(), said) << input.format;
    }
    // Recognised: the format given by name reads the same.
    folder.write("in", gzipped(kBom + input.text));
    EXPECT_EQ(run({"--fwhm", "10", "--points", "9", "--input", input.format, "in"}), 0);
    EXPECT_EQ(out.str(), plain) << input.format;
  }
}

TEST_F(InputTextTest, WhatIsNotTextIsRefusedForWhatItIs) {
  std::string corrupt = gzipped(std::string(2000, 'x') + "1000 2\n");
  corrupt[corrupt.size() - 6] ^= 1;  // the check of its content
  const std::string elf = std::string(
      "\x7f"
      "ELF\x02\x01\x01\0\0",
      9);
  const struct {
    std::string bytes, said;
  } cases[] = {
      {std::string("1000 2\n\0\n", 9),
       "'x.bin' is not text: it holds a NUL byte (byte 8): a binary file, or text in an encoding "
       "other than UTF-8 or ASCII"},
      {elf, "'x.bin' is not text: it is an ELF executable or library"},
      {"PK\x03\x04 zipped", "'x.bin' is not text: it is a zip archive (unpack it first)"},
      {"\xff\xfe"
       "1\0",
       "'x.bin' is not text: it is UTF-16 text (save it as UTF-8)"},
      {gzipped(elf), "'x.bin' is not text: its gzip content is an ELF executable or library"},
      {gzipped(gzipped("1000 2\n")),
       "'x.bin' is not text: its gzip content is gzip-compressed again"},
      {corrupt, "'x.bin' is a gzip whose content is corrupt (incorrect data check)"},
      {corrupt.substr(0, corrupt.size() / 2),
       "'x.bin' is a gzip whose content is corrupt (it ends before its content does: the file is "
       "cut short)"},
      {"\x1f\x8b garbage",
       "'x.bin' is a gzip whose content is corrupt (unknown compression method)"},
      {gzipped("1000 2\n") + "more",
       "'x.bin' is a gzip whose content is corrupt (bytes after its end)"},
  };
  for (const auto& c : cases) {
    folder.write("x.bin", c.bytes);
    EXPECT_EQ(run({"--fwhm", "10", "x.bin"}), 1);
    EXPECT_EQ(err.str(), "broaden-batch: " + c.said + "\n");
    EXPECT_EQ(run({"--fwhm", "10", "-"}, c.bytes), 1);
    EXPECT_EQ(err.str().substr(0, 30), "broaden-batch: standard input ") << c.said;
  }
}

TEST_F(InputTextTest, AProgramIsToldByItsMarksNotByANameInAComment) {
  for (const char* comment : {"# computed with Gaussian 16\n", "# Gaussian, Inc. 2019\n",
                              "# from ORCA:  * O   R   C   A *\n"}) {
    folder.write("list.txt", comment + std::string("1000 2\n"));
    ASSERT_EQ(run({"--fwhm", "10", "--points", "3", "list.txt"}), 0) << comment << err.str();
    EXPECT_NE(out.str().find("input='list.txt' lines=1"), std::string::npos) << out.str();
  }
  // A list that does open a line as an output does: told how to read it.
  folder.write("list.txt", " Entering Gaussian System, Link 0=g16\n1000 2\n");
  EXPECT_EQ(run({"--fwhm", "10", "list.txt"}), 1);
  EXPECT_NE(err.str().find("; it was read as gaussian (a Gaussian output): if it is a columns line "
                           "list, give --input columns\n"),
            std::string::npos)
      << err.str();
  EXPECT_EQ(run({"--fwhm", "10", "--points", "3", "--input", "columns", "list.txt"}), 0);
}

TEST_F(InputTextTest, InputsFromAListAfterThoseOfTheCommandLine) {
  for (const char* name : {"a.txt", "b.txt", "c.txt"}) folder.write(name, "1000 2\n");
  folder.write("list", "b.txt\n\n  \t\nc.txt\r\n");
  folder.write("empty", "\n \n");
  const struct {
    int status;
    const char* arguments;  // apart by blanks; '' an empty one
    const char* input;      // on standard input
    std::string said;       // the header's inputs, or the message
  } cases[] = {
      {0, "a.txt --inputs-from list", "",
       "input='a.txt' weight=1 input='b.txt' weight=1 input='c.txt' weight=1 lines=3"},
      {0, "--inputs-from - --weights 1,3", "a.txt\nc.txt",
       "input='a.txt' weight=1 input='c.txt' weight=3 lines=2"},
      {0, "--inputs-from list -", "1000 2\n",
       "input=- weight=1 input='b.txt' weight=1 input='c.txt' weight=1 lines=3"},
      {2, "--inputs-from - -", "", "reads the list from standard input: no input can be - too"},
      {2, "--inputs-from -", "a.txt\n-\n", "from standard input: no input can be - too"},
      {1, "--inputs-from none", "", "cannot open 'none': No such file or directory"},
      {2, "--inputs-from empty", "", "'empty' names no input, and the command line none either"},
      {2, "--inputs-from list --weights 1", "", "--weights gives 1 weight for 2 files"},
      {2, "--inputs-from ''", "", "--inputs-from needs a file name"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> arguments{"--fwhm", "10", "--points", "3"};
    std::istringstream words(c.arguments);
    for (std::string word; words >> word;) arguments.push_back(word == "''" ? "" : word);
    EXPECT_EQ(run(arguments, c.input), c.status) << c.arguments << err.str();
    EXPECT_NE((c.status == 0 ? out : err).str().find(c.said), std::string::npos)
        << out.str() << err.str();
  }
}

}  // namespace
}  // namespace broaden
