// Faults and hostile input, end to end: the built program against files that
// cannot be written or read, names that must not be followed or cut short,
// binary and enormous line lists and answers, and consoles that fail. Every
// case checks the exit status, each stream, and every entry of the working
// folder byte for byte against what it held before the run.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "support/classic_spectrum.h"
#include "support/console_text.h"
#include "support/spawn.h"
#include "support/temp_folder.h"

namespace broaden::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

// A peak of intensity 0, so that a complete run writes the zero spectrum.
const std::string kPeak = "  1000.0000    0.0000\n";
// Its echo line: a blank, then each value in 25 characters, joined by a blank.
const std::string kEcho =
    "   1000.0000000000000     " + std::string(" ") + "  0.0000000000000000     \n";
const std::string kDialogue = kAskInput + kAskCount + kEcho + kAskOutput + kAskWidth;
const std::string kAnswers = "in.txt\n1\nout.txt\n5.0\n";

// A file's bytes as a snapshot holds them: past 64 KiB, its size and a digest.
std::string summary(const std::string& bytes) {
  if (bytes.size() <= 65536) return bytes;
  std::uint64_t digest = 14695981039346656037u;
  for (const char c : bytes) digest = (digest ^ static_cast<unsigned char>(c)) * 1099511628211u;
  return std::to_string(bytes.size()) + " bytes, digest " + std::to_string(digest);
}

// Every entry under the folder: a file's summary, "<folder>", "<link to T>",
// "<fifo>" or "<unreadable>".
std::map<std::string, std::string> snapshot(const TempFolder& folder) {
  std::map<std::string, std::string> entries;
  for (const auto& item : fs::recursive_directory_iterator(folder.path())) {
    const std::string name = item.path().lexically_relative(folder.path()).string();
    const fs::file_status status = item.symlink_status();
    if (fs::is_symlink(status)) {
      entries[name] = "<link to " + fs::read_symlink(item.path()).string() + ">";
    } else if (fs::is_directory(status)) {
      entries[name] = "<folder>";
    } else if (fs::is_fifo(status)) {
      entries[name] = "<fifo>";
    } else {
      std::ifstream file(item.path(), std::ios::binary);
      const std::string bytes(std::istreambuf_iterator<char>(file), {});
      entries[name] = file ? summary(bytes) : "<unreadable>";
    }
  }
  return entries;
}

void expect_one_diagnostic(const std::string& err, const std::string& what) {
  EXPECT_EQ(err.rfind("broaden: ", 0), 0u) << err;
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
  EXPECT_NE(err.find(what), std::string::npos)
      << "the diagnostic does not say " << what << ": " << err;
}

bool as_root() { return ::geteuid() == 0; }

// ---------------------------------------------------------------------------
// The case table

using Setup = std::function<void(const TempFolder&)>;

struct Fault {
  std::string title;
  Setup setup;
  std::string input;  // standard input; "<folder>" reads the working folder itself
  int status;
  std::string out;                                  // the whole console
  std::string diagnostic = {};                      // empty: standard error stays empty
  std::map<std::string, std::string> created = {};  // new entries and their bytes
  rlim_t file_size_limit = RLIM_INFINITY;
  bool console_to_file = false;  // standard output goes to a file, not a pipe
  bool relies_on_permission_bits = false;
};

void PrintTo(const Fault& c, std::ostream* os) { *os << c.title; }

Setup files(std::map<std::string, std::string> entries) {
  return [entries](const TempFolder& folder) {
    for (const auto& [name, bytes] : entries) folder.write(name, bytes);
  };
}
Setup with(Setup first, std::function<void(const fs::path&)> then) {
  return [first, then](const TempFolder& folder) {
    first(folder);
    then(folder.path());
  };
}

class e2eFault : public ::testing::TestWithParam<Fault> {};

