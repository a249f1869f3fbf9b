#include "batch/batch.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <optional>
#include <sstream>
#include <system_error>
#include <thread>

#include "batch/compare.h"
#include "batch/energy_table.h"
#include "batch/fit_lines.h"
#include "batch/gnuplot.h"
#include "batch/grid.h"
#include "batch/input_lines.h"
#include "batch/measured.h"
#include "batch/messages.h"
#include "batch/options.h"
#include "batch/output_formats.h"
#include "batch/plot.h"
#include "batch/run_files.h"
#include "batch/run_plan.h"
#include "batch/spectrum_kinds.h"
#include "io/atomic_file.h"
#include "line_shapes/line_profiles.h"
#include "numbers/double_to_shortest.h"
#include "records/classic_spectrum.h"
#include "records/columns_reader.h"
#include "records/line_list_formats.h"
#include "synthesis/engine.h"
#include "synthesis/processors.h"
#include "text/quoted.h"

namespace broaden {
namespace {

using Failure = BatchFailure;

// The notes and warnings of a run, written to standard error as the run
// reaches each stage (and before its failure, if it fails).
struct MessageLog {
  std::vector<Message> messages;
  std::size_t written = 0;
  void flush(bool quiet, std::ostream& err) {
    write_messages(std::span(messages).subspan(written), quiet, err);
    written = messages.size();
  }
};

// The grid the options ask for, or the failure of its refusal.
GridResult grid_of(const BatchOptions& options) {
  GridResult grid = grid_for(options);  // not const: returned without a copy
  if (!grid.error.empty())
    throw Failure{grid.out_of_memory ? kBatchFailed : kBatchUsageError, grid.error};
  return grid;
}

// The overlay's points (read_measured: two columns, or a JCAMP-DX curve with
// its abscissae put on the picture's `axis`) and the label of its axis
// (--overlay-label, or the quantity its file names).
LineTable read_overlay(const BatchOptions& options, FileSystem& files,
                       std::vector<Message>& messages, std::string& label, AxisUnit axis) {
  const std::string& name = options.plot.overlay;
  const std::unique_ptr<FileText> text = read_input(name, -1, files);
  Measured measured =
      read_measured(text->text(), name, options.plot.overlay_columns, axis, messages);
  label = !options.plot.overlay_label.empty() ? options.plot.overlay_label : measured.label;
  LineTable table;
  table.frequency = std::move(measured.x);
  table.intensity = std::move(measured.y);
  return table;
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
// package gnuplot comes in, and gnuplot's own first word on it (a note when
// it drew).
void draw_picture(const PlotRequest& request, PlotDriver& driver, AtomicFile& file,
                  std::span<const FileIdentity> written, std::vector<Message>& messages) {
  constexpr const char* kPackage = "Debian package gnuplot-nox";
  const DrawResult drawn = driver.draw(plot_script(request));
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
  if (!said.empty()) messages.push_back(DrawingNote{said});
  FileFailure failure;
  if (!file.write(drawn.picture, failure) || !file.commit(failure, written))
    throw file_failure(failure);
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

// How many of `frequency` lie outside [first, last], leaving out those
// whose `intensity` (where given) is zero: they draw nothing.
std::size_t count_outside(std::span<const double> frequency, std::span<const double> intensity,
                          double first, double last) noexcept {
  std::size_t outside = 0;
  for (std::size_t k = 0; k < frequency.size(); ++k)
    if (!(frequency[k] >= first && frequency[k] <= last) &&
        (intensity.empty() || intensity[k] != 0.0))
      ++outside;
  return outside;
}

// The grid's largest step, when it exceeds a quarter of the narrowest full
// width at half maximum of the lines (per-line widths included), both on the
// axis: such a grid draws the peaks too coarsely to show their shape or
// height. On an axis other than the broadening unit a width is measured
// where its line stands.
std::optional<Message> coarse_grid(const RunPlan& plan) {
  const LineTable& table = plan.read.lines.table;
  const std::vector<double>& x = plan.grid.x;
  const AxisUnit broadening = plan.read.lines.broadening, axis = plan.read.axis;
  if (x.size() < 2 || table.frequency.empty()) return std::nullopt;
  double step = 0.0;
  for (std::size_t i = 1; i < x.size(); ++i) step = std::max(step, std::fabs(x[i] - x[i - 1]));
  const LineShapeRow& row = *line_shape_row(plan.profile.shape);
  const bool per_line = !table.width.empty() && row.line_width != nullptr;
  double narrowest = std::numeric_limits<double>::infinity();
  for (std::size_t k = 0; k < table.frequency.size(); ++k) {
    ProfileParameters own = plan.profile;
    if (per_line) own.*row.line_width = table.width[k];
    double fwhm = profile_fwhm(own);
    const double p = table.frequency[k];
    if (axis != broadening) {
      if (!(p - fwhm / 2 > 0.0)) continue;  // no wavelength below zero energy
      fwhm = std::fabs(converted(p + fwhm / 2, broadening, axis) -
                       converted(p - fwhm / 2, broadening, axis));
    }
    if (fwhm > 0.0) narrowest = std::min(narrowest, fwhm);
  }
  if (!(step > narrowest / 4)) return std::nullopt;
  return CoarseGrid{step, narrowest, axis};
}

// The lines outside the grid's ends (but those of `intensity` zero), which
// are told as its points are written (`decimals`, if any).
std::optional<Message> lines_outside(std::span<const double> position,
                                     std::span<const double> intensity, std::span<const double> x,
                                     const DecimalAbscissae* decimals) {
  const std::size_t outside = count_outside(position, intensity, x.front(), x.back());
  if (outside == 0) return std::nullopt;
  char first[kShortestRoom + 1], last[kShortestRoom + 1];
  if (decimals != nullptr) {
    const auto end = static_cast<std::int64_t>(x.size() - 1);
    *decimal_to_text(decimals->first, decimals->exponent10, first) = '\0';
    *decimal_to_text(decimals->first + end * decimals->step, decimals->exponent10, last) = '\0';
  } else {
    *double_to_shortest(x.front(), 0, first) = '\0';
    *double_to_shortest(x.back(), 0, last) = '\0';
  }
  return LinesOutside{outside, position.size(), first, last};
}

// How many of `values` are infinite: beyond the largest double.
std::optional<Message> beyond_doubles(std::span<const double> values, bool lines) {
  const auto count = static_cast<std::size_t>(
      std::count_if(values.begin(), values.end(), [](double v) { return std::isinf(v); }));
  if (count == 0) return std::nullopt;
  return BeyondDoubles{count, values.size(), lines};
}

// A grid the run made of more points than a picture or a reader needs: on
// nm, most likely vibrations, whose wavelengths are told in micrometres (the
// count is the same on either: the step follows the narrowest band).
std::optional<Message> large_grid(const RunPlan& plan) {
  constexpr std::size_t kLargeGrid = 100'000;
  if (!plan.grid_made || plan.grid.x.size() <= kLargeGrid) return std::nullopt;
  return LargeGrid{plan.grid.x.size(), plan.read.axis == AxisUnit::nanometre};
}

// The overlay's points (shifted) outside the grid's ends, told as the
// lines outside it are.
std::optional<Message> overlay_outside(const LineTable& overlay, double shift,
                                       const RunPlan& plan) {
  const std::vector<double>& x = plan.grid.x;
  if (overlay.frequency.empty()) return std::nullopt;
  std::vector<double> shifted = overlay.frequency;
  for (double& p : shifted) p += shift;
  std::optional<Message> outside =
      lines_outside(shifted, {}, x, plan.grid.decimals ? &*plan.grid.decimals : nullptr);
  if (!outside) return std::nullopt;
  const auto& m = std::get<LinesOutside>(*outside);
  return OverlayOutside{m.outside, m.lines, m.first, m.last};
}

// What the spectrum computed has to say: a large grid made by the run, lines
// outside the grid, a grid too coarse for the widths, values beyond the
// doubles (and lines, where the sticks are written or drawn); where a
// picture is drawn, a spectrum zero everywhere and an overlay beyond the
// grid.
void spectrum_messages(const RunPlan& plan, std::span<const double> y, bool sticks_shown,
                       const LineTable* overlay, double overlay_shift, bool picture,
                       std::vector<Message>& messages) {
  const std::vector<double>& x = plan.grid.x;
  const DecimalAbscissae* decimals = plan.grid.decimals ? &*plan.grid.decimals : nullptr;
  for (std::optional<Message> message :
       {large_grid(plan),
        lines_outside(plan.read.sticks.position, plan.read.sticks.intensity, x, decimals),
        coarse_grid(plan), beyond_doubles(y, false),
        sticks_shown ? beyond_doubles(plan.read.sticks.intensity, true) : std::nullopt,
        picture && zero_everywhere(y) ? std::optional<Message>(BlankPicture{}) : std::nullopt,
        picture && overlay != nullptr ? overlay_outside(*overlay, overlay_shift, plan)
                                      : std::nullopt}) {
    if (message) messages.push_back(std::move(*message));
  }
}

// The lines whose intensities lie beyond the doubles (intensity_exponent),
// apart, at one power of two, `exponent`: the least that brings the largest
// below 2^1023. Their table is empty where there are none.
LineTable lines_beyond_doubles(const InputLines& input, int& exponent) {
  const LineTable& table = input.table;
  const std::vector<int>& exponents = input.intensity_exponent;
  LineTable beyond;
  exponent = std::numeric_limits<int>::min();
  for (std::size_t k = 0; k < exponents.size(); ++k)
    if (exponents[k] != 0)
      exponent = std::max(exponent, exponents[k] + std::ilogb(table.intensity[k]));
  exponent -= 1022;
  for (std::size_t k = 0; k < exponents.size(); ++k) {
    if (exponents[k] == 0) continue;
    beyond.frequency.push_back(table.frequency[k]);
    beyond.intensity.push_back(std::ldexp(table.intensity[k], exponents[k] - exponent));
    if (!table.width.empty()) beyond.width.push_back(table.width[k]);
  }
  return beyond;
}

// The lines whose intensities are doubles (all of them, as a rule).
LineTable lines_within_doubles(const InputLines& input) {
  if (input.intensity_exponent.empty()) return input.table;
  LineTable within;
  for (std::size_t k = 0; k < input.table.frequency.size(); ++k) {
    if (input.intensity_exponent[k] != 0) continue;
    within.frequency.push_back(input.table.frequency[k]);
    within.intensity.push_back(input.table.intensity[k]);
    if (!input.table.width.empty()) within.width.push_back(input.table.width[k]);
  }
  return within;
}

// `values` (at least one point) as a vector, or the failure of its memory.
std::vector<double> zeros(std::size_t points) {
  try {
    return std::vector<double>(points, 0.0);
  } catch (const std::bad_alloc&) {
    throw Failure{kBatchFailed, "not enough memory for the intensities of " +
                                    std::to_string(points) + " points (" +
                                    memory_needed(points * sizeof(double)) + ")"};
  }
}

// The energy of each point of `x` on `axis`, ascending (reversed where the
// axis runs the other way, `reversed` then set), or nothing where the axis
// is the broadening unit.
std::vector<double> energies_of(const std::vector<double>& x, AxisUnit axis, AxisUnit broadening,
                                bool& reversed) {
  std::vector<double> energy;
  reversed = false;
  if (axis == broadening) return energy;
  energy.resize(x.size());
  for (std::size_t i = 0; i < x.size(); ++i) energy[i] = converted(x[i], axis, broadening);
  reversed = energy.size() > 1 && energy.front() > energy.back();
  if (reversed) std::reverse(energy.begin(), energy.end());
  return energy;
}

// Adds the profiles of `lines` at `at` (ascending) to y.
void add_lines(const LineTable& lines, const RunPlan& plan, std::span<const double> at,
               std::span<double> y, unsigned threads, ProfileProgress* progress) {
  add_profiles(lines.frequency, lines.intensity, lines.width, plan.profile, at, y, threads,
               progress);
}

// The spectrum of the plan on its grid: the lines' profiles, evaluated at
// each point's energy where the axis is not the broadening unit (no
// Jacobian), for ecd and vcd in epsilon times each point's wavenumber; infinite only
// where the true value exceeds the largest double (lines beyond the doubles
// are summed apart, at their power of two, and added).
std::vector<double> computed(const RunPlan& plan, const BatchOptions& options,
                             const BatchTerminal& terminal, std::ostream& err) {
  const InputLines& input = plan.read.lines;
  const std::vector<double>& x = plan.grid.x;
  std::vector<double> y = zeros(x.size());
  ProfileProgress progress;
  std::optional<ProgressReporter> reporter;
  if (terminal.progress && !options.quiet)
    reporter.emplace(progress, x.size(), err, terminal.timing);
  bool reversed = false;
  std::vector<double> energy = energies_of(x, plan.read.axis, input.broadening, reversed);
  const std::vector<double>& at = energy.empty() ? x : energy;
  if (input.intensity_exponent.empty()) {
    add_lines(input.table, plan, at, y, options.threads, &progress);
  } else {
    add_lines(lines_within_doubles(input), plan, at, y, options.threads, &progress);
    int exponent = 0;
    std::vector<double> beyond = zeros(x.size());
    add_lines(lines_beyond_doubles(input, exponent), plan, at, beyond, options.threads, nullptr);
    for (std::size_t i = 0; i < y.size(); ++i) y[i] += std::ldexp(beyond[i], exponent);
  }
  if (reversed) {
    std::reverse(y.begin(), y.end());
    std::reverse(energy.begin(), energy.end());
  }
  if (input.times_wavenumber)
    for (std::size_t i = 0; i < y.size(); ++i)
      y[i] *= converted(at[i], input.broadening, AxisUnit::per_centimetre);
  return y;
}

// The lines of every input, each held only while it is read (memory does
// not grow with the files), summed and put on their axis.
LinesPlan read_inputs(const BatchOptions& options, int input_fd, FileSystem& files,
                      std::vector<Message>& messages) {
  // The table of energies first: a table that does not fit ends the run before the inputs are read.
  std::optional<InputEnergies> energies;
  if (!options.energies.empty()) {
    const std::unique_ptr<FileText> table = read_input(options.energies, input_fd, files);
    energies = input_energies(table->text(), options.energies, options.inputs);
    if (!table->unchanged()) throw changed_while_read(options.energies);
  }
  std::vector<InputLines> reads;
  for (const std::string& name : options.inputs) {
    std::unique_ptr<FileText> text = read_input(name, input_fd, files);
    reads.push_back(read_input_lines(text->text(), name, options, messages));
    if (!text->unchanged())
      throw Failure{kBatchFailed,
                    "cannot read " + quoted_input(name) + ": the file changed while it was read"};
  }
  return plan_lines(std::move(reads), options, messages, energies ? &*energies : nullptr);
}

// The spectrum file broaden writes, record for record.
void write_classic(const LinesPlan& read, const BatchOptions& options, Sink& sink,
                   std::vector<FileIdentity>& written, MessageLog& log, std::ostream& err) {
  const auto classic_grid = std::make_unique<std::array<double, kGridSize>>();
  build_grid(*classic_grid);
  if (std::optional<Message> outside =
          lines_outside(read.lines.table.frequency, {}, *classic_grid, nullptr))
    log.messages.push_back(std::move(*outside));
  log.flush(options.quiet, err);
  std::ostringstream records;
  write_classic_spectrum(records, read.lines.table.frequency, read.lines.table.intensity,
                         options.profile.sigma, options.threads);
  sink.write(records.view());
  sink.finish(written);
}

// The spectrum in its format: the header's fields, the points, the tail.
void write_spectrum(const RunPlan& plan, std::span<const double> y, const BatchOptions& options,
                    Sink& sink, std::vector<FileIdentity>& written) {
  // --format's kinds count the formats' rows in order.
  const SpectrumFormat& format = spectrum_formats()[static_cast<std::size_t>(options.format)];
  const SpectrumHeader header{plan.header, plan.read.axis, plan.grid.x.size(), plan.grid.x,
                              y,           options.digits};
  sink.write(format.head(header));
  write_points(sink, format, plan.grid.x, y, options.digits,
               plan.grid.decimals ? &*plan.grid.decimals : nullptr,
               options.threads != 0 ? options.threads : usable_processors());
  sink.write(format.tail(header));
  sink.finish(written);
}

// The lines as drawn: position on the axis, intensity after every conversion.
void write_sticks(const RunPlan& plan, Sink& sink, std::vector<FileIdentity>& written) {
  const Sticks& sticks = plan.read.sticks;
  std::string text = "# " + plan.sticks_header.text() + " sticks\n";
  char number[kShortestRoom];
  for (std::size_t k = 0; k < sticks.position.size(); ++k) {
    text.append(number, double_to_shortest(sticks.position[k], 0, number));
    text += '\t';
    text.append(number, double_to_shortest(sticks.intensity[k], 0, number));
    text += '\n';
  }
  sink.write(text);
  sink.finish(written);
}

// A comparison with a measured spectrum (--compare): the measurement, its
// points on the grid, the ranges fitted and the fit, the scores at the end.
struct Comparison {
  Measured measured;
  MeasuredOnGrid on_grid;
  std::vector<FitRange> ranges;
  std::optional<FitResult> fit;
  Scores scores;
  bool signed_spectrum = false;
};

// The least and greatest finite abscissae of the plan's grid in the lines'
// broadening unit (where add_profiles takes them).
AxisRange broadening_span(const RunPlan& plan) {
  bool reversed = false;
  const std::vector<double> energy =
      energies_of(plan.grid.x, plan.read.axis, plan.read.lines.broadening, reversed);
  AxisRange span{std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity()};
  for (double v : energy.empty() ? plan.grid.x : energy)
    if (std::isfinite(v)) span = {std::min(span.a, v), std::max(span.b, v)};
  return span;
}

// `plan` at the values `v` of `ranges`' parameters, from `base`: the lines
// moved and the common width replaced (fit_lines.h); the grid kept.
void move_to(RunPlan& plan, const RunPlan& base, const BatchOptions& options,
             std::span<const FitRange> ranges, const FitValues& v) {
  moved_positions(base.read.lines.table.frequency, plan.read.lines.table.frequency, ranges, v,
                  options);
  if (std::optional<ProfileParameters> profile =
          profile_at(ranges, v, options, plan.read.lines.broadening))
    plan.profile = *profile;
}

// The plan at the fitted values, its sticks moved as the lines are and its
// headers told the values (fitted-scale=0.9612).
void take_fitted(RunPlan& plan, const BatchOptions& options, const Comparison& c) {
  const RunPlan base = plan;
  move_to(plan, base, options, c.ranges, c.fit->values);
  BatchOptions moved = options;
  for (const FitRange& r : c.ranges) {
    const double value = c.fit->values[r.parameter];
    if (r.parameter == FitParameter::scale) moved.scale = value;
    if (r.parameter == FitParameter::shift) moved.shift = value;
    const std::string key =
        std::string("fitted-") + (r.parameter == FitParameter::scale   ? "scale"
                                  : r.parameter == FitParameter::shift ? "shift"
                                                                       : "fwhm");
    plan.header.add(key, shortest(value));
    plan.sticks_header.add(key, shortest(value));
  }
  plan.read.sticks = sticks_of(plan.read.lines, moved, plan.read.axis);
}

// Reads the measurement, takes it on the grid and fits (the plan then at the
// fitted values). Throws BatchFailure: the reading, fewer than 3 points, a
// parameter the spectrum does not take.
Comparison prepare_comparison(RunPlan& plan, const BatchOptions& options, FileSystem& files,
                              std::vector<Message>& messages, std::ostream& err) {
  Comparison c;
  const std::unique_ptr<FileText> text = read_input(options.compare.file, -1, files);
  c.measured = read_measured(text->text(), options.compare.file, options.compare.columns,
                             plan.read.axis, messages);
  MeasuredOnGridResult taken =
      measured_on_grid(plan.grid.x, c.measured.x, c.measured.y, options.compare.range);
  if (!taken.error.empty())
    throw Failure{kBatchFailed, escaped(options.compare.file) + ": " + taken.error};
  c.on_grid = std::move(taken.on_grid);
  c.signed_spectrum = signed_spectrum(plan.read.lines.kind, plan.read.lines.table.intensity);
  c.ranges = fit_ranges(plan.read.lines.kind, plan.read.lines.broadening, options);
  scan_within_width(c.ranges, plan.read.lines.table.frequency, options, plan.read.lines.broadening);
  if (c.ranges.empty()) return c;
  // Each evaluation computes the part of the grid from the first compared
  // point to the last, which gives those points the whole grid's bits, or
  // the whole grid where a line lies too far from it for that.
  const std::size_t first = c.on_grid.index.front(), end = c.on_grid.index.back() + 1;
  RunPlan work = plan;
  work.grid.x.assign(plan.grid.x.begin() + static_cast<std::ptrdiff_t>(first),
                     plan.grid.x.begin() + static_cast<std::ptrdiff_t>(end));
  MeasuredOnGrid on_part = c.on_grid;
  for (std::size_t& i : on_part.index) i -= first;
  const AxisRange span = broadening_span(plan);
  const SpectrumAt at = [&](const FitValues& v) {
    move_to(work, plan, options, c.ranges, v);
    if (same_on_any_part(work.read.lines.table.frequency, span.a, span.b))
      return computed(work, options, BatchTerminal{}, err);
    RunPlan whole = work;
    whole.grid = plan.grid;
    const std::vector<double> y = computed(whole, options, BatchTerminal{}, err);
    return std::vector<double>(y.begin() + static_cast<std::ptrdiff_t>(first),
                               y.begin() + static_cast<std::ptrdiff_t>(end));
  };
  c.fit = fit(on_part, at,
              FitRequest{c.ranges, fit_start(options), options.compare.score, c.signed_spectrum});
  take_fitted(plan, options, c);
  return c;
}

// The scores of `y`, told on standard error (Compared).
void score_comparison(Comparison& c, const RunPlan& plan, std::span<const double> y,
                      const BatchOptions& options, std::vector<Message>& messages) {
  c.scores = scores_of(taken_at(y, c.on_grid.index), c.on_grid.value, c.signed_spectrum);
  Compared told;
  told.experiment = options.compare.file;
  told.first = c.on_grid.first;
  told.last = c.on_grid.last;
  told.points = c.on_grid.points();
  told.axis = plan.read.axis;
  told.score = options.compare.score;
  const bool cos = options.compare.score == Score::cosine;
  told.after = cos ? c.scores.cosine : c.scores.pearson;
  if (c.fit) {
    told.fit = true;
    told.before = cos ? c.fit->before.cosine : c.fit->before.pearson;
    for (const FitRange& r : c.ranges)
      told.fitted.push_back({r.parameter, c.fit->values[r.parameter],
                             fit_unit(r.parameter, plan.read.lines.broadening, options)});
  }
  told.enantiomer = c.scores.enantiomer;
  messages.push_back(std::move(told));
}

// The report of the comparison as JSON (report_json).
void write_report(const Comparison& c, const BatchOptions& options, Sink& report,
                  std::vector<FileIdentity>& written) {
  CompareReport json{options.compare.file,
                     c.on_grid.first,
                     c.on_grid.last,
                     c.on_grid.points(),
                     c.scores,
                     c.fit,
                     {},
                     c.signed_spectrum};
  for (const FitRange& r : c.ranges) json.fitted.push_back(r.parameter);
  report.write(report_json(json));
  report.finish(written);
}

// The measurement drawn over the computed spectrum, by the size of the
// least-squares factor that takes it onto it over the compared points, its
// sign kept (a mirror image is drawn as one, not flipped onto the computed
// curve), its score in the key.
PlotOverlay compared_overlay(const Comparison& c, std::span<const double> y,
                             const BatchOptions& options) {
  double my = 0.0, mm = 0.0;
  for (std::size_t k = 0; k < c.on_grid.points(); ++k) {
    my += c.on_grid.value[k] * y[c.on_grid.index[k]];
    mm += c.on_grid.value[k] * c.on_grid.value[k];
  }
  const bool cos = options.compare.score == Score::cosine;
  const std::optional<double> score = cos ? c.scores.cosine : c.scores.pearson;
  char number[32] = "none";
  if (score) std::snprintf(number, sizeof number, "%.2f", *score);
  return PlotOverlay{
      .curve = {c.measured.x, c.measured.y},
      .name = options.compare.file + " (" + (cos ? "cosine " : "pearson ") + number + ")",
      .label = c.measured.label,
      .own_axis = false,
      .factor = mm > 0.0 && std::isfinite(my / mm) ? std::abs(my / mm) : 1.0};
}

// The picture of the spectrum, its sticks and the overlay (or the compared
// measurement), drawn once the data are whole: a picture that fails loses
// nothing.
void draw(const RunPlan& plan, std::span<const double> y, const LineTable& overlay,
          const std::string& overlay_label, const Comparison* compared, const BatchOptions& options,
          PlotDriver& driver, AtomicFile& file, std::span<const FileIdentity> written,
          std::vector<Message>& messages) {
  PlotRequest request{.format = options.plot.format,
                      .width = options.plot.width,
                      .height = options.plot.height,
                      .title = options.plot.title,
                      .axes = plan.axes,
                      .spectrum = {plan.grid.x, y},
                      .sticks = plan.sticks_drawn,
                      .lines = {plan.read.sticks.position, plan.read.sticks.intensity},
                      .sticks_label = std::string(plan.sticks_label)};
  PlotOverlay drawn_overlay{.curve = {overlay.frequency, overlay.intensity},
                            .name = options.plot.overlay,
                            .label = overlay_label,
                            .shift = options.plot.overlay_shift,
                            .own_axis = options.plot.overlay_scale == OverlayScale::axis};
  if (!options.plot.overlay.empty()) request.overlay = &drawn_overlay;
  const PlotOverlay measured =
      compared != nullptr ? compared_overlay(*compared, y, options) : PlotOverlay{};
  if (compared != nullptr && options.plot.overlay.empty()) request.overlay = &measured;
  draw_picture(request, driver, file, written, messages);
}

// The outputs a run makes, prepared before any work: an existing file, or
// two names for one, end it at once.
struct RunOutputs {
  Sink data;
  std::unique_ptr<AtomicFile> picture;
  std::optional<Sink> sticks;
  std::optional<Sink> report;
  std::vector<FileIdentity> written;
};

// The outputs, prepared before any work: an existing file ends the run at once.
RunOutputs prepared_outputs(const BatchOptions& options, std::ostream& out, FileSystem& files) {
  RunOutputs outputs{
      Sink(options, out, files), picture_file(options, files), std::nullopt, std::nullopt, {}};
  if (!options.sticks.empty())
    outputs.sticks.emplace(options.sticks, false, options.force, out, files,
                           " (give --sticks - and send standard output to it)");
  if (!options.compare.report.empty())
    outputs.report.emplace(options.compare.report, false, options.force, out, files,
                           " (give --report - and send standard output to it)");
  return outputs;
}

int run_checked(const BatchOptions& options, int input_fd, std::ostream& out, std::ostream& err,
                FileSystem& files, const BatchTerminal& terminal, PlotDriver& driver,
                MessageLog& log) {
  check_outputs_apart(options, files);
  // A refused grid ends the run before any work too. (Without --from and
  // --to an output's grid spans its lines: it is made once they are read.)
  GridResult preset = options.classic ? GridResult() : grid_of(options);
  RunOutputs outputs = prepared_outputs(options, out, files);
  LinesPlan read = read_inputs(options, input_fd, files, log.messages);
  if (options.classic) {
    write_classic(read, options, outputs.data, outputs.written, log, err);
    return kBatchDone;
  }
  RunPlan plan = plan_run(std::move(read), options, std::move(preset));
  std::string overlay_label;
  const bool overlaid = !options.plot.overlay.empty();
  const LineTable overlay =
      overlaid ? read_overlay(options, files, log.messages, overlay_label, plan.read.axis)
               : LineTable();
  std::optional<Comparison> compared;
  if (!options.compare.file.empty())
    compared = prepare_comparison(plan, options, files, log.messages, err);
  log.flush(options.quiet, err);
  const std::vector<double> y = computed(plan, options, terminal, err);
  spectrum_messages(plan, y, outputs.sticks || (outputs.picture && plan.sticks_drawn),
                    overlaid ? &overlay : nullptr, options.plot.overlay_shift,
                    outputs.picture != nullptr, log.messages);
  if (compared) score_comparison(*compared, plan, y, options, log.messages);
  log.flush(options.quiet, err);
  write_spectrum(plan, y, options, outputs.data, outputs.written);
  if (outputs.sticks) write_sticks(plan, *outputs.sticks, outputs.written);
  if (outputs.report) write_report(*compared, options, *outputs.report, outputs.written);
  if (outputs.picture)
    draw(plan, y, overlay, overlay_label, compared ? &*compared : nullptr, options, driver,
         *outputs.picture, outputs.written, log.messages);
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
  MessageLog log;
  try {
    GnuplotDriver gnuplot;
    status = run_checked(with_listed_inputs(command.options, input_fd, files), input_fd, out, err,
                         files, terminal, driver != nullptr ? *driver : gnuplot, log);
    log.flush(command.options.quiet, err);
    return status;
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
  log.flush(command.options.quiet, err);
  err << "broaden-batch: " << message << "\n";
  if (status == kBatchUsageError) err << "Try 'broaden-batch --help' for the options.\n";
  err.flush();
  return status;
}

}  // namespace broaden
