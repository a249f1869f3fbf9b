// End-to-end tests of broaden-batch: the built program in a fresh folder,
// checked on its exit status, both streams and every file it leaves.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "support/spawn.h"
#include "support/temp_folder.h"

namespace broaden::testing {
namespace {

namespace fs = std::filesystem;

Outcome batch(const TempFolder& folder, std::vector<std::string> arguments,
              const std::string& input = "", rlim_t file_size_limit = RLIM_INFINITY) {
  return spawn_broaden(folder.path(), Launch{.input = {{"", input}},
                                             .file_size_limit = file_size_limit,
                                             .program = BROADEN_BATCH_EXECUTABLE,
                                             .arguments = std::move(arguments)});
}

// One line-list record in one of the forms the classic reader takes.
std::string random_record(std::mt19937_64& random) {
  std::uniform_real_distribution<double> frequency(-100.0, 2100.0);
  std::uniform_real_distribution<double> intensity(0.0, 1000.0);
  char text[64];
  switch (random() % 5) {
    case 0:
      std::snprintf(text, sizeof text, "%10.4f%10.4f", frequency(random), intensity(random));
      break;
    case 1:
      std::snprintf(text, sizeof text, "%.6g,%.3g", frequency(random), intensity(random));
      break;
    case 2:  // implied decimals
      std::snprintf(text, sizeof text, "%10lld%10lld", static_cast<long long>(random() % 20000000),
                    static_cast<long long>(random() % 100000));
      break;
    case 3:
      std::snprintf(text, sizeof text, "%10.3E%10.2E", frequency(random), intensity(random) / 10);
      break;
    default:
      return "";  // an empty record: the peak (0, 0)
  }
  std::string record = text;
  if (random() % 4 == 0)  // the D exponent of the classic records
    for (char& c : record)
      if (c == 'E') c = 'D';
  return record;
}

TEST(BatchE2e, ClassicPresetWritesBroadensSpectrumByteForByte) {
  std::mt19937_64 random(1208);
  int refused = 0;
  for (int trial = 0; trial < 14; ++trial) {
    TempFolder folder;
    std::string lines;
    const int count = trial == 0 ? 0 : static_cast<int>(random() % 60) + 1;
    for (int k = 0; k < count; ++k) lines += random_record(random) + (k % 7 == 3 ? "\r\n" : "\n");
    // Hard cases at the end: infinite values, a last line without its line
    // feed, a carriage return just before the end of the file.
    if (trial == 1) lines += " 1000.0000   1.0E400\n1E400";
    if (trial == 2) lines += "  500.0000  100.0000\r";
    if (trial == 3) lines += "  500.0000  100.0000          \r";
    if (trial == 4) lines += "  500.0000  100\r";  // inside a field: a bad field
    const int records = count + (trial == 1 ? 2 : trial >= 2 && trial <= 4 ? 1 : 0);
    folder.write("in.txt", lines);
    char width[32];
    std::snprintf(
        width, sizeof width, "%.3g",
        std::exp(std::uniform_real_distribution<double>(std::log(0.05), std::log(300.0))(random)));

    const Outcome classic = spawn_broaden(
        folder.path(), "in.txt\n" + std::to_string(records) + "\nold.txt\n" + width + "\n");
    ASSERT_EQ(classic.status, 0) << classic.err;
    const Outcome preset =
        batch(folder, {"--classic", "--sigma", width, "in.txt", "-o", "new.txt"});
    EXPECT_EQ(preset.out, "");
    if (classic.out.find(" Error in input file") != std::string::npos) {
      // A record broaden refuses is refused here too, and nothing is written.
      EXPECT_EQ(preset.status, 1);
      EXPECT_EQ(preset.err.rfind("broaden-batch: in.txt:", 0), 0u) << preset.err;
      EXPECT_FALSE(folder.exists("new.txt"));
      refused += 1;
      continue;
    }
    ASSERT_EQ(preset.status, 0) << preset.err;
    ASSERT_EQ(folder.read("new.txt").size(), 20000u * 28);
    EXPECT_TRUE(folder.read("new.txt") == folder.read("old.txt")) << "width " << width << "\n"
                                                                  << lines;

    // Through standard input and output, the same bytes.
    const Outcome piped = batch(folder, {"--classic", "--sigma=" + std::string(width)}, lines);
    ASSERT_EQ(piped.status, 0) << piped.err;
    EXPECT_TRUE(piped.out == folder.read("old.txt"));
  }
  EXPECT_EQ(refused, 1);  // the carriage return inside a field
}

TEST(BatchE2e, ABadLineNamesFileLineAndColumnAndWritesNothing) {
  const struct {
    std::vector<std::string> arguments;
    std::string lines, error;
  } cases[] = {
      {{"--fwhm", "1"},
       "# f I\n1000 2\n1500 2x\n",
       "in.txt:3:6: expected a number for the intensity (field 2), not '2x'"},
      {{"--fwhm", "1", "--columns", "2,1"},
       "1 2\n\n3\n",
       "in.txt:3:2: expected 2 fields (the frequency is field 2), not 1"},
      {{"--fwhm", "1", "--columns", "1,2,3"},
       "1 2 0.5\n1 2 0\n",
       "in.txt:2:5: expected a positive width (field 3), not '0'"},
      // Widths below or above the range the shapes take, in the field's measure (here fwhm).
      {{"--columns", "1,2,3"},
       "1 2 0.5\n1 2 1e-323\n",
       "in.txt:2:5: expected a width (field 3) from 2.3548200450309493e-150 to "
       "2.354820045030949e+150, not '1e-323'"},
      {{"--shape", "lorentzian", "--hwhm", "1", "--columns", "1,2,3"},
       "1 2 1e151\n",
       "in.txt:1:5: expected a width (field 3) from 1e-150 to 1e+150, not '1e151'"},
      {{"--input", "fixed", "--fwhm", "1"},
       "  100.0000    1.0000\n  200.0000    1.0.00\n",
       "in.txt:2:11: expected the intensity as a number in a 10-character field, found a second "
       "decimal point"},
      {{"--classic", "--sigma", "1"},
       "1.0\t2.0\n",
       "in.txt:1:1: expected the frequency as a number in a 10-character field, found a character "
       "that is no digit, blank, sign, point or E or D exponent"},
  };
  for (const auto& c : cases) {
    TempFolder folder;
    folder.write("in.txt", c.lines);
    std::vector<std::string> arguments = c.arguments;
    arguments.insert(arguments.end(), {"in.txt", "-o", "out.txt"});
    const Outcome run = batch(folder, arguments);
    EXPECT_EQ(run.status, 1) << c.error;
    EXPECT_EQ(run.err, "broaden-batch: " + c.error + "\n");
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(folder.names(), std::vector<std::string>{"in.txt"}) << c.error;
  }
  // On standard input the file is named so.
  TempFolder folder;
  const Outcome piped = batch(folder, {"--fwhm", "1"}, "1 2\n,\n");
  EXPECT_EQ(piped.status, 1);
  EXPECT_EQ(piped.err,
            "broaden-batch: standard input:2:1: expected a number for the frequency "
            "(field 1), not an empty field\n");
  EXPECT_EQ(piped.out, "");
}

TEST(BatchE2e, NeverReplacesAFileWithoutForceAndLeavesNoTemporaryFile) {
  TempFolder folder;
  folder.write("in.txt", "  100.0000    1.0000\n");
  folder.write("out.txt", "precious\n");
  fs::create_symlink("nowhere", folder / "link.txt");
  for (const char* name : {"out.txt", "link.txt"}) {
    const Outcome run = batch(folder, {"--classic", "--sigma", "5", "in.txt", "-o", name});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err,
              "broaden-batch: '" + std::string(name) + "' exists: give --force to replace it\n");
  }
  EXPECT_EQ(folder.read("out.txt"), "precious\n");
  EXPECT_EQ(fs::read_symlink(folder / "link.txt"), "nowhere");

