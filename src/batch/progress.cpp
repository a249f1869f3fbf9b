#include "batch/progress.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace broaden {

std::string progress_line(double fraction, double elapsed_seconds) {
  fraction = std::clamp(fraction, 0.0, 1.0);
  const int percent = static_cast<int>(std::floor(fraction * 100.0));
  std::string line = "broaden-batch: " + std::to_string(percent) + "% done";
  if (!(fraction > 0.0) || !(elapsed_seconds >= 0.0)) return line;
  const double left = elapsed_seconds * (1.0 - fraction) / fraction;
  if (!(left < 1e9)) return line;
  if (left < 120.0)
    return line + ", about " + std::to_string(static_cast<long>(std::ceil(left))) + " s left";
  return line + ", about " + std::to_string(static_cast<long>(std::ceil(left / 60.0))) +
         " min left";
}

ProgressReporter::ProgressReporter(const ProfileProgress& progress, std::size_t total,
                                   std::ostream& err, ProgressTiming timing)
    : progress_(progress),
      total_(total),
      err_(err),
      timing_(timing),
      start_(std::chrono::steady_clock::now()),
      thread_([this] { run(); }) {}

ProgressReporter::~ProgressReporter() { finish(); }

void ProgressReporter::finish() {
  {
    const std::lock_guard lock(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
  if (shown_ > 0) {
    err_ << '\r' << std::string(shown_, ' ') << '\r';
    err_.flush();
    shown_ = 0;
  }
}

void ProgressReporter::run() {
  std::unique_lock lock(mutex_);
  if (wake_.wait_until(lock, start_ + timing_.after, [this] { return stop_; })) return;
  for (;;) {
    const double done = static_cast<double>(progress_.points_done.load(std::memory_order_relaxed));
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    std::string line =
        progress_line(total_ > 0 ? done / static_cast<double>(total_) : 1.0, elapsed);
    const std::size_t length = line.size();
    if (length < shown_) line.append(shown_ - length, ' ');
    err_ << '\r' << line;
    err_.flush();
    shown_ = std::max(shown_, length);
    if (wake_.wait_for(lock, timing_.every, [this] { return stop_; })) return;
  }
}

}  // namespace broaden
