// The input formats: one row each, its name, how it is recognised from the
// content and its readers, all of one contract. A row is a line list (a
// `read` giving a LineTable), or the output of a quantum-chemistry program
// (a `read_spectra` giving its vibrations and excited states as printed,
// spectra_data.h), or both.
//
// A reader is a pure function over the whole text of a file: a view in, one
// LineTable (line_table.h) or SpectraData out, or the first place it cannot
// read as a LineListError with its line, column, what was expected and its
// kind (a ReadFault, line_table.h). It never reads a file and never throws
// but std::bad_alloc.
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
//   4. describe it in doc/broaden-batch.1 under --input and FILE FORMATS.
// The line_lists fuzz target reads each seed that names no format in every
// line list, a new one too; a seed whose first line is its name
// (fuzz/corpus/line_lists/) takes the fuzzer further into it.
// A quantum-chemistry output's row gives `read_spectra` instead of `read`:
//        SpectraRead read_NAME(std::string_view);
// --input takes every row, in the table's order; line_list_formats() gives
// those with a `read`.
#pragma once

#include <span>
#include <string_view>

#include "records/line_table.h"
#include "records/spectra_data.h"

namespace broaden {

struct LineListFormat {
  /// The format's name, as --input takes it: "columns".
  std::string_view name;
  /// What --help says of it: "fixed (the classic records)".
  std::string_view summary;
  /// True when the text is surely of this format; nullptr for a format that
  /// is read only when asked for by name (or, the columns, as the fallback).
  bool (*recognises)(std::string_view text) noexcept;
  /// The line-list reader; nullptr for a program output read only as
  /// spectra data.
  LineListRead (*read)(std::string_view text, const LineListOptions& options) = nullptr;
  /// The reader of a quantum-chemistry output; nullptr for a line list.
  SpectraRead (*read_spectra)(std::string_view text) = nullptr;
};

/// Every format, in the order --input lists them; new rows go at the end.
///
///   input_formats()[2].name -> "gaussian"
std::span<const LineListFormat> input_formats() noexcept;

/// The line lists: copies of the rows of input_formats() with a `read`, in
/// their order.
///
///   line_list_formats()[0].name -> "columns"
///   line_list_formats()[1].name -> "fixed"
std::span<const LineListFormat> line_list_formats() noexcept;

/// The line list named `name`, or nullptr.
///
///   find_line_list_format("fixed")->name -> "fixed"
///   find_line_list_format("xyz")         -> nullptr
///   find_line_list_format("gaussian")    -> nullptr (not a line list)
const LineListFormat* find_line_list_format(std::string_view name) noexcept;

/// The format of any kind named `name`, or nullptr.
///
///   find_input_format("orca")->name -> "orca"
const LineListFormat* find_input_format(std::string_view name) noexcept;

/// The first line list that recognises `text` (past a byte-order mark), or the columns line list
/// when none does (the fixed records are never guessed).
///
///   recognise_line_list("1000 2\n").name -> "columns"
const LineListFormat& recognise_line_list(std::string_view text) noexcept;

/// `text` past a UTF-8 byte-order mark at its start (as some editors on
/// Windows write one), or `text` itself.
///
///   past_byte_order_mark("\xEF\xBB\xBF{...}") -> "{...}"
std::string_view past_byte_order_mark(std::string_view text) noexcept;

/// The first format of any kind, in the order of input_formats(), that
/// recognises `text` from its content (past a byte-order mark), or the
/// columns line list when none does. A program's output is told by the
/// marks of its own structure (a banner line, the first line, a member),
/// never by a name in a comment: "# computed with Gaussian 16\n1000 2\n"
/// is a columns line list.
///
///   recognise_input(" Entering Gaussian System, Link 0=g16\n...").name -> "gaussian"
///   recognise_input("1000 2\n").name                                    -> "columns"
const LineListFormat& recognise_input(std::string_view text) noexcept;

}  // namespace broaden
