#include "batch/batch.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <sstream>
#include <streambuf>
#include <system_error>
#include <thread>

#include "batch/grid.h"
#include "batch/output_format.h"
#include "io/atomic_file.h"
#include "records/line_list.h"
#include "records/spectrum_writer.h"
#include "synthesis/engine.h"
#include "synthesis/line_profiles.h"

namespace broaden {
namespace {

// Thrown inside the run to end it with a message and a status.
struct Failure {
  int status;
  std::string message;
};

// The line list as messages name it: before a line number, and alone.
std::string shown_name(const std::string& name) { return name == "-" ? "standard input" : name; }
std::string quoted_name(const std::string& name) {
  return name == "-" ? "standard input" : "'" + name + "'";
}

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

// The whole line list: a file through the file-system seam, or standard
// input from its descriptor (so that a failed read is told from its end).
std::string read_input(const std::string& name, int input_fd, FileSystem& files) {
  std::string text;
  if (name == "-") {
    struct stat info {};
    int error = ::fstat(input_fd, &info) != 0 ? errno : S_ISDIR(info.st_mode) ? EISDIR : 0;
    if (error == 0) error = read_all(input_fd, text);
    if (error != 0)
      throw Failure{kBatchFailed,
                    "cannot read standard input: " + std::string(std::strerror(error))};
    return text;
  }
  std::string reason;
  const std::unique_ptr<std::istream> file = files.open_existing(name, reason);
  if (!file) throw Failure{kBatchFailed, "cannot open " + quoted_name(name) + ": " + reason};
  try {
    char buffer[1 << 16];
    for (std::streamsize got; (got = file->rdbuf()->sgetn(buffer, sizeof buffer)) > 0;)
      text.append(buffer, static_cast<std::size_t>(got));
  } catch (const std::system_error& error) {
    throw Failure{kBatchFailed, "cannot read " + quoted_name(name) + ": " + error.code().message()};
  }
  return text;
}

const char* field_error_text(FieldError error) {
  switch (error) {
    case FieldError::invalid_character:
      return "a character that is no digit, blank, sign, point or E or D exponent";
    case FieldError::second_point:
      return "a second decimal point";
    case FieldError::no_mantissa_digits:
      return "no digit before the exponent";
    case FieldError::no_exponent_digits:
      return "an exponent without digits";
    case FieldError::none:
      break;
  }
  return "";
}

// A read-only stream buffer over text held in memory.
class ViewBuffer final : public std::streambuf {
 public:
  explicit ViewBuffer(std::string_view text) {
    char* begin = const_cast<char*>(text.data());  // only ever read
    setg(begin, begin, begin + text.size());
  }
};

// The fixed records, every one of them, read by the classic reader itself
// (its line ends, its fields). Infinite values are kept for the classic
// preset, which writes what broaden writes for them, and refused otherwise.
LineListResult read_fixed(std::string_view text, double scale, bool keep_infinities) {
  LineListResult result;
  ViewBuffer buffer(text);
  std::istream in(&buffer);
  for (std::size_t line = 1;; ++line) {
    const PeakRecord read = read_peak(in);
    if (read.status == RecordStatus::end_of_file) break;
    if (read.status != RecordStatus::ok) {
      result.error = std::to_string(line) + ":" + std::to_string(read.column) + ": expected the " +
                     (read.field == 1 ? "frequency" : "intensity") +
                     " as a number in a 10-character field, found " + field_error_text(read.error);
      return result;
    }
    const double frequency = read.peak.frequency * scale;
    if (!keep_infinities && (!std::isfinite(frequency) || !std::isfinite(read.peak.intensity))) {
      result.error = std::to_string(line) +
                     ":1: expected a frequency and an intensity within the " + "range of doubles";
      return result;
    }
    result.table.frequency.push_back(frequency);
    result.table.intensity.push_back(read.peak.intensity);
  }
  return result;
}

// The grid the options ask for.
GridResult grid_of(const BatchOptions& options) {
  GridResult grid =  // not const: returned without a copy
      options.grid == GridKind::points
          ? grid_by_points(scan_to_double(options.from), scan_to_double(options.to), options.points)
          : grid_by_step(options.from, options.to, options.step);
  if (!grid.error.empty()) throw Failure{kBatchUsageError, grid.error};
  return grid;
}

// Where the text goes: standard output or the file made whole.
class Sink {
 public:
  Sink(const BatchOptions& options, std::ostream& out) : out_(out) {
    if (options.output == "-") return;
    std::string error;
    file_ = AtomicFile::create(options.output, options.force, error);
    if (!file_) throw Failure{kBatchFailed, error};
  }

  void write(std::string_view bytes) {
    if (!file_) {
      out_.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
      if (!out_) throw standard_output_failed();
      return;
    }
    std::string error;
    if (!file_->write(bytes, error)) throw Failure{kBatchFailed, error};
  }

  void finish() {
    if (!file_) {
      errno = 0;
      out_.flush();
      if (!out_) throw standard_output_failed();
      return;
    }
    std::string error;
    if (!file_->commit(error)) throw Failure{kBatchFailed, error};
  }

 private:
  static Failure standard_output_failed() {
    const int error = errno;
    return Failure{kBatchFailed, std::string("cannot write to standard output") +
                                     (error != 0 ? std::string(": ") + std::strerror(error) : "")};
  }

