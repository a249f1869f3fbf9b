// The line-list record: one peak a line, format (f10.4,f10.4).
#pragma once

#include <cstddef>
#include <istream>
#include <string_view>

#include "records/field_to_double.h"
#include "records/line_table.h"

namespace broaden {

enum class RecordStatus {
  ok,           ///< `peak` holds the record's two values
  bad_field,    ///< a field could not be read; `error` and `field` say which and why
  end_of_file,  ///< the file ended before the record began
};

struct PeakRecord {
  RecordStatus status = RecordStatus::ok;
  Peak peak;
  FieldError error = FieldError::none;  ///< with bad_field: why
  int field = 0;                        ///< with bad_field: 1 (frequency) or 2 (intensity)
  std::size_t column = 0;               ///< with bad_field: 1-based column where that field starts
};

/// Width of each numeric field and its implied decimals.
inline constexpr int kLineListFieldWidth = 10;
inline constexpr int kLineListImpliedDecimals = 4;

/// Reads the two fields of one line-list record, given without its line end.
///
/// Each field is the next 10 characters (missing ones count as blanks). A
/// comma among them ends the field early and is consumed, so the next field
/// starts right after it; a comma right after a full 10-character field is
/// consumed as its separator too. Everything after the second field is
/// ignored. Fields are read by field_to_double with 4 implied decimals.
///
///   record_to_peak("  100.0000    2.5000") -> {ok, {100.0, 2.5}}
///   record_to_peak("1.5,2")                -> {ok, {1.5, 0.0002}}
///   record_to_peak("")                     -> {ok, {0.0, 0.0}}
///   record_to_peak("1.0\t2.0")             -> {bad_field, field 1, column 1, invalid_character}
///   record_to_peak("1,2.0.0")              -> {bad_field, field 2, column 3, second_point}
PeakRecord record_to_peak(std::string_view record) noexcept;

/// Reads the next record of a line-list file from `in` and converts it with
/// record_to_peak; the next read starts at the following line.
///
/// A record ends at a line feed; a carriage return right before the line
/// feed belongs to the line end. The last record may lack its line feed; a
/// carriage return at the very end of the file, with no line feed after it,
/// is then part of the record (in a field it makes the field bad).
///
/// Only the first characters the fields can use are kept: the rest of a
/// record, however long, is skipped without being held. Returns
/// end_of_file when the file ends before the record begins. Errors of the
/// underlying buffer propagate as its exceptions.
///
///   "1.0,2.0\r\n" -> {ok, {1.0, 2.0}}
///   "1.0,2.0\r"   -> {bad_field, field 2} (the carriage return is in the field)
PeakRecord read_peak(std::istream& in);

/// Reads every record of a line-list file held in `text` (the "fixed"
/// line-list format), record by record as read_peak reads them, with
/// frequencies multiplied by `options.frequency_scale`. A bad field is
/// refused where its field starts, as not_a_number; an infinite frequency
/// or intensity (1E400 reads as one) is refused at column 1 as
/// out_of_range unless `options.keep_infinities`, which keeps it as broaden
/// keeps it. The layout and the width divisor are not taken: the records
/// have their own two fields.
///
///   read_fixed_records("  100.0000    2.5000\n1.5,2\n", {})
///     -> {frequency {100, 1.5}, intensity {2.5, 0.0002}}
///   read_fixed_records("1.0\t2.0\n", {})
///     -> error {not_a_number, line 1, column 1, "the frequency as a number in a
///               10-character field, found a character that is no digit, ..."}
LineListRead read_fixed_records(std::string_view text, const LineListOptions& options);

}  // namespace broaden
