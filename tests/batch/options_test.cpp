#include "batch/options.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "line_shapes/line_profiles.h"

namespace broaden {
namespace {

// The shapes of kLineShapes as the help and the refusals list them, so that a new row needs no
// line here: "gaussian, lorentzian, pseudo-voigt or voigt" (the names, the first marked
// " (default)" when asked) or "Gaussian, Lorentzian, pseudo-Voigt or Voigt" (the titles).
std::string shapes_listed(std::string_view LineShapeRow::*field, const char* first_mark = "") {
  std::string text;
  for (std::size_t i = 0; i < std::size(kLineShapes); ++i) {
    if (i > 0) text += i + 1 == std::size(kLineShapes) ? " or " : ", ";
    text += kLineShapes[i].*field;
    if (i == 0) text += first_mark;
  }
  return text;
}
const std::string kShapes = shapes_listed(&LineShapeRow::name);

Command parse(std::vector<const char*> arguments) {
  arguments.insert(arguments.begin(), "broaden-batch");
  return parse_command_line(static_cast<int>(arguments.size()), arguments.data());
}

TEST(ParseCommandLine, ConvertsEachWidthToTheShapesOwnMeasure) {
  const struct {
    std::vector<const char*> arguments;
    double sigma, gamma, fwhm, eta, divisor;
  } cases[] = {
      {{"--fwhm", "10"}, 10 / kFwhmPerSigma, 0, 0, 0, kFwhmPerSigma},
      {{"--sigma=4"}, 4, 0, 0, 0, 1},
      {{"--shape", "lorentzian", "--fwhm", "10"}, 0, 5, 0, 0, 2},
      {{"--shape", "lorentzian", "--hwhm", "5"}, 0, 5, 0, 0, 1},
      {{"--shape", "pseudo-voigt", "--fwhm", "8", "--eta", "0.25"}, 0, 0, 8, 0.25, 1},
      {{"--shape", "voigt", "--gaussian-fwhm", "3", "--lorentzian-fwhm", "4"},
       3 / kFwhmPerSigma,
       2,
       0,
       0,
       1},
      {{"--shape", "lorentzian", "--columns", "2,3,1"}, 0, 0, 0, 0, 2},  // per-line FWHM
  };
  for (const auto& c : cases) {
    const Command command = parse(c.arguments);
    ASSERT_EQ(command.action, CommandAction::run) << c.arguments[0] << ": " << command.text;
    EXPECT_EQ(command.options.profile.sigma, c.sigma) << c.arguments[0];
    EXPECT_EQ(command.options.profile.gamma, c.gamma) << c.arguments[0];
    EXPECT_EQ(command.options.profile.fwhm, c.fwhm) << c.arguments[0];
    EXPECT_EQ(command.options.profile.eta, c.eta) << c.arguments[0];
    EXPECT_EQ(command.options.width_divisor, c.divisor) << c.arguments[0];
  }
}

TEST(ParseCommandLine, RefusesWithAMessageWhatDoesNotFit) {
  const struct {
    std::vector<const char*> arguments;
    std::string message;
  } cases[] = {
      {{"--fwhm", "0"}, "--fwhm must be a positive finite number, not '0'"},
      {{"--fwhm", "-2"}, "--fwhm must be a positive finite number"},
      {{"--fwhm", "1e999"}, "--fwhm must be a positive finite number"},
      {{"--fwhm", "inf"}, "--fwhm takes a decimal number, not 'inf'"},
      {{"--sigma", "1e-400"}, "--sigma must be a positive finite number"},  // rounds to zero
      {{"--fwhm", "5e-324"}, "--fwhm must lie between"},  // a sigma that rounds to zero
      {{}, "give the width: --fwhm or --sigma"},
      {{"--fwhm", "1", "--sigma", "1"}, "give one width"},
      {{"--hwhm", "1"}, "--hwhm does not fit --shape gaussian (the default)"},
      {{"--shape", "voigt", "--fwhm", "1"}, "--fwhm does not fit --shape voigt"},
      {{"--shape", "voigt", "--gaussian-fwhm", "1"}, "needs both"},
      {{"--shape", "pseudo-voigt", "--fwhm", "1"}, "needs --eta"},
      {{"--shape", "pseudo-voigt", "--fwhm", "1", "--eta", "1.01"},
       "--eta must lie between 0 and 1"},
      {{"--shape", "pseudo-voigt", "--fwhm", "1", "--eta", "-0.5"},
       "--eta must lie between 0 and 1"},
      {{"--shape", "cauchy", "--fwhm", "1"}, "--shape takes " + kShapes},
      {{"--fwhm", "1", "--points", "1"}, "--points must be at least 2"},
      {{"--fwhm", "1", "--points", "100000001"}, "--points must be at most 100000000"},
      {{"--fwhm", "1", "--from", "5", "--to", "4"}, "--from must be below --to"},
      {{"--fwhm", "1", "--from", "5"}, "--from and --to go together"},
      {{"--fwhm", "1", "--step", "0"}, "--step must be positive"},
      {{"--fwhm", "1", "--step", "-1"}, "--step must be positive"},
      {{"--fwhm", "1", "--step", "1", "--points", "5"}, "--step or --points, not both"},
      {{"--fwhm", "1", "--columns", "1"}, "--columns takes two or three"},
      {{"--fwhm", "1", "--columns", "1,2,2"}, "different field numbers"},
      {{"--fwhm", "1", "--columns", "0,2"}, "--columns takes two or three"},
      {{"--fwhm", "1", "--input", "fixed", "--columns", "1,2"}, "--columns is for --input columns"},
      {{"--shape", "voigt", "--gaussian-fwhm", "1", "--lorentzian-fwhm", "1", "--columns", "1,2,3"},
       "voigt takes no width field"},
      {{"--fwhm", "1", "--scale", "0"}, "--scale must be a positive finite number"},
      {{"--fwhm", "1", "--digits", "0"}, "--digits must be from 1 to 17"},
      {{"--fwhm", "1", "--format", "classic", "--digits", "5"}, "--digits does not fit"},
      {{"--classic"}, "--classic needs the width as --sigma"},
      {{"--classic", "--sigma", "1", "--fwhm", "1"}, "--classic fixes what --fwhm would set"},
      {{"--classic", "--sigma", "1", "--format", "tsv"}, "--format tsv does not fit"},
      {{"--classic", "--sigma", "0"}, "--sigma must be a positive finite number"},
      {{"--fwhm", "1", "--nonsense"}, "--nonsense"},
      {{"--fwhm", "1", "-o", ""}, "-o needs a file name"},
      {{"--fwhm", "1", "--fwhm", "2"}, "--fwhm"},
  };
  for (const auto& c : cases) {
    const Command command = parse(c.arguments);
    EXPECT_EQ(command.action, CommandAction::usage_error) << c.message;
    EXPECT_NE(command.text.find(c.message), std::string::npos)
        << "expected '" << c.message << "' in '" << command.text << "'";
  }
}

// Widths are taken from 1e-150 to 1e150 in the shape's own measure: an option in another measure
// from the values whose quotient lies there, its ends exactly; refused beyond with the bounds in
// its own measure. (The cases: --sigma 1e-320, --fwhm 1e-170, --hwhm 1e160.)
TEST(ParseCommandLine, WidthsOutsideTheirRangeAreRefusedAtItsExactEnds) {
  const struct {
    std::vector<const char*> arguments;
    const char* refusal;  // nullptr: taken
  } cases[] = {
      {{"--sigma", "1e-320"}, "--sigma must lie between 1e-150 and 1e+150, not '1e-320'"},
      {{"--fwhm", "1e-170"},
       "--fwhm must lie between 2.3548200450309493e-150 and 2.354820045030949e+150, not '1e-170'"},
      {{"--shape", "lorentzian", "--hwhm", "1e160", "--normalise", "height"},
       "--hwhm must lie between 1e-150 and 1e+150, not '1e160'"},
      {{"--shape", "lorentzian", "--fwhm", "1e-150"},
       "--fwhm must lie between 2e-150 and 2e+150, not '1e-150'"},
      {{"--shape", "pseudo-voigt", "--fwhm", "3e150", "--eta", "0.5"},
       "--fwhm must lie between 1e-150 and 1e+150, not '3e150'"},
      {{"--shape", "voigt", "--gaussian-fwhm", "1", "--lorentzian-fwhm", "1e-300"},
       "--lorentzian-fwhm must lie between 2e-150 and 2e+150, not '1e-300'"},
      {{"--sigma", "1e-150"}, nullptr},
      {{"--sigma", "1e150"}, nullptr},
      {{"--sigma", "9.999999999999999e-151"}, "--sigma must lie between"},
      {{"--sigma", "1.0000000000000002e+150"}, "--sigma must lie between"},
      {{"--fwhm", "2.3548200450309493e-150"}, nullptr},
      {{"--fwhm", "2.354820045030949e+150"}, nullptr},
      {{"--fwhm", "2.354820045030949e-150"}, "--fwhm must lie between"},
      {{"--fwhm", "2.3548200450309495e+150"}, "--fwhm must lie between"},
      // The classic preset keeps its own widths, as broaden does.
      {{"--classic", "--sigma", "1e-320"}, nullptr},
  };
  for (const auto& c : cases) {
    const Command command = parse(c.arguments);
    if (c.refusal == nullptr) {
      ASSERT_EQ(command.action, CommandAction::run) << c.arguments[1] << ": " << command.text;
      const ProfileParameters& p = command.options.profile;
      const double width = std::max({p.sigma, p.gamma, p.fwhm});
      if (!command.options.classic) {
        EXPECT_GE(width, kMinWidth) << c.arguments[1];
        EXPECT_LE(width, kMaxWidth) << c.arguments[1];
      }
      continue;
    }
    EXPECT_EQ(command.action, CommandAction::usage_error) << c.arguments[1];
    EXPECT_EQ(command.text.substr(0, std::string(c.refusal).size()), c.refusal)
        << c.arguments[1] << " -> " << command.text;
  }
}

// The texts the shape table makes, whole: a refusal per rule and the tsv parameters per shape.
TEST(ParseCommandLine, ShapeTextsFromTheTableAreExact) {
  const struct {
    std::vector<const char*> arguments;
    std::string text;  // the usage error, or with a run the parameters
  } cases[] = {
      {{"--shape", "voigt", "--fwhm", "1"}, "--fwhm does not fit --shape voigt"},
      {{"--eta", "1", "--fwhm", "1"}, "--eta does not fit --shape gaussian (the default)"},
      {{"--shape", "lorentzian", "--sigma", "1", "--eta", "1"},
       "--sigma does not fit --shape lorentzian"},
      {{"--shape", "lorentzian", "--fwhm", "1", "--hwhm", "1"},
       "give one width: --fwhm, --sigma or --hwhm"},
      {{}, "give the width: --fwhm or --sigma"},
      {{"--shape", "lorentzian"}, "give the width: --fwhm or --hwhm"},
      {{"--shape", "pseudo-voigt", "--eta", "0.5"}, "give the width: --fwhm (and --eta)"},
      {{"--shape", "pseudo-voigt", "--fwhm", "1"},
       "pseudo-voigt needs --eta, the Lorentzian fraction"},
      {{"--shape", "pseudo-voigt", "--fwhm", "1", "--eta", "2"},
       "--eta must lie between 0 and 1, not '2'"},
      {{"--shape", "voigt", "--lorentzian-fwhm", "1"},
       "voigt needs both --gaussian-fwhm and --lorentzian-fwhm"},
      {{"--shape", "voigt", "--columns", "1,2,3"},
       "voigt takes no width field: give --gaussian-fwhm and --lorentzian-fwhm"},
      {{"--shape", "voigt", "--gaussian-fwhm", "5e-324", "--lorentzian-fwhm", "1"},
       "--gaussian-fwhm must lie between 2.3548200450309493e-150 and 2.354820045030949e+150, not "
       "'5e-324'"},
      {{"--shape", "Voigt"}, "voigt needs both --gaussian-fwhm and --lorentzian-fwhm"},
      {{"--shape", "V\x1bigt"}, "--shape takes " + kShapes + ", not 'V\\x1bigt'"},
      {{"--normalise", "peak"}, "--normalise takes area or height, not 'peak'"},
      {{"--classic", "--sigma", "1", "--eta", "1"},
       "--classic fixes what --eta would set: give it --sigma, the line list and -o only"},
      {{"--classic", "--sigma", "1", "--shape", "voigt"},
       "--classic draws Gaussians: --shape voigt does not fit"},
      {{"--fwhm", "10", "--to", "9", "--from", "1"},
       "shape=gaussian fwhm=10 normalise=area from=1 to=9 step=0.1 scale=1"},
      {{"--shape", "lorentzian", "--hwhm", "2.50", "--points", "3"},
       "shape=lorentzian hwhm=2.5 normalise=area from=0.1 to=2000 points=3 scale=1"},
      {{"--shape", "pseudo-voigt", "--columns", "1,2,3", "--eta", ".25", "--normalize", "height"},
       "shape=pseudo-voigt width=field 3 (fwhm) eta=0.25 normalise=height from=0.1 to=2000 "
       "step=0.1 "
       "scale=1"},
      {{"--shape", "voigt", "--gaussian-fwhm", "3", "--lorentzian-fwhm", "4e0"},
       "shape=voigt gaussian-fwhm=3 lorentzian-fwhm=4 normalise=area from=0.1 to=2000 step=0.1 "
       "scale=1"},
      {{"--classic", "--sigma", "5.0"}, "classic sigma=5"},
      // The grid's decimals as written by hand, not as 1e+05; other values shortest.
      {{"--fwhm", "1e5", "--from", "0", "--to", "2e5", "--step", "0.5E5", "--scale",
        "36619573947943903"},
       "shape=gaussian fwhm=1e+05 normalise=area from=0 to=200000 step=50000 "
       "scale=36619573947943900"},
      {{"--fwhm", "1", "--from", "-0.00001", "--to", "1e-3", "--step", "1e-6"},
       "shape=gaussian fwhm=1 normalise=area from=-0.00001 to=0.001 step=1e-06 scale=1"},
  };
  for (const auto& c : cases) {
    const Command command = parse(c.arguments);
    EXPECT_EQ(command.action == CommandAction::run ? command.options.parameters : command.text,
              c.text);
  }
}

TEST(ParseCommandLine, HelpListsTheNamesFromTheirTables) {
  const std::string help = parse({"--help"}).text;
  // The shapes where the titles and names of their rows take them, the description wrapped.
  std::string unwrapped = help;
  std::replace(unwrapped.begin(), unwrapped.end(), '\n', ' ');
  EXPECT_NE(unwrapped.find(shapes_listed(&LineShapeRow::title) +
                           " profile, summed on a grid and written as text."),
            std::string::npos)
      << help;
  const std::string shape_line =
      "  --shape SHAPE                   " + shapes_listed(&LineShapeRow::name, " (default)");
  EXPECT_NE(help.find(shape_line + "\n  --fwhm W "), std::string::npos) << help;
  for (const char* line :
       {"  --fwhm W                        Full width at half maximum\n"
        "  --sigma S                       Gaussian standard deviation\n"
        "  --hwhm H                        Lorentzian half width at half maximum\n"
        "  --gaussian-fwhm G               Voigt: FWHM of the Gaussian part\n"
        "  --lorentzian-fwhm L             Voigt: FWHM of the Lorentzian part\n"
        "  --eta E                         Pseudo-Voigt: Lorentzian fraction, 0 to 1\n"
        "  --normalise,--normalize HOW     area (default): each line's integral is its "
        "intensity; height: its maximum\n",
        "  --line-unit UNIT                The unit of a line list's positions: cm-1 (default), "
        "ev, nm or um\n",
        "  --spectrum KIND                 ir, raman, uv, ecd or vcd (default: the one the file "
        "holds)\n"
        "  --axis UNIT                     cm-1, ev, nm or um (default: cm-1 for ir, raman and "
        "vcd, "
        "nm for uv and ecd)\n"
        "  --units HOW                     native (default: the file's quantity), epsilon (L "
        "mol-1 cm-1) or cross-section (cm2 sr-1, with --laser): ir, uv, ecd and vcd take native "
        "or epsilon, raman native or cross-section\n",
        "  --temperature T                 Raman: kelvin (default 298.15)\n"
        "  --rotatory FORM                 ecd: velocity (default) or length\n",
        "\nGrid (default: 0.1 to 2000 by 0.1; for an output, spanning its lines):\n",
        "\nSeveral inputs:\n  --inputs-from FILE              Read further inputs from FILE, one "
        "name a "
        "line (- for standard input), after those of the command line\n",
        "  --plot FILE                     Draw the spectrum into FILE, a .png, .svg or .pdf "
        "(without -o, no text is written)\n"
        "  --plot-size W,H                 Its size in pixels, points for pdf (default "
        "1200,700)\n"}) {
    EXPECT_NE(help.find(line), std::string::npos) << line << "\nnot in\n" << help;
  }
}

TEST(ParseCommandLine, TheClassicPresetAndTheDefaults) {
  const Command classic = parse({"--classic", "--sigma", "5", "lines.txt", "-o", "out"});
  ASSERT_EQ(classic.action, CommandAction::run) << classic.text;
  EXPECT_TRUE(classic.options.classic);
  EXPECT_EQ(classic.options.input, "fixed");
  EXPECT_EQ(classic.options.profile.sigma, 5.0);
  EXPECT_EQ(classic.options.inputs, std::vector<std::string>{"lines.txt"});
  EXPECT_EQ(classic.options.output, "out");

  const Command plain =
      parse({"--fwhm", "2", "--from=-100", "--to", "1e2", "--normalize", "height"});
  ASSERT_EQ(plain.action, CommandAction::run) << plain.text;
  EXPECT_EQ(plain.options.grid, GridKind::step);
  EXPECT_EQ(plain.options.profile.normalisation, Normalisation::height);
  EXPECT_EQ(plain.options.inputs, std::vector<std::string>{"-"});
  EXPECT_EQ(plain.options.output, "-");
  EXPECT_EQ(plain.options.parameters,
            "shape=gaussian fwhm=2 normalise=height from=-100 to=100 step=0.1 scale=1");

  EXPECT_EQ(parse({"--help"}).action, CommandAction::help);
  EXPECT_EQ(parse({"--version"}).text, "broaden-batch " + std::string(BROADEN_VERSION) + "\n");
}

}  // namespace
}  // namespace broaden