  std::ostream& out_;
  std::unique_ptr<AtomicFile> file_;
};

// Formats and writes the points a block at a time, into one buffer that is
// never zeroed (only the pages written are ever touched). A large block is
// cut in two halves formatted at once, the second by a helper thread where
// one can be had; the text is the same either way.
void write_points(Sink& sink, OutputFormat format, std::span<const double> x,
                  std::span<const double> y, int digits, const DecimalAbscissae* decimals) {
  constexpr std::size_t kBlock = 1 << 15;
  // Below this many points a thread costs about what it saves.
  constexpr std::size_t kParallelFrom = 2048;
  if (x.empty()) return;
  const std::size_t room = std::min(kBlock, x.size()) * kPointRoom;
  const auto text = std::make_unique_for_overwrite<char[]>(room);
  auto format_range = [&](std::size_t begin, std::size_t count, char* out) {
    return format_points_into(format, x.subspan(begin, count), y.subspan(begin, count), digits, out,
                              decimals, begin);
  };
  for (std::size_t first = 0; first < x.size(); first += kBlock) {
    const std::size_t count = std::min(kBlock, x.size() - first);
    const std::size_t half = count >= kParallelFrom ? count / 2 : count;
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

void warn_outside(std::span<const double> frequency, std::span<const double> x, std::ostream& err) {
  const std::size_t outside = count_outside(frequency, x.front(), x.back());
  if (outside == 0) return;
  char first[32], last[32];
  *format_number(x.front(), 0, first) = '\0';
  *format_number(x.back(), 0, last) = '\0';
  err << "broaden-batch: warning: " << outside << " of " << frequency.size()
      << (frequency.size() == 1 ? " line lies" : " lines lie") << " outside the grid (" << first
      << " to " << last << "); only " << (outside == 1 ? "its tail reaches" : "their tails reach")
      << " it\n";
}

int run_checked(const BatchOptions& options, int input_fd, std::ostream& out, std::ostream& err,
                FileSystem& files) {
  // The grid and the output are settled first: a refused grid or an
  // existing file end the run before any work.
  const GridResult grid = options.classic ? GridResult() : grid_of(options);
  const std::vector<double>& x = grid.x;
  Sink sink(options, out);
  const std::string text = read_input(options.line_list, input_fd, files);
  LineListResult lines = read_line_list(text, options);
  if (!lines.error.empty())
    throw Failure{kBatchFailed, shown_name(options.line_list) + ":" + lines.error};
  const LineTable& table = lines.table;

  if (options.classic) {
    // As broaden does it: each intensity as an interval around a fast
    // estimate, a point whose interval the field cannot settle recomputed
    // the straightforward way.
    const auto spectrum = std::make_unique<SpectrumBounds>();
    build_grid(spectrum->w);
    bracket_peaks(table.frequency, table.intensity, options.profile.sigma, spectrum->w,
                  spectrum->low, spectrum->high);
    warn_outside(table.frequency, spectrum->w, err);
    std::ostringstream records;
    write_spectrum(records, spectrum->w, spectrum->low, spectrum->high, [&](std::size_t i) {
      return straightforward_point(table.frequency, table.intensity, options.profile.sigma,
                                   spectrum->w[i]);
    });
    sink.write(records.view());
    sink.finish();
    return kBatchDone;
  }

  std::vector<double> y(x.size(), 0.0);
  add_profiles(table.frequency, table.intensity, table.width, options.profile, x, y);
  warn_outside(table.frequency, x, err);

  std::string parameters = options.parameters + " input=";
  parameters += options.line_list == "-" ? "-" : "'" + options.line_list + "'";
  parameters += " lines=" + std::to_string(table.frequency.size());
  // The comment line stays one line whatever the input's name holds.
  std::replace_if(
      parameters.begin(), parameters.end(), [](char c) { return c == '\n' || c == '\r'; }, '?');
  sink.write(format_head(options.format, parameters));
  write_points(sink, options.format, x, y, options.digits,
               grid.decimals ? &*grid.decimals : nullptr);
  sink.finish();
  return kBatchDone;
}

}  // namespace

LineListResult read_line_list(std::string_view text, const BatchOptions& options) {
  if (options.input == InputKind::fixed) return read_fixed(text, options.scale, options.classic);
  ColumnsResult read =
      read_columns(text, options.columns, ColumnScaling{options.scale, options.width_divisor});
  LineListResult result;
  if (read.error) {
    result.error = std::to_string(read.error->line) + ":" + std::to_string(read.error->column) +
                   ": expected " + read.error->expected;
    return result;
  }
  result.table = std::move(read.table);
  return result;
}

std::size_t count_outside(std::span<const double> frequency, double first, double last) noexcept {
  return static_cast<std::size_t>(std::count_if(
      frequency.begin(), frequency.end(), [&](double f) { return !(f >= first && f <= last); }));
}

int run_batch(int argc, const char* const* argv, int input_fd, std::ostream& out, std::ostream& err,
              FileSystem& files) {
  const Command command = parse_command_line(argc, argv);
  switch (command.action) {
    case CommandAction::help:
    case CommandAction::version:
      out << command.text;
      out.flush();
      return out ? kBatchDone : kBatchFailed;
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
    return run_checked(command.options, input_fd, out, err, files);
  } catch (const Failure& failure) {
    message = failure.message;
    status = failure.status;
  } catch (const std::bad_alloc&) {
    message = "out of memory";
  }
  err << "broaden-batch: " << message << "\n";
  if (status == kBatchUsageError) err << "Try 'broaden-batch --help' for the options.\n";
  err.flush();
  return status;
}

}  // namespace broaden
