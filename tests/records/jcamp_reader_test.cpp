// The JCAMP-DX reader: one spectrum in every encoding, hostile files
// refused at their place, transmittance as absorbance, compound files, the
// peak table through the line list's row, a file cut at every line.
#include "records/jcamp_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "records/line_list_formats.h"
#include "spectra_checks.h"

namespace broaden {
namespace {

std::string head(std::string_view yunits = "ABSORBANCE", std::string_view npoints = "10") {
  return "##TITLE=test\n##JCAMP-DX=4.24 $$ a comment\n##DATA TYPE=INFRARED SPECTRUM\n"
         "##XUNITS=1/CM\n##Y UNITS=" +
         std::string(yunits) +
         "\n##XFACTOR=1\n##YFACTOR=0.5\n##FIRSTX=1000\n##LASTX=1009\n"
         "##NPOINTS=" +
         std::string(npoints) + "\n##FIRSTY=5\n";
}
const std::string kXyData = "##XYDATA=(X++(Y..Y))\n";  // line 12
std::string file(std::string_view data) {
  return head() + kXyData + std::string(data) + "##END=\n";
}

const std::vector<double> kX = {1000, 1001, 1002, 1003, 1004, 1005, 1006, 1007, 1008, 1009};
const std::vector<double> kY = {5, 6, 7.5, 7.5, 7.5, 5.5, 0, -1.5, -1.5, 2};

// The error without its class: "count_mismatch at 14:5: ...".
std::string shown(const JcampRead& read) {
  if (!read.error) return "read";
  const std::string text = testing::shown(*read.error);
  return text.substr(text.find(' ', 5) + 1);
}

TEST(JcampReader, ReadsOneSpectrumInEveryEncoding) {
  const std::vector<std::string> files = {
      file("1000 10 12 15 15 15\r\n1005 11 0 -3 -3 4\r\n"),        // AFFN, CRLF
      file("1000+10+12+15+15+15 $$ packed\n\n1005+11+0-3-3+4\n"),  // PAC
      file("1000A0A2A5A5A5\n1005A1@ccD\n"),                        // SQZ
      file("1000A0KL%%\n1004A5mj1l%P\n1009D\n"),                   // DIF with the last check
      file("1000A0A2A5U\n1005A1@cTD\n"),                           // SQZ DUP
      file("1000A0KL%T\n1004A5 11@l%+4\n"),                        // mixed
      file("1.000E+03 1.0e+1 12 15 15 15\n1005 11,0 -3 -3 4\n"),   // exponents, commas
      head() +
          "##XYPOINTS=(XY..XY)\n1000,10; 1001,12\n1002, 15 1003,15;1004,15\n1005\n11 "
          "1006,0 1007,-3\n1008,-3\n1009,4\n##END=",
  };
  for (const std::string& text : files) {
    const JcampRead read = read_jcamp(text);
    ASSERT_FALSE(read.error) << shown(read) << "\n" << text;
    EXPECT_EQ(read.curve.x, kX) << text;
    EXPECT_EQ(read.curve.y, kY) << text;
    EXPECT_EQ(read.curve.y_quantity, "absorbance");
    EXPECT_EQ(read.curve.title, "test");
    EXPECT_TRUE(read.curve.notes.empty());
  }
}

TEST(JcampReader, RefusesHostileFilesAtTheirPlace) {
  const std::string affn = "1000 10 12 15 15 15\n1005 11 0 -3 -3 4\n";
  const std::vector<std::pair<std::string, std::string>> cases = {
      {file("1000A0KL%%\n1004A6mj1l%P\n"),
       "count_mismatch at 14:5: the Y check value 15 (the last Y of line 13), not 'A6'"},
      {file("1000A0KL%%\n1004\n"),
       "missing_field at 14:5: the Y check value 15 (the last Y of line 13)"},
      {file("1000 10 12 15 15 15\n1005 11 0 -3 -3\n"),
       "count_mismatch at 15:1: the 10 points of ##NPOINTS= at line 10 in the table at line 12, "
       "not 9"},
      {file("1000A0A2A5U\n1005A1@cTDZ\n"),
       "count_mismatch at 14:11: at most the 10 points of ##NPOINTS= at line 10"},
      {file("1000 10 12 15 15 15\n1006 11 0 -3 -3 4\n"),
       "count_mismatch at 14:1: the X of point 6, 1005 to within 1 once times ##XFACTOR=, not "
       "1006"},
      {file("1000A0?2\n"),
       "syntax at 13:7: a value of the data table (AFFN, or an ASDF character), not '?'"},
      {file("1000T\n"), "syntax at 13:5: a Y value before a DUP count"},
      {file("1000J\n"), "syntax at 13:5: an AFFN or SQZ Y value before a DIF one"},
      {file("A000 1\n"), "layout at 13:1: an X value (AFFN) first on the line, not an ASDF one"},
      {file(",\n"), "layout at 13:1: an X value (AFFN) first on the line"},
      {file("1000 1.2.3\n"), "not_a_number at 13:6: a number, not '1.2.3'"},
      {file(affn + "##XYPOINTS=(XY..XY)\n1000,1\n"),
       "misplaced at 15:1: one data table a block, as at line 12"},
      {head() + kXyData + affn,
       "cut_short at 14:18: the ##END= of the block at line 1, not the end of the file"},
      {head() + kXyData + affn + "##END",
       "syntax at 15:1: a label and '=' after '##', not '##END'"},
      {head() + "##XYPOINTS=(XY..XY)\n1000,10 1001\n##END=\n",
       "missing_field at 14:1: the Y of the last pair of the table at line 12 before the next "
       "record"},
      {head() + "##XYDATA=(R++(I..I))\n" + affn + "##END=\n",
       "layout at 12:10: the table (X++(Y..Y)), not '(R++(I..I))'"},
      {"##TITLE=t\n##JCAMP-DX=6.00\n",
       "layout at 2:12: a JCAMP-DX version 4.24, 5.00 or 5.01, not '6.00'"},
      {"1000 2\n", "layout at 1:1: ##TITLE= first, not '1000 2'"},
      {"##TITLE=t\n##JCAMP-DX=4.24\n##XYDATA=(X++(Y..Y))\n",
       "misplaced at 3:1: a ##FIRSTX= before the ##XYDATA="},
      {"##TITLE=t\n##JCAMP-DX=4.24\n##NPOINTS=ten\n", "not_a_number at 3:11: a count, not 'ten'"},
      {"##TITLE=t\n##JCAMP-DX=4.24\n##FIRSTX= abc\n", "not_a_number at 3:11: a number, not 'abc'"},
      {"##TITLE=t\n##END=\n",
       "misplaced at 2:1: a ##XYDATA=, ##XYPOINTS= or ##PEAK TABLE= before the last ##END="},
      {"##TITLE=t\n##TITLE=u\n",
       "misplaced at 2:1: the ##END= of the block at line 1 before another ##TITLE="},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(shown(read_jcamp(text)), expected) << text;
  std::string text = file(affn);
  text.replace(text.find("1/CM"), 4, "HZ");
  EXPECT_EQ(shown(read_jcamp(text)),
            "layout at 4:10: ##XUNITS= 1/CM, NANOMETERS, MICROMETERS or EV, not 'HZ'");
  text = file(affn);
  text.replace(text.find("FIRSTY=5"), 8, "FIRSTY=7");
  EXPECT_EQ(
      shown(read_jcamp(text)),
      "count_mismatch at 11:1: a ##FIRSTY= of the first Y times ##YFACTOR= (5, line 13), not 7");
}

TEST(JcampReader, TurnsTransmittanceIntoAbsorbanceLeavingOutWhatIsNotPositive) {
  struct Case {
    std::string_view yunits, data;  // T of 1, 0.1, 0.01 or none (-1: 0 and below)
    std::vector<LineListNote> notes;
  };
  const std::string line1 = "turned 'TRANSMITTANCE' into absorbance, -log10(T), T in ";
  const Case cases[] = {
      {"TRANSMITTANCE", "1 1 0.1 0.01\n", {{5, line1 + "fractions"}}},
      {"TRANSMITTANCE", "1 100 10 1\n", {{5, line1 + "percent (a value exceeds 1.5)"}}},
      {"% TRANSMITTANCE",
       "1 100 10 1\n",
       {{5, "turned '% TRANSMITTANCE' into absorbance, -log10(T), T in percent"}}},
      {"TRANSMITTANCE",
       "1 1 0.1\n3 0 -0.5\n5 0.01\n",
       {{5, line1 + "fractions"},
        {13,
         "left out 2 points of transmittance zero or below (absorbance infinite), the first "
         "on this line"}}},
  };
  for (const Case& c : cases) {
    std::string text =
        head(c.yunits, c.data.size() > 14 ? "5" : "3") + kXyData + std::string(c.data) + "##END=\n";
    text.replace(text.find("LASTX=1009"), 10, c.data.size() > 14 ? "LASTX=5" : "LASTX=3");
    text.replace(text.find("FIRSTX=1000"), 11, "FIRSTX=1");
    text.replace(text.find("##FIRSTY=5\n"), 11, "");
    text.replace(text.find("YFACTOR=0.5"), 11, "YFACTOR=1");
    const JcampRead read = read_jcamp(text);
    ASSERT_FALSE(read.error) << shown(read);
    EXPECT_EQ(read.curve.x.back(), c.data.size() > 14 ? 5 : 3);
    EXPECT_EQ(read.curve.y, (std::vector<double>{0, 1, 2}));
    EXPECT_EQ(read.curve.y_quantity, "absorbance");
    EXPECT_EQ(read.curve.notes, c.notes);
  }
}

// A link block over an empty block, the spectrum in nanometres, and a
// peak table after it, each holding its ##END=.
const std::string kCompound =
    "##TITLE=link\n##JCAMP-DX=5.01\n##BLOCKS=3\n"
    "##TITLE=structure\n##JCAMP-DX=5.01\n##END=\n"
    "##TITLE=uv\n##JCAMP-DX=5.01\n##XUNITS=NANOMETERS\n##YUNITS=ARBITRARY UNITS\n"
    "##NPOINTS=2\n##XYPOINTS=(XY..XY)\n200,1 250,2\n##END=\n"
    "##TITLE=peaks\n##JCAMP-DX=5.01\n##XUNITS=1/CM\n##YUNITS=ABSORBANCE\n"
    "##PEAK TABLE=(XY..XY)\n1000,2;1500,4\n##END=\n##END=\n";

TEST(JcampReader, ReadsTheFirstBlockHoldingASpectrumOfACompoundFile) {
  const JcampRead read = read_jcamp(kCompound);
  ASSERT_FALSE(read.error) << shown(read);
  EXPECT_EQ(read.curve.x, (std::vector<double>{200, 250}));
  EXPECT_EQ(read.curve.x_unit, JcampXUnit::nanometre);
  EXPECT_EQ(read.curve.y_quantity, "ARBITRARY UNITS");
  EXPECT_EQ(read.curve.notes,
            (std::vector<LineListNote>{{7, "read block 2 of 3, the first that holds a spectrum"}}));
  // A peak table before the spectrum: a curve wanted passes over it.
  const std::size_t uv = kCompound.find("##TITLE=uv"), peaks = kCompound.find("##TITLE=peaks");
  const std::string reordered = "##TITLE=link\n##JCAMP-DX=5.01\n##BLOCKS=2\n" +
                                kCompound.substr(peaks, kCompound.size() - 7 - peaks) +
                                kCompound.substr(uv, peaks - uv) + "##END=\n";
  const JcampRead curve = read_jcamp(reordered, JcampTable::curve);
  ASSERT_FALSE(curve.error) << shown(curve);
  EXPECT_EQ(curve.curve.x, (std::vector<double>{200, 250}));
  EXPECT_EQ(curve.curve.notes.front().text, "read block 2 of 2, the first that holds a spectrum");
  EXPECT_TRUE(read_jcamp(reordered).curve.peak_table);
  std::string wrong = kCompound;
  wrong.replace(wrong.find("BLOCKS=3"), 8, "BLOCKS=2");
  EXPECT_EQ(shown(read_jcamp(wrong)),
            "count_mismatch at 22:1: the 2 blocks of ##BLOCKS= at line 3, not 3");
}

TEST(JcampReader, GivesItsPeakTableAsALineListAndRefusesACurve) {
  const LineListFormat* row = find_line_list_format("jcamp");
  ASSERT_NE(row, nullptr);
  const std::string peaks = kCompound.substr(kCompound.find("##TITLE=peaks"));
  EXPECT_EQ(recognise_input("\n  ##TITLE = peaks\n").name, "jcamp");
  EXPECT_FALSE(row->read("\xEF\xBB\xBF" + peaks, {}).error);
  EXPECT_EQ(recognise_input("# ##TITLE=\n1 2\n").name, "columns");
  const LineListRead read = row->read(peaks, {.columns = {}, .frequency_scale = 0.5});
  ASSERT_FALSE(read.error);
  EXPECT_EQ(read.table.frequency, (std::vector<double>{500, 750}));
  EXPECT_EQ(read.table.intensity, (std::vector<double>{2, 4}));
  EXPECT_EQ(row->read(kCompound, {}).error->expected,
            "a ##PEAK TABLE= for a line list (this file holds a measured spectrum: give it with "
            "--overlay)");
  std::string nm = peaks;
  nm.replace(nm.find("1/CM"), 4, "MICROMETERS");
  EXPECT_EQ(row->read(nm, {}).error->line, 5U);
}

TEST(JcampReader, RefusesAFileCutAtAnyLine) {
  for (const std::string& text : {file("1000A0KL%%\n1004A5mj1l%P\n1009D\n"), kCompound}) {
    for (std::size_t cut = 0; cut + 2 < text.size(); cut = text.find('\n', cut + 1)) {
      for (const std::size_t at : {cut, cut + 1, cut + 3}) {
        const JcampRead read = read_jcamp(std::string_view(text).substr(0, at));
        ASSERT_TRUE(read.error) << at;
        EXPECT_LE(read.error->line, 1 + std::count(text.begin(), text.begin() + at, '\n'));
      }
    }
  }
}

}  // namespace
}  // namespace broaden
