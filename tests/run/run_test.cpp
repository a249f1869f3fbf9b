#include "run/run.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <future>
#include <sstream>
#include <streambuf>
#include <string>
#include <system_error>

#include "io/posix_file_system.h"
#include "support/console_text.h"
#include "support/temp_folder.h"

namespace broaden {
namespace {

using testing::TempFolder;

using testing::kAskCount;
using testing::kAskInput;
using testing::kAskOutput;
using testing::kAskWidth;
const std::string kAllPrompts = kAskInput + kAskCount + kAskOutput + kAskWidth;

std::string echo(const std::string& frequency, const std::string& intensity) {
  return " " + frequency + " " + intensity + "\n";
}

// A whole dialogue in-process, against a temporary folder.
class RunTest : public ::testing::Test {
 protected:
  RunTest()
      : folder_fd_(::open(folder.path().c_str(), O_RDONLY | O_DIRECTORY)), files_(folder_fd_) {}
  ~RunTest() override { ::close(folder_fd_); }

  int run_with(const std::string& answers) {
    std::istringstream in(answers);
    out.str("");
    err.str("");
    return run(in, out, err, files_);
  }

  // The record of grid point `point` in the spectrum file.
  std::string record(const std::string& name, std::size_t point) {
    return folder.read(name).substr((point - 1) * 28, 28);
  }

  TempFolder folder;
  std::ostringstream out;
  std::ostringstream err;

 private:
  int folder_fd_;