namespace broaden {
namespace {

// Every refusal of the command line is in this program's words, naming the
// option at fault: none passes on the option library's own text.
TEST(ParseCommandLine, RefusesWhatTheOptionLibraryCannotReadInItsOwnWords) {
  const struct {
    std::vector<const char*> arguments;
    const char* message;
  } cases[] = {
      {{"--fwhm", "1", "--scale", "1", "--scale", "2"},
       "--scale is given twice: give each option once"},
      {{"--fwhm", "1", "--force", "--force"}, "--force is given twice: give each option once"},
      {{"--classic", "--classic", "--sigma", "1"}, "--classic is given twice"},
      {{"--fwhm", "1", "-o", "a", "--output", "b", "-o", "c"},
       "--output is given 3 times: give each option once"},
      {{"--fwhm", "1", "--normalise", "area", "--normalize", "area"}, "--normalise is given twice"},
      {{"--fwhm"}, "--fwhm needs a value"},
      {{"--fwhm="}, "--fwhm needs a value"},
      {{"--fwhm", "1", "-o"}, "-o needs a file name"},
      {{"--fwhm", "1", "--output="}, "--output needs a file name"},
      {{"--fwhm", "1", "--force=yes"}, "--force takes no value"},
      {{"--fwhm", "1", "--quiet=0"}, "--quiet takes no value"},
      {{"--fwhm", "1", "--bogus=3"}, "unknown option '--bogus'"},
      {{"--fwhm", "1", "-x"}, "unknown option '-x'"},
      {{"--fwhm", "1", "--x\ny=1"}, "unknown option '--x\\x0ay'"},
      {{"--fwhm", "1", "a.txt", "-", "b.txt", "-"}, "standard input can be read once: give - once"},
      {{"--fwhm", "1", "a.txt", ""}, "the line-list name is empty"},
      {{"--fwhm", "1", "--weights", "1,2,3", "a", "b"},
       "--weights gives 3 weights for 2 files: give one a file"},
      {{"--fwhm", "1", "--weights", "1", "a", "b"}, "--weights gives 1 weight for 2 files"},
      {{"--fwhm", "1", "--weights", "1,,2", "a", "b", "c"},
       "--weights takes a decimal number, not ''"},
      {{"--fwhm", "1", "--weights", "1,1e999", "a", "b"},
       "--weights must be finite numbers, not '1e999'"},
      {{"--fwhm", "1", "--weights", "1,2", "--boltzmann", "300", "a", "b"},
       "give --weights or --boltzmann, not both"},
      {{"--fwhm", "1", "--laser", "532nm", "a"},
       "--laser gives Raman cross-sections with --units cross-section"},
      {{"--fwhm", "1", "--units", "cross-section", "a"},
       "--units cross-section needs --laser: the cross-sections are the laser's"},
      {{"--fwhm", "1", "--units", "Cross-Section", "--laser", "532nm", "--normalise", "height",
        "a"},
       "--units cross-section needs --normalise area: its integral is the quantity"},
      {{"--fwhm", "1", "--units", "epsilon", "--temperature", "300", "a"},
       "--temperature is the Raman cross-sections' temperature: give it with --laser"},
      {{"--fwhm", "1", "--boltzmann", "0", "a", "b"},
       "--boltzmann must be a positive finite number, not '0'"},
      {{"--fwhm", "1", "--energies", "e.txt", "a", "b"},
       "--energies gives the energies --boltzmann weighs the files by: give --boltzmann T too"},
      {{"--fwhm", "1", "--energies", "e.txt", "--weights", "1,2", "a", "b"},
       "give --weights or --energies, not both"},
      {{"--fwhm", "1", "--boltzmann", "300", "--energies", "", "a"},
       "--energies needs a file name"},
      {{"--fwhm", "1", "--boltzmann", "300", "--energies", "-", "a", "-"},
       "--energies - reads the table from standard input: no input can be - too"},
      {{"--fwhm", "1", "--boltzmann", "300", "--energies", "-", "--inputs-from", "-"},
       "--energies - and --inputs-from - both read standard input"},
      {{"--classic", "--sigma", "1", "--energies", "e.txt", "a"},
       "--classic fixes what --energies would set"},
      {{"--classic", "--sigma", "1", "a", "b"},
       "--classic reads one line list: 'b' would be a second"},
      {{"--classic", "--sigma", "1", "--weights", "2", "a"},
       "--classic fixes what --weights would set"},
      {{"--fwhm", "1", "--threads", "0"}, "--threads must be from 1 to 4096, not '0'"},
      {{"--fwhm", "1", "--cutoff", "0.5"},
       "--cutoff takes a number of full widths from 1 up, not '0.5'"},
      {{"--fwhm", "1", "--cutoff", "1e400"}, "--cutoff takes a number of full widths from 1 up"},
      {{"--fwhm", "1", "--cutoff", "nan"}, "--cutoff takes a decimal number, not 'nan'"},
      {{"--classic", "--sigma", "1", "--cutoff", "5"}, "--classic fixes what --cutoff would set"},
      {{"--fwhm", "1", "--threads", "two"}, "--threads takes a whole number, not 'two'"},
      {{"--fwhm", "1", "--delimiter", "pipe"},
       "--delimiter takes auto, blank, comma, semicolon or tab, not 'pipe'"},
      {{"--fwhm", "1", "--delimiter", "comma", "--decimal-comma"},
       "--decimal-comma does not fit --delimiter comma"},
      {{"--fwhm", "1", "--input", "fixed", "--delimiter", "tab"},
       "--delimiter is for --input columns"},
      {{"--fwhm", "1", "--input", "fixed", "--decimal-comma"},
       "--decimal-comma is for --input columns"},
      {{"--classic", "--sigma", "1", "--decimal-comma"}, "--decimal-comma is for --input columns"},
      {{"--classic", "--sigma", "1", "--shape", "Voigt"},
       "--classic draws Gaussians: --shape voigt does not fit"},
  };
  for (const auto& c : cases) {
    const Command command = parse(c.arguments);
    EXPECT_EQ(command.action, CommandAction::usage_error) << c.message;
    EXPECT_NE(command.text.find(c.message), std::string::npos)
        << "expected '" << c.message << "' in '" << command.text << "'";
    for (const char* library_words : {"required", "not expected", "override", "At Most"})
      EXPECT_EQ(command.text.find(library_words), std::string::npos) << command.text;
  }
}

// Names of rows in either case, written back in their own spelling.
TEST(ParseCommandLine, TakesNamesInEitherCase) {
  const Command command = parse({"--shape", "Pseudo-Voigt", "--fwhm", "2", "--eta", "0.5",
                                 "--normalise", "HEIGHT", "--format", "CSV", "--input", "Columns",
                                 "--delimiter", "Semicolon", "--decimal-comma"});
  ASSERT_EQ(command.action, CommandAction::run) << command.text;
  EXPECT_EQ(command.options.profile.shape, LineShape::pseudo_voigt);
  EXPECT_EQ(command.options.profile.normalisation, Normalisation::height);
  EXPECT_EQ(command.options.format, OutputFormat::csv);
  EXPECT_EQ(command.options.columns.delimiter, Delimiter::semicolon);
  EXPECT_TRUE(command.options.columns.decimal_comma);
  EXPECT_EQ(command.options.parameters.substr(0, 44),
            "shape=pseudo-voigt fwhm=2 eta=0.5 normalise=");
  EXPECT_NE(command.options.parameters.find("normalise=height"), std::string::npos);
  EXPECT_TRUE(parse({"--classic", "--sigma", "1", "--input", "FIXED", "--format", "Classic"})
                  .options.classic);
}

TEST(ParseCommandLine, ACutoffIsInFullWidthsAndNamedInTheParameters) {
  const Command command = parse({"--shape", "lorentzian", "--hwhm", "2", "--cutoff", "25.0"});
  ASSERT_EQ(command.action, CommandAction::run) << command.text;
  EXPECT_EQ(command.options.profile.cutoff, 25.0);
  EXPECT_NE(command.options.parameters.find(" cutoff=25"), std::string::npos);
  EXPECT_EQ(parse({"--fwhm", "1"}).options.profile.cutoff, 0.0);
  EXPECT_EQ(parse({"--fwhm", "1"}).options.parameters.find("cutoff"), std::string::npos);
}

TEST(ParseCommandLine, ThreadsAndQuiet) {
  const Command plain = parse({"--fwhm", "1"});
  EXPECT_EQ(plain.options.threads, 0u);
  EXPECT_FALSE(plain.options.quiet);
  const Command set = parse({"--fwhm", "1", "--threads", "3", "--quiet"});
  ASSERT_EQ(set.action, CommandAction::run) << set.text;
  EXPECT_EQ(set.options.threads, 3u);
  EXPECT_TRUE(set.options.quiet);
}

}  // namespace
}  // namespace broaden

