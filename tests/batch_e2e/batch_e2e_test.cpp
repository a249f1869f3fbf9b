// End-to-end tests of broaden-batch: the built program in a fresh folder,
// checked on its exit status, both streams and every file it leaves.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
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

// The names in the folder, sorted: what a run left behind.
std::vector<std::string> names(const TempFolder& folder) {
  std::vector<std::string> found;
  for (const auto& entry : fs::directory_iterator(folder.path()))
    found.push_back(entry.path().filename().string());
  std::sort(found.begin(), found.end());
  return found;
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
    EXPECT_EQ(names(folder), std::vector<std::string>{"in.txt"}) << c.error;
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
  EXPECT_EQ(names(folder), (std::vector<std::string>{"in.txt", "link.txt", "out.txt"}));
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
    EXPECT_EQ(names(folder), (std::vector<std::string>{"in.txt", "old.txt"}));
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
    EXPECT_TRUE(names(folder).empty());
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
