// Whole runs with --compare in-process: a measurement made by the program
// itself at a known scale and width, fitted back; the report's keys; ECD
// and VCD spectra against their mirror images.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>

#include "support/batch_harness.h"
#include "support/excerpts.h"

namespace broaden {
namespace {

class CompareRunTest : public testing::BatchTest {
 protected:
  CompareRunTest() {
    folder.write("lines.txt", "1000 40\n1250 25\n1500 60\n1700 100\n2900 30\n3100 20\n");
    folder.write("td.log", testing::excerpt("gaussian-td.log"));
  }
  const std::vector<std::string> grid_{"--from", "400", "--to", "4000", "--step", "2"};
  int run_on_grid(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), grid_.begin(), grid_.end());
    return run(arguments);
  }
};

TEST_F(CompareRunTest, FitsBackTheScaleAndWidthAndReportsThem) {
  ASSERT_EQ(run_on_grid({"lines.txt", "--scale", "0.96", "--fwhm", "15", "-o", "exp.tsv"}), 0)
      << err.str();
  ASSERT_EQ(run_on_grid({"lines.txt", "--fwhm", "30", "--compare", "exp.tsv", "--fit", "scale,fwhm",
                         "--report", "r.json", "-o", "s.tsv"}),
            0)
      << err.str();
  const nlohmann::json report = nlohmann::json::parse(folder.read("r.json"));
  for (const char* key : {"experiment", "range", "points", "scores", "fit", "before"})
    EXPECT_TRUE(report.contains(key)) << key;
  EXPECT_FALSE(report.contains("verdict") || report["scores"].contains("esi"));
  EXPECT_EQ(report["points"], 1801);
  EXPECT_NEAR(report["fit"]["scale"].get<double>(), 0.96, 1e-6);
  EXPECT_NEAR(report["fit"]["fwhm"].get<double>(), 15, 1e-3);
  EXPECT_GT(report["scores"]["cosine"].get<double>(), report["before"]["cosine"].get<double>());
  const std::string header = folder.read("s.tsv").substr(0, folder.read("s.tsv").find('\n'));
  EXPECT_NE(header.find(" fitted-scale=" + report["fit"]["scale"].dump()), std::string::npos)
      << header;
  EXPECT_TRUE(err.str().starts_with(
      "broaden-batch: note: compared with exp.tsv over 400 to 4000 cm-1 (1801 points): cosine 1 ("))
      << err.str();
  // A range that leaves too few points, and a shift on a vibrational output.
  EXPECT_EQ(run_on_grid({"lines.txt", "--fwhm", "30", "--compare", "exp.tsv", "--compare-range",
                         "401,404", "-o", "t.tsv"}),
            1);
  EXPECT_EQ(err.str(),
            "broaden-batch: exp.tsv: the measurement (from 400 to 4000) spans 2 points of the grid "
            "(from 400 to 4000) within 401 to 404: at least 3 are needed\n");
}

// A signed spectrum (ecd: shifted; vcd: scaled, compared over a part of its
// grid) against itself and its mirror image, and the parameter it refuses.
TEST_F(CompareRunTest, SignedSpectraAgainstThemselvesAndTheirMirrorImages) {
  folder.write("vcd.log", testing::excerpt("gaussian-vcd.log"));
  struct Case {
    std::vector<std::string> made, range;  // input, kind, width, moved parameter; compared range
    std::string refusal;                   // of the other parameter
  };
  const Case cases[] = {
      {{"td.log", "--spectrum", "ecd", "--fwhm", "0.3", "--shift", "0.2"},
       {},
       "broaden-batch: --fit scale does not fit ecd spectra: fit the shift of excitations\n"},
      {{"vcd.log", "--spectrum", "vcd", "--fwhm", "20", "--scale", "0.97"},
       {"--compare-range", "900,3200"},
       "broaden-batch: warning: vcd.log:3: left out 1 imaginary frequency (printed negative)\n"
       "broaden-batch: --fit shift does not fit vcd spectra: fit the scale of vibrations\n"},
  };
  for (const Case& c : cases) {
    const std::string fitted = c.made[5].substr(2), other = fitted == "shift" ? "scale" : "shift";
    std::vector<std::string> made = c.made;
    made.insert(made.end(), {"-o", "e.tsv", "--force"});
    ASSERT_EQ(run(made), 0) << err.str();
    std::string mirrored;
    const testing::Points points = testing::points_of(folder.read("e.tsv"));
    for (std::size_t i = 0; i < points.x.size(); ++i)
      mirrored += std::to_string(points.x[i]) + "\t" + std::to_string(-points.y[i] * 1e3) + "\n";
    folder.write("mirror.tsv", mirrored);
    std::vector<std::string> fit(c.made.begin(), c.made.begin() + 5);
    fit.insert(fit.end(), c.range.begin(), c.range.end());
    for (const auto& [file, verdict] :
         {std::pair{"e.tsv", "computed configuration"}, std::pair{"mirror.tsv", "mirror image"}}) {
      std::vector<std::string> compared = fit;
      compared.insert(compared.end(), {"--compare", file, "--fit", fitted, "--report", "-", "-o",
                                       "s.tsv", "--force"});
      ASSERT_EQ(run(compared), 0) << err.str();
      const nlohmann::json report = nlohmann::json::parse(out.str());
      EXPECT_EQ(report["verdict"], verdict);
      EXPECT_NEAR(report["fit"][fitted].get<double>(), std::stod(c.made[6]), 1e-3) << file;
      EXPECT_NE(err.str().find(std::string(": ") + verdict + "\n"), std::string::npos) << err.str();
    }
    fit.insert(fit.end(), {"--compare", "e.tsv", "--fit", other, "-o", "s.tsv", "--force"});
    EXPECT_EQ(run(fit), 2);
    EXPECT_EQ(err.str(), c.refusal + "Try 'broaden-batch --help' for the options.\n");
  }
}

}  // namespace
}  // namespace broaden
