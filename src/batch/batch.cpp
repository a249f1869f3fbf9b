#include "batch/batch.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <sstream>
#include <streambuf>
#include <system_error>
#include <thread>

#include "batch/gnuplot.h"
#include "batch/grid.h"
#include "batch/options.h"
#include "batch/output_formats.h"
#include "batch/plot.h"
#include "batch/spectrum_kinds.h"
#include "io/atomic_file.h"
#include "line_shapes/line_profiles.h"
#include "records/classic_spectrum.h"
#include "records/columns_reader.h"
#include "records/line_list_formats.h"
#include "synthesis/engine.h"
#include "synthesis/processors.h"
#include "text/quoted.h"

namespace broaden {
namespace {

// Thrown inside the run to end it with a message and a status.
struct Failure {
  int status;
  std::string message;
};

// The line list as messages name it: before a line number, and alone.
std::string shown_name(const std::string& name) {
  return name == "-" ? "standard input" : escaped(name);
}
std::string quoted_name(const std::string& name) {
  return name == "-" ? "standard input" : quoted(name);
}

// The temporary file beside the output, until it is moved into place.
constexpr std::string_view kTemporaryPrefix = ".broaden-batch-";

// Reads everything from `fd`; returns 0 or the errno of the failed read.
int read_all(int fd, std::string& text) {
  char buffer[1 << 16];
  for (;;) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return errno;
    if (got == 0) return 0;
    text.append(buffer, static_cast<std::size_t>(got));
  }
}

// The whole line list: a file through the file-system seam (mapped where it
// can be), or standard input from its descriptor (so that a failed read is
// told from its end).
std::unique_ptr<FileText> read_input(const std::string& name, int input_fd, FileSystem& files) {
  if (name == "-") {
    std::string text;
    struct stat info {};
    int error = ::fstat(input_fd, &info) != 0 ? errno : S_ISDIR(info.st_mode) ? EISDIR : 0;
    if (error == 0) error = read_all(input_fd, text);
    if (error != 0)
      throw Failure{kBatchFailed,
                    "cannot read standard input: " + std::string(std::strerror(error))};
    return std::make_unique<HeldText>(std::move(text));
  }
  std::string reason;
  try {
    std::unique_ptr<FileText> file = files.read_whole(name, reason);
    if (!file) throw Failure{kBatchFailed, "cannot open " + quoted_name(name) + ": " + reason};
    return file;
  } catch (const std::system_error& error) {
    throw Failure{kBatchFailed, "cannot read " + quoted_name(name) + ": " + error.code().message()};
  }
}

// A reader's error as the one-line failure "NAME:LINE:COLUMN: expected ...".
Failure read_failure(const BatchOptions& options, const LineListError& error) {
  return Failure{kBatchFailed, shown_name(options.line_list) + ":" + std::to_string(error.line) +
                                   ":" + std::to_string(error.column) + ": expected " +
                                   error.expected};
}

// What was read: the lines (positions in the unit they are broadened in,
// intensities as drawn), and for a quantum-chemistry output the spectrum
// drawn from it, for the tsv header ("spectrum=ir intensity=km/mol").
struct InputRead {
  LineTable table;
  std::optional<SpectrumKind> kind;  ///< set for an output
  AxisUnit broadening = AxisUnit::per_centimetre;
  /// ecd with --units epsilon: the curve is multiplied at each point by its
  /// wavenumber (delta epsilon over wavenumber integrates to R).
  bool times_wavenumber = false;
  /// The positions as the file prints them, in `printed_unit`, before
  /// --scale and --shift: the sticks on that axis give them as printed.
  std::vector<double> printed;
  AxisUnit printed_unit = AxisUnit::per_centimetre;
  std::string spectrum_parameters;
};

// The kinds of spectrum `data` can give.
std::vector<SpectrumKind> kinds_held(const SpectraData& data) {
  std::vector<SpectrumKind> kinds;
  if (holds(data, SpectrumQuantity::ir_intensity)) kinds.push_back(SpectrumKind::ir);
  if (holds(data, SpectrumQuantity::raman_activity)) kinds.push_back(SpectrumKind::raman);
  if (holds(data, SpectrumQuantity::oscillator_strength)) kinds.push_back(SpectrumKind::uv);
  if (holds(data, SpectrumQuantity::rotatory_velocity) ||
      holds(data, SpectrumQuantity::rotatory_length) ||
      holds(data, SpectrumQuantity::rotatory_unnamed))
    kinds.push_back(SpectrumKind::ecd);
  return kinds;
}

// The quantity of `kind` a spectrum is drawn from: for ecd the form asked
// for, or the unnamed one where the file names none.
SpectrumQuantity quantity_of(SpectrumKind kind, const SpectraData& data,
                             const BatchOptions& options) {
  switch (kind) {
    case SpectrumKind::ir:
      return SpectrumQuantity::ir_intensity;
    case SpectrumKind::raman:
      return SpectrumQuantity::raman_activity;
    case SpectrumKind::uv:
      return SpectrumQuantity::oscillator_strength;
    case SpectrumKind::ecd:
      break;
  }
  const SpectrumQuantity asked = options.rotatory == RotatoryForm::length
                                     ? SpectrumQuantity::rotatory_length
                                     : SpectrumQuantity::rotatory_velocity;
  if (!holds(data, asked) && holds(data, SpectrumQuantity::rotatory_unnamed))
    return SpectrumQuantity::rotatory_unnamed;
  return asked;
}

const std::vector<double>& column_of(const SpectraData& data, SpectrumQuantity quantity) {
  const ExcitedStates& states = data.excited_states;
  switch (quantity) {
    case SpectrumQuantity::ir_intensity:
      return data.vibrations.ir_intensity;
    case SpectrumQuantity::raman_activity:
      return data.vibrations.raman_activity;
    case SpectrumQuantity::oscillator_strength:
      return states.oscillator_strength;
    case SpectrumQuantity::rotatory_velocity:
      return states.rotatory_velocity;
    case SpectrumQuantity::rotatory_length:
      return states.rotatory_length;
    case SpectrumQuantity::rotatory_unnamed:
      break;
  }
  return states.rotatory_unnamed;
}

// An excited state's energy in eV, from whichever form the file prints.
double state_energy(const ExcitedStates& states, std::size_t k) {
  if (!states.energy_ev.empty()) return states.energy_ev[k];
  if (!states.wavenumber.empty())
    return converted(states.wavenumber[k], AxisUnit::per_centimetre, AxisUnit::electronvolt);
  return converted(states.wavelength_nm[k], AxisUnit::nanometre, AxisUnit::electronvolt);
}

// The lines of a quantum-chemistry output's spectrum: the one asked for, or
// the one it holds; positions multiplied by --scale, then shifted; with
// --units epsilon the intensities converted (spectrum_kinds.h).
InputRead spectrum_lines(const LineListFormat& format, std::string_view text,
                         const BatchOptions& options, std::ostream& err) {
  const SpectraRead read = format.read_spectra(text);
  if (read.error) throw read_failure(options, *read.error);
  if (!options.quiet)
    for (const LineListNote& note : read.notes)
      err << "broaden-batch: warning: " << shown_name(options.line_list) << ":" << note.line << ": "
          << note.text << "\n";
  const std::string name = quoted_name(options.line_list);
  SpectrumKind kind = SpectrumKind::ir;
  if (options.spectrum) {
    kind = *options.spectrum;
  } else {
    const std::vector<SpectrumKind> kinds = kinds_held(read.data);
    if (kinds.empty())
      throw Failure{kBatchFailed,
                    name + " holds no spectrum (it holds: " + holdings(read.data) + ")"};
    if (kinds.size() > 1) {
      std::string choices;
      for (std::size_t k = 0; k < kinds.size(); ++k)
        choices += std::string(k == 0                  ? ""
                               : k + 1 == kinds.size() ? " or "
                                                       : ", ") +
                   "--spectrum " + std::string(spectrum_kind_row(kinds[k]).name);
      throw Failure{kBatchFailed, name + " holds " + holdings(read.data) + ": give " + choices};
    }
    kind = kinds.front();
  }
  const SpectrumKindRow& row = spectrum_kind_row(kind);
  const SpectrumQuantity quantity = quantity_of(kind, read.data, options);
  if (!holds(read.data, quantity))
    throw Failure{kBatchFailed, holds_none_message(name, read.data, quantity)};

  InputRead result;
  result.kind = kind;
  result.broadening = row.broadening;
  const std::vector<double>& strength = column_of(read.data, quantity);
  const bool vibrational = kind == SpectrumKind::ir || kind == SpectrumKind::raman;
  for (std::size_t k = 0; k < strength.size(); ++k) {
    const ExcitedStates& states = read.data.excited_states;
    double position = vibrational ? read.data.vibrations.frequency[k] : state_energy(states, k);
    result.printed_unit = vibrational || (states.energy_ev.empty() && !states.wavenumber.empty())
                              ? AxisUnit::per_centimetre
                          : !states.energy_ev.empty() ? AxisUnit::electronvolt
                                                      : AxisUnit::nanometre;
    result.printed.push_back(vibrational                                     ? position
                             : result.printed_unit == AxisUnit::electronvolt ? states.energy_ev[k]
                             : result.printed_unit == AxisUnit::per_centimetre
                                 ? states.wavenumber[k]
                                 : states.wavelength_nm[k]);
    position = position * options.scale + options.shift;
    if (!std::isfinite(position))
      throw Failure{kBatchFailed,
                    "a position of " + name + " does not stay finite once scaled and shifted"};
    double intensity = strength[k];
    if (options.epsilon) {
      switch (kind) {
        case SpectrumKind::ir:
          intensity = intensity * kIrEpsilonPerKmPerMol;
          break;
        case SpectrumKind::raman:
          if (options.laser > 0.0) {
            intensity = raman_cross_section(position, intensity, options.laser, options.kelvin);
            if (!std::isfinite(intensity))
              throw Failure{kBatchFailed, "a line of " + name + " at " + std::to_string(position) +
                                              " cm-1 lies at or beyond the laser's wavenumber"};
          }
          break;
        case SpectrumKind::uv:
          // Per eV: the integral over wavenumber is kWavenumbersPerEv times that over eV.
          intensity = intensity / (kOscillatorPerEpsilon * kWavenumbersPerEv);
          break;
        case SpectrumKind::ecd:
          intensity = intensity * 1e-40 / (kRotatoryPerDeltaEpsilon * kWavenumbersPerEv);
          result.times_wavenumber = true;
          break;
      }
    }
    result.table.push_back(Peak{position, intensity});
  }
  const bool cross_sections = kind == SpectrumKind::raman && options.laser > 0.0;
  const bool converted_units = options.epsilon && (kind != SpectrumKind::raman || cross_sections);
  result.spectrum_parameters = "spectrum=" + std::string(row.name) + " intensity=" +
                               std::string(converted_units ? row.epsilon : row.native);
  if (options.epsilon && kind == SpectrumKind::raman && !cross_sections && !options.quiet)
    err << "broaden-batch: note: Raman activities without --laser: --units epsilon changes "
           "nothing\n";
  return result;
}

// The input read in the format --input names (or recognised from its
// content): a line list's table, or the lines of an output's spectrum; or
// the failure "NAME:LINE:COLUMN: expected ...". A line list's notes go to
// `err`, "broaden-batch: note: NAME:LINE: ...", an output's as warnings.
InputRead read_lines(std::string_view text, const BatchOptions& options, std::ostream& err) {
  const LineListFormat& format =
      options.input == "auto" ? recognise_input(text) : *find_input_format(options.input);
  if (format.read_spectra != nullptr) {
    for (const auto& [given, what] :
         {std::pair{options.columns_given, "--columns"}, {options.syntax_given, "--delimiter"}}) {
      if (given)
        throw Failure{kBatchUsageError, std::string(what) + " is for a columns line list, and " +
                                            quoted_name(options.line_list) + " is " +
                                            std::string(format.summary)};
    }
    return spectrum_lines(format, text, options, err);
  }
  for (const auto& [given, what] : {std::pair{options.spectrum.has_value(), "--spectrum"},
                                    {options.epsilon, "--units epsilon"},
                                    {options.laser > 0.0, "--laser"}}) {
    if (given)
      throw Failure{kBatchUsageError, std::string(what) +
                                          " is for the outputs of quantum-chemistry programs, "
                                          "and " +
                                          quoted_name(options.line_list) + " is a line list"};
  }
  const WidthRange widths = accepted_widths(options.width_divisor);
  LineListRead read = format.read(text, LineListOptions{.columns = options.columns,
                                                        .frequency_scale = options.scale,
                                                        .width_divisor = options.width_divisor,
                                                        .width_low = widths.low,
                                                        .width_high = widths.high,
                                                        .keep_infinities = options.classic});
  if (read.error) throw read_failure(options, *read.error);
  if (!options.quiet)
    for (const LineListNote& note : read.notes)
      err << "broaden-batch: note: " << shown_name(options.line_list) << ":" << note.line << ": "
          << note.text << "\n";
  InputRead result;
  result.table = std::move(read.table);
  // Broadened in eV where the positions are, else in cm-1.
  result.broadening = options.line_unit == AxisUnit::electronvolt ? AxisUnit::electronvolt
                                                                  : AxisUnit::per_centimetre;
  if (options.line_unit == result.broadening && options.shift == 0.0) return result;
  for (double& position : result.table.frequency) {
    position = converted(position, options.line_unit, result.broadening) + options.shift;
    if (!std::isfinite(position))
      throw Failure{kBatchFailed, "a position of " + quoted_name(options.line_list) +
                                      " does not stay finite once converted and shifted"};
  }
  return result;
}

// The grid the options ask for, or the failure of its refusal.
GridResult grid_of(const BatchOptions& options) {
  GridResult grid = grid_for(options);  // not const: returned without a copy
  if (!grid.error.empty())
    throw Failure{grid.out_of_memory ? kBatchFailed : kBatchUsageError, grid.error};
  return grid;
}

// Where the text goes: standard output or the file made whole.
class Sink {
 public:
  Sink(const BatchOptions& options, std::ostream& out, FileSystem& files)
      : Sink(options.output, !options.data_output, options.force, out, files) {}
  // To `name` ("-": `out`), or nowhere with `discard`.
  Sink(const std::string& name, bool discard, bool force, std::ostream& out, FileSystem& files)
      : out_(out), discard_(discard) {
    if (name == "-" || discard_) return;
    FileFailure failure;
    file_ = AtomicFile::create(files, name, force, kTemporaryPrefix, failure);
    if (!file_) throw failed(failure);
  }

