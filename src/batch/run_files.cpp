#include "batch/run_files.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>

#include "batch/batch.h"
#include "batch/input_lines.h"
#include "batch/input_text.h"
#include "batch/option_rules.h"
#include "batch/option_values.h"
#include "io/posix_file_system.h"
#include "text/quoted.h"

namespace broaden {
namespace {

using Failure = BatchFailure;

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

}  // namespace

void check_outputs_apart(const BatchOptions& options, FileSystem& files) {
  const auto place = [&](const std::string& name) {
    return name.empty() || name == "-" ? std::nullopt : place_of(name, files);
  };
  const std::optional<OutputPlace> output =
      options.data_output ? place(options.output) : std::nullopt;
  const std::optional<OutputPlace> plot = place(options.plot.file);
  const std::optional<OutputPlace> sticks = place(options.sticks);
  const std::optional<OutputPlace> report = place(options.compare.report);
  const auto same = [](const auto& a, const auto& b) { return a && b && *a == *b; };
  if (same(output, plot))
    throw Failure{kBatchUsageError,
                  "--plot and -o name the same file " + quoted(options.plot.file)};
  if (same(sticks, output)) throw Failure{kBatchUsageError, "--sticks and -o name the same file"};
  if (same(sticks, plot)) throw Failure{kBatchUsageError, "--sticks and --plot name the same file"};
  for (const auto& [other, name] :
       {std::pair{&output, "-o"}, std::pair{&plot, "--plot"}, std::pair{&sticks, "--sticks"}})
    if (same(report, *other))
      throw Failure{kBatchUsageError, std::string("--report and ") + name + " name the same file"};
}

namespace {

// The bytes of the input `name`, as they are.
std::unique_ptr<FileText> read_bytes(const std::string& name, int input_fd, FileSystem& files) {
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

}  // namespace

std::unique_ptr<FileText> read_input(const std::string& name, int input_fd, FileSystem& files) {
  std::unique_ptr<FileText> bytes = read_bytes(name, input_fd, files);
  std::optional<std::string> text = decoded_input(bytes->text(), name);
  if (!text) return bytes;
  if (!bytes->unchanged()) throw changed_while_read(name);
  bytes.reset();  // the compressed bytes go before the text is read
  return std::make_unique<HeldText>(std::move(*text));
}

BatchOptions with_listed_inputs(BatchOptions options, int input_fd, FileSystem& files) {
  if (options.inputs_from.empty()) return options;
  const std::unique_ptr<FileText> list = read_input(options.inputs_from, input_fd, files);
  try {
    add_listed_inputs(options, list->text());
  } catch (const UsageError& error) {
    throw Failure{kBatchUsageError, error.message};
  }
  if (!list->unchanged()) throw changed_while_read(options.inputs_from);
  return options;
}

BatchFailure changed_while_read(const std::string& name) {
  return Failure{kBatchFailed,
                 "cannot read " + quoted_input(name) + ": the file changed while it was read"};
}

BatchFailure file_failure(const FileFailure& failure, std::string_view hint) {
  return BatchFailure{kBatchFailed, failure.exists
                                        ? failure.message + ": give --force to replace it"
                                    : failure.special ? failure.message + std::string(hint)
                                                      : failure.message};
}

Sink::Sink(const BatchOptions& options, std::ostream& out, FileSystem& files)
    : Sink(options.output, !options.data_output, options.force, out, files,
           " (send standard output to it instead of -o)") {}

Sink::Sink(const std::string& name, bool discard, bool force, std::ostream& out, FileSystem& files,
           std::string_view hint)
    : out_(out), discard_(discard), hint_(hint) {
  if (name == "-" || discard_) return;
  FileFailure failure;
  file_ = AtomicFile::create(files, name, force, kTemporaryPrefix, failure);
  if (!file_) throw file_failure(failure, hint_);
}

namespace {

BatchFailure standard_output_failed() {
  const int error = errno;
  if (error == EPIPE) return BatchFailure{kBatchOutputClosed, {}};
  return BatchFailure{kBatchFailed,
                      std::string("cannot write to standard output") +
                          (error != 0 ? std::string(": ") + std::strerror(error) : "")};
}

}  // namespace

void Sink::write(std::string_view bytes) {
  if (discard_) return;
  if (!file_) {
    errno = 0;
    out_.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out_) throw standard_output_failed();
    return;
  }
  FileFailure failure;
  if (!file_->write(bytes, failure)) throw file_failure(failure, hint_);
}

void Sink::finish(std::vector<FileIdentity>& written) {
  if (discard_) return;
  if (!file_) {
    errno = 0;
    out_.flush();
    if (!out_) throw standard_output_failed();
    return;
  }
  FileFailure failure;
  if (!file_->commit(failure, written)) throw file_failure(failure, hint_);
  if (file_->identity()) written.push_back(*file_->identity());
}

std::unique_ptr<AtomicFile> picture_file(const BatchOptions& options, FileSystem& files) {
  if (options.plot.file.empty()) return nullptr;
  FileFailure failure;
  std::unique_ptr<AtomicFile> file =
      AtomicFile::create(files, options.plot.file, options.force, kTemporaryPrefix, failure);
  if (!file) throw file_failure(failure);
  return file;
}

}  // namespace broaden
