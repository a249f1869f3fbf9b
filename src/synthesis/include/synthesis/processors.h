// How many processors this process may run on: the default number of
// threads of both engines, so that jobs sharing a machine (a batch
// scheduler's CPU set, a container's CPU quota) keep to their share.
#pragma once

#include <optional>
#include <string_view>

namespace broaden {

/// The processors this process may use: those of its CPU affinity mask,
/// fewer where its control group's CPU quota allows fewer (cgroup v2
/// cpu.max, or v1 cpu.cfs_quota_us over cpu.cfs_period_us, rounded up),
/// at least 1. Read once, on the first call; thread-safe.
///
///   affinity {0-3}, cpu.max "150000 100000" -> 2
unsigned usable_processors() noexcept;

/// The quota of a control group as processors, rounded up: from cgroup v2's
/// cpu.max text ("QUOTA PERIOD" or "max PERIOD"), or nothing where it sets
/// no limit or cannot be read.
///
///   cpu_quota_processors("200000 100000\n") -> 2
///   cpu_quota_processors("50000 100000")    -> 1
///   cpu_quota_processors("max 100000")      -> nothing
std::optional<unsigned> cpu_quota_processors(std::string_view cpu_max) noexcept;

/// The same from cgroup v1's two files, cpu.cfs_quota_us ("-1": no limit)
/// and cpu.cfs_period_us.
///
///   cpu_quota_processors("250000\n", "100000\n") -> 3
std::optional<unsigned> cpu_quota_processors(std::string_view quota,
                                             std::string_view period) noexcept;

}  // namespace broaden