  void write(std::string_view bytes) {
    if (discard_) return;
    if (!file_) {
      errno = 0;
      out_.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
      if (!out_) throw standard_output_failed();
      return;
    }
    FileFailure failure;
    if (!file_->write(bytes, failure)) throw failed(failure);
  }

  void finish() {
    if (discard_) return;
    if (!file_) {
      errno = 0;
      out_.flush();
      if (!out_) throw standard_output_failed();
      return;
    }
    FileFailure failure;
    if (!file_->commit(failure)) throw failed(failure);
  }

 private:
  static Failure failed(const FileFailure& failure) {
    return Failure{kBatchFailed, failure.exists ? failure.message + ": give --force to replace it"
                                                : failure.message};
  }
  static Failure standard_output_failed() {
    const int error = errno;
    if (error == EPIPE) return Failure{kBatchOutputClosed, {}};
    return Failure{kBatchFailed, std::string("cannot write to standard output") +
                                     (error != 0 ? std::string(": ") + std::strerror(error) : "")};
  }

  std::ostream& out_;
  bool discard_;
  std::unique_ptr<AtomicFile> file_;
};

// The picture's file, made whole beside its name as -o's is; prepared at
// the start, so that an existing picture ends the run before any work.
std::unique_ptr<AtomicFile> picture_file(const BatchOptions& options, FileSystem& files) {
  if (options.plot.file.empty()) return nullptr;
  FileFailure failure;
  std::unique_ptr<AtomicFile> file =
      AtomicFile::create(files, options.plot.file, options.force, kTemporaryPrefix, failure);
  if (!file)
    throw Failure{kBatchFailed, failure.exists ? failure.message + ": give --force to replace it"
                                               : failure.message};
  return file;
}

// The overlay's two columns, read as a columns line list is.
LineTable read_overlay(const BatchOptions& options, FileSystem& files, std::ostream& err) {
  const std::string& name = options.plot.overlay;
  const std::unique_ptr<FileText> text = read_input(name, -1, files);
  LineListRead read =
      read_columns(text->text(), LineListOptions{.columns = options.plot.overlay_columns});
  if (read.error)
    throw Failure{kBatchFailed, escaped(name) + ":" + std::to_string(read.error->line) + ":" +
                                    std::to_string(read.error->column) + ": expected " +
                                    read.error->expected};
  if (!options.quiet)
    for (const LineListNote& note : read.notes)
      err << "broaden-batch: note: " << escaped(name) << ":" << note.line << ": " << note.text
          << "\n";
  return std::move(read.table);
}

// The first line of `messages` that holds more than blanks, without them.
std::string first_line(std::string_view messages) {
  std::size_t start = 0;
  while (start < messages.size()) {
    const std::size_t end = std::min(messages.find('\n', start), messages.size());
    std::string_view line = messages.substr(start, end - start);
    const std::size_t first = line.find_first_not_of(" \t\r");
    if (first != std::string_view::npos) {
      line = line.substr(first);
      return std::string(line.substr(0, line.find_last_not_of(" \t\r") + 1));
    }
    start = end + 1;
  }
  return {};
}

// Draws the picture through `driver` into `file`; a failure names the
// package gnuplot comes in, and gnuplot's own first word on it.
void draw_picture(const PlotRequest& request, PlotDriver& driver, AtomicFile& file, bool quiet,
                  std::ostream& err) {
  constexpr const char* kPackage = "Debian package gnuplot-nox";
  const std::string script = plot_script(request);
  const DrawResult drawn = driver.draw(script);
  const std::string failed = "cannot draw the plot: ";
  if (drawn.start_error == ENOENT && driver.program() == "gnuplot")
    throw Failure{kBatchFailed, failed + "gnuplot is not installed (" + kPackage + ")"};
  if (drawn.start_error != 0)
    throw Failure{kBatchFailed, failed + "cannot start " + quoted(driver.program()) + ": " +
                                    std::strerror(drawn.start_error) + " (gnuplot is in the " +
                                    kPackage + ")"};
  const std::string said = first_line(drawn.messages);
  if (drawn.status != 0 || drawn.picture.empty())
    throw Failure{kBatchFailed,
                  failed + "gnuplot " +
                      (drawn.status != 0 ? "ended with status " + std::to_string(drawn.status)
                                         : std::string("drew nothing")) +
                      (said.empty() ? "" : ": " + quoted(said, 200)) + " (" + kPackage + ")"};
  if (!quiet && !said.empty()) err << "broaden-batch: note: gnuplot: " << escaped(said) << "\n";
  FileFailure failure;
  if (!file.write(drawn.picture, failure) || !file.commit(failure))
    throw Failure{kBatchFailed, failure.exists ? failure.message + ": give --force to replace it"
                                               : failure.message};
}

// Formats and writes the points a block at a time, into one buffer that is
// never zeroed (only the pages written are ever touched). A large block is
// cut in two halves formatted at once, the second by a helper thread where
// one can be had; the text is the same either way.
void write_points(Sink& sink, const SpectrumFormat& format, std::span<const double> x,
                  std::span<const double> y, int digits, const DecimalAbscissae* decimals,
                  unsigned threads) {
  constexpr std::size_t kBlock = 1 << 15;
  // Below this many points a thread costs about what it saves.
  constexpr std::size_t kParallelFrom = 2048;
  if (x.empty()) return;
  const std::size_t room = std::min(kBlock, x.size()) * kPointRoom;
  const auto text = std::make_unique_for_overwrite<char[]>(room);
  auto format_range = [&](std::size_t begin, std::size_t count, char* out) {
    return format.points(
        PointBlock{x.subspan(begin, count), y.subspan(begin, count), digits, decimals, begin}, out);
  };
  for (std::size_t first = 0; first < x.size(); first += kBlock) {
    const std::size_t count = std::min(kBlock, x.size() - first);
    const std::size_t half = count >= kParallelFrom && threads > 1 ? count / 2 : count;
    char* const second = text.get() + half * kPointRoom;
    char* second_end = second;
    char* first_end = nullptr;
    {
      std::jthread helper;
      if (half < count) {
        try {
          helper =
              std::jthread([&] { second_end = format_range(first + half, count - half, second); });
        } catch (const std::system_error&) {
          second_end = format_range(first + half, count - half, second);
        }
      }
      first_end = format_range(first, half, text.get());
    }  // the helper has joined
    sink.write(std::string_view(text.get(), static_cast<std::size_t>(first_end - text.get())));
    sink.write(std::string_view(second, static_cast<std::size_t>(second_end - second)));
  }
}

// How many of `frequency` lie outside [first, last].
std::size_t count_outside(std::span<const double> frequency, double first, double last) noexcept {
  return static_cast<std::size_t>(std::count_if(
      frequency.begin(), frequency.end(), [&](double f) { return !(f >= first && f <= last); }));
}

// The grid's ends are written as its points are (`decimals`, if any).
void warn_outside(std::span<const double> frequency, std::span<const double> x,
                  const DecimalAbscissae* decimals, std::ostream& err) {
  const std::size_t outside = count_outside(frequency, x.front(), x.back());
  if (outside == 0) return;
  char first[kShortestRoom + 1], last[kShortestRoom + 1];
  if (decimals != nullptr) {
    const auto end = static_cast<std::int64_t>(x.size() - 1);
    *decimal_to_text(decimals->first, decimals->exponent10, first) = '\0';
    *decimal_to_text(decimals->first + end * decimals->step, decimals->exponent10, last) = '\0';
  } else {
    *double_to_shortest(x.front(), 0, first) = '\0';
    *double_to_shortest(x.back(), 0, last) = '\0';
  }
  err << "broaden-batch: warning: " << outside << " of " << frequency.size()
      << (frequency.size() == 1 ? " line" : " lines") << (outside == 1 ? " lies" : " lie")
      << " outside the grid (" << first << " to " << last << "); only "
      << (outside == 1 ? "its tail reaches" : "their tails reach") << " it\n";
}

int run_checked(const BatchOptions& options, int input_fd, std::ostream& out, std::ostream& err,
                FileSystem& files, const BatchTerminal& terminal, PlotDriver& driver) {
  // The grid and the output are settled first: a refused grid or an
  // existing file end the run before any work.
  // (Without --from and --to an output's grid spans its lines: it is made
  // once they are read.)
  GridResult grid = options.classic ? GridResult() : grid_of(options);
  Sink sink(options, out, files);
  const std::unique_ptr<AtomicFile> picture = picture_file(options, files);
  std::optional<Sink> sticks;
  if (!options.sticks.empty()) sticks.emplace(options.sticks, false, options.force, out, files);
  std::unique_ptr<FileText> input_text = read_input(options.line_list, input_fd, files);
  const InputRead input = read_lines(input_text->text(), options, err);
  if (!input_text->unchanged())
    throw Failure{kBatchFailed, "cannot read " + quoted_name(options.line_list) +
                                    ": the file changed while it was read"};
  input_text.reset();
  const LineTable& table = input.table;
  const bool from_output = input.kind.has_value();
  const AxisUnit broadening = input.broadening;
  const AxisUnit axis = options.axis.value_or(
      from_output ? spectrum_kind_row(*input.kind).default_axis : options.line_unit);
  // The widths in the unit the lines are broadened in.
  ProfileParameters profile = options.profile;
  if (options.width_unit && *options.width_unit != broadening) {
    const double factor = converted(1.0, *options.width_unit, broadening);
    profile.sigma *= factor;
    profile.gamma *= factor;
    profile.fwhm *= factor;
  }
  std::string grid_parameters = options.grid_parameters;
  if (from_output && !options.range_given && !options.classic) {
    // The lines' span, 10 full widths either side (not below zero energy),
    // on the axis; the narrowest full width there.
    const double width = profile_fwhm(profile);
    const auto [low, high] = std::minmax_element(table.frequency.begin(), table.frequency.end());
    const double bottom =
        *low > 0.0 ? std::max(*low - 10.0 * width, *low / 2.0) : *low - 10.0 * width;
    const double a = converted(bottom, broadening, axis);
    const double b = converted(*high + 10.0 * width, broadening, axis);
    double narrowest = std::numeric_limits<double>::infinity();
    for (const double p : {*low, *high})
      narrowest = std::min(narrowest, std::fabs(converted(p + width / 2, broadening, axis) -
                                                converted(p - width / 2, broadening, axis)));
    SpanningGrid spanning = grid_spanning(std::min(a, b), std::max(a, b), narrowest, options);
    if (!spanning.grid.error.empty())
      throw Failure{spanning.grid.out_of_memory ? kBatchFailed : kBatchUsageError,
                    spanning.grid.error};
    grid = std::move(spanning.grid);
    grid_parameters = spanning.text;
  }
  const std::vector<double>& x = grid.x;
  // The lines on the axis, for the warning, the sticks and the picture.
  std::vector<double> on_axis(table.frequency);
  if (axis == input.printed_unit && !input.printed.empty() && options.scale == 1.0 &&
      options.shift == 0.0)
    on_axis = input.printed;
  else if (axis != broadening)
    for (double& p : on_axis) p = converted(p, broadening, axis);
  std::vector<double> drawn(table.intensity);
  if (input.times_wavenumber)
    for (std::size_t k = 0; k < drawn.size(); ++k)
      drawn[k] *= converted(table.frequency[k], broadening, AxisUnit::per_centimetre);
  const LineTable overlay =
      options.plot.overlay.empty() ? LineTable() : read_overlay(options, files, err);

  if (options.classic) {
    // The spectrum file broaden writes, record for record.
    const auto classic_grid = std::make_unique<std::array<double, kGridSize>>();
    build_grid(*classic_grid);
    if (!options.quiet) warn_outside(table.frequency, *classic_grid, nullptr, err);
    std::ostringstream records;
    write_classic_spectrum(records, table.frequency, table.intensity, options.profile.sigma,
                           options.threads);
    sink.write(records.view());
    sink.finish();
    return kBatchDone;
  }

  std::vector<double> y;
  try {
    y.resize(x.size(), 0.0);
  } catch (const std::bad_alloc&) {
    throw Failure{kBatchFailed, "not enough memory for the intensities of " +
                                    std::to_string(x.size()) + " points (" +
                                    memory_needed(x.size() * sizeof(double)) + ")"};
  }
  {
    ProfileProgress progress;
    std::optional<ProgressReporter> reporter;
    if (terminal.progress && !options.quiet)
      reporter.emplace(progress, x.size(), err, terminal.timing);
    if (axis == broadening) {
      add_profiles(table.frequency, table.intensity, table.width, profile, x, y, options.threads,
                   &progress);
    } else {
      // Evaluated at the energy of each point (no Jacobian), ascending.
      std::vector<double> energy(x.size());
      for (std::size_t i = 0; i < x.size(); ++i) energy[i] = converted(x[i], axis, broadening);
      const bool descending = energy.size() > 1 && energy.front() > energy.back();
      if (descending) std::reverse(energy.begin(), energy.end());
      add_profiles(table.frequency, table.intensity, table.width, profile, energy, y,
                   options.threads, &progress);
      if (descending) {
        std::reverse(y.begin(), y.end());
        std::reverse(energy.begin(), energy.end());
      }
      if (input.times_wavenumber)
        for (std::size_t i = 0; i < y.size(); ++i)
          y[i] *= converted(energy[i], broadening, AxisUnit::per_centimetre);
    }
    if (input.times_wavenumber && axis == broadening)
      for (std::size_t i = 0; i < y.size(); ++i)
        y[i] *= converted(x[i], broadening, AxisUnit::per_centimetre);
  }
  if (!options.quiet) warn_outside(on_axis, x, grid.decimals ? &*grid.decimals : nullptr, err);

  std::string parameters =
      options.shape_parameters + " " + grid_parameters + " " + options.other_parameters + " input=";
  // quoted(): the comment line stays one line, and free of terminal
  // escapes, whatever the input's name holds.
  parameters += options.line_list == "-" ? "-" : quoted(options.line_list);
  parameters += " lines=" + std::to_string(table.frequency.size());
  if (from_output) parameters += " " + input.spectrum_parameters;
  if (from_output || options.axis || options.line_unit != AxisUnit::per_centimetre)
    parameters += " axis=" + std::string(axis_row(axis).name);
  // --format's kinds count the formats' rows in order.
  const SpectrumFormat& format = spectrum_formats()[static_cast<std::size_t>(options.format)];
  sink.write(format.head(parameters));
  write_points(sink, format, x, y, options.digits, grid.decimals ? &*grid.decimals : nullptr,
               options.threads != 0 ? options.threads : usable_processors());
  sink.write(format.tail(parameters));
  sink.finish();
  if (sticks) {
    // The lines as drawn: position on the axis, intensity after every conversion.
    std::string text = "# " + parameters + " sticks\n";
    char number[kShortestRoom];
    for (std::size_t k = 0; k < on_axis.size(); ++k) {
      text.append(number, double_to_shortest(on_axis[k], 0, number));
      text += '\t';
      text.append(number, double_to_shortest(drawn[k], 0, number));
      text += '\n';
    }
    sticks->write(text);
    sticks->finish();
  }

  // The data are whole before gnuplot starts: a picture that fails loses nothing.
  if (picture) {
    PlotRequest request{.format = options.plot.format,
                        .width = options.plot.width,
                        .height = options.plot.height,
                        .title = options.plot.title,
                        .axes = kLineListAxes,
                        .spectrum = {x, y},
                        .lines = {on_axis, drawn}};
    request.axes.x_label = axis_row(axis).label;
    request.axes.reverse = axis == AxisUnit::per_centimetre;
    if (from_output) {
      const SpectrumKindRow& row = spectrum_kind_row(*input.kind);
      request.axes.y_label = input.spectrum_parameters.find(row.epsilon) != std::string::npos
                                 ? row.epsilon_label
                                 : row.native_label;
      request.axes.zero_line = row.zero_line;
      request.axes.sticks = true;
    }
    request.axes.reverse = options.plot.reverse.value_or(request.axes.reverse);
    request.sticks = options.plot.sticks.value_or(request.axes.sticks);
    PlotOverlay drawn_overlay{.curve = {overlay.frequency, overlay.intensity},
                              .name = options.plot.overlay,
                              .shift = options.plot.overlay_shift,
                              .own_axis = options.plot.overlay_scale == OverlayScale::axis};
    if (!options.plot.overlay.empty()) request.overlay = &drawn_overlay;
    draw_picture(request, driver, *picture, options.quiet, err);
  }
  return kBatchDone;
}

}  // namespace

