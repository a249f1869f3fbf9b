// The seam to the program that draws the pictures: commands in, picture
// and messages out. The run talks only to PlotDriver, so whole runs with
// --plot are tested in-process with a driver of their own.
#pragma once

#include <string>
#include <string_view>

namespace broaden {

/// What drawing gave.
struct DrawResult {
  /// 0: the program ran (and `status` says how it ended); else the errno
  /// of starting it (ENOENT: no such program).
  int start_error = 0;
  int status = 0;             ///< exit status, or 128 + the signal that ended it
  std::string picture = {};   ///< all it wrote on standard output
  std::string messages = {};  ///< all it wrote on standard error
};

class PlotDriver {
 public:
  virtual ~PlotDriver() = default;
  /// The program's name as messages give it: "gnuplot", or a path.
  virtual const std::string& program() const = 0;
  /// Runs the drawing program once with `script` on its standard input.
  virtual DrawResult draw(std::string_view script) = 0;
};

/// The real driver: starts `program` (no shell; a name without a slash is
/// looked up on PATH, as posix_spawnp does) with no arguments, this
/// process's environment, SIGPIPE and SIGXFSZ at their default actions and
/// no signal blocked; feeds it `script` through a pipe on its standard
/// input, closed once written; collects its standard output and standard
/// error through pipes of their own (all three served at once, so neither
/// side waits on the other); and waits for it. No file is made.
///
///   GnuplotDriver("gnuplot").draw("set terminal svg\nplot x\n")
///     -> {0, 0, "<?xml version=..." , ""}
///   GnuplotDriver("/nonexistent").draw("...") -> {ENOENT}
class GnuplotDriver final : public PlotDriver {
 public:
  explicit GnuplotDriver(std::string program = "gnuplot") : program_(std::move(program)) {}
  const std::string& program() const override { return program_; }
  DrawResult draw(std::string_view script) override;

 private:
  std::string program_;
};

}  // namespace broaden
