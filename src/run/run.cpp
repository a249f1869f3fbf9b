#include "run/run.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "numbers/double_to_echo.h"
#include "records/classic_spectrum.h"
#include "records/line_list.h"
#include "run/answer_reader.h"
#include "run/answer_to_value.h"
#include "text/quoted.h"

namespace broaden {
namespace {

// The longest number item read in full; a longer one is not a number.
constexpr std::size_t kNumberItemLimit = 4096;

// Thrown to end the run with status 2 and the message on standard error.
struct Fatal {
  std::string message;
};

// The longest part of an answer a message shows.
constexpr std::size_t kShownLimit = 64;

// An answer as it is shown in a message: quoted, at most 64 characters
// (then "..."), on one line.
std::string shown(std::string_view text) { return quoted(text, kShownLimit); }

// What a message about a name answer adds when the name ended at a slash,
// blank or tab with more typed after it, or the answer began with a slash
// and went on: how to write the whole of what was typed as one name. Empty
// otherwise.
//
//   data/lines.txt -> "; the name ended at the slash: write a name holding a
//                      slash or a blank in quotes, as in 'data/lines.txt'"
std::string quoting_hint(const Answer& answer) {
  std::string_view what;
  if (answer.status == AnswerStatus::empty_item && answer.ended_by == '/' &&
      answer.line.size() > 1) {
    what = "the answer began with a slash, which ends it";
  } else if (answer.status == AnswerStatus::ok && answer.line.size() > answer.item.size()) {
    if (answer.ended_by == '/') what = "the name ended at the slash";
    if (answer.ended_by == ' ') what = "the name ended at the blank";
    if (answer.ended_by == '\t') what = "the name ended at the tab";
  }
  if (what.empty()) return {};
  std::string typed(1, '\'');
  for (const char c : answer.line) typed += c == '\'' ? "''" : std::string(1, c);
  typed += '\'';
  std::string hint = "; ";
  hint += what;
  hint += ": write a name holding a slash or a blank in quotes, as in ";
  hint += escaped(typed);
  return hint;
}

// A name answer: the name it stands for, and what to add to a message about it.
struct NameAnswer {
  std::string name;
  std::string hint;
};

class Dialogue {
 public:
  Dialogue(std::istream& in, std::ostream& out) : in_(in), out_(out) {}

  // Writes a console line: a blank, the text, a line feed.
  void line(std::string_view text) { out_ << ' ' << text << '\n'; }

  void prompt(std::string_view text) {
    line(text);
    flush();
  }

  void flush() {
    errno = 0;
    out_.flush();
    if (!out_) {
      const int error = errno;
      throw Fatal{std::string("cannot write to standard output") +
                  (error != 0 ? std::string(": ") + std::strerror(error) : std::string())};
    }
  }

  NameAnswer name(std::string_view what) {
    const Answer answer = item(what, kNameFieldSize, true);
    return {answer_to_name(answer.item), quoting_hint(answer)};
  }

  std::int32_t count() {
    const Answer answer = item("number of frequencies", kNumberItemLimit);
    if (answer.quoted)
      throw Fatal{"the number of frequencies is quoted: write it without quote marks"};
    const CountValue count =
        answer.truncated ? CountValue{0, NumberError::not_a_number} : answer_to_count(answer.item);
    if (count.error == NumberError::out_of_range)
      throw Fatal{"the number of frequencies " + shown(answer.item) +
                  " is outside the range -2147483648 to 2147483647"};
    if (count.error != NumberError::none)
      throw Fatal{"the number of frequencies " + shown(answer.item) + " is not a whole number"};
    return count.value;
  }

  double width() {
    const Answer answer = item("width", kNumberItemLimit);
    if (answer.quoted) throw Fatal{"the width is quoted: write it without quote marks"};
    const WidthValue width = answer.truncated ? WidthValue{0.0, NumberError::not_a_number}
                                              : answer_to_width(answer.item);
    if (width.error != NumberError::none)
      throw Fatal{"the width " + shown(answer.item) + " is not a number"};
    return width.value;
  }