 protected:
  PosixFileSystem files_;
};

TEST_F(RunTest, CompleteRunEchoesPeaksAndWritesTheSpectrum) {
  folder.write("lines.txt", " 1000.0000  100.0000\n    1.0000    2.0000 trailing notes\n");
  EXPECT_EQ(run_with("lines.txt\n2\nspectrum.txt\n5.0\n"), 0);
  EXPECT_EQ(out.str(), kAskInput + kAskCount +
                           echo("  1000.0000000000000     ", "  100.00000000000000     ") +
                           echo("  1.0000000000000000     ", "  2.0000000000000000     ") +
                           kAskOutput + kAskWidth);
  EXPECT_EQ(err.str(), "");
  EXPECT_EQ(folder.read("spectrum.txt").size(), 20000u * 28);
  EXPECT_EQ(record("spectrum.txt", 10000), "   1000.0000 ,       7.9788\n");
  EXPECT_EQ(record("spectrum.txt", 20000), "   2000.0000 ,       0.0000\n");
  EXPECT_EQ(record("spectrum.txt", 10242), "   1024.2001 ,       0.0001\n");
}

// The answers of a run of one peak at width 5.
std::string answers(const std::string& line_list, const std::string& spectrum) {
  std::string text = line_list;
  text += "\n1\n";
  text += spectrum;
  text += "\n5\n";
  return text;
}

TEST_F(RunTest, RunsAgainAndSideBySideGiveWhatEachGivesAlone) {
  // Two line lists far apart, each run alone, then again in pairs of threads.
  folder.write("a.txt", "  500.0000  100.0000\n");
  folder.write("b.txt", " 1500.0000   40.0000\n");
  ASSERT_EQ(run_with(answers("a.txt", "a0.txt")), 0);
  ASSERT_EQ(run_with(answers("b.txt", "b0.txt")), 0);
  const std::string alone_a = folder.read("a0.txt"), alone_b = folder.read("b0.txt");
  ASSERT_NE(alone_a, alone_b);
  const auto side = [this](const std::string& text) {
    std::istringstream in(text);
    std::ostringstream side_out, side_err;
    return run(in, side_out, side_err, files_);
  };
  for (const std::string round : {"1", "2", "3"}) {
    const std::string a = "a" + round, b = "b" + round;
    std::future<int> first = std::async(std::launch::async, side, answers("a.txt", a));
    EXPECT_EQ(side(answers("b.txt", b)), 0);
    EXPECT_EQ(first.get(), 0);
    EXPECT_TRUE(folder.read(a) == alone_a) << a << " differs from the run alone";
    EXPECT_TRUE(folder.read(b) == alone_b) << b << " differs from the run alone";
  }
}

TEST_F(RunTest, CountBelowOneReadsNothingAndWritesZeros) {
  for (const char* count : {"0", "-1", "-2147483648"}) {
    folder.write("lines.txt", "not a number at all\n");
    std::filesystem::remove(folder / "zero.txt");
    EXPECT_EQ(run_with(std::string("lines.txt\n") + count + "\nzero.txt\n1\n"), 0);
    EXPECT_EQ(out.str(), kAllPrompts);
    EXPECT_EQ(record("zero.txt", 1), "      0.1000 ,       0.0000\n");
    EXPECT_EQ(record("zero.txt", 20000), "   2000.0000 ,       0.0000\n");
  }
}

TEST_F(RunTest, BadFieldEndsTheRunAfterTheGoodRecords) {
  folder.write("lines.txt", "1.0,2.0\n3.0\n5.0,oops\n7.0\n9.0\n");
  EXPECT_EQ(run_with("lines.txt\n5\nspectrum.txt\n5\n"), 0);
  EXPECT_EQ(out.str(), kAskInput + kAskCount +
                           echo("  1.0000000000000000     ", "  2.0000000000000000     ") +
                           echo("  3.0000000000000000     ", "  0.0000000000000000     ") +
                           testing::kInputError);
  EXPECT_EQ(err.str(), "");
  EXPECT_FALSE(folder.exists("spectrum.txt"));
}

TEST_F(RunTest, ExistingOutputIsLeftUntouched) {
  folder.write("lines.txt", "1.0,2.0\n");
  folder.write("keep.txt", "precious\n");
  EXPECT_EQ(run_with("lines.txt\n1\nkeep.txt\n5\n"), 0);
  EXPECT_EQ(out.str(), kAskInput + kAskCount +
                           echo("  1.0000000000000000     ", "  2.0000000000000000     ") +
                           kAskOutput + kAskWidth + testing::kOutputError);
  EXPECT_EQ(err.str(), "");
  EXPECT_EQ(folder.read("keep.txt"), "precious\n");
}

TEST_F(RunTest, NamesAreCutToFortyCharacters) {
  const std::string long_name = std::string(40, 'n');
  folder.write(long_name, "1.0,2.0\n");
  EXPECT_EQ(run_with(long_name + "EXTRA\n1\n'" + std::string(40, 'o') + "IGNORED'\n5\n"), 0);
  EXPECT_EQ(err.str(), "");
  EXPECT_TRUE(folder.exists(std::string(40, 'o')));
}

TEST_F(RunTest, QuotedNamesMayHoldSlashesAndBlanks) {
  std::filesystem::create_directory(folder / "sub dir");
  folder.write("sub dir/in put.txt", "1.0,2.0\n");
  EXPECT_EQ(run_with("'sub dir/in put.txt'\n1\n\"sub dir/it''s \"\n5\n"), 0);
  EXPECT_EQ(err.str(), "");
  EXPECT_TRUE(folder.exists("sub dir/it''s"));
}

struct FatalCase {
  const char* title;
  const char* lines;        // the line-list file
  const char* answers;      // standard input
  const char* stdout_tail;  // what follows the first prompt on standard output
  const char* message;      // the line on standard error
};

const FatalCase kFatalCases[] = {
    {"missing line list", nullptr, "absent.txt\n", "",
     "broaden: cannot open line-list file 'absent.txt': No such file or directory\n"},
    {"line list too short", "1,2\n", "lines.txt\n3\n",
     " Enter Number of Frequencies: \n"
     "   1.0000000000000000E-004   2.0000000000000001E-004\n",
     "broaden: line-list file 'lines.txt' ended after 1 record; 3 were asked for\n"},
    {"huge count, short list", "", "lines.txt\n2147483647\n", " Enter Number of Frequencies: \n",
     "broaden: line-list file 'lines.txt' ended after 0 records; 2147483647 were asked for\n"},
    {"input ends at first prompt", "", "", "",
     "broaden: standard input ended before the input file name was given\n"},
    {"input ends at count", "", "lines.txt\n", " Enter Number of Frequencies: \n",
     "broaden: standard input ended before the number of frequencies was given\n"},
    {"input ends at output name", "", "lines.txt\n0\n",
     " Enter Number of Frequencies: \n Enter Output Filename: \n",
     "broaden: standard input ended before the output file name was given\n"},
    {"input ends at width", "", "lines.txt\n0\nout.txt\n",
     " Enter Number of Frequencies: \n Enter Output Filename: \n Enter Lorentzian Width: \n",
     "broaden: standard input ended before the width was given\n"},
    {"count not a number", "", "lines.txt\nthree\n", " Enter Number of Frequencies: \n",
     "broaden: the number of frequencies 'three' is not a whole number\n"},
    {"count beyond 32 bits", "", "lines.txt\n2147483648\n", " Enter Number of Frequencies: \n",
     "broaden: the number of frequencies '2147483648' is outside the range -2147483648 to "
     "2147483647\n"},
    {"width not a number", "", "lines.txt\n0\nout.txt\nwide\n",
     " Enter Number of Frequencies: \n Enter Output Filename: \n Enter Lorentzian Width: \n",
     "broaden: the width 'wide' is not a number\n"},
    {"empty input name", "", ",\n", "", "broaden: no value was given for the input file name\n"},
    {"empty count", "", "lines.txt\n;\n", " Enter Number of Frequencies: \n",
     "broaden: no value was given for the number of frequencies\n"},
    {"empty output name", "", "lines.txt\n0\n/\n",
     " Enter Number of Frequencies: \n Enter Output Filename: \n",
     "broaden: no value was given for the output file name\n"},
    {"empty width", "", "lines.txt\n0\nout.txt\n  , 5\n",
     " Enter Number of Frequencies: \n Enter Output Filename: \n Enter Lorentzian Width: \n",
     "broaden: no value was given for the width\n"},
    {"unclosed quote", nullptr, "'lines.txt\n3\n", "",
     "broaden: standard input ended inside the quoted input file name\n"},
    {"quoted count", "", "lines.txt\n'3'\n", " Enter Number of Frequencies: \n",
     "broaden: the number of frequencies is quoted: write it without quote marks\n"},
    {"one record asked, none there", "", "lines.txt\n1\n", " Enter Number of Frequencies: \n",
     "broaden: line-list file 'lines.txt' ended after 0 records; 1 was asked for\n"},
    {"control characters in a name", nullptr, "'bad\x1bname'\n", "",
     "broaden: cannot open line-list file 'bad\\x1bname': No such file or directory\n"},
    // A name cut at a slash or a blank, or an answer that begins with a
    // slash: the message shows the whole of what was typed, quoted.
    {"name cut at a slash", nullptr, "data/lines.txt\n", "",
     "broaden: cannot open line-list file 'data': No such file or directory; the name ended at "
     "the slash: write a name holding a slash or a blank in quotes, as in 'data/lines.txt'\n"},
    {"name cut at a blank", nullptr, "it's here.txt  \n", "",
     "broaden: cannot open line-list file 'it's': No such file or directory; the name ended at "
     "the blank: write a name holding a slash or a blank in quotes, as in 'it''s here.txt'\n"},
    {"name followed by blanks only", nullptr, "absent.txt \t \n", "",
     "broaden: cannot open line-list file 'absent.txt': No such file or directory\n"},
    {"name cut at a comma", nullptr, "absent.txt,x\n", "",
     "broaden: cannot open line-list file 'absent.txt': No such file or directory\n"},
    {"input name begins with a slash", nullptr, "/data/lines.txt\n", "",
     "broaden: no value was given for the input file name; the answer began with a slash, which "
     "ends it: write a name holding a slash or a blank in quotes, as in '/data/lines.txt'\n"},
    {"output name begins with a slash", "", "lines.txt\n0\n/tmp/out.txt\n",
     " Enter Number of Frequencies: \n Enter Output Filename: \n",
     "broaden: no value was given for the output file name; the answer began with a slash, which "
     "ends it: write a name holding a slash or a blank in quotes, as in '/tmp/out.txt'\n"},
};

TEST_F(RunTest, FatalFailuresEndWithOneDiagnosticAndStatusTwo) {
  for (const auto& c : kFatalCases) {
    std::filesystem::remove(folder / "lines.txt");
    if (c.lines != nullptr) folder.write("lines.txt", c.lines);
    EXPECT_EQ(run_with(c.answers), 2) << c.title;
    EXPECT_EQ(out.str(), kAskInput + c.stdout_tail) << c.title;
    EXPECT_EQ(err.str(), c.message) << c.title;
    EXPECT_FALSE(folder.exists("out.txt")) << c.title;
  }
}

// Accepts `room` characters, then fails every write as a full disk would.
class FullDiskBuffer : public std::streambuf {
 public:
  explicit FullDiskBuffer(std::string& sink, std::size_t room) : sink_(sink), room_(room) {}

