// What --plot adds to a run: broaden-batch in-process on 100 000 points
// (Lorentzians of six lines, 400 to 4000 cm-1), the text written to a file,
// without a picture and with one of each format drawn by the real gnuplot;
// and the gnuplot commands alone. The difference of the runs is the time
// the picture costs.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "batch/batch.h"
#include "batch/plot.h"
#include "io/posix_file_system.h"
#include "support/temp_folder.h"

namespace {

constexpr const char* kPictures[] = {"", "ir.png", "ir.svg", "ir.pdf"};

void BM_RunWithPicture(benchmark::State& state) {
  const broaden::testing::TempFolder folder;
  folder.write("lines.txt", "3034 3\n1220 30\n774 100\n680 10\n363 3\n261 3\n");
  const int fd = ::open(folder.path().c_str(), O_RDONLY | O_DIRECTORY);
  broaden::PosixFileSystem files(fd);
  std::vector<std::string> arguments{"broaden-batch", "--shape", "lorentzian", "--fwhm", "10",
                                     "--from",        "400",     "--to",       "4000",   "--points",
                                     "100000",        "--force", "--quiet",    "-o",     "ir.tsv",
                                     "lines.txt"};
  const std::string picture = kPictures[state.range(0)];
  if (!picture.empty()) arguments.insert(arguments.end(), {"--plot", picture});
  std::vector<const char*> argv;
  for (const std::string& argument : arguments) argv.push_back(argument.c_str());
  for (auto _ : state) {
    std::ostringstream out, err;
    const int status =
        broaden::run_batch(static_cast<int>(argv.size()), argv.data(), -1, out, err, files);
    if (status != 0) state.SkipWithError(err.str().c_str());
  }
  ::close(fd);
  state.SetLabel(picture.empty() ? "no picture" : picture);
}
BENCHMARK(BM_RunWithPicture)->DenseRange(0, 3)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PlotScript(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  std::vector<double> x(n), y(n);
  for (std::size_t i = 0; i < n; ++i) {
    x[i] = 400.0 + 3600.0 * static_cast<double>(i) / static_cast<double>(n - 1);
    y[i] = 1.0 / (1.0 + (x[i] - 774.0) * (x[i] - 774.0) / 25.0);
  }
  const broaden::PlotRequest request{.spectrum = {x, y}};
  for (auto _ : state) benchmark::DoNotOptimize(broaden::plot_script(request));
}
BENCHMARK(BM_PlotScript)->Arg(3601)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