  const Outcome forced =
      batch(folder, {"--classic", "--sigma", "5", "in.txt", "-o", "out.txt", "--force"});
  EXPECT_EQ(forced.status, 0) << forced.err;
  EXPECT_EQ(folder.read("out.txt").size(), 20000u * 28);
  EXPECT_EQ(folder.names(), (std::vector<std::string>{"in.txt", "link.txt", "out.txt"}));
}

TEST(BatchE2e, AFailedWriteLeavesNothingBehindAndNoFileDamaged) {
  TempFolder folder;
  folder.write("in.txt", "  100.0000    1.0000\n");
  folder.write("old.txt", "precious\n");
  // The spectrum is 560000 bytes: the file-size limit stops it half way.
  for (const auto& extra : {std::vector<std::string>{"-o", "new.txt"},
                            std::vector<std::string>{"-o", "old.txt", "--force"}}) {
    std::vector<std::string> arguments{"--classic", "--sigma", "5", "in.txt"};
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    const Outcome run = batch(folder, arguments, "", 100000);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "broaden-batch: cannot write '" + extra[1] + "': File too large\n");
    EXPECT_EQ(folder.names(), (std::vector<std::string>{"in.txt", "old.txt"}));
    EXPECT_EQ(folder.read("old.txt"), "precious\n");
  }
}

