#include "batch/batch.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdio>
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
#include "batch/input_lines.h"
#include "batch/options.h"
#include "batch/output_formats.h"
#include "batch/plot.h"
#include "batch/spectrum_kinds.h"
#include "io/atomic_file.h"
#include "io/posix_file_system.h"
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
using Failure = BatchFailure;

// The temporary file beside the output, until it is moved into place.
constexpr std::string_view kTemporaryPrefix = ".broaden-batch-";

// The whole line list: a file through the file-system seam (mapped where it
// can be), or standard input from its descriptor (so that a failed read is
// told from its end).
std::unique_ptr<FileText> read_input(const std::string& name, int input_fd, FileSystem& files) {
  if (name == "-") {
    try {
      return read_descriptor_whole(input_fd);
    } catch (const std::system_error& error) {
      throw Failure{kBatchFailed, "cannot read standard input: " + error.code().message()};
    }
  }
  std::string reason;
  try {
    std::unique_ptr<FileText> file = files.read_whole(name, reason);
    if (!file) throw Failure{kBatchFailed, "cannot open " + quoted_input(name) + ": " + reason};
    return file;
  } catch (const std::system_error& error) {
    throw Failure{kBatchFailed,
                  "cannot read " + quoted_input(name) + ": " + error.code().message()};
  }
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
      : Sink(options.output, !options.data_output, options.force, out, files,
             " (send standard output to it instead of -o)") {}
  // To `name` ("-": `out`), or nowhere with `discard`; `hint` follows the
  // refusal of a pipe or a device.
  Sink(const std::string& name, bool discard, bool force, std::ostream& out, FileSystem& files,
       std::string_view hint)
      : out_(out), discard_(discard), hint_(hint) {
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

  // Puts the file in place, never over one of `written` (this run's other
  // outputs), to which it then adds its own.
  void finish(std::vector<FileIdentity>& written) {
    if (discard_) return;
    if (!file_) {
      errno = 0;
      out_.flush();
      if (!out_) throw standard_output_failed();
      return;
    }
    FileFailure failure;
    if (!file_->commit(failure, written)) throw failed(failure);
    if (file_->identity()) written.push_back(*file_->identity());
  }

 private:
  Failure failed(const FileFailure& failure) const {
    return Failure{kBatchFailed, failure.exists ? failure.message + ": give --force to replace it"
                                 : failure.special ? failure.message + std::string(hint_)
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
  std::string_view hint_;
  std::unique_ptr<AtomicFile> file_;
};

// An output's place: its folder's identity and its own name there, so that
// "s.tsv", "/abs/dir/s.tsv" and "here/s.tsv" (here -> .) run in /abs/dir are
// one place; none where the folder cannot be looked up.
struct OutputPlace {
  FileIdentity folder;
  std::string name;
  friend bool operator==(const OutputPlace&, const OutputPlace&) = default;
};
std::optional<OutputPlace> place_of(const std::string& name, FileSystem& files) {
  const std::size_t slash = name.find_last_of('/');
  const std::string leaf = slash == std::string::npos ? name : name.substr(slash + 1);
  if (leaf.empty() || leaf == "." || leaf == "..") return std::nullopt;
  const std::string folder = slash == std::string::npos ? "."
                             : slash == 0               ? "/"
                                                        : name.substr(0, slash);
  const std::optional<FileIdentity> identity = files.identity_of(folder, true);
  if (!identity) return std::nullopt;
  return OutputPlace{*identity, leaf};
}

// Refuses, before any work, two outputs that are one file: the names differ
// as written (the command line's check took them) but not on the disk.
void check_outputs_apart(const BatchOptions& options, FileSystem& files) {
  const auto place = [&](const std::string& name) {
    return name.empty() || name == "-" ? std::nullopt : place_of(name, files);
  };
  const std::optional<OutputPlace> output =
      options.data_output ? place(options.output) : std::nullopt;
  const std::optional<OutputPlace> plot = place(options.plot.file);
  const std::optional<OutputPlace> sticks = place(options.sticks);
  const auto same = [](const auto& a, const auto& b) { return a && b && *a == *b; };
  if (same(output, plot))
    throw Failure{kBatchUsageError,
                  "--plot and -o name the same file " + quoted(options.plot.file)};
  if (same(sticks, output)) throw Failure{kBatchUsageError, "--sticks and -o name the same file"};
  if (same(sticks, plot)) throw Failure{kBatchUsageError, "--sticks and --plot name the same file"};
}

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
void draw_picture(const PlotRequest& request, PlotDriver& driver, AtomicFile& file,
                  std::span<const FileIdentity> written, bool quiet, std::ostream& err) {
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
  if (!file.write(drawn.picture, failure) || !file.commit(failure, written))
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

// A number for a message, to three digits: "0.25", "1.2e+03".
std::string short_number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3g", value);
  return text;
}

// Says when the grid's largest step exceeds a quarter of the narrowest full
// width at half maximum of the lines (per-line widths included), both on the
// axis: such a grid draws the peaks too coarsely to show their shape or
// height. On an axis other than the broadening unit a width is measured
// where its line stands.
void warn_coarse(const LineTable& table, const ProfileParameters& profile, AxisUnit broadening,
                 AxisUnit axis, std::span<const double> x, std::ostream& err) {
  if (x.size() < 2 || table.frequency.empty()) return;
  double step = 0.0;
  for (std::size_t i = 1; i < x.size(); ++i) step = std::max(step, std::fabs(x[i] - x[i - 1]));
  const LineShapeRow& row = *line_shape_row(profile.shape);
  const bool per_line = !table.width.empty() && row.line_width != nullptr;
  const double common = profile_fwhm(profile);
  double narrowest = std::numeric_limits<double>::infinity();
  for (std::size_t k = 0; k < table.frequency.size(); ++k) {
    double fwhm = common;
    if (per_line) {
      ProfileParameters own = profile;
      own.*row.line_width = table.width[k];
      fwhm = profile_fwhm(own);
    }
    const double p = table.frequency[k];
    if (axis != broadening) {
      if (!(p - fwhm / 2 > 0.0)) continue;  // no wavelength below zero energy
      fwhm = std::fabs(converted(p + fwhm / 2, broadening, axis) -
                       converted(p - fwhm / 2, broadening, axis));
    }
    if (fwhm > 0.0) narrowest = std::min(narrowest, fwhm);
  }
  if (!(step > narrowest / 4)) return;
  const std::string unit = axis == AxisUnit::electronvolt ? "eV" : std::string(axis_row(axis).name);
  err << "broaden-batch: warning: the grid is too coarse for the width: its step, "
      << short_number(step) << " " << unit
      << ", is more than a quarter of the narrowest full width at half maximum, "
      << short_number(narrowest) << " " << unit << " (a step of " << short_number(narrowest / 4)
      << " or less draws the peaks)\n";
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

// The power of two the intensities are divided by while they are broadened:
// 0 where they are all doubles (a line whose peak would overflow is then
// summed in a wider format, line_profiles.h), else (a weight or a conversion
// took them beyond the largest double, intensity_exponent) the least that
// brings the largest below 2^1023.
int broadening_exponent(const std::vector<double>& intensity, int intensity_exponent) {
  if (intensity_exponent == 0) return 0;
  int largest = std::numeric_limits<int>::min();
  for (const double v : intensity)
    if (v != 0.0) largest = std::max(largest, std::ilogb(v));
  return std::max(0, largest + intensity_exponent - 1022);
}

// The spectrum of `input` on the grid `x` of `axis`: the lines' profiles,
// evaluated at each point's energy where the axis is not the broadening unit
// (no Jacobian), for ecd in epsilon times each point's wavenumber; infinite
// only where the true value exceeds the largest double.
std::vector<double> computed(const InputLines& input, const ProfileParameters& profile,
                             AxisUnit axis, const std::vector<double>& x,
                             const BatchOptions& options, const BatchTerminal& terminal,
                             std::ostream& err) {
  std::vector<double> y;
  try {
    y.resize(x.size(), 0.0);
  } catch (const std::bad_alloc&) {
    throw Failure{kBatchFailed, "not enough memory for the intensities of " +
                                    std::to_string(x.size()) + " points (" +
                                    memory_needed(x.size() * sizeof(double)) + ")"};
  }
  const LineTable& table = input.table;
  const int exponent = broadening_exponent(table.intensity, input.intensity_exponent);
  std::vector<double> scaled;
  if (exponent != input.intensity_exponent)
    for (const double v : table.intensity)
      scaled.push_back(std::ldexp(v, input.intensity_exponent - exponent));
  const std::span<const double> intensity =
      scaled.empty() ? std::span<const double>(table.intensity) : scaled;
  ProfileProgress progress;
  std::optional<ProgressReporter> reporter;
  if (terminal.progress && !options.quiet)
    reporter.emplace(progress, x.size(), err, terminal.timing);
  std::vector<double> energy;
  if (axis != input.broadening) {
    // Ascending, as add_profiles takes them.
    energy.resize(x.size());
    for (std::size_t i = 0; i < x.size(); ++i) energy[i] = converted(x[i], axis, input.broadening);
  }
  const bool descending = energy.size() > 1 && energy.front() > energy.back();
  if (descending) std::reverse(energy.begin(), energy.end());
  add_profiles(table.frequency, intensity, table.width, profile, energy.empty() ? x : energy, y,
               options.threads, &progress);
  if (descending) {
    std::reverse(y.begin(), y.end());
    std::reverse(energy.begin(), energy.end());
  }
  const std::vector<double>& at = energy.empty() ? x : energy;
  if (input.times_wavenumber)
    for (std::size_t i = 0; i < y.size(); ++i)
      y[i] *= converted(at[i], input.broadening, AxisUnit::per_centimetre);
  if (exponent != 0)
    for (double& v : y) v = std::ldexp(v, exponent);
  return y;
}

// Says how many points, and lines where the sticks are written or drawn,
// exceed the largest double: written as inf.
void warn_infinite(std::span<const double> y, std::span<const double> sticks, std::ostream& err) {
  for (const auto& [values, what] : {std::pair{y, "points"}, {sticks, "lines"}}) {
    const auto infinite =
        std::count_if(values.begin(), values.end(), [](double v) { return std::isinf(v); });
    if (infinite != 0)
      err << "broaden-batch: warning: " << infinite << " of " << values.size() << " " << what
          << (infinite == 1 ? " exceeds" : " exceed")
          << " the largest double (1.7976931348623157e308): written as inf\n";
  }
}

int run_checked(const BatchOptions& options, int input_fd, std::ostream& out, std::ostream& err,
                FileSystem& files, const BatchTerminal& terminal, PlotDriver& driver) {
  // The grid and the output are settled first: a refused grid or an
  // existing file end the run before any work.
  // (Without --from and --to an output's grid spans its lines: it is made
  // once they are read.)
  check_outputs_apart(options, files);
  GridResult grid = options.classic ? GridResult() : grid_of(options);
  std::vector<FileIdentity> written;
  Sink sink(options, out, files);
  const std::unique_ptr<AtomicFile> picture = picture_file(options, files);
  std::optional<Sink> sticks;
  if (!options.sticks.empty())
    sticks.emplace(options.sticks, false, options.force, out, files,
                   " (give --sticks - and send standard output to it)");
  std::string inputs_header;
  std::vector<InputLines> reads;
  for (const std::string& name : options.inputs) {
    // Each file is held only while it is read: memory does not grow with it.
    std::unique_ptr<FileText> text = read_input(name, input_fd, files);
    reads.push_back(read_input_lines(text->text(), name, options, err));
    if (!text->unchanged())
      throw Failure{kBatchFailed,
                    "cannot read " + quoted_input(name) + ": the file changed while it was read"};
  }
  const InputLines input = summed_inputs(std::move(reads), options, inputs_header, err);
  const LineTable& table = input.table;
  const bool from_output = input.kind.has_value();
  const AxisUnit broadening = input.broadening;
  const AxisUnit axis = axis_of(input, options);
  // The widths in the unit the lines are broadened in.
  ProfileParameters profile = options.profile;
  if (options.width_unit && *options.width_unit != broadening) {
    const double factor = converted(1.0, *options.width_unit, broadening);
    profile.sigma *= factor;
    profile.gamma *= factor;
    profile.fwhm *= factor;
  }
  std::string grid_parameters = options.grid_parameters;
  // So does a line list's away from wavenumbers, where the classic range
  // (0.1 to 2000) means nothing.
  const bool spanning_grid =
      from_output || broadening != AxisUnit::per_centimetre || axis != AxisUnit::per_centimetre;
  if (spanning_grid && !options.range_given && !options.classic && !table.frequency.empty()) {
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
  const Sticks lines_drawn = sticks_of(input, options, axis);
  const std::vector<double>& on_axis = lines_drawn.position;
  const std::vector<double>& drawn = lines_drawn.intensity;
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
    sink.finish(written);
    return kBatchDone;
  }

  const std::vector<double> y = computed(input, profile, axis, x, options, terminal, err);
  if (!options.quiet) {
    warn_outside(on_axis, x, grid.decimals ? &*grid.decimals : nullptr, err);
    warn_coarse(table, profile, broadening, axis, x, err);
    const bool sticks_shown = sticks || (picture && options.plot.sticks.value_or(from_output));
    warn_infinite(y, sticks_shown ? std::span<const double>(drawn) : std::span<const double>(),
                  err);
  }

  std::string parameters =
      options.shape_parameters + " " + grid_parameters + " " + options.other_parameters;
  parameters += inputs_header;
  if (from_output) parameters += " " + input.spectrum_parameters;
  if (from_output || options.axis || options.line_unit != AxisUnit::per_centimetre)
    parameters += " axis=" + std::string(axis_row(axis).name);
  // --format's kinds count the formats' rows in order.
  const SpectrumFormat& format = spectrum_formats()[static_cast<std::size_t>(options.format)];
  sink.write(format.head(parameters));
  write_points(sink, format, x, y, options.digits, grid.decimals ? &*grid.decimals : nullptr,
               options.threads != 0 ? options.threads : usable_processors());
  sink.write(format.tail(parameters));
  sink.finish(written);
  if (sticks) {
    // The lines as drawn: position on the axis, intensity after every conversion.
    std::string sticks_header = parameters;
    if (from_output && input.sticks_parameters != input.spectrum_parameters)
      sticks_header.replace(sticks_header.rfind(input.spectrum_parameters),
                            input.spectrum_parameters.size(), input.sticks_parameters);
    std::string text = "# " + sticks_header + " sticks\n";
    char number[kShortestRoom];
    for (std::size_t k = 0; k < on_axis.size(); ++k) {
      text.append(number, double_to_shortest(on_axis[k], 0, number));
      text += '\t';
      text.append(number, double_to_shortest(drawn[k], 0, number));
      text += '\n';
    }
    sticks->write(text);
    sticks->finish(written);
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
    draw_picture(request, driver, *picture, written, options.quiet, err);
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
