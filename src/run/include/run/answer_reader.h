// The free-form answer: one item read from the console's input.
#pragma once

#include <cstddef>
#include <istream>
#include <string>

namespace broaden {

enum class AnswerStatus {
  ok,            ///< `item` holds the answer's first item
  end_of_input,  ///< the input ended before an item (or inside a quoted one)
  empty_item,    ///< the first thing found was a comma, semicolon or slash
};

struct Answer {
  AnswerStatus status = AnswerStatus::ok;
  std::string item;        ///< the item's text, quote marks removed
  bool quoted = false;     ///< the item was written in quote marks
  bool truncated = false;  ///< the item was longer than the limit asked for
  /// What ended an unquoted item, or stood first as an empty one: a blank,
  /// tab, comma, slash or semicolon; '\0' for a line end, the input's end or
  /// a quoted item.
  char ended_by = '\0';
  /// Of an unquoted or empty item: its line as typed, from the item's first
  /// character to the line end, less the blanks and tabs at its end; only the
  /// first `limit` characters are kept. Tells what a cut item was meant to be.
  std::string line;
};

/// Reads one free-form answer from `in` and discards the rest of its line.
///
/// Blanks, tabs and empty lines before the item are skipped. An item that
/// begins with an apostrophe or a quotation mark runs to the matching closing
/// mark (the mark written twice stands for one; a line end inside is left
/// out and the item goes on on the next line), so it may hold blanks, commas
/// and slashes. Any other item ends at a blank, tab, comma, slash, semicolon
/// or line end. A line ends at a line feed, with a carriage return right
/// before it belonging to the line end. Only the first `limit` characters of
/// the item are kept; the rest of the line is skipped without being held.
///
///   "\n  data.txt 5\n"       -> {ok, "data.txt", ended_by ' ', line "data.txt 5"}
///   "'my dir/it''s.txt'\n"  -> {ok, "my dir/it's.txt", quoted}
///   "  , 5\n"                -> {empty_item, ended_by ',', line ", 5"}
///   "   \n"                  -> {end_of_input}
Answer read_answer(std::istream& in, std::size_t limit);

}  // namespace broaden
