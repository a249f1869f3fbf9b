// End-to-end tests: the built program driven through its standard streams,
// with its working folder a fresh temporary folder. Every case checks the
// exit status, the whole standard output, standard error and the files left.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "support/classic_spectrum.h"
#include "support/console_text.h"
#include "support/spawn.h"
#include "support/temp_folder.h"

namespace broaden::testing {
namespace {

namespace fs = std::filesystem;

// ---------------------------------------------------------------------------
// Expected console text

// One 25-character field of the free-form number layout, from the digits it
// must show: the fixed-point form sits in 20 characters followed by 5 blanks,
// the exponent form fills all 25.
std::string echo_field(const std::string& text) {
  if (text.find('E') != std::string::npos) return std::string(25 - text.size(), ' ') + text;
  return std::string(20 - text.size(), ' ') + text + std::string(5, ' ');
}

// The echo line of a peak: a console line holding the two fields.
std::string echo(const std::string& frequency, const std::string& intensity) {
  std::string line = " ";
  line += echo_field(frequency);
  line += ' ';
  line += echo_field(intensity);
  return line + '\n';
}

// Line lists and the echo lines of their peaks.
const std::string kPeak1000 = "  1000.0000  100.0000\n";
const std::string kPeak1 = "    1.0000    2.0000\n";
const std::string kPeak123 = "  123.4567    0.0500\n";
const std::string kThreePeaks = kPeak1000 + kPeak1 + kPeak123;
const std::string kEcho1000 = echo("1000.0000000000000", "100.00000000000000");
const std::string kEcho1 = echo("1.0000000000000000", "2.0000000000000000");
const std::string kEcho123 = echo("123.45670000000000", "5.0000000000000003E-002");

// The console of a run that got past the line list.
std::string all_prompts(const std::string& echoes) {
  return kAskInput + kAskCount + echoes + kAskOutput + kAskWidth;
}

// ---------------------------------------------------------------------------
// Folder contents

struct Entry {
  enum Kind { file, folder, link } kind;
  std::string name;
  std::string bytes;  // file content, or link target
};
Entry File(std::string name, std::string bytes) {
  return {Entry::file, std::move(name), std::move(bytes)};
}
Entry Folder(std::string name) { return {Entry::folder, std::move(name), {}}; }
Entry Link(std::string name, std::string target) {
  return {Entry::link, std::move(name), std::move(target)};
}

void make(const TempFolder& folder, const Entry& entry) {
  switch (entry.kind) {
    case Entry::file:
      folder.write(entry.name, entry.bytes);
      break;
    case Entry::folder:
      fs::create_directory(folder / entry.name);
      break;
    case Entry::link:
      fs::create_symlink(entry.bytes, folder / entry.name);
      break;
  }
}

// The entry is still there exactly as it was made.
void expect_untouched(const TempFolder& folder, const Entry& entry) {
  const fs::file_status status = fs::symlink_status(folder / entry.name);
  switch (entry.kind) {
    case Entry::file:
      EXPECT_TRUE(fs::is_regular_file(status)) << entry.name;
      EXPECT_EQ(folder.read(entry.name), entry.bytes) << entry.name;
      break;
    case Entry::folder:
      EXPECT_TRUE(fs::is_directory(status)) << entry.name;
      break;
    case Entry::link:
      ASSERT_TRUE(fs::is_symlink(status)) << entry.name;
      EXPECT_EQ(fs::read_symlink(folder / entry.name).string(), entry.bytes) << entry.name;
      break;
  }
}

// Every path in the folder, sorted; folders end in a slash. Links are listed,
// never followed.
std::vector<std::string> listing(const TempFolder& folder) {
  std::vector<std::string> names;
  for (const auto& item : fs::recursive_directory_iterator(folder.path())) {
    std::string name = item.path().lexically_relative(folder.path()).string();
    if (item.is_directory() && !item.is_symlink()) name += '/';
    names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

// Standard error holds one diagnostic line naming `what`.
void expect_diagnostic(const std::string& err, const std::string& what) {
  EXPECT_EQ(err.rfind("broaden: ", 0), 0u) << err;
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
  EXPECT_EQ(err.back(), '\n') << err;
  EXPECT_NE(err.find(what), std::string::npos)
      << "diagnostic does not name " << what << ": " << err;
}

// A spectrum file of 20000 well-formed records on the single-precision grid.
void expect_spectrum_layout(const std::string& bytes) {
  ASSERT_EQ(bytes.size(), kRecords * kRecordSize);
  for (int i = 1; i <= kRecords; ++i) {
    const std::string record = bytes.substr((i - 1) * kRecordSize, kRecordSize);
    ASSERT_EQ(record.substr(0, 15), grid_field(i) + " , ") << "record " << i << ": " << record;
    ASSERT_EQ(record.back(), '\n') << "record " << i;
  }
}

// ---------------------------------------------------------------------------
// The case table and its check

struct Case {
  std::string title;
  std::vector<Entry> setup;
  std::string input;
  int status;
  std::string out;
  std::optional<std::string> diagnostic = {};  // none: standard error stays empty
  std::vector<std::string> left = {};          // every path in the folder afterwards
  std::string spectrum = {};                   // the spectrum file written, if any
  std::vector<std::pair<int, std::string>> records = {};
  std::string every_intensity = {};  // the intensity field of every record
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.title; }

class e2e : public ::testing::TestWithParam<Case> {};

TEST_P(e2e, Run) {
  const Case& c = GetParam();
  TempFolder folder;
  for (const Entry& entry : c.setup) make(folder, entry);

  const Outcome outcome = spawn_broaden(folder.path(), c.input);

  EXPECT_FALSE(outcome.timed_out);
  EXPECT_EQ(outcome.status, c.status);
  EXPECT_EQ(outcome.out, c.out);
  if (c.diagnostic)
    expect_diagnostic(outcome.err, *c.diagnostic);
  else
    EXPECT_EQ(outcome.err, "");

  for (const Entry& entry : c.setup) expect_untouched(folder, entry);
  std::vector<std::string> left = c.left;
  std::sort(left.begin(), left.end());
  EXPECT_EQ(listing(folder), left);

  if (c.spectrum.empty()) return;
  const std::string bytes = folder.read(c.spectrum);
  expect_spectrum_layout(bytes);
  for (const auto& [i, record] : c.records)
    EXPECT_EQ(bytes.substr((i - 1) * kRecordSize, kRecordSize), record) << "record " << i;
  if (c.every_intensity.empty()) return;
  for (int i = 1; i <= kRecords; ++i)
    ASSERT_EQ(bytes.substr((i - 1) * kRecordSize + 15, 12), c.every_intensity) << "record " << i;
}

std::string title_of(const ::testing::TestParamInfo<Case>& info) { return info.param.title; }

// ---------------------------------------------------------------------------
// Complete runs: status 0, nothing on standard error, the spectrum file.

const std::string kZero = "      0.0000";

const std::vector<Case> kCompleteRuns = {
    {.title = "ThreePeaks",
     .setup = {File("in.txt", kThreePeaks)},
     .input = "in.txt\n3\nout.txt\n5.0\n",
     .status = 0,
     .out = all_prompts(kEcho1000 + kEcho1 + kEcho123),
     .left = {"in.txt", "out.txt"},
     .spectrum = "out.txt",
     .records = {{1, "      0.1000 ,       0.1570\n"},
                 {10, "      1.0000 ,       0.1596\n"},
                 {1235, "    123.5000 ,       0.0040\n"},
                 {10000, "   1000.0000 ,       7.9788\n"},
                 {10242, "   1024.2001 ,       0.0001\n"},
                 {20000, "   2000.0000 ,       0.0000\n"}}},
    {.title = "OnePeak",
     .setup = {File("in.txt", kPeak1000)},
     .input = "in.txt\n1\nout.txt\n5.0\n",
     .status = 0,
     .out = all_prompts(kEcho1000),
     .left = {"in.txt", "out.txt"},
     .spectrum = "out.txt",
     .records = {{1, "      0.1000 ,       0.0000\n"},
                 {9990, "    999.0000 ,       7.8209\n"},
                 {10000, "   1000.0000 ,       7.9788\n"},
                 {10242, "   1024.2001 ,       0.0001\n"}}},
    {.title = "CountZero",
     .setup = {File("in.txt", kThreePeaks)},
     .input = "in.txt\n0\nout.txt\n5.0\n",
     .status = 0,
     .out = all_prompts(""),
     .left = {"in.txt", "out.txt"},
     .spectrum = "out.txt",
     .records = {{1, "      0.1000 ,       0.0000\n"}, {10242, "   1024.2001 ,       0.0000\n"}},
     .every_intensity = kZero},
    {.title = "CountNegative",
     .setup = {File("in.txt", kThreePeaks)},
     .input = "in.txt\n-3\nout.txt\n5.0\n",
     .status = 0,
     .out = all_prompts(""),
     .left = {"in.txt", "out.txt"},
     .spectrum = "out.txt",
     .every_intensity = kZero},
    {.title = "CountLowest32Bit",
     .setup = {File("in.txt", "")},
     .input = "in.txt\n-2147483648\nout.txt\n5.0\n",
     .status = 0,
     .out = all_prompts(""),
     .left = {"in.txt", "out.txt"},
     .spectrum = "out.txt",
     .every_intensity = kZero},
    {.title = "RecordsBeyondCountNeverRead",
     .setup = {File("in.txt", kPeak1000 + "not a record\tat all\n")},
     .input = "in.txt\n1\nout.txt\n5.0\n",
     .status = 0,
     .out = all_prompts(kEcho1000),
     .left = {"in.txt", "out.txt"},
     .spectrum = "out.txt",
     .records = {{10000, "   1000.0000 ,       7.9788\n"}}},
    {.title = "WidthZeroGivesNaN",
     .setup = {File("in.txt", kPeak1000)},
     .input = "in.txt\n1\nout.txt\n0\n",
     .status = 0,
     .out = all_prompts(kEcho1000),
     .left = {"in.txt", "out.txt"},
     .spectrum = "out.txt",
     .every_intensity = "         NaN"},
    {.title = "NegativeWidthFlipsSign",
     .setup = {File("in.txt", kPeak1000)},
     .input = "in.txt\n1\nout.txt\n-5.0\n",
     .status = 0,
     .out = all_prompts(kEcho1000),
     .left = {"in.txt", "out.txt"},
     .spectrum = "out.txt",
     .records = {{1, "      0.1000 ,       0.0000\n"},
                 {9990, "    999.0000 ,      -7.8209\n"},
                 {10000, "   1000.0000 ,      -7.9788\n"},
                 {10242, "   1024.2001 ,      -0.0001\n"},
                 {10300, "   1030.0000 ,      -0.0000\n"}}},
};
INSTANTIATE_TEST_SUITE_P(CompleteRun, e2e, ::testing::ValuesIn(kCompleteRuns), title_of);

// ---------------------------------------------------------------------------
// Free-form answers: names, items and line ends. Each run reads the one peak
// at 1000.0 with width 5, so record 10000 shows the width was read right.

const std::string kName40 = "abcdefghijklmnopqrstuvwxyz0123456789ABCD";
const std::string kOut40 = "spectrum-file-with-a-rather-long-name-01";

Case answers(std::string title, std::vector<Entry> setup, std::string input,
             std::vector<std::string> left, std::string spectrum) {
  return {.title = std::move(title),
          .setup = std::move(setup),
          .input = std::move(input),
          .status = 0,
          .out = all_prompts(kEcho1000),
          .left = std::move(left),
          .spectrum = std::move(spectrum),
          .records = {{10000, "   1000.0000 ,       7.9788\n"}}};
}

const std::vector<Case> kAnswerForms = {
    answers("QuotedNamesWithSlashAndBlank",
            {Folder("sub dir"), File("sub dir/in put.txt", kPeak1000)},
            "'sub dir/in put.txt'\n1\n\"sub dir/out put.txt\"\n5\n",
            {"sub dir/", "sub dir/in put.txt", "sub dir/out put.txt"}, "sub dir/out put.txt"),
    answers("DoubledQuoteMarks", {File("it's in.txt", kPeak1000)},
            "'it''s in.txt'\n1\n\"say \"\"hi\"\".txt\"\n5\n", {"it's in.txt", "say \"hi\".txt"},
            "say \"hi\".txt"),
    answers("NamesCutTo40", {File(kName40, kPeak1000)},
            kName40 + "EFGH\n1\n'" + kOut40 + "23456789'\n5\n", {kName40, kOut40}, kOut40),
    answers("TrailingBlanksInQuotedNameRemoved", {File("in.txt", kPeak1000)},
            "'in.txt   '\n1\n'out.txt    '\n5\n", {"in.txt", "out.txt"}, "out.txt"),
    answers("LeadingBlanksInQuotedNameKept", {File("in.txt", kPeak1000)},
            "in.txt\n1\n'  out.txt'\n5\n", {"in.txt", "  out.txt"}, "  out.txt"),
    answers("SecondItemOnLineDiscarded", {File("in.txt", kPeak1000)},
            "in.txt 7\n1 2\nout.txt 9.5\n5 0\n", {"in.txt", "out.txt"}, "out.txt"),
    answers("SeparatorsEndUnquotedItems", {File("in.txt", kPeak1000)},
            "in.txt,2\n1;3\nout.txt/more\n5,6\n", {"in.txt", "out.txt"}, "out.txt"),
    answers("EmptyLinesAndTabsBeforeAnswers", {File("in.txt", kPeak1000)},
            "\n\n\tin.txt\n\n  \n1\n\n \t out.txt\n\n\n5\n", {"in.txt", "out.txt"}, "out.txt"),
    answers("CrlfAnswerLines", {File("in.txt", kPeak1000)}, "in.txt\r\n1\r\n'out.txt'\r\n5.0\r\n",
            {"in.txt", "out.txt"}, "out.txt"),
    answers("LastAnswerWithoutLineFeed", {File("in.txt", kPeak1000)}, "in.txt\n1\nout.txt\n5",
            {"in.txt", "out.txt"}, "out.txt"),
    answers("NumberFormsPlusSignAndDExponent", {File("in.txt", kPeak1000)},
            "in.txt\n+1\nout.txt\n0.5D1\n", {"in.txt", "out.txt"}, "out.txt"),
    answers("WidthWithLowerCaseExponent", {File("in.txt", kPeak1000)},
            "in.txt\n1\nout.txt\n50e-1\n", {"in.txt", "out.txt"}, "out.txt"),
};
INSTANTIATE_TEST_SUITE_P(AnswerForm, e2e, ::testing::ValuesIn(kAnswerForms), title_of);

// ---------------------------------------------------------------------------
// The line list: a bad field (handled), a short, missing or unusable file
// (fatal). No spectrum file in any case.

const std::vector<Case> kLineListFailures = {
    {.title = "BadFieldInThirdOfFive",
     .setup = {File("in.txt", kPeak1000 + kPeak1 + "  100.0000  1x0.0000\n" + kPeak123 + kPeak1)},
     .input = "in.txt\n5\nout.txt\n5.0\n",
     .status = 0,
     .out = kAskInput + kAskCount + kEcho1000 + kEcho1 + kInputError,
     .left = {"in.txt"}},
    {.title = "TabInFirstRecord",
     .setup = {File("in.txt", "  1000.0000\t100.0000\n")},
     .input = "in.txt\n1\nout.txt\n5.0\n",
     .status = 0,
     .out = kAskInput + kAskCount + kInputError,
     .left = {"in.txt"}},
    {.title = "CarriageReturnAtTheVeryEndInsideAField",
     .setup = {File("in.txt", "    1000.0  100.0\r")},
     .input = "in.txt\n1\nout.txt\n5.0\n",
     .status = 0,
     .out = kAskInput + kAskCount + kInputError,
     .left = {"in.txt"}},
    {.title = "EndsBeforeCount",
     .setup = {File("in.txt", kThreePeaks)},
     .input = "in.txt\n4\nout.txt\n5.0\n",
     .status = 2,
     .out = kAskInput + kAskCount + kEcho1000 + kEcho1 + kEcho123,
     .diagnostic = "in.txt",
     .left = {"in.txt"}},
    {.title = "LargestCountAgainstThreeLines",
     .setup = {File("in.txt", kThreePeaks)},
     .input = "in.txt\n2147483647\nout.txt\n5.0\n",
     .status = 2,
     .out = kAskInput + kAskCount + kEcho1000 + kEcho1 + kEcho123,
     .diagnostic = "in.txt",
     .left = {"in.txt"}},
    {.title = "MissingFile",
     .setup = {},
     .input = "nothere.txt\n3\nout.txt\n5.0\n",
     .status = 2,
     .out = kAskInput,
     .diagnostic = "nothere.txt",
     .left = {}},
    {.title = "NameIsAFolder",
     .setup = {Folder("adir")},
     .input = "adir\n3\nout.txt\n5.0\n",
     .status = 2,
     .out = kAskInput,
     .diagnostic = "adir",
     .left = {"adir/"}},
    {.title = "LinkToNowhere",
     .setup = {Link("in.txt", "nowhere.txt")},
     .input = "in.txt\n3\nout.txt\n5.0\n",
     .status = 2,
     .out = kAskInput,
     .diagnostic = "in.txt",
     .left = {"in.txt"}},
};
INSTANTIATE_TEST_SUITE_P(LineList, e2e, ::testing::ValuesIn(kLineListFailures), title_of);

// ---------------------------------------------------------------------------
// The spectrum file cannot be created: the message after all four prompts,
// status 0, whatever holds the name left as it was and no link followed.

Case refused(std::string title, std::vector<Entry> setup, std::string output_answer,
             std::vector<std::string> left) {
  setup.insert(setup.begin(), File("in.txt", kPeak1000));
  return {.title = std::move(title),
          .setup = std::move(setup),
          .input = "in.txt\n1\n" + output_answer + "\n5.0\n",
          .status = 0,
          .out = all_prompts(kEcho1000) + kOutputError,
          .left = std::move(left)};
}

const std::vector<Case> kOutputRefused = {
    refused("ExistingFile", {File("out.txt", "keep these bytes\n")}, "out.txt",
            {"in.txt", "out.txt"}),
    refused("ExistingEmptyFile", {File("out.txt", "")}, "out.txt", {"in.txt", "out.txt"}),
    refused("DanglingLink", {Link("out.txt", "nowhere.txt")}, "out.txt", {"in.txt", "out.txt"}),
    refused("LinkToExistingFile",
            {File("target.txt", "target bytes\n"), Link("out.txt", "target.txt")}, "out.txt",
            {"in.txt", "out.txt", "target.txt"}),
    refused("ExistingFolder", {Folder("out.txt")}, "out.txt", {"in.txt", "out.txt/"}),
    refused("SameNameAsLineList", {}, "in.txt", {"in.txt"}),
    refused("MissingFolderInName", {}, "'nodir/out.txt'", {"in.txt"}),
};
INSTANTIATE_TEST_SUITE_P(OutputRefused, e2e, ::testing::ValuesIn(kOutputRefused), title_of);

// ---------------------------------------------------------------------------
// Answers that end the run fatally: standard input ending, numbers that are
// not numbers, and answers whose first item is empty.

// The run of one peak stopped at answer `at` (0 to 3), which reads `answer`.
// With `later_answers`, the answers after it follow on standard input, unused.
Case stop(std::string title, int at, const std::string& answer, bool later_answers = true) {
  const std::vector<std::string> lines = {"in.txt\n", "1\n", "out.txt\n", "5.0\n"};
  const std::vector<std::string> console = {kAskInput, kAskCount, kEcho1000 + kAskOutput,
                                            kAskWidth};
  Case c{.title = std::move(title),
         .setup = {File("in.txt", kPeak1000)},
         .input = "",
         .status = 2,
         .out = "",
         .diagnostic = "",
         .left = {"in.txt"}};
  for (int k = 0; k < at; ++k) c.input += lines[k];
  c.input += answer;
  for (int k = at + 1; later_answers && k < 4; ++k) c.input += lines[k];
  for (int k = 0; k <= at; ++k) c.out += console[k];
  return c;
}

std::vector<Case> fatal_answers() {
  std::vector<Case> cases = {
      stop("InputEndsAtInputName", 0, "", false),
      stop("InputEndsAtCount", 1, "", false),
      stop("InputEndsAtOutputName", 2, "", false),
      stop("InputEndsAtWidth", 3, "", false),
      stop("InputEndsInsideQuotedName", 0, "'in.txt\n", false),
      stop("InputEndsAfterEmptyLines", 3, "\n\n \t\n", false),
      stop("CountNotANumber", 1, "abc\n"),
      stop("CountWithFraction", 1, "1.5\n"),
      stop("CountJustAbove32Bit", 1, "2147483648\n"),
      stop("CountJustBelow32Bit", 1, "-2147483649\n"),
      stop("CountOnlyASign", 1, "-\n"),
      stop("WidthNotANumber", 3, "abc\n"),
      stop("WidthWithTrailingLetters", 3, "5.0x\n"),
      stop("WidthExponentWithoutDigits", 3, "5E\n"),
  };
  const std::vector<std::string> answer_names = {"InputName", "Count", "OutputName", "Width"};
  const std::vector<std::pair<std::string, std::string>> marks = {
      {"Comma", ","}, {"Semicolon", ";"}, {"Slash", "/"}};
  for (int at = 0; at < 4; ++at)
    for (const auto& [name, mark] : marks)
      cases.push_back(stop(answer_names[static_cast<std::size_t>(at)] + "EmptyBy" + name, at,
                           " " + mark + "x\n"));
  return cases;
}
INSTANTIATE_TEST_SUITE_P(FatalAnswer, e2e, ::testing::ValuesIn(fatal_answers()), title_of);

// ---------------------------------------------------------------------------
// The console and the spectrum file as devices: flushing, write failures.

TEST(e2eConsole, EveryPromptIsFlushedBeforeItsAnswerIsRead) {
  TempFolder folder;
  folder.write("in.txt", kThreePeaks);
  // Each answer is given only once its prompt has arrived through the pipe.
  const Outcome outcome = spawn_broaden(folder.path(), Launch{.input = {{kAskInput, "in.txt\n"},
                                                                        {kAskCount, "3\n"},
                                                                        {kAskOutput, "out.txt\n"},
                                                                        {kAskWidth, "5.0\n"}}});
  EXPECT_FALSE(outcome.timed_out) << "a prompt was not flushed; output so far:\n" << outcome.out;
  EXPECT_EQ(outcome.status, 0);
  EXPECT_EQ(outcome.out, all_prompts(kEcho1000 + kEcho1 + kEcho123));
  EXPECT_EQ(outcome.err, "");
  EXPECT_EQ(listing(folder), (std::vector<std::string>{"in.txt", "out.txt"}));
  expect_spectrum_layout(folder.read("out.txt"));
}

TEST(e2eConsole, StandardOutputToAFileGetsTheWholeDialogue) {
  TempFolder folder, console;
  folder.write("in.txt", kThreePeaks);
  const Outcome outcome =
      spawn_broaden(folder.path(), Launch{.input = {{"", "in.txt\n3\nout.txt\n5.0\n"}},
                                          .stdout_path = (console / "console.txt").string()});
  EXPECT_FALSE(outcome.timed_out);
  EXPECT_EQ(outcome.status, 0);
  EXPECT_EQ(console.read("console.txt"), all_prompts(kEcho1000 + kEcho1 + kEcho123));
  EXPECT_EQ(outcome.out, "");
  EXPECT_EQ(outcome.err, "");
  EXPECT_EQ(listing(folder), (std::vector<std::string>{"in.txt", "out.txt"}));
}

TEST(e2eConsole, FatalFailureWithStandardOutputToAFileKeepsWhatWasWritten) {
  TempFolder folder, console;
  folder.write("in.txt", kThreePeaks);
  const Outcome outcome =
      spawn_broaden(folder.path(), Launch{.input = {{"", "in.txt\n5\nout.txt\n5.0\n"}},
                                          .stdout_path = (console / "console.txt").string()});
  EXPECT_FALSE(outcome.timed_out);
  EXPECT_EQ(outcome.status, 2);
  EXPECT_EQ(console.read("console.txt"), kAskInput + kAskCount + kEcho1000 + kEcho1 + kEcho123);
  expect_diagnostic(outcome.err, "in.txt");
  EXPECT_EQ(listing(folder), (std::vector<std::string>{"in.txt"}));
}

TEST(e2eConsole, StandardOutputToAFullDeviceIsFatal) {
  TempFolder folder;
  folder.write("in.txt", kThreePeaks);
  const Outcome outcome = spawn_broaden(
      folder.path(),
      Launch{.input = {{"", "in.txt\n3\nout.txt\n5.0\n"}}, .stdout_path = "/dev/full"});
  EXPECT_FALSE(outcome.timed_out);
  EXPECT_EQ(outcome.status, 2);
  EXPECT_EQ(outcome.out, "");
  expect_diagnostic(outcome.err, "");
  EXPECT_EQ(folder.read("in.txt"), kThreePeaks);
  EXPECT_EQ(listing(folder), (std::vector<std::string>{"in.txt"}));
}

TEST(e2eSpectrumFile, WriteFailureIsFatalAndKeepsThePrefixWritten) {
  TempFolder folder;
  folder.write("in.txt", kThreePeaks);
  const Outcome outcome = spawn_broaden(
      folder.path(), Launch{.input = {{"", "in.txt\n0\nout.txt\n5.0\n"}}, .file_size_limit = 1000});
  EXPECT_FALSE(outcome.timed_out);
  EXPECT_EQ(outcome.status, 2);
  EXPECT_EQ(outcome.out, all_prompts(""));
  expect_diagnostic(outcome.err, "out.txt");
  EXPECT_EQ(folder.read("in.txt"), kThreePeaks);
  EXPECT_EQ(listing(folder), (std::vector<std::string>{"in.txt", "out.txt"}));
  const std::string bytes = folder.read("out.txt");
  EXPECT_LE(bytes.size(), 1000u);
  EXPECT_EQ(bytes, zero_spectrum().substr(0, bytes.size()));
}

TEST(e2eSpectrumFile, RecordsNextToARoundingBoundaryAreTheStraightforwardLoops) {
  // Values a hair from a ....5 boundary, where an exponential a few units
  // in the last place off once wrote the neighbouring field.
  const struct {
    const char* line_list;
    const char* width;
    std::size_t point;
    const char* record;
  } cases[] = {
      {" 1619.4577   92.4421\n", "2.6171640779534178", 16174, "   1617.4000 ,      10.3447\n"},
      {"     400.72.6499E+09\n", "232.590", 5122, "    512.2000 , 4051782.0915\n"},
  };
  for (const auto& c : cases) {
    TempFolder folder;
    folder.write("in.txt", c.line_list);
    const Outcome outcome =
        spawn_broaden(folder.path(), std::string("in.txt\n1\nout.txt\n") + c.width + "\n");
    EXPECT_EQ(outcome.status, 0);
    const std::string spectrum = folder.read("out.txt");
    ASSERT_EQ(spectrum.size(), kRecords * std::size_t{28});
    EXPECT_EQ(spectrum.substr((c.point - 1) * 28, 28), c.record);
  }
}

TEST(e2eSpectrumFile, NoPeaksGivesTheWholeZeroSpectrum) {
  TempFolder folder;
  folder.write("in.txt", "");
  const Outcome outcome = spawn_broaden(folder.path(), "in.txt\n0\nout.txt\n1\n");
  EXPECT_EQ(outcome.status, 0);
  EXPECT_EQ(outcome.out, all_prompts(""));
  EXPECT_EQ(outcome.err, "");
  const std::string expected = zero_spectrum();
  EXPECT_TRUE(folder.read("out.txt") == expected) << "the spectrum differs from the zero spectrum";
  // The single-precision grid: 1952 abscissae print one unit higher than i/10.
  int shifted = 0;
  for (int i = 1; i <= kRecords; ++i) {
    char exact[32];
    std::snprintf(exact, sizeof exact, "%12.4f", i / 10.0);
    if (grid_field(i) != exact) ++shifted;
  }
  EXPECT_EQ(shifted, 1952);
}

}  // namespace
}  // namespace broaden::testing