TEST_P(e2eFault, Run) {
  const Fault& c = GetParam();
  if (c.relies_on_permission_bits && as_root())
    GTEST_SKIP() << "runs as root, where permission bits deny nothing; the same fault is "
                    "covered by a case that needs no permission bits";
  TempFolder folder, console;
  c.setup(folder);
  std::map<std::string, std::string> expected = snapshot(folder);
  for (const auto& [name, bytes] : c.created) expected[name] = summary(bytes);

  Launch launch{.input = {{"", c.input}}, .file_size_limit = c.file_size_limit};
  if (c.input == "<folder>") launch.stdin_path = folder.path().string();
  if (c.console_to_file) launch.stdout_path = (console / "console.txt").string();
  const Outcome outcome = spawn_broaden(folder.path(), launch);

  EXPECT_FALSE(outcome.timed_out);
  EXPECT_EQ(outcome.status, c.status);
  EXPECT_EQ(c.console_to_file ? console.read("console.txt") : outcome.out, c.out);
  if (c.console_to_file) {
    EXPECT_EQ(outcome.out, "");
  }
  if (c.diagnostic.empty())
    EXPECT_EQ(outcome.err, "");
  else
    expect_one_diagnostic(outcome.err, c.diagnostic);
  EXPECT_EQ(snapshot(folder), expected);
}

std::string title_of(const ::testing::TestParamInfo<Fault>& info) { return info.param.title; }

const std::string kRefused = kDialogue + kOutputError;
const Setup kLineList = files({{"in.txt", kPeak}});

// The spectrum file named by `output_answer` cannot be created.
Fault refused(std::string title, Setup setup, std::string output_answer, bool permissions = false) {
  return {.title = std::move(title),
          .setup = std::move(setup),
          .input = "in.txt\n1\n" + output_answer + "\n5.0\n",
          .status = 0,
          .out = kRefused,
          .relies_on_permission_bits = permissions};
}

// A fatal run: the console `out`, then a diagnostic saying `what`.
Fault fatal(std::string title, Setup setup, std::string input, std::string out, std::string what,
            bool permissions = false) {
  return {.title = std::move(title),
          .setup = std::move(setup),
          .input = std::move(input),
          .status = 2,
          .out = std::move(out),
          .diagnostic = std::move(what),
          .relies_on_permission_bits = permissions};
}

// The console is a file that takes `limit` bytes of `console`, and so does
// the spectrum file; `what` is said on standard error.
Fault console_limited(std::string title, Setup setup, const std::string& console, std::size_t limit,
                      std::string what, std::map<std::string, std::string> created = {}) {
  return {.title = std::move(title),
          .setup = std::move(setup),
          .input = kAnswers,
          .status = 2,
          .out = console.substr(0, limit),
          .diagnostic = std::move(what),
          .created = std::move(created),
          .file_size_limit = limit,
          .console_to_file = true};
}