TEST(BatchE2e, UsageErrorsEndWithStatusTwoBeforeAnythingIsRead) {
  TempFolder folder;
  for (const auto& arguments :
       {std::vector<std::string>{"--fwhm", "0", "-o", "out.txt"},
        std::vector<std::string>{"--fwhm", "1", "--from", "5", "--to", "5.05", "--step", "1e-10",
                                 "-o", "out.txt"},
        std::vector<std::string>{"--unknown", "-o", "out.txt"}}) {
    const Outcome run = batch(folder, arguments, "1 2\n");
    EXPECT_EQ(run.status, 2) << arguments[0];
    EXPECT_NE(run.err.find("Try 'broaden-batch --help'"), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_TRUE(folder.names().empty());
  }
  const Outcome version = batch(folder, {"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out.rfind("broaden-batch ", 0), 0u);
}

}  // namespace
}  // namespace broaden::testing

namespace broaden::testing {
namespace {

// A tsv spectrum read back: abscissae and intensities.
struct Points {
  std::vector<double> x, y;
};
Points read_tsv(const std::string& text) {
  Points points;
  std::size_t start = text.find('\n') + 1;  // past the parameter line
  while (start < text.size()) {
    const std::size_t end = text.find('\n', start);
    const std::string line = text.substr(start, end - start);
    points.x.push_back(std::strtod(line.c_str(), nullptr));
    points.y.push_back(std::strtod(line.c_str() + line.find('\t') + 1, nullptr));
    start = end + 1;
  }
  return points;
}

// The full width at half maximum of a single peak, crossings interpolated.
double measured_fwhm(const Points& p) {
  const auto top = std::max_element(p.y.begin(), p.y.end()) - p.y.begin();
  const double half = p.y[static_cast<std::size_t>(top)] / 2;
  auto crossing = [&](std::ptrdiff_t i, std::ptrdiff_t step) {
    while (p.y[static_cast<std::size_t>(i + step)] > half) i += step;
    const auto a = static_cast<std::size_t>(i), b = static_cast<std::size_t>(i + step);
    return p.x[a] + (p.x[b] - p.x[a]) * (p.y[a] - half) / (p.y[a] - p.y[b]);
  };
  return crossing(top, 1) - crossing(top, -1);
}

TEST(BatchE2e, EachWidthOptionGivesTheWidthAndHeightAsked) {
  constexpr double kPi = 3.14159265358979323846;
  const double kFwhmPerSigma = 2 * std::sqrt(2 * std::log(2.0));
  // One line of intensity 2 at 1000, sampled by 0.001 around it.
  const struct {
    std::vector<std::string> options;
    double fwhm, height;  // as asked; height of the area-normalised line at its centre
  } cases[] = {
      {{"--fwhm", "4"}, 4, 2 / (4 / kFwhmPerSigma * std::sqrt(2 * kPi))},
      {{"--sigma", "2"}, 2 * kFwhmPerSigma, 2 / (2 * std::sqrt(2 * kPi))},
      {{"--shape", "lorentzian", "--fwhm", "4"}, 4, 2 / (kPi * 2)},
      {{"--shape", "lorentzian", "--hwhm", "1.5"}, 3, 2 / (kPi * 1.5)},
      {{"--shape", "pseudo-voigt", "--fwhm", "4", "--eta", "0.3"},
       4,
       0.3 * 2 / (kPi * 2) + 0.7 * 2 / (4 / kFwhmPerSigma * std::sqrt(2 * kPi))},
      // The Voigt FWHM from the Gaussian and Lorentzian ones, within 0.02 %.
      {{"--shape", "voigt", "--gaussian-fwhm", "3", "--lorentzian-fwhm", "2"},
       0.5346 * 2 + std::sqrt(0.2166 * 4 + 9),
       0},
  };
  TempFolder folder;
  for (const auto& c : cases) {
    std::vector<std::string> arguments = c.options;
    arguments.insert(arguments.end(), {"--from", "980", "--to", "1020", "--step", "0.001"});
    const Outcome run = batch(folder, arguments, "1000 2\n");
    ASSERT_EQ(run.status, 0) << run.err;
    const Points points = read_tsv(run.out);
    ASSERT_EQ(points.x[20000], 1000.0);
    EXPECT_NEAR(measured_fwhm(points), c.fwhm, c.fwhm * 3e-4) << c.options[1];
    if (c.height > 0) {
      EXPECT_NEAR(points.y[20000], c.height, c.height * 1e-12) << c.options[1];
    }

    arguments.insert(arguments.end(), {"--normalise", "height"});
    const Outcome height = batch(folder, arguments, "1000 2\n");
    EXPECT_NEAR(read_tsv(height.out).y[20000], 2.0, 2e-12) << c.options[1];
  }
}

// The widths of the cases are refused with their range (status 2, nothing written); a
// line of intensity 1e308 or DBL_MAX beside an ordinary one gives no NaN: infinity only where its
// true value exceeds DBL_MAX, and around the ordinary line the very bytes of that line alone.
TEST(BatchE2e, ExtremeWidthsAreRefusedAndHugeLinesGiveNoNaN) {
  TempFolder folder;
  const struct {
    std::vector<std::string> arguments;
    std::string refusal;
  } refusals[] = {
      {{"--sigma", "1e-320"}, "--sigma must lie between 1e-150 and 1e+150, not '1e-320'"},
      {{"--fwhm", "1e-170"},
       "--fwhm must lie between 2.3548200450309493e-150 and 2.354820045030949e+150, not "
       "'1e-170'"},
      {{"--shape", "lorentzian", "--hwhm", "1e160", "--normalise", "height"},
       "--hwhm must lie between 1e-150 and 1e+150, not '1e160'"},
  };
  for (const auto& c : refusals) {
    std::vector<std::string> arguments = c.arguments;
    arguments.insert(arguments.end(), {"-o", "out.txt"});
    const Outcome run = batch(folder, arguments, "1000 1\n");
    EXPECT_EQ(run.status, 2) << c.refusal;
    EXPECT_EQ(run.err.rfind("broaden-batch: " + c.refusal + "\n", 0), 0u) << run.err;
    EXPECT_TRUE(folder.names().empty());
  }

  const std::vector<std::string> grid{"--from", "990", "--to", "1030", "--step", "0.01"};
  for (const std::string big : {"1e308", "1.7976931348623157e308"}) {
    for (const std::vector<std::string>& shape :
         {std::vector<std::string>{"--fwhm", "0.3"},
          {"--fwhm", "0.3", "--normalise", "height"},
          {"--shape", "lorentzian", "--hwhm", "0.001"},
          {"--shape", "pseudo-voigt", "--fwhm", "0.3", "--eta", "0.5"},
          {"--shape", "voigt", "--gaussian-fwhm", "0.3", "--lorentzian-fwhm", "0.01"}}) {
      std::vector<std::string> arguments = shape;
      arguments.insert(arguments.end(), grid.begin(), grid.end());
      const Outcome both = batch(folder, arguments, "1000 " + big + "\n1020 1\n");
      ASSERT_EQ(both.status, 0) << both.err;
      const Points with = read_tsv(both.out);
      const Points huge = read_tsv(batch(folder, arguments, "1000 " + big + "\n").out);
      const Points ordinary = read_tsv(batch(folder, arguments, "1020 1\n").out);
      ASSERT_EQ(with.x.size(), 4001u);
      ASSERT_EQ(huge.y.size(), 4001u);
      ASSERT_EQ(ordinary.y.size(), 4001u);
      EXPECT_EQ(both.out.find("nan"), std::string::npos) << shape[1];
      for (std::size_t j = 0; j < with.x.size(); ++j) {
        // The big line's true value passes DBL_MAX only within 0.2 of it (sigma 0.127: where
        // exp(-q) > DBL_MAX / 5.6e308, or within 13 hwhm of the Lorentzian).
        if (std::fabs(with.x[j] - 1000.0) < 0.25) {
          EXPECT_FALSE(std::isnan(with.y[j]));
          continue;
        }
        ASSERT_TRUE(std::isfinite(with.y[j])) << shape[1] << " at " << with.x[j];
        // Each line's part is what it is alone.
        const double sum = huge.y[j] + ordinary.y[j];
        ASSERT_NEAR(with.y[j], sum, 3e-16 * std::fabs(sum)) << shape[1] << " at " << with.x[j];
      }
      // Where the Gaussian's big line is exactly nothing, the ordinary line's very bytes.
      if (shape[0] == "--fwhm") {
        ASSERT_EQ(with.x[3000], 1020.0);
        EXPECT_EQ(with.y[3000], ordinary.y[3000]);
      }
    }
  }
}

TEST(BatchE2e, AWidthFieldAndTheScaleStandForTheOptions) {
  TempFolder folder;
  const std::vector<std::string> grid{"--from", "100", "--to", "600", "--step", "0.5"};
  auto spectrum = [&](std::vector<std::string> options, const std::string& lines) {
    options.insert(options.end(), grid.begin(), grid.end());
    const Outcome run = batch(folder, options, lines);
    EXPECT_EQ(run.status, 0) << run.err;
    return run.out.substr(run.out.find('\n'));  // without the parameter line
  };

  for (const auto& [shape, width] : {std::pair<std::string, std::string>{"gaussian", "--fwhm"},
                                     {"gaussian", "--sigma"},
                                     {"lorentzian", "--fwhm"},
                                     {"lorentzian", "--hwhm"}}) {
    EXPECT_EQ(spectrum({"--shape", shape, width, "7", "--columns", "1,2,3"}, "300 1 7\n400 2 7\n"),
              spectrum({"--shape", shape, width, "7"}, "300 1\n400 2\n"))
        << shape << " " << width;
  }
  EXPECT_EQ(
      spectrum({"--shape", "pseudo-voigt", "--eta", "0.5", "--columns", "2,1,3"}, "1 300 7\n"),
      spectrum({"--shape", "pseudo-voigt", "--eta", "0.5", "--fwhm", "7"}, "300 1\n"));
  EXPECT_EQ(spectrum({"--fwhm", "7", "--scale", "0.5"}, "600 1\n800 2\n"),
            spectrum({"--fwhm", "7"}, "300 1\n400 2\n"));
}

// The text is formatted in blocks, halves of a block at once: every point
// once, in order, x beside its own y, whether one block, part of one or many.
TEST(BatchE2e, EveryPointIsWrittenOnceInOrderAcrossTheFormattingBlocks) {
  TempFolder folder;
  for (const char* to : {"0.1", "0.5", "7"}) {  // 1001, 5001 and 70001 points
    const Outcome run = batch(
        folder,
        {"--sigma", "0.05", "--normalise", "height", "--from", "0", "--to", to, "--step", "0.0001"},
        "0.05 1\n");
    ASSERT_EQ(run.status, 0) << run.err;
    const Points points = read_tsv(run.out);
    const std::size_t size = static_cast<std::size_t>(std::stod(to) * 10000 + 1.5);
    ASSERT_EQ(points.x.size(), size) << to;
    for (std::size_t j = 0; j < size; ++j) {
      ASSERT_EQ(points.x[j], static_cast<double>(j) / 10000) << to << " point " << j;
      const double d = points.x[j] - 0.05;
      ASSERT_NEAR(points.y[j], std::exp(-(d * d) / 0.005), 1e-14) << to << " point " << j;
    }
  }
}

}  // namespace
}  // namespace broaden::testing

namespace broaden::testing {
namespace {

// A run of broaden-batch left running, for what spawn_broaden cannot do:
// signal it midway, close its standard output first, limit its memory.
struct Child {
  pid_t pid = -1;
  int input = -1;  ///< its standard input, kept open until closed here
  int errors = -1;
};

struct ChildOptions {
  bool output_closed = false;     ///< standard output a pipe nobody reads
  bool hangup_ignored = false;    ///< started as nohup starts it
  rlim_t memory = RLIM_INFINITY;  ///< RLIMIT_AS
};

Child start(const TempFolder& folder, std::vector<std::string> arguments,
            const ChildOptions& options = {}) {
  const std::string directory = folder.path().string();
  const std::string program = BROADEN_BATCH_EXECUTABLE;
  std::vector<const char*> argv{program.c_str()};
  for (const std::string& argument : arguments) argv.push_back(argument.c_str());
  argv.push_back(nullptr);
  int in[2], out[2], err[2];
  if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0)
    throw std::runtime_error("pipe2 failed");
  const rlimit memory{options.memory, options.memory};
  const rlimit no_core{0, 0};
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (::chdir(directory.c_str()) != 0 || ::dup2(in[0], 0) < 0 || ::dup2(out[1], 1) < 0 ||
        ::dup2(err[1], 2) < 0 || ::setrlimit(RLIMIT_CORE, &no_core) != 0 ||
        ::setrlimit(RLIMIT_AS, &memory) != 0)
      ::_exit(127);
    // Every signal at its default action and none blocked, whatever the
    // test runner left (a shell's background job ignores SIGINT and SIGQUIT).
    for (int n = 1; n < NSIG; ++n) ::signal(n, SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    ::signal(SIGHUP, options.hangup_ignored ? SIG_IGN : SIG_DFL);
    ::execv(argv[0], const_cast<char* const*>(argv.data()));
    ::_exit(127);
  }
  ::close(in[0]);
  ::close(out[1]);
  ::close(err[1]);
  if (options.output_closed) ::close(out[0]);
  return Child{pid, in[1], err[0]};
}

// Waits for the child's end: its status as spawn_broaden gives it (128 +
// the signal that ended it) and what it said on standard error.
std::pair<int, std::string> finish(Child& child) {
  if (child.input >= 0) ::close(child.input);
  std::string said;
  char buffer[4096];
  for (ssize_t got; (got = ::read(child.errors, buffer, sizeof buffer)) > 0;)
    said.append(buffer, static_cast<std::size_t>(got));
  ::close(child.errors);
  int status = 0;
  while (::waitpid(child.pid, &status, 0) < 0 && errno == EINTR) {
  }
  return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), said};
}