 protected:
  int_type overflow(int_type c) override {
    if (sink_.size() >= room_) throw std::system_error(ENOSPC, std::generic_category());
    sink_ += traits_type::to_char_type(c);
    return c;
  }

 private:
  std::string& sink_;
  std::size_t room_;
};

class FullDiskFileSystem : public FileSystem {
 public:
  std::unique_ptr<std::istream> open_existing(const std::string&, std::string&) override {
    return std::make_unique<std::istringstream>("1000.0,100\n");
  }
  struct File : OutputFile {
    explicit File(std::streambuf* buffer) : OutputFile(buffer) { exceptions(std::ios::badbit); }
    void close() override { flush(); }
  };
  std::unique_ptr<OutputFile> create_new(const std::string&, std::string&) override {
    return std::make_unique<File>(&buffer_);
  }
  std::string written;

 private:
  FullDiskBuffer buffer_{written, 100};
};

TEST(RunFaults, SpectrumWriteFailureIsFatalAndKeepsWhatWasWritten) {
  FullDiskFileSystem files;
  std::istringstream in("in\n1\nout\n5\n");
  std::ostringstream out, err;
  EXPECT_EQ(run(in, out, err, files), 2);
  EXPECT_EQ(err.str(), "broaden: cannot write spectrum file 'out': No space left on device\n");
  const std::string records =
      "      0.1000 ,       0.0000\n      0.2000 ,       0.0000\n"
      "      0.3000 ,       0.0000\n      0.4000 ,       0.0000\n";
  EXPECT_EQ(files.written, records.substr(0, 100));
}

TEST(RunFaults, UnwritableStandardOutputIsFatal) {
  FullDiskFileSystem files;
  std::istringstream in("in\n1\nout\n5\n");
  std::ostringstream err;
  std::ostream out(nullptr);  // every write fails
  EXPECT_EQ(run(in, out, err, files), 2);
  EXPECT_EQ(err.str().rfind("broaden: cannot write to standard output", 0), 0u) << err.str();
  EXPECT_EQ(files.written, "");
}

}  // namespace
}  // namespace broaden