const std::vector<Fault> kFaults = {
    // The spectrum file cannot be created: nothing is made, changed or followed.
    refused("OutputIsAFifoRefusedWithoutWaiting",
            with(kLineList, [](const fs::path& p) { ::mkfifo((p / "out.txt").c_str(), 0644); }),
            "out.txt"),
    refused("OutputNameHoldingNulNeverCutShort", kLineList, "out\0.txt"s),
    refused("OutputUnderAFile", kLineList, "'in.txt/out.txt'"),
    refused("OutputInAReadOnlyFolder",
            with(kLineList,
                 [](const fs::path& p) {
                   fs::create_directory(p / "ro"), ::chmod((p / "ro").c_str(), 0555);
                 }),
            "'ro/out.txt'", true),
    refused("OutputInAFolderNotEvenRootMayWrite", kLineList, "'/sys/broaden-out.txt'"),
    // The line list or standard input cannot be read: fatal, nothing created.
    fatal("LineListUnreadable",
          with(kLineList, [](const fs::path& p) { ::chmod((p / "in.txt").c_str(), 0); }), kAnswers,
          kAskInput, "Permission denied", true),
    fatal("LineListFailsOnRead", files({}), "'/proc/self/mem'\n1\nout.txt\n5.0\n",
          kAskInput + kAskCount, "cannot read line-list file '/proc/self/mem': Input/output error"),
    fatal("LineListNameHoldingNulNeverCutShort", files({{"in", kPeak}}),
          "in\0.txt\n1\nout.txt\n5\n"s, kAskInput, "NUL"),
    fatal("StandardInputIsAFolder", kLineList, "<folder>", kAskInput,
          "cannot read standard input: Is a directory"),
    // NUL bytes in the line list: bad inside the fields, ignored after them.
    {"NulInAField", files({{"in.txt", kPeak + "  1000.0\0  100.0000\n"s}}),
     "in.txt\n2\nout.txt\n5.0\n", 0, kAskInput + kAskCount + kEcho + kInputError},
    {"LineOfNulsOnly", files({{"in.txt", std::string(4096, '\0') + "\n"}}), kAnswers, 0,
     kAskInput + kAskCount + kInputError},
    {"NulsAfterTheFieldsIgnored",
     files({{"in.txt", "  1000.0000    0.0000\0\0junk\0\n"s}}),
     kAnswers,
     0,
     kDialogue,
     "",
     {{"out.txt", zero_spectrum()}}},
    // The console fails part way: status 2 whatever else happened, and the
    // spectrum file only ever written when the whole dialogue was.
    console_limited("ConsoleFullInTheEcho", kLineList, kDialogue, 60, "standard output"),
    console_limited("ConsoleFullBeforeOutputError",
                    files({{"in.txt", kPeak}, {"out.txt", "keep\n"}}), kRefused, kDialogue.size(),
                    "standard output"),
    console_limited("ConsoleFitsSpectrumDoesNot", kLineList, kDialogue, kDialogue.size(),
                    "cannot write spectrum file 'out.txt': File too large",
                    {{"out.txt", zero_spectrum().substr(0, kDialogue.size())}}),
};
INSTANTIATE_TEST_SUITE_P(Hostile, e2eFault, ::testing::ValuesIn(kFaults), title_of);

// ---------------------------------------------------------------------------
// A write of the spectrum file fails part way, at a file-size limit: the
// records already written stay, byte for byte, and nothing else does.

TEST(e2eFaultSpectrum, WriteFailureKeepsExactlyWhatFitAndReportsItOnce) {
  const std::string spectrum = zero_spectrum();
  for (const rlim_t limit : {rlim_t{0}, rlim_t{27}, rlim_t{28}, rlim_t{65537},
                             rlim_t{kSpectrumSize - 1}, rlim_t{kSpectrumSize}}) {
    SCOPED_TRACE("file size limit " + std::to_string(limit));
    TempFolder folder;
    folder.write("in.txt", kPeak);
    const Outcome outcome =
        spawn_broaden(folder.path(), Launch{.input = {{"", kAnswers}}, .file_size_limit = limit});
    const bool fits = limit >= kSpectrumSize;
    EXPECT_FALSE(outcome.timed_out);
    EXPECT_EQ(outcome.status, fits ? 0 : 2);
    EXPECT_EQ(outcome.out, kDialogue);
    if (fits)
      EXPECT_EQ(outcome.err, "");
    else
      expect_one_diagnostic(outcome.err, "cannot write spectrum file 'out.txt': File too large");
    EXPECT_EQ(snapshot(folder),
              (std::map<std::string, std::string>{
                  {"in.txt", kPeak}, {"out.txt", summary(spectrum.substr(0, limit))}}));
  }
}

// ---------------------------------------------------------------------------
// Memory: a record or an answer line of any length is skipped, never held,
// and the peak table grows with the peaks read, never with the count asked.

// A generous bound on the program's peak resident memory. Under
// AddressSanitizer, freed blocks wait in its quarantine (256 MiB at most)
// before they are reused, so that much more may stay resident.
#if defined(__SANITIZE_ADDRESS__)
constexpr long kSmallRssKib = (64 + 256) * 1024;
#else
constexpr long kSmallRssKib = 64 * 1024;
#endif

// Writes `head`, a hole of zero bytes up to `size`, then `tail`: a file of
// that size that takes no room on disk.
void write_sparse(const fs::path& path, const std::string& head, off_t size,
                  const std::string& tail) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::write(fd, head.data(), head.size()), static_cast<ssize_t>(head.size()));
  ASSERT_EQ(::lseek(fd, size, SEEK_SET), size);
  ASSERT_EQ(::write(fd, tail.data(), tail.size()), static_cast<ssize_t>(tail.size()));
  ::close(fd);
}

