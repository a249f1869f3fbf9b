// Fuzz target: the free-form answer reader.
//
// The first byte picks the item limit, the rest is standard input, read as
// answers until it ends. For any input:
// - every answer ends: an item of at most `limit` characters (`truncated`
//   only when the limit was reached), holding no line feed; an unquoted item
//   holds no blank, tab, comma, slash or semicolon;
// - an answer consumes whole lines: after it the input stands at its end or
//   right after a line feed, so nothing of the next answer's line is lost;
// - once the input has ended, every further answer finds it ended;
// - blank lines, blanks and tabs before the first answer change nothing, nor
//   does writing every line end as a carriage return and line feed.

#include <cstdint>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "run/answer_reader.h"

namespace {

using namespace broaden;

constexpr std::size_t kLimits[] = {0, 1, 2, 40, 4096};
constexpr int kMostAnswers = 64;

struct Reading {
  std::vector<Answer> answers;
  bool operator==(const Reading& other) const {
    if (answers.size() != other.answers.size()) return false;
    for (std::size_t i = 0; i < answers.size(); ++i) {
      const Answer &a = answers[i], &b = other.answers[i];
      if (a.status != b.status || a.item != b.item || a.quoted != b.quoted ||
          a.truncated != b.truncated)
        return false;
    }
    return true;
  }
};

// Reads answers until the input ends, checking each one as it comes.
Reading read_all(const std::string& input, std::size_t limit) {
  std::istringstream in(input);
  Reading reading;
  for (int i = 0; i < kMostAnswers; ++i) {
    const Answer answer = read_answer(in, limit);
    reading.answers.push_back(answer);

    FUZZ_CHECK(answer.item.size() <= limit);
    FUZZ_CHECK(!answer.truncated || answer.item.size() == limit);
    FUZZ_CHECK(answer.item.find('\n') == std::string::npos);
    if (answer.status == AnswerStatus::ok && !answer.quoted)
      FUZZ_CHECK(answer.item.find_first_of(" \t,/;") == std::string::npos);
    if (answer.status != AnswerStatus::ok) FUZZ_CHECK(answer.quoted || answer.item.empty());

    const auto position = in.rdbuf()->pubseekoff(0, std::ios::cur, std::ios::in);
    FUZZ_CHECK(position >= 0);
    const auto consumed = static_cast<std::size_t>(position);
    FUZZ_CHECK(consumed == input.size() || (consumed > 0 && input[consumed - 1] == '\n'));

    if (answer.status == AnswerStatus::end_of_input) {
      FUZZ_CHECK(consumed == input.size());
      FUZZ_CHECK(read_answer(in, limit).status == AnswerStatus::end_of_input);
      break;
    }
  }
  return reading;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::size_t limit = kLimits[data[0] % std::size(kLimits)];
  const std::string input(reinterpret_cast<const char*>(data) + 1, size - 1);

  const Reading reading = read_all(input, limit);
  FUZZ_CHECK(read_all(" \t\n\n  \n" + input, limit) == reading);
  if (input.find('\r') == std::string::npos) {
    std::string crlf;
    for (const char c : input) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    FUZZ_CHECK(read_all(crlf, limit) == reading);
  }
  return 0;
}
