// The work of both engines spread over threads: a grid cut into blocks,
// each block computed whole by one thread (every line, in table order), so
// that no result depends on how many threads there are. Internal to the
// synthesis library and the line shapes.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <system_error>
#include <thread>
#include <vector>

#include "synthesis/processors.h"

namespace broaden::detail {

/// How many threads to run for `work` (in terms) cut into `blocks` blocks:
/// `asked` if not 0, else one more for every `work_per_extra_thread`, at
/// most the processors this process may use (usable_processors); always
/// within [1, max(blocks, 1)].
///
///   threads_for(50'000, 100'000, 20, 0) -> 1
///   threads_for(1e9, 100'000, 20, 3)    -> 3
inline unsigned threads_for(double work, double work_per_extra_thread, std::size_t blocks,
                            unsigned asked) noexcept {
  unsigned threads = asked;
  if (threads == 0) {
    const double paying = 1.0 + work / work_per_extra_thread;
    threads = usable_processors();
    if (paying < threads) threads = static_cast<unsigned>(paying);
  }
  return static_cast<unsigned>(
      std::clamp<std::size_t>(threads, 1, std::max<std::size_t>(blocks, 1)));
}

/// Runs `work` on `threads` threads, this one included, and waits for all.
/// Each takes its share from a counter of its own until none is left; where
/// no further thread can be had, those running do it all.
template <class Work>
void run_on_threads(unsigned threads, const Work& work) {
  std::vector<std::jthread> helpers;
  try {
    for (unsigned i = 1; i < threads; ++i) helpers.emplace_back(work);
  } catch (const std::system_error&) {
  } catch (const std::bad_alloc&) {
  }
  work();
}

/// Calls block(begin, end) for the blocks [0, b), [b, 2b), ... of `points`
/// points (b = block_points), on `threads` threads.
template <class Block>
void for_each_block(std::size_t points, std::size_t block_points, unsigned threads,
                    const Block& block) {
  const std::size_t blocks = (points + block_points - 1) / block_points;
  std::atomic<std::size_t> next{0};
  run_on_threads(threads, [&] {
    for (std::size_t b = next++; b < blocks; b = next++)
      block(b * block_points, std::min(points, (b + 1) * block_points));
  });
}

}  // namespace broaden::detail