// True once a temporary file of the run stands in the folder (10 s at most).
bool temporary_appears(const TempFolder& folder) {
  for (int wait = 0; wait < 1000; ++wait) {
    for (const std::string& name : folder.names())
      if (name.rfind(".broaden-batch-", 0) == 0) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

// The run makes its temporary file, then waits for its line list on
// standard input: a signal then finds the temporary there.
TEST(BatchE2e, EverySignalThatEndsTheRunRemovesItsTemporaryFile) {
  for (const int signal_number : {SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGUSR1, SIGUSR2, SIGALRM,
                                  SIGXCPU, SIGVTALRM, SIGPROF, SIGRTMIN}) {
    TempFolder folder;
    Child child = start(folder, {"--fwhm", "1", "-o", "out.tsv"});
    ASSERT_TRUE(temporary_appears(folder)) << signal_number;
    ::kill(child.pid, signal_number);
    const auto [status, said] = finish(child);
    EXPECT_EQ(status, 128 + signal_number) << said;  // ended by the signal itself
    EXPECT_TRUE(folder.names().empty()) << signal_number;
  }
  // A hangup ignored when the run starts (under nohup) stays ignored.
  TempFolder folder;
  Child child = start(folder, {"--fwhm", "1", "-o", "out.tsv"}, {.hangup_ignored = true});
  ASSERT_TRUE(temporary_appears(folder));
  ::kill(child.pid, SIGHUP);
  ASSERT_EQ(::write(child.input, "1000 2\n", 7), 7);
  const auto [status, said] = finish(child);
  EXPECT_EQ(status, 0) << said;
  EXPECT_EQ(folder.names(), std::vector<std::string>{"out.tsv"});
}

// `broaden-batch ... | head`: the reader goes, the writer ends by SIGPIPE
// without a word, as the core utilities do.
TEST(BatchE2e, AClosedStandardOutputEndsByBrokenPipeWithoutAWord) {
  TempFolder folder;
  folder.write("in.txt", "1000 2\n");
  for (const auto& arguments : {std::vector<std::string>{"--fwhm", "1", "--from", "950", "--to",
                                                         "1050", "--step", "0.0001", "in.txt"},
                                std::vector<std::string>{"--classic", "--sigma", "5", "in.txt"}}) {
    Child child = start(folder, arguments, {.output_closed = true});
    const auto [status, said] = finish(child);
    EXPECT_EQ(status, 128 + SIGPIPE) << said;
    EXPECT_EQ(said, "");
  }
  EXPECT_EQ(folder.names(), std::vector<std::string>{"in.txt"});
}

TEST(BatchE2e, NoMemoryForTheGridIsAFailureToRunSayingHowMuch) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the address sanitizer needs more address space than the limit leaves";
#endif
  TempFolder folder;
  Child child = start(
      folder, {"--fwhm", "1", "--from", "0", "--to", "1", "--points", "100000000", "-o", "out.tsv"},
      {.memory = rlim_t{256} << 20});
  ::close(std::exchange(child.input, -1));
  const auto [status, said] = finish(child);
  EXPECT_EQ(status, 1);
  EXPECT_EQ(said,
            "broaden-batch: not enough memory for a grid of 100000000 points (762.9 MiB for its "
            "abscissae)\n");
  EXPECT_TRUE(folder.names().empty());
}

// Line ends of every kind, the column of a missing field and a header row,
// as a user meets them.
TEST(BatchE2e, LineEndsOfEveryKindAndAHeaderRowAreRead) {
  TempFolder folder;
  const std::vector<std::string> grid{"--fwhm", "4",    "--from", "990",
                                      "--to",   "2010", "--step", "1"};
  auto run = [&](const std::string& lines) {
    folder.write("in.txt", lines);
    std::vector<std::string> arguments = grid;
    arguments.push_back("in.txt");
    return batch(folder, arguments);
  };
  const Outcome lf = run("1000 1\n2000 2\n");
  ASSERT_EQ(lf.status, 0) << lf.err;
  const std::string points = lf.out.substr(lf.out.find('\n'));
  // Older spreadsheets end lines with CR alone; a comment first once hid
  // every line.
  for (const std::string lines :
       {"1000 1\r2000 2\r", "# f I\r1000 1\r2000 2", "1000 1\r\n2000 2\r\n"}) {
    const Outcome other = run(lines);
    ASSERT_EQ(other.status, 0) << other.err;
    EXPECT_EQ(other.err, "");
    EXPECT_EQ(other.out.substr(other.out.find('\n')), points);
    EXPECT_NE(other.out.find(" lines=2\n"), std::string::npos) << other.out.substr(0, 200);
  }
  const Outcome header = run("freq,int\r\n1000 1\r\n2000 2\r\n");
  ASSERT_EQ(header.status, 0) << header.err;
  EXPECT_EQ(header.err, "broaden-batch: note: in.txt:1: skipped the header row 'freq,int'\n");
  EXPECT_EQ(header.out.substr(header.out.find('\n')), points);

  for (const auto& [lines, error] :
       {std::pair<std::string, std::string>{"1000\r\n",
                                            "in.txt:1:5: expected 2 fields (the "
                                            "intensity is field 2), not 1"},
        {"1000\n",
         "in.txt:1:5: expected 2 fields (the intensity "
         "is field 2), not 1"},
        {"1000 1e400\r\n",
         "in.txt:1:6: expected an intensity "
         "(field 2) within the range of doubles, "
         "not '1e400'"}}) {
    const Outcome bad = run(lines);
    EXPECT_EQ(bad.status, 1);
    EXPECT_EQ(bad.err, "broaden-batch: " + error + "\n");
  }
}

// A named pipe of the test's own (never a system device) is not replaced by
// --force: the run refuses before it opens, creates or renames anything.
TEST(BatchE2e, ForceRefusesANamedPipeAndKeepsAFilesPermissions) {
  TempFolder folder;
  folder.write("in.txt", "1000 2\n");
  ASSERT_EQ(::mkfifo((folder.path() / "pipe").c_str(), 0600), 0);
  const Outcome piped = batch(folder, {"--fwhm", "1", "in.txt", "-o", "pipe", "--force"});
  EXPECT_EQ(piped.status, 1);
  EXPECT_EQ(piped.err,
            "broaden-batch: cannot replace 'pipe': not a regular file (send standard output to it "
            "instead of -o)\n");
  EXPECT_TRUE(fs::is_fifo(fs::symlink_status(folder.path() / "pipe")));

  folder.write("private.tsv", "old\n");
  fs::permissions(folder.path() / "private.tsv", fs::perms(0600));
  const Outcome forced = batch(folder, {"--fwhm", "1", "in.txt", "-o", "private.tsv", "--force"});
  ASSERT_EQ(forced.status, 0) << forced.err;
  EXPECT_EQ(fs::status(folder.path() / "private.tsv").permissions(), fs::perms(0600));
  EXPECT_NE(folder.read("private.tsv"), "old\n");
  EXPECT_EQ(folder.names(), (std::vector<std::string>{"in.txt", "pipe", "private.tsv"}));
}

// Round abscissae print as a grid is written; numbers beyond 2^53 with
// their shortest digits.
TEST(BatchE2e, NumbersPrintInTheirShortestAndPlainestForm) {
  TempFolder folder;
  const Outcome run = batch(
      folder,
      {"--fwhm", "1", "--normalise", "height", "--from", "0", "--to", "300000", "--step", "100000"},
      "100000 36619573947943904\n");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out.substr(run.out.find('\n') + 1),
            "0\t0\n100000\t36619573947943900\n200000\t0\n300000\t0\n");
  const Outcome outside = batch(
      folder, {"--fwhm", "1", "--from", "0", "--to", "300000", "--step", "100000"}, "400000 1\n");
  EXPECT_EQ(outside.err,
            "broaden-batch: warning: 1 of 1 line lies outside the grid (0 to 300000); only its "
            "tail reaches it\n"
            "broaden-batch: warning: the grid is too coarse for the width: its step, 1e+05 cm-1, "
            "is more than a quarter of the narrowest full width at half maximum, 1 cm-1 (a step "
            "of 0.25 or less draws the peaks)\n");
}

}  // namespace
}  // namespace broaden::testing