namespace broaden {
namespace {

TEST(ParseCommandLine, ThePictureItsFormatSizeDirectionAndOverlay) {
  Command command = parse({"--fwhm", "1", "--plot", "ir.SVG"});
  ASSERT_EQ(command.action, CommandAction::run) << command.text;
  const PlotOptions& plot = command.options.plot;
  EXPECT_EQ(plot.file, "ir.SVG");
  EXPECT_EQ(plot.format->terminal, "svg");
  EXPECT_EQ(plot.width, 1200);
  EXPECT_EQ(plot.height, 700);
  EXPECT_FALSE(plot.reverse.has_value());
  EXPECT_FALSE(plot.sticks.has_value());
  EXPECT_FALSE(command.options.data_output);  // --plot without -o: no text
  EXPECT_EQ(parse({"--fwhm", "1", "--plot", "a.png", "-o", "-"}).options.data_output, true);
  EXPECT_EQ(parse({"--fwhm", "1"}).options.data_output, true);

  command =
      parse({"--fwhm", "1", "--plot=a.pdf", "--plot-size", "300,200", "--no-plot-reverse",
             "--plot-sticks", "--title", "t", "--overlay", "e.txt", "--overlay-columns", "3,1",
             "--overlay-scale", "Max", "--overlay-shift", "-12.5", "--overlay-label", "A / a.u."});
  ASSERT_EQ(command.action, CommandAction::run) << command.text;
  const PlotOptions& more = command.options.plot;
  EXPECT_EQ(more.width, 300);
  EXPECT_EQ(more.height, 200);
  EXPECT_EQ(more.reverse, false);
  EXPECT_EQ(more.sticks, true);
  EXPECT_EQ(more.title, "t");
  EXPECT_EQ(more.overlay, "e.txt");
  EXPECT_EQ(more.overlay_columns.frequency, 3);
  EXPECT_EQ(more.overlay_columns.intensity, 1);
  EXPECT_EQ(more.overlay_scale, OverlayScale::max);
  EXPECT_EQ(more.overlay_shift, -12.5);
  EXPECT_EQ(more.overlay_label, "A / a.u.");
}

TEST(ParseCommandLine, RefusesPictureOptionsThatDoNotFit) {
  const struct {
    std::vector<const char*> arguments;
    const char* message;
  } cases[] = {
      {{"--plot", "ir.jpg"},
       "--plot takes a file name ending in .png, .svg or .pdf (the picture's format), not "
       "'ir.jpg'"},
      {{"--plot", ""}, "--plot needs a file name"},
      {{"--plot", "a.png", "-o", "a.png"}, "--plot and -o name the same file 'a.png'"},
      {{"--plot", "./a.png", "-o", "a.png"}, "--plot and -o name the same file './a.png'"},
      {{"-o", "out/s.tsv", "--sticks", "out/./../out//s.tsv"},
       "--sticks and -o name the same file"},
      {{"--plot", "x/../a.png", "--sticks", "a.png"}, "--sticks and --plot name the same file"},
      {{"--title", "x"}, "--title draws on the picture: give --plot FILE"},
      {{"--plot-sticks"}, "--plot-sticks draws on the picture: give --plot FILE"},
      {{"--overlay", "e.txt"}, "--overlay draws on the picture: give --plot FILE"},
      {{"--plot", "a.png", "--overlay-shift", "1"}, "--overlay-shift is for --overlay FILE"},
      {{"--plot", "a.png", "--plot-reverse", "--no-plot-reverse"},
       "give --plot-reverse or --no-plot-reverse, not both"},
      {{"--plot", "a.png", "--plot-size", "99,700"},
       "--plot-size takes a width and a height from 100 to 10000, as W,H, not '99,700'"},
      {{"--plot", "a.png", "--plot-size", "1200"}, "--plot-size takes a width and a height"},
      {{"--plot", "a.png", "--plot-size", "1200,700,3"}, "--plot-size takes a width and a height"},
      {{"--plot", "a.png", "--plot-size", "1200,x"}, "--plot-size takes a width and a height"},
      {{"--plot", "a.png", "--overlay", "-"},
       "--overlay needs a file name (standard input holds the line list)"},
      {{"--plot", "a.png", "--overlay", "-", "in.txt"},
       "--overlay needs a file name: standard input is not read for it"},
      {{"--plot", "a.png", "--overlay", "e", "--overlay-columns", "2,2"},
       "--overlay-columns takes two different field numbers from 1 up, as X,Y, not '2,2'"},
      {{"--plot", "a.png", "--overlay", "e", "--overlay-columns", "0,1"},
       "--overlay-columns takes two different field numbers"},
      {{"--plot", "a.png", "--overlay", "e", "--overlay-scale", "area"},
       "--overlay-scale takes axis or max, not 'area'"},
      {{"--plot", "a.png", "--overlay", "e", "--overlay-shift", "1e999"},
       "--overlay-shift must be a finite number, not '1e999'"},
      {{"--plot", "a.png", "--overlay", "e", "--plot-sticks"},
       "--plot-sticks and an --overlay on its own axis both need the right axis: give "
       "--overlay-scale max"},
      {{"--plot", "a.png", "--overlay", "e", "--overlay-scale", "axis", "--plot-sticks"},
       "--plot-sticks and an --overlay on its own axis both need the right axis"},
      {{"--plot", "a.png", "--overlay-label", "A"}, "--overlay-label is for --overlay FILE"},
      {{"--plot", "a.png", "--overlay", "e", "--overlay-label", ""},
       "--overlay-label needs a text"},
      {{"--plot", "a.png", "--plot", "b.png"}, "--plot is given twice: give each option once"},
      {{"--plot-reverse=yes", "--plot", "a.png"}, "--plot-reverse takes no value"},
      {{"--classic", "--sigma", "5", "--plot", "a.png"},
       "--plot does not fit --classic, which writes the classic records alone"},
  };
  for (const auto& c : cases) {
    std::vector<const char*> arguments = c.arguments;
    arguments.insert(arguments.begin(), {"--fwhm", "1"});
    if (std::string(c.arguments.front()) == "--classic") arguments = c.arguments;
    const Command command = parse(arguments);
    EXPECT_EQ(command.action, CommandAction::usage_error) << c.message;
    EXPECT_EQ(command.text.rfind(c.message, 0), 0u) << command.text;
  }
}

}  // namespace
}  // namespace broaden

