#include "batch/progress.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <thread>

namespace broaden {
namespace {

TEST(ProgressLine, SaysTheDoneShareAndTheTimeLeftRoundedUp) {
  const struct {
    double fraction, elapsed;
    const char* line;
  } cases[] = {
      {0.42, 3.0, "broaden-batch: 42% done, about 5 s left"},  // 4.14 s up to 5
      {0.5, 10.0, "broaden-batch: 50% done, about 10 s left"},
      {0.999, 1.0, "broaden-batch: 99% done, about 1 s left"},  // never "100%" before the end
      {1.0, 7.0, "broaden-batch: 100% done, about 0 s left"},
      {0.1, 100.0, "broaden-batch: 10% done, about 15 min left"},
      {0.5, 119.0, "broaden-batch: 50% done, about 119 s left"},
      {0.5, 121.0, "broaden-batch: 50% done, about 3 min left"},
      {0.0, 2.0, "broaden-batch: 0% done"},  // nothing yet to estimate from
      {1e-300, 2.0, "broaden-batch: 0% done"},
      {1.5, 1.0, "broaden-batch: 100% done, about 0 s left"},
      {-0.5, 1.0, "broaden-batch: 0% done"},
  };
  for (const auto& c : cases) EXPECT_EQ(progress_line(c.fraction, c.elapsed), c.line);
}

// The reporter rewrites its line in place, covers a longer line before a
// shorter one, and leaves the terminal's line blank at its end.
TEST(ProgressReporter, RewritesItsLineInPlaceAndBlanksItAtTheEnd) {
  ProfileProgress progress;
  std::ostringstream err;
  {
    ProgressReporter reporter(progress, 1000, err,
                              {std::chrono::milliseconds(0), std::chrono::milliseconds(1)});
    for (int i = 0; i < 10; ++i) {
      progress.points_done += 100;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }
  const std::string text = err.str();
  ASSERT_GE(text.size(), 2u);
  EXPECT_EQ(text.front(), '\r');
  EXPECT_NE(text.find("broaden-batch: "), std::string::npos);
  EXPECT_EQ(text.find('\n'), std::string::npos);  // one line, rewritten
  // The end: blanks as wide as the widest line, between two returns.
  const std::size_t last = text.rfind('\r', text.size() - 2);
  const std::string blanks = text.substr(last + 1, text.size() - last - 2);
  EXPECT_EQ(text.back(), '\r');
  EXPECT_EQ(blanks.find_first_not_of(' '), std::string::npos);
  std::size_t widest = 0;
  for (std::size_t at = 0; (at = text.find("broaden-batch", at)) != std::string::npos; ++at)
    widest = std::max(widest, text.find('\r', at) - at);
  EXPECT_EQ(blanks.size(), widest);

  // A run that ends before the first line is due writes nothing.
  std::ostringstream quiet;
  { ProgressReporter reporter(progress, 1000, quiet); }
  EXPECT_EQ(quiet.str(), "");
}

}  // namespace
}  // namespace broaden
