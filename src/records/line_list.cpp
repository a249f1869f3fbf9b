#include "records/line_list.h"

#include <algorithm>
#include <string>

namespace broaden {
namespace {

constexpr auto kWidth = static_cast<std::size_t>(kLineListFieldWidth);

// The most characters two fields can span: two full fields and the comma
// that may stand between them.
constexpr std::size_t kRecordSpan = 2 * kWidth + 1;

// Cuts the next field from `record` at `pos` and moves `pos` past it.
std::string_view next_field(std::string_view record, std::size_t& pos) {
  const std::size_t start = std::min(pos, record.size());
  const std::size_t end = std::min(start + kWidth, record.size());
  const std::size_t comma = record.find(',', start);
  if (comma < end) {
    pos = comma + 1;
    return record.substr(start, comma - start);
  }
  pos = end;
  if (end - start == kWidth && pos < record.size() && record[pos] == ',') ++pos;
  return record.substr(start, end - start);
}

}  // namespace

PeakRecord record_to_peak(std::string_view record) noexcept {
  PeakRecord result;
  std::size_t pos = 0;
  double values[2] = {0.0, 0.0};
  for (int field = 1; field <= 2; ++field) {
    const std::size_t start = std::min(pos, record.size());
    const FieldValue read = field_to_double(next_field(record, pos), kLineListImpliedDecimals);
    if (read.error != FieldError::none) {
      result.status = RecordStatus::bad_field;
      result.error = read.error;
      result.field = field;
      result.column = start + 1;
      return result;
    }
    values[field - 1] = read.value;
  }
  result.peak = Peak{values[0], values[1]};
  return result;
}

PeakRecord read_peak(std::istream& in) {
  using traits = std::istream::traits_type;
  std::streambuf& buffer = *in.rdbuf();
  if (traits::eq_int_type(buffer.sgetc(), traits::eof())) {
    PeakRecord end;
    end.status = RecordStatus::end_of_file;
    return end;
  }

  // One character more than the fields can use, to tell whether a carriage
  // return among them stands right before the line end.
  char kept[kRecordSpan + 1];
  std::size_t size = 0;
  bool line_ended = false;
  while (size < sizeof kept) {
    const auto c = buffer.sbumpc();
    if (traits::eq_int_type(c, traits::eof())) {
      line_ended = true;  // a carriage return right before the end stays in the record
      break;
    }
    if (traits::to_char_type(c) == '\n') {
      line_ended = true;
      if (size > 0 && kept[size - 1] == '\r') --size;
      break;
    }
    kept[size++] = traits::to_char_type(c);
  }
  if (!line_ended) {
    // Skipped through the buffer itself, so that its read errors reach the
    // caller whatever the stream's exception mask.
    for (auto c = buffer.sbumpc(); !traits::eq_int_type(c, traits::eof()) && c != '\n';
         c = buffer.sbumpc()) {
    }
  }
  return record_to_peak(std::string_view(kept, std::min(size, kRecordSpan)));
}

}  // namespace broaden
