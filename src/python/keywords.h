// The keyword arguments of broaden.spectrum as the broaden-batch command line
// they stand for, checked by broaden-batch's own option parser, so that the
// module and the program take the same rules and give the same refusals.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "batch/options.h"

namespace broaden {

/// What broaden.spectrum was asked for besides its arrays.
struct SpectrumKeywords {
  std::string shape{kLineShapes[0].name};
  std::string normalise{kNormalisations[0].name};
  /// The shape quantities given (widths and parameters), each by its name in
  /// kShapeQuantities ("fwhm", "gaussian-fwhm", "eta"), in any order.
  std::vector<std::pair<std::string, double>> quantities;
  /// Widths a line are given: they stand where the width field of
  /// `--columns 1,2,3` stands, in the measure of the width option given.
  bool line_widths = false;
  std::optional<double> start, stop, step;  ///< --from, --to, --step
  std::optional<std::int64_t> points;       ///< --points
  std::optional<double> cutoff;             ///< --cutoff
  std::optional<std::string> axis;          ///< --axis
  std::string unit{"cm-1"};                 ///< --line-unit: the positions' unit
};

/// What compare() and fit() ask besides: --compare with the name
/// kMeasuredName (the module takes the measurement as arrays and reads no
/// file), --fit, --score and --compare-range=A,B where given.
struct CompareKeywords {
  std::optional<std::string> fit, score;
  std::optional<std::pair<double, double>> range;
};
inline constexpr const char* kMeasuredName = "experiment";

/// The command line of broaden-batch (its program name first) that asks for
/// what `keywords` ask for, each option as "--name=value" so that no value
/// is taken for an option. Numbers are written as their shortest text that
/// reads back as the same double (double_to_shortest: "0.1", "1e-05",
/// "inf", "nan"), so the program would read the very doubles given. The
/// shape, the normalisation and the unit are left out when they are the defaults, so
/// that refusals say "(the default)" as the program's do. Strings are passed
/// as they are; a NUL byte in one is replaced by the text "\x00" (a C
/// command line cannot hold it, and no name holds it).
///
///   {shape "lorentzian", quantities {{"fwhm", 10}}, start 400, stop 4000, step 1}
///     -> {"broaden-batch", "--shape=lorentzian", "--fwhm=10", "--from=400", "--to=4000",
///         "--step=1"}
///   {quantities {{"sigma", 5}}, line_widths}
///     -> {"broaden-batch", "--sigma=5", "--columns=1,2,3"}
///   {quantities {{"fwhm", 8}}}, compare {fit "scale", range {{500, 400}}}
///     -> {"broaden-batch", "--fwhm=8", "--compare=experiment", "--fit=scale",
///         "--compare-range=500,400"}
std::vector<std::string> command_line_of(const SpectrumKeywords& keywords,
                                         const CompareKeywords* compare = nullptr);

/// The keywords checked as broaden-batch checks its command line
/// (parse_command_line): the options, or, with `error` non-empty, the
/// one-line message the program prints after "broaden-batch: ".
///
///   {shape "lorentzian", quantities {{"fwhm", 10}}} -> options {lorentzian, gamma 5}
///   {quantities {{"fwhm", 0}}} -> error "--fwhm must be a positive finite number, not '0'"
struct CheckedKeywords {
  BatchOptions options;
  std::string error;
};
CheckedKeywords check_keywords(const SpectrumKeywords& keywords,
                               const CompareKeywords* compare = nullptr);

/// What broaden.read was asked for: the files and broaden-batch's options of
/// reading, each as the program takes it (strings as given, numbers as
/// doubles).
struct ReadKeywords {
  std::vector<std::string> inputs;  ///< the files' names, in order
  std::string input = "auto";
  std::optional<std::string> columns, spectrum, axis, units, laser, rotatory, line_unit;
  std::optional<double> temperature, scale, shift, boltzmann;
  std::optional<std::vector<double>> weights;
};

/// The command line of broaden-batch that reads the files as `keywords`
/// ask, written as command_line_of writes its options; a width option
/// (--sigma=1) that the program's command line needs and reading does not
/// use; the files after "--", so that no name is taken for an option, and a
/// file named "-" as "./-" (the program would read standard input).
///
///   {inputs {"a.log"}, spectrum "uv", weights {{0.5}}}
///     -> {"broaden-batch", "--spectrum=uv", "--weights=0.5", "--sigma=1", "--", "a.log"}
std::vector<std::string> command_line_of(const ReadKeywords& keywords);

/// The keywords checked as broaden-batch checks its command line, as
/// check_keywords does: options.inputs are the names the messages show.
CheckedKeywords check_keywords(const ReadKeywords& keywords);

}  // namespace broaden
