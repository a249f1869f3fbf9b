#include "records/line_list_formats.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>

#include "records/line_list.h"

namespace broaden {
namespace {

using namespace std::string_literals;

const LineListFormat& format(std::string_view name) {
  const LineListFormat* row = find_line_list_format(name);
  if (row == nullptr) throw std::runtime_error("no format " + std::string(name));
  return *row;
}

TEST(LineListFormats, EveryRowHasADistinctNameAReaderAndIsFoundByIt) {
  std::set<std::string_view> names;
  for (const LineListFormat& row : line_list_formats()) {
    EXPECT_FALSE(row.name.empty());
    EXPECT_NE(row.read, nullptr) << row.name;
    EXPECT_TRUE(names.insert(row.name).second) << row.name << " twice";
    EXPECT_EQ(find_line_list_format(row.name), &row);
    // A format that recognises its content recognises nothing empty, which
    // is the columns line list's (an empty table).
    if (row.recognises != nullptr) {
      EXPECT_FALSE(row.recognises("")) << row.name;
    }
  }
  EXPECT_EQ(find_line_list_format("Columns"), nullptr);
  EXPECT_EQ(find_line_list_format(""), nullptr);
}

TEST(LineListFormats, TheColumnsAreTheFallbackAndTheFixedRecordsAreNeverGuessed) {
  for (const std::string& text :
       {""s, "1000 2\n"s, "  100.0000    2.5000\n"s, "\xEF\xBB\xBF# x\n"s, "\0\xff\n"s}) {
    EXPECT_EQ(recognise_line_list(text).name, "columns") << text;
  }
}

// The same lines in each format read as the same table, through the rows.
TEST(LineListFormats, OneTableWhateverTheFormat) {
  const LineListRead columns = format("columns").read("100 2.5\n1.5 0.0002\n", {});
  const LineListRead fixed = format("fixed").read("  100.0000    2.5000\n1.5,2\n", {});
  ASSERT_FALSE(columns.error);
  ASSERT_FALSE(fixed.error);
  EXPECT_EQ(fixed.table.frequency, columns.table.frequency);
  EXPECT_EQ(fixed.table.intensity, columns.table.intensity);
  EXPECT_TRUE(fixed.table.width.empty());
  EXPECT_EQ(fixed.table.frequency_unit, Unit::unknown);
}

TEST(FixedRecords, ReadsEveryRecordAsTheClassicReaderDoesAndScalesFrequencies) {
  const struct {
    std::string text;
    std::vector<double> frequency, intensity;
  } cases[] = {
      {"", {}, {}},
      {"\n", {0}, {0}},                        // an empty record is the peak (0, 0)
      {"1.0,2.0\r\n3.0", {1, 3}, {2, 0}},      // CR LF, a last record without its line feed
      {"25        25E2\n", {0.0025}, {0.25}},  // implied decimals
      {"  500.0000  100.0000          \r", {500}, {100}},  // a CR past the fields
      {"  100.0000    2.5000 and a tail " + std::string(1000, 'x') + "\n4,5\n",
       {100, 0.0004},
       {2.5, 0.0005}},
  };
  for (const auto& c : cases) {
    const LineListRead read = read_fixed_records(c.text, {});
    ASSERT_FALSE(read.error) << c.text << ": " << read.error->expected;
    EXPECT_EQ(read.table.frequency, c.frequency) << c.text;
    EXPECT_EQ(read.table.intensity, c.intensity) << c.text;
  }
  const LineListRead scaled =
      read_fixed_records("1000.0,1\n", {.columns = {}, .frequency_scale = 0.96});
  EXPECT_EQ(scaled.table.frequency, std::vector<double>{1000.0 * 0.96});
}

TEST(FixedRecords, RefusesTheFirstBadRecordAndInfinitiesUnlessKept) {
  const struct {
    std::string text;
    LineListError error;
  } cases[] = {
      {"1.0,2.0\n1.0\t2.0\n",
       {LineError::not_a_number, 2, 1,
        "the frequency as a number in a 10-character field, found a character that is no "
        "digit, blank, sign, point or E or D exponent",
        ReadFault::not_a_number}},
      {"  200.0000    1.0.00\n",
       {LineError::not_a_number, 1, 11,
        "the intensity as a number in a 10-character field, found a second decimal point",
        ReadFault::not_a_number}},
      {"1,E5\n",
       {LineError::not_a_number, 1, 3,
        "the intensity as a number in a 10-character field, found no digit before the "
        "exponent",
        ReadFault::not_a_number}},
      {"1.0,2.0\r",
       {LineError::not_a_number, 1, 5,
        "the intensity as a number in a 10-character field, found a character that "
        "is no digit, blank, sign, point or E or D exponent",
        ReadFault::not_a_number}},
      {"1,2\n 1000.0000   1.0E400\n",
       {LineError::out_of_range, 2, 1, "a frequency and an intensity within the range of doubles",
        ReadFault::out_of_range}},
  };
  for (const auto& c : cases) {
    const LineListRead read = read_fixed_records(c.text, {});
    ASSERT_TRUE(read.error) << c.text;
    EXPECT_EQ(*read.error, c.error) << c.text << " -> " << read.error->expected;
  }
  // Kept, as broaden keeps them; a scale that overflows is refused likewise.
  const LineListRead kept = read_fixed_records(
      "1E400,-1E400\n",
      {.columns = {}, .frequency_scale = 1, .width_divisor = 1, .keep_infinities = true});
  ASSERT_FALSE(kept.error);
  EXPECT_EQ(kept.table.frequency[0], INFINITY);
  EXPECT_EQ(kept.table.intensity[0], -INFINITY);
  const LineListRead overflow =
      read_fixed_records("1.0E300,1\n", {.columns = {}, .frequency_scale = 1e10});
  ASSERT_TRUE(overflow.error);
  EXPECT_EQ(overflow.error->what, LineError::out_of_range);
}

}  // namespace
}  // namespace broaden
