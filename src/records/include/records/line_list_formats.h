// The line-list formats: one row each, its name, how it is recognised from
// the content and its reader, all of one contract.
//
// A reader is a pure function over the whole text of a line list: a view
// in, one LineTable out (line_table.h), or the first line it cannot read as
// a LineListError with its line, column and what was expected. It never
// reads a file and never throws but std::bad_alloc.
//
// To add a format (the output of a quantum-chemistry program, say):
//   1. write its reader, src/records/NAME_reader.cpp (picked up by the
//      build by its name), defining
//        LineListRead read_NAME(std::string_view, const LineListOptions&);
//      and, if its content can be told (a banner, a title line),
//        bool recognises_NAME(std::string_view) noexcept;
//   2. declare them and give the format a row at the end of
//      src/records/line_list_formats.cpp;
//   3. test it through its row in tests/records/NAME_reader_test.cpp;
//   4. add a seed file to fuzz/corpus/line_lists/ whose first line is its
//      name (the fuzz target checks the contract on every row);
//   5. describe it in doc/broaden-batch.1 under --input and FILE FORMATS.
// While --input keeps a list of its own (src/batch/options.cpp), the name
// goes there too; the batch tests fail until it does.
#pragma once

#include <span>
#include <string_view>

#include "records/line_table.h"

namespace broaden {

struct LineListFormat {
  /// The format's name, as --input takes it: "columns".
  std::string_view name;
  /// What --help says of it: "fixed (the classic records)".
  std::string_view summary;
  /// True when the text is surely of this format; nullptr for a format that
  /// is read only when asked for by name (or, the columns, as the fallback).
  bool (*recognises)(std::string_view text) noexcept;
  LineListRead (*read)(std::string_view text, const LineListOptions& options);
};

/// Every format, in the order recognition tries them; new rows go at the
/// end, as --input's kinds count the rows in order.
///
///   line_list_formats()[0].name -> "columns"
std::span<const LineListFormat> line_list_formats() noexcept;

/// The format named `name`, or nullptr.
///
///   find_line_list_format("fixed")->name -> "fixed"
///   find_line_list_format("xyz")         -> nullptr
const LineListFormat* find_line_list_format(std::string_view name) noexcept;

/// The first format that recognises `text`, or the columns line list when
/// none does.
///
///   recognise_line_list("1000 2\n").name -> "columns"
const LineListFormat& recognise_line_list(std::string_view text) noexcept;

}  // namespace broaden
