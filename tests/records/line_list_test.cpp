#include "records/line_list.h"

#include <gtest/gtest.h>

#include <charconv>
#include <sstream>
#include <streambuf>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

namespace broaden {
namespace {

std::string shortest(double value) {
  char text[400];
  return std::string(text,
                     std::to_chars(text, text + sizeof text, value, std::chars_format::fixed).ptr);
}

// "frequency,intensity" for a good record, "bad <field>: <why>" for a bad one.
std::string describe(const PeakRecord& r) {
  static const char* const kWhy[] = {"none", "invalid", "point", "mantissa", "exponent"};
  switch (r.status) {
    case RecordStatus::ok:
      return shortest(r.peak.frequency) + "," + shortest(r.peak.intensity);
    case RecordStatus::bad_field:
      return "bad " + std::to_string(r.field) + ": " + kWhy[static_cast<int>(r.error)];
    case RecordStatus::end_of_file:
      return "eof";
  }
  return "?";
}

TEST(RecordToPeak, ReadsTwoTenCharacterFieldsOrCommaJoinedNumbers) {
  const struct {
    std::string record, expected;
  } cases[] = {
      {"", "0,0"},
      {std::string(30, ' '), "0,0"},
      {"  100.0000    2.5000", "100,2.5"},
      {"  100.0000", "100,0"},
      {"      1234", "0.1234,0"},
      {"1.5,2", "1.5,0.0002"},
      {"1,2", "0.0001,0.0002"},
      {"1.5,2.5,3", "1.5,2.5"},
      {",2.0", "0,2"},
      {",,", "0,0"},
      {"1.0,", "1,0"},
      {"1.0,       2.0xyz\t", "1,2"},
      {"123456.789,98765.4321", "123456.789,98765.4321"},
      {"1234567890,1234567890x", "123456.789,123456.789"},
      {"12345678901234", "123456.789,0.1234"},
      {"123456789012345678901234", "123456.789,123456.789"},
      {"  1.0E+0022.5D1", "100,25"},
      {"       1.0       2.0\tjunk", "1,2"},
      {"       1.0       2.0abc,x", "1,2"},
      {"1.0\t2.0", "bad 1: invalid"},
      {"   1.0 abc   2.0", "bad 1: invalid"},
      {"       x.0       y.0", "bad 1: invalid"},
      {"       1.0\t      2.0", "bad 2: invalid"},
      {"       1.0       x.0", "bad 2: invalid"},
      {"1.0x,2.0", "bad 1: invalid"},
      {"1.0,2.0x", "bad 2: invalid"},
      {"1.2.3", "bad 1: point"},
      {"       1.0         .", "bad 2: mantissa"},
      {"1.0E,2.0", "bad 1: exponent"},
      {std::string("1.0\0,2.0", 8), "bad 1: invalid"},
      {std::string("1.0,2.0\0", 8), "bad 2: invalid"},
  };
  for (const auto& c : cases) EXPECT_EQ(describe(record_to_peak(c.record)), c.expected) << c.record;
}

// Reads records until the end of the file, and once more to see it stays there.
std::vector<std::string> read_all(const std::string& file) {
  std::istringstream in(file);
  std::vector<std::string> records;
  for (PeakRecord r = read_peak(in); r.status != RecordStatus::end_of_file; r = read_peak(in)) {
    records.push_back(describe(r));
    if (records.size() > 10) break;
  }
  if (read_peak(in).status != RecordStatus::end_of_file) records.push_back("<not eof again>");
  return records;
}

TEST(ReadPeak, SplitsLinesAtLineFeedsDroppingOneCarriageReturnBeforeThemAndSkipsLongTails) {
  const std::vector<std::string> one_two_three_four = {"1,2", "3,4"};
  const std::string twenty = "       1.0       2.0";
  const struct {
    std::string file;
    std::vector<std::string> expected;
  } cases[] = {
      {"", {}},
      {"\n", {"0,0"}},
      {"\r\n", {"0,0"}},
      {"\r", {"bad 1: invalid"}},
      {"1.0,2.0\n3.0,4.0\n", one_two_three_four},
      {"1.0,2.0\r\n3.0,4.0\r\n", one_two_three_four},
      {"1.0,2.0\n3.0,4.0", one_two_three_four},
      {"1.0,2.0\r\n3.0,4.0\r", {"1,2", "bad 2: invalid"}},
      {"    1000.0  100.0\r", {"bad 2: invalid"}},
      {"       1.0       2.0\r", {"1,2"}},
      {"\n\n1.0,2.0\n\n", {"0,0", "0,0", "1,2", "0,0"}},
      {"1.0,2.0\r\r\n5,6\n", {"bad 2: invalid", "0.0005,0.0006"}},
      {"1.0\r2.0\n", {"bad 1: invalid"}},
      {"1234567890,123456789\r\n", {"123456.789,12345.6789"}},
      {"1234567890,123456789\r\r\n", {"bad 2: invalid"}},
      {"1234567890,123456789\r", {"bad 2: invalid"}},
      {"1234567890,12345678\r", {"bad 2: invalid"}},
      {"1234567890,1234567890\r\n1,2", {"123456.789,123456.789", "0.0001,0.0002"}},
      {"12345678901234567890\rX\n1,2\n", {"123456.789,123456.789", "0.0001,0.0002"}},
      {"       1.0       2.0\tjunk\r\n", {"1,2"}},
      {"1.0\t2.0\n3,4\n", {"bad 1: invalid", "0.0003,0.0004"}},
      {std::string("1.0\0,2.0\n", 9), {"bad 1: invalid"}},
      {twenty + std::string(100, 'x'), {"1,2"}},
      {twenty + std::string(100, 'x') + "\r\n3,4", {"1,2", "0.0003,0.0004"}},
      {twenty + std::string(5'000'000, 'x') + "\n3.0,4.0\n", one_two_three_four},
      {std::string(5'000'000, '\t') + "\r\n3,4\r\n", {"bad 1: invalid", "0.0003,0.0004"}},
  };
  for (const auto& c : cases) EXPECT_EQ(read_all(c.file), c.expected) << c.file.substr(0, 40);
}

// Hands out its text, then fails as a device would.
class FailingBuffer : public std::streambuf {
 public:
  explicit FailingBuffer(std::string text) : text_(std::move(text)) {
    setg(text_.data(), text_.data(), text_.data() + text_.size());
  }

 protected:
  int_type underflow() override { throw std::system_error(EIO, std::generic_category()); }

 private:
  std::string text_;
};

TEST(ReadPeak, PassesReadErrorsOnInsteadOfTakingThemForTheEndOfTheFile) {
  for (const std::string& text : {std::string(), std::string("1.0,2.0")}) {
    FailingBuffer buffer(text);
    std::istream in(&buffer);
    EXPECT_THROW(read_peak(in), std::system_error) << text;
  }
}

TEST(ReadPeak, PassesReadErrorsInTheSkippedTailOnWhateverTheExceptionMask) {
  FailingBuffer buffer("       1.0       2.0" + std::string(50, 'x'));
  std::istream in(&buffer);
  EXPECT_THROW(read_peak(in), std::system_error);
}

}  // namespace
}  // namespace broaden
