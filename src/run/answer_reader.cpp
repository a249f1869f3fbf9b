#include "run/answer_reader.h"

namespace broaden {
namespace {

using traits = std::istream::traits_type;
constexpr traits::int_type kEnd = traits::eof();

// Reads characters with two of its own of look-ahead, so that a carriage
// return can be told apart from a line end without putting anything back.
// Once the input has ended it is never asked again: on a terminal every
// further read would wait for another end-of-input key.
class AnswerCursor {
 public:
  explicit AnswerCursor(std::streambuf& buffer) : buffer_(buffer) {}

  // The character `ahead` places on (0 or 1), or kEnd past the input's end.
  traits::int_type peek(std::size_t ahead = 0) {
    while (held_ <= ahead && !ended_) {
      const auto c = buffer_.sbumpc();
      ended_ = c == kEnd;
      if (!ended_) slots_[held_++] = c;
    }
    return ahead < held_ ? slots_[ahead] : kEnd;
  }

  traits::int_type take() {
    const auto c = peek();
    if (held_ > 0) {
      slots_[0] = slots_[1];
      --held_;
    }
    return c;
  }

  bool ended() const { return ended_ && held_ == 0; }

  // At a line end: a line feed, or a carriage return right before a line
  // feed or the end of the input.
  bool at_line_end() {
    return peek() == '\n' || (peek() == '\r' && (peek(1) == '\n' || peek(1) == kEnd));
  }

  void skip_line() {
    for (auto c = take(); c != kEnd && c != '\n'; c = take()) {
    }
  }

 private:
  std::streambuf& buffer_;
  traits::int_type slots_[2] = {kEnd, kEnd};
  std::size_t held_ = 0;
  bool ended_ = false;
};

bool ends_unquoted_item(traits::int_type c) {
  return c == ' ' || c == '\t' || c == ',' || c == '/' || c == ';' || c == kEnd;
}

// Takes the rest of the line up to its end, adding what fits within `limit`
// characters to `line`, then drops the blanks and tabs at the end of `line`.
void keep_line(AnswerCursor& cursor, std::size_t limit, std::string& line) {
  while (cursor.peek() != kEnd && !cursor.at_line_end()) {
    const auto c = cursor.take();
    if (line.size() < limit) line += traits::to_char_type(c);
  }
  line.erase(line.find_last_not_of(" \t") + 1);
}

}  // namespace

Answer read_answer(std::istream& in, std::size_t limit) {
  Answer answer;
  std::streambuf* buffer = in.rdbuf();
  if (buffer == nullptr) {
    answer.status = AnswerStatus::end_of_input;
    return answer;
  }
  // An input that has ended stays ended: it is not read again.
  if (in.eof()) {
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
    answer.ended_by = traits::to_char_type(first);
    keep_line(cursor, limit, answer.line);
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
        break;
      }
      if (c == first) {
        if (cursor.peek() != first) break;
        cursor.take();
      }
      keep(c);
    }
  } else {
    while (!ends_unquoted_item(cursor.peek()) && !cursor.at_line_end()) keep(cursor.take());
    answer.line = answer.item;
    if (!cursor.at_line_end() && cursor.peek() != kEnd) {
      answer.ended_by = traits::to_char_type(cursor.peek());
      keep_line(cursor, limit, answer.line);
    }
  }
  cursor.skip_line();
  if (cursor.ended()) in.setstate(std::ios::eofbit);
  return answer;
}

}  // namespace broaden
