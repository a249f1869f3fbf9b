#include "synthesis/processors.h"

#include <gtest/gtest.h>
#include <sched.h>

#include <optional>
#include <string>
#include <thread>

namespace broaden {
namespace {

// A quota is a number of processors rounded up; no limit, or text that is
// not one, sets none.
TEST(CpuQuotaProcessors, RoundsTheQuotaUpAndReadsNoLimitAsNone) {
  const struct {
    const char* cpu_max;
    std::optional<unsigned> processors;
  } v2[] = {
      {"200000 100000\n", 2u}, {"150000 100000", 2u},   {"50000 100000", 1u},
      {"1 100000", 1u},        {"max 100000\n", {}},    {"", {}},
      {"100000", {}},          {"-5 100000", {}},       {"100000 0", {}},
      {"12x 100000", {}},      {"400000 100000 9", {}},
  };
  for (const auto& c : v2) EXPECT_EQ(cpu_quota_processors(c.cpu_max), c.processors) << c.cpu_max;

  const struct {
    const char *quota, *period;
    std::optional<unsigned> processors;
  } v1[] = {
      {"250000\n", "100000\n", 3u},
      {"100000", "100000", 1u},
      {"-1\n", "100000\n", {}},
      {"", "", {}},
      {"5", "", {}},
  };
  for (const auto& c : v1)
    EXPECT_EQ(cpu_quota_processors(c.quota, c.period), c.processors) << c.quota;
}

// The count never exceeds the processors of the affinity mask, is at least
// one, and stays the same once read.
TEST(UsableProcessors, KeepsWithinTheAffinityMask) {
  cpu_set_t set;
  CPU_ZERO(&set);
  ASSERT_EQ(sched_getaffinity(0, sizeof set, &set), 0);
  const unsigned usable = usable_processors();
  EXPECT_GE(usable, 1u);
  EXPECT_LE(usable, static_cast<unsigned>(CPU_COUNT(&set)));
  EXPECT_EQ(usable_processors(), usable);
}

}  // namespace
}  // namespace broaden