TEST(e2eFaultMemory, LineListRecordOf200MegabytesIsSkippedNotHeld) {
  TempFolder folder;
  // The first record runs on through 200 MB of zero bytes after its fields.
  write_sparse(folder / "in.txt", "  1000.0000    0.0000 then", 200 << 20, "\n" + kPeak);
  const Outcome outcome = spawn_broaden(folder.path(), "in.txt\n2\nout.txt\n5.0\n");
  EXPECT_FALSE(outcome.timed_out);
  EXPECT_EQ(outcome.status, 0);
  EXPECT_EQ(outcome.out, kAskInput + kAskCount + kEcho + kEcho + kAskOutput + kAskWidth);
  EXPECT_EQ(outcome.err, "");
  EXPECT_TRUE(folder.read("out.txt") == zero_spectrum());
  EXPECT_EQ(folder.names(), (std::vector<std::string>{"in.txt", "out.txt"}));
  EXPECT_EQ(fs::file_size(folder / "in.txt"), (200u << 20) + 1 + kPeak.size());
  EXPECT_LT(outcome.peak_rss_kib, kSmallRssKib);
}

TEST(e2eFaultMemory, AnswerLineOf200MegabytesIsSkippedNotHeld) {
  TempFolder folder, input;
  folder.write("in.txt", kPeak);
  // The first answer's line runs on through 200 MB of zero bytes.
  write_sparse(input / "answers", "in.txt ", 200 << 20, "\n1\nout.txt\n5.0\n");
  const Outcome outcome =
      spawn_broaden(folder.path(), Launch{.input = {}, .stdin_path = (input / "answers").string()});
  EXPECT_FALSE(outcome.timed_out);
  EXPECT_EQ(outcome.status, 0);
  EXPECT_EQ(outcome.out, kDialogue);
  EXPECT_EQ(outcome.err, "");
  EXPECT_TRUE(folder.read("out.txt") == zero_spectrum());
  EXPECT_EQ(folder.names(), (std::vector<std::string>{"in.txt", "out.txt"}));
  EXPECT_EQ(folder.read("in.txt"), kPeak);
  EXPECT_LT(outcome.peak_rss_kib, kSmallRssKib);
}

TEST(e2eFaultMemory, MillionPeaksThenABadRecordEndBeforeAnySynthesis) {
  constexpr int kPeaks = 1'000'000;
  TempFolder folder;
  {
    std::ofstream file(folder / "in.txt", std::ios::binary);
    for (int i = 0; i < kPeaks; ++i) file << kPeak;
    file << "  1000.0000  bad!0000\n" << kPeak;
  }
  const Outcome outcome =
      spawn_broaden(folder.path(), Launch{.input = {{"", "in.txt\n1000001\nout.txt\n5.0\n"}},
                                          .deadline = std::chrono::seconds(300)});
  EXPECT_FALSE(outcome.timed_out);
  EXPECT_EQ(outcome.status, 0);
  EXPECT_EQ(outcome.err, "");
  const std::size_t head = kAskInput.size() + kAskCount.size();
  ASSERT_EQ(outcome.out.size(), head + kPeaks * kEcho.size() + kInputError.size());
  EXPECT_EQ(outcome.out.substr(0, head), kAskInput + kAskCount);
  for (std::size_t at = head; at < head + kPeaks * kEcho.size(); at += kEcho.size())
    ASSERT_EQ(outcome.out.compare(at, kEcho.size(), kEcho), 0) << "echo line at byte " << at;
  EXPECT_EQ(outcome.out.substr(outcome.out.size() - kInputError.size()), kInputError);
  EXPECT_EQ(folder.names(), std::vector<std::string>{"in.txt"});
  // A million peaks are 16 MB of doubles, a quarter of the bound: anything
  // kept for each record beyond its two values would soon break it.
  EXPECT_LT(outcome.peak_rss_kib, kSmallRssKib);
}

}  // namespace
}  // namespace broaden::testing
