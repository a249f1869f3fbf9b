// broaden-batch's whole run in-process, in a fresh folder through the
// file-system seam: the command line built from words, standard input from
// a string, standard output and error captured. For tests that link the
// batch library.
//
//   TEST_F(BatchTest, Example) {
//     folder.write("lines.txt", "1000 2\n");
//     ASSERT_EQ(run({"--fwhm", "4", "lines.txt"}), 0) << err.str();
//     EXPECT_EQ(run({"--fwhm", "4", "-"}, "1000 2\n"), 0);  // the same lines on standard input
//   }
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "batch/batch.h"
#include "io/posix_file_system.h"
#include "support/temp_folder.h"

namespace broaden::testing {

/// What a run may take besides its words: another file system than the
/// folder's, another standard output than `out`, a terminal, a drawing
/// program.
struct BatchSeams {
  FileSystem* files = nullptr;
  std::ostream* out = nullptr;
  BatchTerminal terminal{};
  PlotDriver* driver = nullptr;
};

class BatchTest : public ::testing::Test {
 protected:
  BatchTest() : folder_fd_(::open(folder.path().c_str(), O_RDONLY | O_DIRECTORY)) {}
  ~BatchTest() override { ::close(folder_fd_); }

  /// Runs "broaden-batch `arguments`" with `input` on standard input (a
  /// file no longer in the folder); returns the status, out and err hold
  /// what was written.
  int run(std::vector<std::string> arguments, const std::string& input = "",
          const BatchSeams& seams = {}) {
    folder.write(".stdin", input);
    const int input_fd = ::openat(folder_fd_, ".stdin", O_RDONLY);
    std::filesystem::remove(folder / ".stdin");
    arguments.insert(arguments.begin(), "broaden-batch");
    std::vector<const char*> argv;
    for (const std::string& argument : arguments) argv.push_back(argument.c_str());
    out.str("");
    err.str("");
    const int status =
        run_batch(static_cast<int>(argv.size()), argv.data(), input_fd,
                  seams.out != nullptr ? *seams.out : out, err,
                  seams.files != nullptr ? *seams.files : files, seams.terminal, seams.driver);
    ::close(input_fd);
    return status;
  }

  TempFolder folder;
  std::ostringstream out, err;

 private:
  int folder_fd_;

 protected:
  PosixFileSystem files{folder_fd_};
};

/// The points of a tsv spectrum (its comment lines skipped): abscissae and
/// values, e.g. "# ...\n1\t0.5\n2\t1\n" gives x {1, 2}, y {0.5, 1}.
struct Points {
  std::vector<double> x, y;
};
inline Points points_of(const std::string& tsv) {
  Points points;
  std::istringstream lines(tsv);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.empty() || line[0] == '#') continue;
    const std::size_t tab = line.find('\t');
    points.x.push_back(std::strtod(line.substr(0, tab).c_str(), nullptr));
    points.y.push_back(std::strtod(line.substr(tab + 1).c_str(), nullptr));
  }
  return points;
}

/// The rows of a tsv spectrum: everything after its comment line.
inline std::string rows_of(const std::string& tsv) { return tsv.substr(tsv.find('\n') + 1); }

}  // namespace broaden::testing