int run_batch(int argc, const char* const* argv, int input_fd, std::ostream& out, std::ostream& err,
              FileSystem& files, const BatchTerminal& terminal, PlotDriver* driver) {
  const Command command = parse_command_line(argc, argv);
  switch (command.action) {
    case CommandAction::help:
    case CommandAction::version:
      errno = 0;
      out << command.text;
      out.flush();
      return out ? kBatchDone : errno == EPIPE ? kBatchOutputClosed : kBatchFailed;
    case CommandAction::usage_error:
      err << "broaden-batch: " << command.text << "\n"
          << "Try 'broaden-batch --help' for the options.\n";
      return kBatchUsageError;
    case CommandAction::run:
      break;
  }
  std::string message;
  int status = kBatchFailed;
  try {
    GnuplotDriver gnuplot;
    return run_checked(command.options, input_fd, out, err, files, terminal,
                       driver != nullptr ? *driver : gnuplot);
  } catch (const Failure& failure) {
    message = failure.message;
    status = failure.status;
  } catch (const std::bad_alloc&) {
    message = "out of memory";
  } catch (const std::exception& error) {
    // A check that should have refused the command line let it through:
    // end as a failure, with the temporary files removed on the way out.
    message = std::string("internal error: ") + error.what();
  }
  if (status == kBatchOutputClosed) return status;  // quietly, as a pipeline's writer ends
  err << "broaden-batch: " << message << "\n";
  if (status == kBatchUsageError) err << "Try 'broaden-batch --help' for the options.\n";
  err.flush();
  return status;
}

}  // namespace broaden
