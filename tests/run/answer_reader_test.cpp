#include "run/answer_reader.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace broaden {
namespace {

struct AnswerCase {
  const char* input;
  AnswerStatus status;
  const char* item;
  bool quoted;
  const char* rest;  // what the next read finds: the following line
};

constexpr auto kOk = AnswerStatus::ok;
constexpr auto kEnd = AnswerStatus::end_of_input;
constexpr auto kEmpty = AnswerStatus::empty_item;

const AnswerCase kCases[] = {
    {"data.txt\nnext", kOk, "data.txt", false, "next"},
    {"  \t data.txt  \nnext", kOk, "data.txt", false, "next"},
    {"\n\n   \n\t\ndata.txt\nnext", kOk, "data.txt", false, "next"},
    {"data.txt 5\nnext", kOk, "data.txt", false, "next"},
    {"a,b\nnext", kOk, "a", false, "next"},
    {"a;b\nnext", kOk, "a", false, "next"},
    {"dir/file\nnext", kOk, "dir", false, "next"},
    {"a\tb\nnext", kOk, "a", false, "next"},
    {"data.txt\r\nnext", kOk, "data.txt", false, "next"},
    {"\r\n\r\n5\r\nnext", kOk, "5", false, "next"},
    {"last", kOk, "last", false, ""},
    {"a\rb\nnext", kOk, "a\rb", false, "next"},
    {"a\r\r\nnext", kOk, "a\r", false, "next"},
    {"5\r", kOk, "5", false, ""},
    {"'my dir/in put.txt' tail\nnext", kOk, "my dir/in put.txt", true, "next"},
    {"\"a,b;c/d\"\nnext", kOk, "a,b;c/d", true, "next"},
    {"'it''s'\nnext", kOk, "it's", true, "next"},
    {"\"say \"\"hi\"\"\"\nnext", kOk, "say \"hi\"", true, "next"},
    {"'it\"s'\nnext", kOk, "it\"s", true, "next"},
    {"''\nnext", kOk, "", true, "next"},
    {"'  padded  '\nnext", kOk, "  padded  ", true, "next"},
    {"'split\r\nline'\nnext", kOk, "splitline", true, "next"},
    {"'abc'def\nnext", kOk, "abc", true, "next"},
    {", 5\nnext", kEmpty, "", false, "next"},
    {"  ;x\nnext", kEmpty, "", false, "next"},
    {"/\nnext", kEmpty, "", false, "next"},
    {"", kEnd, "", false, ""},
    {"  \n\t\n", kEnd, "", false, ""},
    {"'never closed\n", kEnd, "never closed", true, ""},
};

TEST(ReadAnswer, TakesTheFirstItemAndDiscardsItsLine) {
  for (const auto& c : kCases) {
    std::istringstream in(c.input);
    const Answer answer = read_answer(in, 100);
    EXPECT_EQ(answer.status, c.status) << c.input;
    EXPECT_EQ(answer.item, c.item) << c.input;
    EXPECT_EQ(answer.quoted, c.quoted) << c.input;
    std::string rest;
    std::getline(in, rest);
    EXPECT_EQ(rest, c.rest) << c.input;
  }
}

TEST(ReadAnswer, TellsWhatEndedTheItemAndKeepsItsLineAsTyped) {
  const struct {
    const char* input;
    char ended_by;
    const char* line;
  } cases[] = {
      {"data/lines.txt\nnext", '/', "data/lines.txt"},
      {"  data/run 1.txt \t\r\nnext", '/', "data/run 1.txt"},
      {"/abs/path\nnext", '/', "/abs/path"},
      {"a\tb\nnext", '\t', "a\tb"},
      {"it's here\nnext", ' ', "it's here"},
      {"name   \nnext", ' ', "name"},
      {", 5\nnext", ',', ", 5"},
      {"name\nnext", '\0', "name"},
      {"'quoted x'\nnext", '\0', ""},
      {"a/b/c/d/e/f/g/h/i/j/k/l/m\nnext", '/', "a/b/c/d/e/f/g/h/i/j/"},
  };
  for (const auto& c : cases) {
    std::istringstream in(c.input);
    const Answer answer = read_answer(in, 20);
    EXPECT_EQ(answer.ended_by, c.ended_by) << c.input;
    EXPECT_EQ(answer.line, c.line) << c.input;
    EXPECT_EQ(read_answer(in, 20).item, "next") << c.input;
  }
}

TEST(ReadAnswer, KeepsOnlyTheLimitAndSkipsTheRest) {
  std::istringstream in(std::string(100000, 'x') + " 5\n'" + std::string(50, 'y') + "'\nnext\n");
  const Answer unquoted = read_answer(in, 40);
  EXPECT_EQ(unquoted.item, std::string(40, 'x'));
  EXPECT_EQ(unquoted.line, std::string(40, 'x'));
  EXPECT_TRUE(unquoted.truncated);
  const Answer quoted = read_answer(in, 40);
  EXPECT_EQ(quoted.item, std::string(40, 'y'));
  EXPECT_TRUE(quoted.truncated);
  EXPECT_EQ(read_answer(in, 40).item, "next");
}

// Counts the reads that reach the end, as a terminal would see them.
class EndCountingBuffer : public std::stringbuf {
 public:
  using std::stringbuf::stringbuf;
  int ends = 0;

 protected:
  int_type underflow() override {
    const int_type c = std::stringbuf::underflow();
    if (traits_type::eq_int_type(c, traits_type::eof())) ++ends;
    return c;
  }
};

TEST(ReadAnswer, AsksForTheEndOfInputOnlyOnce) {
  for (const char* input : {"", "5", "  \n", "'open"}) {
    EndCountingBuffer buffer(input);
    std::istream in(&buffer);
    read_answer(in, 40);
    EXPECT_EQ(read_answer(in, 40).status, AnswerStatus::end_of_input) << input;
    EXPECT_EQ(buffer.ends, 1) << input;
  }
}

TEST(ReadAnswer, ReadsSuccessiveAnswersLineByLine) {
  std::istringstream in("in.txt 99\n\n  3\nout.txt\n5.0");
  EXPECT_EQ(read_answer(in, 40).item, "in.txt");
  EXPECT_EQ(read_answer(in, 40).item, "3");
  EXPECT_EQ(read_answer(in, 40).item, "out.txt");
  EXPECT_EQ(read_answer(in, 40).item, "5.0");
  EXPECT_EQ(read_answer(in, 40).status, AnswerStatus::end_of_input);
}

}  // namespace
}  // namespace broaden
