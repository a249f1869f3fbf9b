// The files of a broaden-batch run: its inputs read whole, its outputs made
// whole beside their names (AtomicFile), never two of them one file.
#pragma once

#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "batch/input_lines.h"
#include "batch/options.h"
#include "io/atomic_file.h"
#include "io/file_system.h"

namespace broaden {

/// The temporary file beside an output, until it is moved into place.
inline constexpr std::string_view kTemporaryPrefix = ".broaden-batch-";

/// The whole input `name`: a file through `files` (mapped where it can be),
/// or standard input from `input_fd` for "-"; a gzip's content inflated
/// into memory, the compressed bytes released (decoded_input,
/// input_text.h). Throws BatchFailure "cannot open 'NAME': REASON",
/// "cannot read ...", or decoded_input's refusals of what is not text.
std::unique_ptr<FileText> read_input(const std::string& name, int input_fd, FileSystem& files);

/// `options` with the inputs the list of --inputs-from names added after
/// the command line's (add_listed_inputs, option_rules.h), the list read
/// as an input is (read_input: a file, standard input for "-", a gzip);
/// `options` as they are without --inputs-from. Throws BatchFailure: the
/// list's reading (status 1), a list the rules refuse (status 2).
BatchOptions with_listed_inputs(BatchOptions options, int input_fd, FileSystem& files);

/// "cannot read 'NAME': the file changed while it was read" (status 1).
BatchFailure changed_while_read(const std::string& name);

/// Refuses (BatchFailure, status 2) two outputs (-o, --sticks, --plot, --report) that
/// are one file on the disk though their names differ as written: "s.tsv"
/// and "/abs/dir/s.tsv" run in /abs/dir, or "here/s.tsv" with here -> .
///   -o s.tsv --sticks /abs/dir/s.tsv -> "--sticks and -o name the same file"
void check_outputs_apart(const BatchOptions& options, FileSystem& files);

/// Where a text goes: standard output, a file made whole, or nowhere.
class Sink {
 public:
  /// -o's: its file, standard output for "-", nowhere with data_output false.
  Sink(const BatchOptions& options, std::ostream& out, FileSystem& files);
  /// To `name` ("-": `out`), or nowhere with `discard`; `hint` follows the
  /// refusal of a pipe or a device. Throws BatchFailure where the file
  /// cannot be made ("'s.tsv' exists: give --force to replace it").
  Sink(const std::string& name, bool discard, bool force, std::ostream& out, FileSystem& files,
       std::string_view hint);

  /// Throws BatchFailure where the writing fails (status 141 where standard
  /// output's reader has gone).
  void write(std::string_view bytes);
  /// Puts the file in place, never over one of `written` (this run's other
  /// outputs), to which it then adds its own.
  void finish(std::vector<FileIdentity>& written);

 private:
  std::ostream& out_;
  bool discard_;
  std::string_view hint_;
  std::unique_ptr<AtomicFile> file_;
};

/// The picture's file, made whole beside its name as -o's is (nullptr
/// without --plot); prepared at the start, so that an existing picture
/// ends the run before any work.
std::unique_ptr<AtomicFile> picture_file(const BatchOptions& options, FileSystem& files);

/// The failure of a file an output could not be made or put in place.

BatchFailure file_failure(const FileFailure& failure, std::string_view hint = {});

}  // namespace broaden
