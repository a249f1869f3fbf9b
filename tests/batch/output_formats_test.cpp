#include "batch/output_formats.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>
#include <vector>

#include "batch/options.h"
#include "batch/spectrum_kinds.h"
#include "records/jcamp_reader.h"
#include "records/line_list_formats.h"

namespace broaden {
namespace {

std::string points(const SpectrumFormat& format, const PointBlock& block) {
  std::string text(block.x.size() * kPointRoom, '\0');
  text.resize(static_cast<std::size_t>(format.points(block, text.data()) - text.data()));
  return text;
}

const SpectrumFormat& format(std::string_view name) {
  const SpectrumFormat* row = find_spectrum_format(name);
  if (row == nullptr) throw std::runtime_error("no format " + std::string(name));
  return *row;
}

TEST(SpectrumFormats, EachRowWritesItsHeadPointsAndTail) {
  const std::vector<double> x{0.3, 1e-05, 2000}, y{2.5, 0.30000000000000004, -0.0};
  const struct {
    const char* name;
    int digits;
    std::string head, points, tail;
  } cases[] = {
      {"tsv", 0, "# shape=gaussian sigma=5\n", "0.3\t2.5\n1e-05\t0.30000000000000004\n2000\t-0\n",
       ""},
      {"tsv", 3, "# shape=gaussian sigma=5\n", "0.3\t2.5\n1e-05\t0.3\n2e+03\t-0\n", ""},
      {"csv", 0, "frequency,intensity\n", "0.3,2.5\n1e-05,0.30000000000000004\n2000,-0\n", ""},
      {"classic", 0, "",
       "      0.3000 ,       2.5000\n      0.0000 ,       0.3000\n   2000.0000 ,      -0.0000\n",
       ""},
      {"jcamp", 0,
       "##TITLE=shape=gaussian sigma=5\n##JCAMP-DX=5.01\n##DATA TYPE=SPECTRUM\n"
       "##ORIGIN=broaden-batch\n##OWNER=\n##XUNITS=1/CM\n##YUNITS=ARBITRARY UNITS\n"
       "##XFACTOR=1\n##YFACTOR=1\n##FIRSTX=0.3\n##LASTX=2000\n##NPOINTS=3\n##FIRSTY=2.5\n"
       "##XYPOINTS=(XY..XY)\n",
       "0.3,2.5\n1e-05,0.30000000000000004\n2000,-0\n", "##END=\n"},
  };
  const HeaderFields fields{{"shape", "gaussian"}, {"sigma", "5"}};
  for (const auto& c : cases) {
    const SpectrumHeader header{fields, AxisUnit::per_centimetre, x.size(), x, y, c.digits};
    const SpectrumFormat& row = format(c.name);
    EXPECT_EQ(row.head(header), c.head) << c.name;
    EXPECT_EQ(points(row, {x, y, c.digits}), c.points) << c.name << " " << c.digits;
    EXPECT_EQ(row.tail(header), c.tail) << c.name;
  }
}

// The widest numbers of every row fit the room promised a point, and blocks
// written one after another join into the text of the whole.
TEST(SpectrumFormats, PointsFitTheirRoomAndBlocksJoin) {
  const std::vector<double> x{-2.2250738585072014e-308, -1.7976931348623157e+308, 1e22, 5e-324},
      y{-4.9406564584124654e-324, -2.2250738585072009e-308, -1e-300, 1.2345678901234567e-100};
  for (const SpectrumFormat& row : spectrum_formats()) {
    for (const int digits : {0, 17}) {
      const std::string whole = points(row, {x, y, digits});
      EXPECT_LE(whole.size(), x.size() * kPointRoom) << row.name;
      const std::span<const double> xs(x), ys(y);
      EXPECT_EQ(points(row, {xs.first(1), ys.first(1), digits}) +
                    points(row, {xs.subspan(1), ys.subspan(1), digits}),
                whole)
          << row.name;
    }
  }
}

TEST(SpectrumFormats, TheGridsDecimalsWriteTheTextOfTheirPoints) {
  // Points 7, 8, 9 of 0.1 by 0.1: 0.8, 0.9, 1.
  const DecimalAbscissae decimals{1, 1, -1};
  const std::vector<double> x{0.8, 0.9, 1.0}, y{1, 2, 3};
  for (const char* name : {"tsv", "csv"}) {
    EXPECT_EQ(points(format(name), {x, y, 0, &decimals, 7}), points(format(name), {x, y}));
  }
  // With digits asked for, the abscissae are the doubles' own digits.
  const std::vector<double> off{0.81, 0.91, 1.01};
  EXPECT_EQ(points(format("csv"), {off, y, 2, &decimals, 7}), "0.81,1\n0.91,2\n1,3\n");
}

// Each row's name, given to --input or --format, gives that row.
TEST(FormatTables, EachRowIsTheKindItsNameGivesOnTheCommandLine) {
  const auto parsed = [](const char* option, std::string_view name) {
    const std::string value(name);
    const char* argv[] = {"broaden-batch", "--fwhm", "1", option, value.c_str()};
    return parse_command_line(5, argv);
  };
  for (const LineListFormat& input : input_formats()) {
    const Command command = parsed("--input", input.name);
    ASSERT_EQ(command.action, CommandAction::run) << input.name << ": " << command.text;
    EXPECT_EQ(command.options.input, input.name);
  }
  const auto outputs = spectrum_formats();
  std::set<std::string_view> names;
  for (std::size_t i = 0; i < outputs.size(); ++i) {
    EXPECT_TRUE(names.insert(outputs[i].name).second) << outputs[i].name << " twice";
    EXPECT_EQ(find_spectrum_format(outputs[i].name), &outputs[i]);
    const Command command = parsed("--format", outputs[i].name);
    ASSERT_EQ(command.action, CommandAction::run) << outputs[i].name << ": " << command.text;
    EXPECT_EQ(static_cast<std::size_t>(command.options.format), i) << outputs[i].name;
  }
  EXPECT_EQ(find_spectrum_format("TSV"), nullptr);
}

// What jcamp writes reads back through the JCAMP-DX reader to the same
// doubles: even and uneven grids (an axis converted to wavelengths), values
// at the ends of the doubles, in every x unit the reader knows.
TEST(SpectrumFormats, JcampReadsBackToTheSameDoubles) {
  std::vector<double> even, nm, wide, y;
  for (int i = 0; i < 200; ++i) {
    even.push_back(400 + 0.1 * i);
    nm.push_back(converted(20000 + 37.3 * i, AxisUnit::per_centimetre, AxisUnit::nanometre));
    wide.push_back(std::ldexp(1.0 + i, 4 * i - 400));
    y.push_back(std::sin(0.37 * i) * std::pow(10.0, i % 40 - 20));
  }
  const struct {
    const std::vector<double>& x;
    AxisUnit axis;
    JcampXUnit unit;
  } cases[] = {{even, AxisUnit::per_centimetre, JcampXUnit::per_centimetre},
               {nm, AxisUnit::nanometre, JcampXUnit::nanometre},
               {wide, AxisUnit::micrometre, JcampXUnit::micrometre},
               {nm, AxisUnit::electronvolt, JcampXUnit::electronvolt}};
  const HeaderFields fields{{"input", "'a b.log'"}, {"spectrum", "ir"}, {"intensity", "km/mol"}};
  for (const auto& c : cases) {
    const SpectrumHeader header{fields, c.axis, c.x.size(), c.x, y, 0};
    const SpectrumFormat& row = format("jcamp");
    const JcampRead read = read_jcamp(row.head(header) + points(row, {c.x, y}) + row.tail(header));
    ASSERT_FALSE(read.error) << read.error->line << ": " << read.error->expected;
    EXPECT_EQ(read.curve.x, c.x);
    EXPECT_EQ(read.curve.y, y);
    EXPECT_EQ(read.curve.x_unit, c.unit);
    EXPECT_EQ(read.curve.y_quantity, "km/mol");
    EXPECT_EQ(read.curve.title, "input='a b.log' spectrum=ir intensity=km/mol");
  }
}

}  // namespace
}  // namespace broaden