namespace broaden::testing {
namespace {

// BROADEN_GNUPLOT names the drawing program; a missing one fails the
// picture alone: the message, status 1, the data written whole.
TEST(BatchE2e, AMissingGnuplotFailsThePictureAndKeepsTheData) {
  TempFolder folder;
  folder.write("in.txt", "1000 2\n");
  const std::vector<std::string> run{"--fwhm", "4", "--from", "990", "--to", "1010", "in.txt"};
  const Outcome piped = batch(folder, run);
  ASSERT_EQ(piped.status, 0) << piped.err;

  ::setenv("BROADEN_GNUPLOT", "/nonexistent", 1);
  std::vector<std::string> to_file = run;
  to_file.insert(to_file.end(), {"-o", "out.tsv", "--plot", "out.png"});
  const Outcome filed = batch(folder, to_file);
  std::vector<std::string> to_stdout = run;
  to_stdout.insert(to_stdout.end(), {"-o", "-", "--plot", "out.png"});
  const Outcome streamed = batch(folder, to_stdout);
  ::unsetenv("BROADEN_GNUPLOT");

  const std::string message =
      "broaden-batch: cannot draw the plot: cannot start '/nonexistent': No such file or "
      "directory (gnuplot is in the Debian package gnuplot-nox)\n";
  EXPECT_EQ(filed.status, 1);
  EXPECT_EQ(filed.err, message);
  EXPECT_EQ(folder.read("out.tsv"), piped.out);
  EXPECT_EQ(streamed.status, 1);
  EXPECT_EQ(streamed.err, message);
  EXPECT_EQ(streamed.out, piped.out);
  EXPECT_EQ(folder.names(), (std::vector<std::string>{"in.txt", "out.tsv"}));
}

}  // namespace
}  // namespace broaden::testing
