#include <cmath>
#include <streambuf>
#include <string>

#include "records/line_list.h"

namespace broaden {
namespace {

const char* field_error_text(FieldError error) {
  switch (error) {
    case FieldError::invalid_character:
      return "a character that is no digit, blank, sign, point or E or D exponent";
    case FieldError::second_point:
      return "a second decimal point";
    case FieldError::no_mantissa_digits:
      return "no digit before the exponent";
    case FieldError::no_exponent_digits:
      return "an exponent without digits";
    case FieldError::none:
      break;
  }
  return "";
}

// A read-only stream buffer over text held in memory, so that the records
// are split at their line ends by read_peak itself.
class ViewBuffer final : public std::streambuf {
 public:
  explicit ViewBuffer(std::string_view text) {
    char* begin = const_cast<char*>(text.data());  // only ever read
    setg(begin, begin, begin + text.size());
  }
};

}  // namespace

LineListRead read_fixed_records(std::string_view text, const LineListOptions& options) {
  LineListRead result;
  ViewBuffer buffer(text);
  std::istream in(&buffer);
  for (std::size_t line = 1;; ++line) {
    const PeakRecord read = read_peak(in);
    if (read.status == RecordStatus::end_of_file) break;
    if (read.status != RecordStatus::ok) {
      result.error = read_error(
          ReadFault::not_a_number, line, read.column,
          std::string("the ") + (read.field == 1 ? "frequency" : "intensity") +
              " as a number in a 10-character field, found " + field_error_text(read.error));
      return result;
    }
    const Peak peak{read.peak.frequency * options.frequency_scale, read.peak.intensity};
    if (!options.keep_infinities &&
        (!std::isfinite(peak.frequency) || !std::isfinite(peak.intensity))) {
      result.error = read_error(ReadFault::out_of_range, line, 1,
                                "a frequency and an intensity within the range of doubles");
      return result;
    }
    result.table.push_back(peak);
  }
  return result;
}

}  // namespace broaden