 private:
  // Reads the answer to the question about `what`; a `name` answer that
  // holds no value says how to write a name that begins with a slash.
  Answer item(std::string_view what, std::size_t limit, bool name = false) {
    Answer answer;
    try {
      answer = read_answer(in_, limit);
    } catch (const std::system_error& error) {
      // A failed read (standard input a folder, a device error) is no end of
      // the input: its buffer throws, and the run ends with the reason.
      throw Fatal{"cannot read standard input: " + error.code().message()};
    }
    if (answer.status == AnswerStatus::end_of_input && answer.quoted)
      throw Fatal{"standard input ended inside the quoted " + std::string(what)};
    if (answer.status == AnswerStatus::end_of_input)
      throw Fatal{"standard input ended before the " + std::string(what) + " was given"};
    if (answer.status == AnswerStatus::empty_item)
      throw Fatal{"no value was given for the " + std::string(what) +
                  (name ? quoting_hint(answer) : std::string())};
    return answer;
  }

  std::istream& in_;
  std::ostream& out_;
};

std::string reason_of(const std::system_error& error) { return error.code().message(); }

// Reads `count` records of the line list into the table, echoing each; the
// table grows as records arrive, so the count alone never reserves memory.
// False at a bad field; a failed read or an early end leave it as Fatal.
bool read_peaks(Dialogue& dialogue, std::istream& line_list, const std::string& input_name,
                std::int32_t count, std::vector<double>& frequency,
                std::vector<double>& intensity) {
  for (std::int64_t k = 1; k <= count; ++k) {
    PeakRecord record;
    try {
      record = read_peak(line_list);
    } catch (const std::system_error& error) {
      throw Fatal{"cannot read line-list file " + shown(input_name) + ": " + reason_of(error)};
    }
    if (record.status == RecordStatus::end_of_file) {
      throw Fatal{"line-list file " + shown(input_name) + " ended after " + std::to_string(k - 1) +
                  (k == 2 ? " record; " : " records; ") + std::to_string(count) +
                  (count == 1 ? " was asked for" : " were asked for")};
    }
    if (record.status == RecordStatus::bad_field) return false;
    frequency.push_back(record.peak.frequency);
    intensity.push_back(record.peak.intensity);
    dialogue.line(echo_text(record.peak.frequency, record.peak.intensity));
  }
  return true;
}

// The run up to its exit status; fatal failures leave it as Fatal.
int run_dialogue(Dialogue& dialogue, FileSystem& files) {
  dialogue.prompt("Enter Input Filename: ");
  const NameAnswer input = dialogue.name("input file name");
  const std::string& input_name = input.name;
  std::string reason;
  std::unique_ptr<std::istream> line_list = files.open_existing(input_name, reason);
  if (!line_list)
    throw Fatal{"cannot open line-list file " + shown(input_name) + ": " + reason + input.hint};

  dialogue.prompt("Enter Number of Frequencies: ");
  const std::int32_t count = dialogue.count();

  std::vector<double> frequency;
  std::vector<double> intensity;
  if (!read_peaks(dialogue, *line_list, input_name, count, frequency, intensity)) {
    dialogue.line("Error in input file");
    dialogue.flush();
    return kStatusDone;
  }
  line_list.reset();

  dialogue.prompt("Enter Output Filename: ");
  const std::string output_name = dialogue.name("output file name").name;
  // The prompt names a Lorentzian though the shape is Gaussian: it is part of
  // the dialogue that scripts answer byte for byte, and stays as it is.
  dialogue.prompt("Enter Lorentzian Width: ");
  const double width = dialogue.width();

  std::unique_ptr<OutputFile> spectrum_file = files.create_new(output_name, reason);
  if (!spectrum_file) {
    dialogue.line("Error in output file");
    dialogue.flush();
    return kStatusDone;
  }

  const std::string write_failed = "cannot write spectrum file " + shown(output_name);
  try {
    // The run's own grid and spectrum (runs share nothing).
    write_classic_spectrum(*spectrum_file, frequency, intensity, width);
    if (!*spectrum_file) throw Fatal{write_failed};
    spectrum_file->close();
  } catch (const std::system_error& error) {
    throw Fatal{write_failed + ": " + reason_of(error)};
  }

  dialogue.flush();
  return kStatusDone;
}

}  // namespace

int run(std::istream& in, std::ostream& out, std::ostream& err, FileSystem& files) {
  Dialogue dialogue(in, out);
  std::string message;
  try {
    return run_dialogue(dialogue, files);
  } catch (const Fatal& fatal) {
    message = fatal.message;
  } catch (const std::bad_alloc&) {
    message = "out of memory";
  }
  out.flush();
  err << "broaden: " << message << '\n';
  err.flush();
  return kStatusFatal;
}

}  // namespace broaden
