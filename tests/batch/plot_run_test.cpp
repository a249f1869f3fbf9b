// Whole runs with --plot in-process, gnuplot stood in for by a driver of the
// test's own: what is written where, the no-clobber rules of the picture,
// and failures of the drawing that keep the data output whole.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "batch/gnuplot.h"
#include "support/batch_harness.h"
#include "support/excerpts.h"

namespace broaden {
namespace {

namespace fs = std::filesystem;

// Answers every drawing with `result`, keeping the scripts it was given.
class FakeDriver final : public PlotDriver {
 public:
  explicit FakeDriver(DrawResult result, std::string program = "gnuplot")
      : result_(std::move(result)), program_(std::move(program)) {}
  const std::string& program() const override { return program_; }
  DrawResult draw(std::string_view script) override {
    scripts.emplace_back(script);
    return result_;
  }
  std::vector<std::string> scripts;

 private:
  DrawResult result_;
  std::string program_;
};

const DrawResult kDrawn{.picture = "PICTURE"};

class PlotRunTest : public testing::BatchTest {
 protected:
  PlotRunTest() { folder.write("lines.txt", "1000 2\n1100 1\n"); }

  int run(std::vector<std::string> arguments, PlotDriver& driver) {
    arguments.insert(arguments.begin(),
                     {"--fwhm", "4", "--from", "990", "--to", "1110", "lines.txt"});
    return BatchTest::run(arguments, "", {.driver = &driver});
  }
};

TEST_F(PlotRunTest, ThePictureBesideTheDataOrInsteadOfIt) {
  FakeDriver driver(kDrawn);
  ASSERT_EQ(run({"-o", "ir.tsv", "--plot", "ir.png"}, driver), 0) << err.str();
  EXPECT_EQ(folder.read("ir.png"), "PICTURE");
  const std::string data = folder.read("ir.tsv");
  EXPECT_EQ(data.substr(0, 2), "# ");
  ASSERT_EQ(driver.scripts.size(), 1u);
  EXPECT_NE(driver.scripts[0].find("set xrange [1110:990]"), std::string::npos);
  EXPECT_NE(driver.scripts[0].find("set terminal pngcairo size 1200,700"), std::string::npos);
  EXPECT_EQ(folder.names(), (std::vector<std::string>{"ir.png", "ir.tsv", "lines.txt"}));

  // --plot alone writes no text; "-o -" asks for it on standard output.
  ASSERT_EQ(run({"--plot", "only.svg"}, driver), 0) << err.str();
  EXPECT_EQ(out.str(), "");
  EXPECT_EQ(folder.read("only.svg"), "PICTURE");
  ASSERT_EQ(run({"--plot", "both.pdf", "-o", "-"}, driver), 0) << err.str();
  EXPECT_EQ(testing::rows_of(out.str()), testing::rows_of(data));
  EXPECT_NE(driver.scripts.back().find("set terminal pdfcairo"), std::string::npos);
}

TEST_F(PlotRunTest, AnExistingPictureIsNeverReplacedWithoutForce) {
  FakeDriver driver(kDrawn);
  folder.write("ir.png", "precious");
  fs::create_symlink("nowhere", folder / "link.png");
  for (const char* name : {"ir.png", "link.png"}) {
    EXPECT_EQ(run({"-o", "ir.tsv", "--plot", name}, driver), 1);
    EXPECT_EQ(err.str(),
              "broaden-batch: '" + std::string(name) + "' exists: give --force to replace it\n");
  }
  EXPECT_TRUE(driver.scripts.empty());    // refused before any work
  EXPECT_FALSE(folder.exists("ir.tsv"));  // the data neither
  EXPECT_EQ(folder.read("ir.png"), "precious");
  ASSERT_EQ(run({"-o", "ir.tsv", "--plot", "ir.png", "--force"}, driver), 0) << err.str();
  EXPECT_EQ(folder.read("ir.png"), "PICTURE");
  EXPECT_EQ(folder.names(),
            (std::vector<std::string>{"ir.png", "ir.tsv", "lines.txt", "link.png"}));
}

TEST_F(PlotRunTest, ForceNeverRenamesOverAPipeOrAFolder) {
  FakeDriver driver(kDrawn);
  ASSERT_EQ(::mkfifo((folder / "pipe.png").c_str(), 0600), 0);
  fs::create_directory(folder / "dir.png");
  EXPECT_EQ(run({"--plot", "pipe.png", "--force"}, driver), 1);
  EXPECT_NE(err.str().find("cannot replace 'pipe.png': not a regular file"), std::string::npos)
      << err.str();
  EXPECT_EQ(run({"--plot", "dir.png", "--force"}, driver), 1);
  EXPECT_EQ(err.str(), "broaden-batch: cannot replace 'dir.png': Is a directory\n");
  EXPECT_TRUE(fs::is_fifo(folder / "pipe.png"));
  EXPECT_EQ(folder.names(), (std::vector<std::string>{"dir.png", "lines.txt", "pipe.png"}));
}

// Every way the drawing fails: status 1, one line naming the package, the
// data output whole, no picture and no temporary file left.
TEST_F(PlotRunTest, AFailedDrawingKeepsTheDataAndSaysWhy) {
  const struct {
    DrawResult result;
    std::string program;
    std::string message;
  } cases[] = {
      {{.start_error = ENOENT},
       "gnuplot",
       "cannot draw the plot: gnuplot is not installed (Debian package gnuplot-nox)"},
      {{.start_error = ENOENT},
       "/nonexistent",
       "cannot draw the plot: cannot start '/nonexistent': No such file or directory (gnuplot "
       "is in the Debian package gnuplot-nox)"},
      {{.status = 1, .messages = "\n     line 0: unknown \x1b[31m terminal\r\nmore\n"},
       "gnuplot",
       "cannot draw the plot: gnuplot ended with status 1: 'line 0: unknown \\x1b[31m terminal' "
       "(Debian package gnuplot-nox)"},
      {{.status = 137},
       "gnuplot",
       "cannot draw the plot: gnuplot ended with status 137 (Debian package gnuplot-nox)"},
      {{.status = 0, .messages = "warning: no font\n"},
       "gnuplot",
       "cannot draw the plot: gnuplot drew nothing: 'warning: no font' (Debian package "
       "gnuplot-nox)"},
  };
  for (const auto& c : cases) {
    FakeDriver driver(c.result, c.program);
    fs::remove(folder / "ir.tsv");
    EXPECT_EQ(run({"-o", "ir.tsv", "--plot", "ir.png", "--quiet"}, driver), 1);
    EXPECT_EQ(err.str(), "broaden-batch: " + c.message + "\n");
    EXPECT_EQ(folder.read("ir.tsv").substr(0, 2), "# ");
    EXPECT_EQ(folder.names(), (std::vector<std::string>{"ir.tsv", "lines.txt"}));
    // Standard output's data is whole too.
    EXPECT_EQ(run({"-o", "-", "--plot", "ir.png", "--quiet"}, driver), 1);
    EXPECT_EQ(out.str(), folder.read("ir.tsv"));
  }
}

TEST_F(PlotRunTest, GnuplotsWarningsOnASuccessAreNotes) {
  FakeDriver driver({.picture = "P", .messages = "  warning: x range is odd\nsecond\n"});
  ASSERT_EQ(run({"--plot", "ir.png"}, driver), 0);
  EXPECT_EQ(err.str(), "broaden-batch: note: gnuplot: warning: x range is odd\n");
  fs::remove(folder / "ir.png");
  ASSERT_EQ(run({"--plot", "ir.png", "--quiet"}, driver), 0);
  EXPECT_EQ(err.str(), "");
}

TEST_F(PlotRunTest, TheOverlayIsReadAsColumnsAndItsFaultsNamed) {
  FakeDriver driver(kDrawn);
  folder.write("exp.csv", "x;y;wave\n1001;5;a\n1002;7;b\n");
  folder.write("bad.txt", "1000 1\n1001\n");
  folder.write("bad.jdx", "##TITLE=t\n##JCAMP-DX=4.24\n##XUNITS=1/CM\n");
  folder.write("peaks.jdx",
               "##TITLE=t\n##JCAMP-DX=4.24\n##XUNITS=1/CM\n##YUNITS=ABSORBANCE\n"
               "##PEAK TABLE=(XY..XY)\n1000,1 1001,2 1002,1\n##END=\n");
  ASSERT_EQ(run({"--plot", "a.png", "--overlay", "exp.csv", "--overlay-columns", "1,3"}, driver),
            1);
  EXPECT_EQ(err.str(),
            "broaden-batch: exp.csv:2:8: expected a number for the intensity (field 3), not 'a'\n");
  ASSERT_EQ(run({"--plot", "a.png", "--overlay", "bad.txt"}, driver), 1);
  EXPECT_EQ(err.str(),
            "broaden-batch: bad.txt:2:5: expected 2 fields (the intensity is field 2), not 1\n");
  ASSERT_EQ(run({"--plot", "a.png", "--overlay", "bad.jdx"}, driver), 1);
  EXPECT_EQ(err.str(),
            "broaden-batch: bad.jdx:3:14: expected the ##END= of the block at line 1, not the end "
            "of the file\n");
  // A peak table is no curve: its peaks are not joined by lines.
  ASSERT_EQ(run({"--plot", "a.png", "--overlay", "peaks.jdx"}, driver), 1);
  EXPECT_EQ(err.str(),
            "broaden-batch: peaks.jdx:5:1: expected a measured spectrum (##XYDATA=, ##XYPOINTS=), "
            "not a ##PEAK TABLE= (give a peak table as an input: --input jcamp)\n");
  ASSERT_EQ(run({"--plot", "a.png", "--overlay", "absent.txt"}, driver), 1);
  EXPECT_EQ(err.str(), "broaden-batch: cannot open 'absent.txt': No such file or directory\n");
  EXPECT_TRUE(driver.scripts.empty());
  EXPECT_FALSE(folder.exists("a.png"));

  folder.write("exp.txt", "wavenumber intensity\n1001 0.5\n1002 7\n");
  ASSERT_EQ(run({"--plot", "a.png", "--overlay", "exp.txt", "--overlay-shift", "-1",
                 "--overlay-scale", "MAX"},
                driver),
            0);
  EXPECT_EQ(err.str(),
            "broaden-batch: note: exp.txt:1: skipped the header row 'wavenumber intensity'\n");
  const std::string& script = driver.scripts.back();
  EXPECT_NE(script.find("$overlay << EOD\n1000 "), std::string::npos) << script;
  EXPECT_NE(script.find("axes x1y1 with lines"), std::string::npos);
}

// With --compare the measurement is the overlay, taken onto the computed
// curve by the size of the least-squares factor (here exactly half of it:
// factor 2), its sign kept, so that a mirror image is drawn as one; its score
// in the key; --overlay, where given, is drawn instead.
TEST_F(PlotRunTest, TheComparedMeasurementIsDrawnByItsLeastSquaresFactor) {
  FakeDriver driver(kDrawn);
  ASSERT_EQ(run({"-o", "c.tsv"}, driver), 0);
  const testing::Points c = testing::points_of(folder.read("c.tsv"));
  for (const auto& [file, sign] : {std::pair{"half.txt", 1.0}, std::pair{"mirror.txt", -1.0}}) {
    std::string half;
    for (std::size_t i = 0; i < c.x.size(); ++i)
      half += std::to_string(c.x[i]) + " " + std::to_string(sign * c.y[i] / 2) + "\n";
    folder.write(file, half);
    ASSERT_EQ(run({"--plot", "a.png", "--compare", file, "--force"}, driver), 0) << err.str();
    const std::string& script = driver.scripts.back();
    EXPECT_NE(script.find(std::string("title '") + file +
                          (sign > 0 ? " (cosine 1.00)'" : " (cosine -1.00)'")),
              std::string::npos)
        << script;
    EXPECT_NE(script.find("axes x1y1 with lines"), std::string::npos);
    const auto at_1000 = [&](const char* block) {  // the block's value at 1000 cm-1
      const std::size_t row = script.find("\n1000 ", script.find(block));
      return std::stod(script.substr(row + 6, script.find('\n', row + 1) - row - 6));
    };
    EXPECT_NEAR(at_1000("$overlay << EOD"), sign * at_1000("$spectrum << EOD"), 1e-5) << file;
  }
}

// What a run draws and says: sticks only when asked, in their own units;
// the overlay's axis by its quantity (header, comment or --overlay-label),
// its file's name in the key, its points beyond the grid told; a spectrum
// zero everywhere drawn as its axes.
TEST_F(PlotRunTest, SticksOverlayAndABlankSpectrumAsDrawnAndSaid) {
  folder.write("ir.log", testing::excerpt("gaussian-ir.log"));
  folder.write("zero.txt", "1000 0\n1100 0\n");
  folder.write("header.txt", "wavenumber absorbance\n900 1\n1001 2\n");
  folder.write("comment.csv", "# nu, T / %\n1001, 2\n1002, 3\n");
  // JCAMP-DX in micrometres (10 um is 1000 cm-1), in percent transmittance.
  folder.write("t.jdx",
               "\xEF\xBB\xBF##TITLE=t\n##JCAMP-DX=5.01\n##XUNITS=MICROMETERS\n##YUNITS=%T\n"
               "##XYPOINTS=(XY..XY)\n10,50 9.95,100\n##END=\n");
  const std::string kOutside =
      "broaden-batch: warning: 1 of the overlay's 2 points lies outside the grid (990 to 1110) "
      "and is not drawn\n";
  const struct {
    std::vector<std::string> arguments;
    std::vector<std::string> lines;  // in the script
    std::string err;                 // with "" for lines.txt's own note-free run
  } cases[] = {
      {{}, {"set ylabel 'intensity' noenhanced"}, ""},
      {{"--plot-sticks"}, {"set y2label 'line intensity' noenhanced", "1000 2", "1100 1"}, ""},
      {{"--overlay", "header.txt"},
       {"set y2label 'absorbance' noenhanced", "900 1"},
       "broaden-batch: note: header.txt:1: skipped the header row 'wavenumber absorbance'\n" +
           kOutside},
      {{"--overlay", "header.txt", "--overlay-label", "A", "--quiet"},
       {"set y2label 'A' noenhanced"},
       ""},
      {{"--overlay", "comment.csv"}, {"set y2label 'T / %' noenhanced"}, ""},
      {{"--overlay", "t.jdx"},
       {"set y2label 'absorbance' noenhanced", "1000 0.301029996"},
       "broaden-batch: note: t.jdx:4: turned '%T' into absorbance, -log10(T), T in percent\n"},
  };
  for (const auto& c : cases) {
    FakeDriver driver(kDrawn);
    fs::remove(folder / "a.png");
    std::vector<std::string> arguments{"--plot", "a.png"};
    arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
    ASSERT_EQ(run(arguments, driver), 0) << err.str();
    EXPECT_EQ(err.str(), c.err);
    const std::string& script = driver.scripts.back();
    for (const std::string& line : c.lines)
      EXPECT_NE(script.find("\n" + line + "\n"), std::string::npos) << line << "\n" << script;
    EXPECT_EQ(script.find("$lines") != std::string::npos,
              c.arguments.size() == 1 && c.arguments[0] == "--plot-sticks");
    if (c.arguments.size() > 1) {
      EXPECT_NE(script.find("title '" + c.arguments[1] + "'"), std::string::npos);
    }
  }
  FakeDriver driver(kDrawn);
  ASSERT_EQ(
      BatchTest::run({"--fwhm", "10", "--plot", "blank.png", "zero.txt"}, "", {.driver = &driver}),
      0);
  EXPECT_EQ(err.str(),
            "broaden-batch: warning: the spectrum is zero everywhere: the picture shows its axes "
            "only\n");
  EXPECT_NE(driver.scripts.back().find("\nset yrange [0:1.05]\n"), std::string::npos);
  // An output's sticks: only with --plot-sticks, in km/mol; its abscissae 4000 to 400.
  for (const bool sticks : {false, true}) {
    std::vector<std::string> arguments{"--fwhm", "10",      "--quiet", "--plot",
                                       "ir.png", "--force", "ir.log"};
    if (sticks) arguments.push_back("--plot-sticks");
    ASSERT_EQ(BatchTest::run(arguments, "", {.driver = &driver}), 0) << err.str();
    const std::string& script = driver.scripts.back();
    EXPECT_EQ(script.find("set y2label 'IR intensity / km mol⁻¹' noenhanced") != std::string::npos,
              sticks);
    EXPECT_EQ(script.find("$lines") != std::string::npos, sticks);
    EXPECT_NE(script.find("\nset xrange [4000:400]\n"), std::string::npos);
  }
}

}  // namespace
}  // namespace broaden
