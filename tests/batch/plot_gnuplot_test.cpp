// The pictures as gnuplot draws them: whole runs in-process with the real
// driver, each file checked for what it claims to be. Skipped where gnuplot
// is not installed (the SVG check also where xmllint is not).
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "batch/gnuplot.h"
#include "support/batch_harness.h"

namespace broaden {
namespace {

namespace fs = std::filesystem;

// Whether `program` is found on PATH.
bool on_path(const std::string& program) {
  const char* path = std::getenv("PATH");
  std::istringstream folders(path != nullptr ? path : "");
  for (std::string folder; std::getline(folders, folder, ':');) {
    if (!folder.empty() && ::access((folder + "/" + program).c_str(), X_OK) == 0) return true;
  }
  return false;
}

std::uint32_t big_endian(const std::string& bytes, std::size_t at) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < 4; ++i)
    value = value << 8 | static_cast<unsigned char>(bytes.at(at + i));
  return value;
}

class PlotGnuplotTest : public testing::BatchTest {
 protected:
  void SetUp() override {
    if (!on_path("gnuplot")) GTEST_SKIP() << "gnuplot is not installed";
    folder.write("lines.txt", "3019 9\n1216 24\n774 100\n668 7\n");
  }

  int run(const std::vector<std::string>& arguments) {
    GnuplotDriver driver;
    return BatchTest::run(arguments, "", {.driver = &driver});
  }
};

const std::vector<std::string> kRun{"--shape", "lorentzian", "--fwhm", "10",       "--from",
                                    "400",     "--to",       "4000",   "lines.txt"};

std::vector<std::string> with(std::vector<std::string> arguments,
                              const std::vector<std::string>& more) {
  arguments.insert(arguments.end(), more.begin(), more.end());
  return arguments;
}

TEST_F(PlotGnuplotTest, APngHasItsSignatureAndTheSizeAsked) {
  const struct {
    std::vector<std::string> size;
    std::uint32_t width, height;
  } cases[] = {{{}, 1200, 700}, {{"--plot-size", "640,480"}, 640, 480}};
  for (const auto& c : cases) {
    fs::remove(folder / "ir.png");
    ASSERT_EQ(run(with(with(kRun, {"--plot", "ir.png"}), c.size)), 0) << err.str();
    EXPECT_EQ(out.str(), "");  // --plot without -o: no text
    const std::string png = folder.read("ir.png");
    ASSERT_GT(png.size(), 24u);
    EXPECT_EQ(png.substr(0, 16), std::string("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR", 16));
    EXPECT_EQ(big_endian(png, 16), c.width);
    EXPECT_EQ(big_endian(png, 20), c.height);
  }
}

TEST_F(PlotGnuplotTest, AnSvgIsWellFormedXmlHoldingTheAxisLabelsAndTheTitle) {
  ASSERT_EQ(run(with(kRun, {"--plot", "ir.svg", "--title", "CHCl3 <&> \"x\"", "--plot-sticks"})), 0)
      << err.str();
  const std::string svg = folder.read("ir.svg");
  EXPECT_NE(svg.find("wavenumber / cm⁻¹"), std::string::npos);  // UTF-8 as it is
  EXPECT_NE(svg.find(">intensity<"), std::string::npos);
  EXPECT_NE(svg.find("line intensity"), std::string::npos);
  EXPECT_NE(svg.find("CHCl3 &lt;&amp;"), std::string::npos);
  EXPECT_NE(svg.find("width=\"1200\" height=\"700\""), std::string::npos);
  if (!on_path("xmllint")) GTEST_SKIP() << "xmllint is not installed: the XML is not checked";
  const std::string command = "xmllint --noout '" + (folder / "ir.svg").string() + "'";
  const int status = std::system(command.c_str());
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << command;
}

TEST_F(PlotGnuplotTest, APdfStartsWithItsHeaderAndTheDataOutputIsWrittenToo) {
  ASSERT_EQ(run(with(kRun, {"--plot", "ir.PDF", "-o", "ir.tsv"})), 0) << err.str();
  EXPECT_EQ(folder.read("ir.PDF").substr(0, 5), "%PDF-");
  EXPECT_EQ(folder.read("ir.tsv").substr(0, 15), "# shape=lorentz");
}

TEST_F(PlotGnuplotTest, AHostileTitleDrawsAsTextAndRunsNothing) {
  const std::string touched = (folder / "pwned").string();
  const std::string title = "x'\nsystem 'touch " + touched + "'\n`touch " + touched + "`";
  ASSERT_EQ(run(with(kRun, {"--plot", "ir.svg", "--title", title})), 0) << err.str();
  EXPECT_FALSE(folder.exists("pwned"));
  EXPECT_NE(folder.read("ir.svg").find("system 'touch"), std::string::npos);
}

TEST_F(PlotGnuplotTest, TheDriverKeepsGnuplotsMessagesAndStatus) {
  GnuplotDriver driver;
  const DrawResult failed = driver.draw("set terminal svg\nplot nosuchfunction(x)\n");
  EXPECT_EQ(failed.start_error, 0);
  EXPECT_NE(failed.status, 0);
  EXPECT_NE(failed.messages.find("undefined function"), std::string::npos) << failed.messages;
  // A script far larger than a pipe holds, while gnuplot writes a picture as large.
  std::string script = "set terminal svg\n$d << EOD\n";
  for (int i = 0; i < 40000; ++i) script += std::to_string(i) + " " + std::to_string(i % 7) + "\n";
  script += "EOD\nplot $d with linespoints\n";
  const DrawResult drawn = driver.draw(script);
  EXPECT_EQ(drawn.status, 0) << drawn.messages;
  EXPECT_GT(drawn.picture.size(), 1'000'000u);
  GnuplotDriver missing("/nonexistent/gnuplot");
  EXPECT_EQ(missing.draw("plot x\n").start_error, ENOENT);
}

}  // namespace
}  // namespace broaden
