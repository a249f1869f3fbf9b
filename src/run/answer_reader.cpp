#include "run/answer_reader.h"

namespace broaden {
namespace {

using traits = std::istream::traits_type;
constexpr traits::int_type kEnd = traits::eof();

// Reads characters with one of its own of look-ahead, so that a carriage
// return can be told apart from a line end without putting it back.
class AnswerCursor {
 public:
  explicit AnswerCursor(std::streambuf& buffer) : buffer_(buffer) {}

  traits::int_type peek() { return held_ != kEnd ? held_ : buffer_.sgetc(); }
  traits::int_type take() {
    if (held_ == kEnd) return buffer_.sbumpc();
    const auto c = held_;
    held_ = kEnd;
    return c;
  }

  // At a line end: a line feed, or a carriage return right before one (the
  // carriage return is then consumed).
  bool at_line_end() {
    if (peek() == '\n') return true;
    if (held_ != kEnd || peek() != '\r') return false;
    buffer_.sbumpc();
    if (buffer_.sgetc() == '\n') return true;
    held_ = '\r';
    return false;
  }

  void skip_line() {
    for (auto c = take(); c != kEnd && c != '\n'; c = take()) {
    }
  }

 private:
  std::streambuf& buffer_;
  traits::int_type held_ = kEnd;
};

bool ends_unquoted_item(traits::int_type c) {
  return c == ' ' || c == '\t' || c == ',' || c == '/' || c == ';' || c == kEnd;
}

}  // namespace

Answer read_answer(std::istream& in, std::size_t limit) {
  Answer answer;
  std::streambuf* buffer = in.rdbuf();
  if (buffer == nullptr) {
    answer.status = AnswerStatus::end_of_input;
    return answer;
  }
  AnswerCursor cursor(*buffer);

  auto keep = [&](traits::int_type c) {
    if (answer.item.size() < limit)
      answer.item += traits::to_char_type(c);
    else
      answer.truncated = true;
  };

  while (cursor.peek() == ' ' || cursor.peek() == '\t' || cursor.at_line_end()) cursor.take();

  const auto first = cursor.peek();
  if (first == kEnd) {
    answer.status = AnswerStatus::end_of_input;
  } else if (first == ',' || first == ';' || first == '/') {
    answer.status = AnswerStatus::empty_item;
  } else if (first == '\'' || first == '"') {
    answer.quoted = true;
    cursor.take();
    for (;;) {
      if (cursor.at_line_end()) {
        cursor.take();
        continue;
      }
      const auto c = cursor.take();
      if (c == kEnd) {
        answer.status = AnswerStatus::end_of_input;
        return answer;
      }
      if (c == first) {
        if (cursor.peek() != first) break;
        cursor.take();
      }
      keep(c);
    }
  } else {
    while (!ends_unquoted_item(cursor.peek()) && !cursor.at_line_end()) keep(cursor.take());
  }
  cursor.skip_line();
  return answer;
}

}  // namespace broaden
