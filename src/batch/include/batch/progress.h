// The progress line of a long run: how much of the spectrum is done and
// about how long the rest will take, rewritten in place on a terminal.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <ostream>
#include <string>
#include <thread>

#include "line_shapes/line_profiles.h"

namespace broaden {

/// When and how often a progress line is written.
struct ProgressTiming {
  std::chrono::milliseconds after{1000};  ///< the first line, once the run has lasted this long
  std::chrono::milliseconds every{250};   ///< then a new one this often
};

/// The line for `fraction` (0 to 1) done after `elapsed_seconds`, the time
/// left estimated as elapsed * (1 - fraction) / fraction and rounded up to a
/// whole second (under two minutes) or minute:
///
///   progress_line(0.42, 3.0)  -> "broaden-batch: 42% done, about 5 s left"
///   progress_line(0.1, 100.0) -> "broaden-batch: 10% done, about 15 min left"
///   progress_line(0.0, 2.0)   -> "broaden-batch: 0% done"
std::string progress_line(double fraction, double elapsed_seconds);

/// While it lives, a thread that writes progress_line for `progress` out of
/// `total` points to `err` as "\r" + line (padded to cover the one before),
/// first after `timing.after`, then every `timing.every`. Its end (the
/// destructor, or finish()) stops the thread and, if a line was written,
/// blanks it out and returns the cursor to the line's start, so whatever
/// comes next writes over it. Nothing else may write to `err` meanwhile.
class ProgressReporter {
 public:
  ProgressReporter(const ProfileProgress& progress, std::size_t total, std::ostream& err,
                   ProgressTiming timing = {});
  ~ProgressReporter();
  ProgressReporter(const ProgressReporter&) = delete;
  ProgressReporter& operator=(const ProgressReporter&) = delete;

  void finish();

 private:
  void run();

  const ProfileProgress& progress_;
  std::size_t total_;
  std::ostream& err_;
  ProgressTiming timing_;
  std::chrono::steady_clock::time_point start_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stop_ = false;
  std::size_t shown_ = 0;  ///< characters of the line on the terminal
  std::thread thread_;
};

}  // namespace broaden