namespace broaden {
namespace {

// The comparison's options: what they set, and every refusal (nullptr: taken).
TEST(ParseCommandLine, TheComparisonItsRangeFitAndReport) {
  const struct {
    std::vector<const char*> arguments;
    const char* message;
  } cases[] = {
      {{"--compare", "e.csv", "--compare-columns", "2,3", "--compare-range", "4000,400", "--fit",
        "scale=0.95:1.05,fwhm", "--score", "Pearson", "--report", "r.json"},
       nullptr},
      {{"--fit", "scale"}, "--fit is for --compare FILE"},
      {{"--report", "r.json"}, "--report is for --compare FILE"},
      {{"--score", "cosine"}, "--score is for --compare FILE"},
      {{"--compare-range", "1,2"}, "--compare-range is for --compare FILE"},
      {{"--compare", "-"}, "--compare needs a file name (standard input holds the line list)"},
      {{"--inputs-from", "-", "--compare", ""}, "(standard input holds the line list)"},
      {{"in.txt", "--compare", "-"}, "--compare needs a file name: standard input is not read"},
      {{"--compare", "e.csv", "--compare-columns", "2,2"},
       "--compare-columns takes two different field numbers"},
      {{"--compare", "e.csv", "--compare-range", "5,5"}, "--compare-range takes two different"},
      {{"--compare", "e.csv", "--compare-range", "5,inf"}, "--compare-range takes two different"},
      {{"--compare", "e.csv", "--fit", "width"}, "--fit takes scale, shift and fwhm"},
      {{"--compare", "e.csv", "--fit", "scale=1.1:0.9"}, "not 'scale=1.1:0.9'"},
      {{"--compare", "e.csv", "--fit", "fwhm=0:4"}, "not 'fwhm=0:4'"},
      {{"--compare", "e.csv", "--fit", "shift=-1:1,shift"}, "--fit names shift twice"},
      {{"--compare", "e.csv", "--fit", "scale", "--scale", "0.96"}, "--fit scale and --scale"},
      {{"--compare", "e.csv", "--fit", "shift", "--shift", "0.1"}, "--fit shift and --shift"},
      {{"--compare", "e.csv", "--score", "r2"}, "--score takes"},
      {{"--compare", "e.csv", "--report", "-"}, "--report - writes the report to standard output"},
      {{"--compare", "e.csv", "--report", "s.tsv", "-o", "./s.tsv"},
       "--report and -o name the same file"},
  };
  for (const auto& c : cases) {
    std::vector<const char*> arguments = c.arguments;
    arguments.insert(arguments.begin(), {"--fwhm", "10"});
    const Command command = parse(arguments);
    if (c.message == nullptr) {
      ASSERT_EQ(command.action, CommandAction::run) << command.text;
      const CompareOptions& o = command.options.compare;
      EXPECT_EQ(o.columns.frequency, 2);
      EXPECT_EQ(o.range->a, 4000.0);
      ASSERT_EQ(o.fit.size(), 2u);
      EXPECT_EQ(o.fit[0].range->b, 1.05);
      EXPECT_FALSE(o.fit[1].range);
      EXPECT_EQ(o.score, Score::pearson);
      continue;
    }
    EXPECT_EQ(command.action, CommandAction::usage_error) << c.message;
    EXPECT_NE(command.text.find(c.message), std::string::npos)
        << "expected '" << c.message << "' in '" << command.text << "'";
  }
  const Command voigt = parse({"--shape", "voigt", "--gaussian-fwhm", "1", "--lorentzian-fwhm", "1",
                               "--compare", "e.csv", "--fit", "fwhm"});
  EXPECT_EQ(voigt.text, "--fit fwhm fits shapes of one width, not voigt");
}

}  // namespace
}  // namespace broaden
