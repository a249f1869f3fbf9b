#include "synthesis/processors.h"

#include <sched.h>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

namespace broaden {
namespace {

// `text` without the blanks and line ends around it.
std::string_view trimmed(std::string_view text) {
  const std::size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t\r\n") + 1 - first);
}

std::optional<std::int64_t> whole(std::string_view text) {
  text = trimmed(text);
  std::int64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || text.empty()) return {};
  return value;
}

std::optional<unsigned> quota_over_period(std::int64_t quota, std::int64_t period) {
  if (quota <= 0 || period <= 0) return {};
  const std::int64_t processors = quota / period + (quota % period != 0 ? 1 : 0);
  return static_cast<unsigned>(std::clamp<std::int64_t>(processors, 1, 1 << 20));
}

// The whole of a small file, or "" where it cannot be read.
std::string file_text(const std::string& path) {
  std::ifstream file(path);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// The quota of this process's control group, v2 first, then v1.
std::optional<unsigned> control_group_quota() {
  // "0::/PATH" is the v2 group of this process; a container often sees "/".
  const std::string groups = file_text("/proc/self/cgroup");
  std::string path;
  for (std::size_t start = 0; start < groups.size();) {
    const std::size_t end = std::min(groups.find('\n', start), groups.size());
    const std::string_view line = std::string_view(groups).substr(start, end - start);
    if (line.rfind("0::", 0) == 0) path = std::string(trimmed(line.substr(3)));
    start = end + 1;
  }
  for (const std::string& folder : {"/sys/fs/cgroup" + path, std::string("/sys/fs/cgroup")}) {
    const std::string cpu_max = file_text(folder + "/cpu.max");
    if (!cpu_max.empty()) return cpu_quota_processors(cpu_max);
  }
  for (const char* folder : {"/sys/fs/cgroup/cpu", "/sys/fs/cgroup/cpu,cpuacct"}) {
    const std::string quota = file_text(std::string(folder) + "/cpu.cfs_quota_us");
    if (!quota.empty())
      return cpu_quota_processors(quota, file_text(std::string(folder) + "/cpu.cfs_period_us"));
  }
  return {};
}

unsigned count_usable() {
  unsigned processors = std::max(1u, std::thread::hardware_concurrency());
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof set, &set) == 0)
    processors = static_cast<unsigned>(std::max(1, CPU_COUNT(&set)));
  try {
    if (const std::optional<unsigned> quota = control_group_quota())
      processors = std::min(processors, *quota);
  } catch (...) {  // a file that cannot be read sets no limit
  }
  return std::max(1u, processors);
}

}  // namespace

std::optional<unsigned> cpu_quota_processors(std::string_view cpu_max) noexcept {
  cpu_max = trimmed(cpu_max);
  const std::size_t blank = cpu_max.find(' ');
  if (blank == std::string_view::npos) return {};
  const std::optional<std::int64_t> quota = whole(cpu_max.substr(0, blank));
  const std::optional<std::int64_t> period = whole(cpu_max.substr(blank + 1));
  if (!quota || !period) return {};
  return quota_over_period(*quota, *period);
}

std::optional<unsigned> cpu_quota_processors(std::string_view quota,
                                             std::string_view period) noexcept {
  const std::optional<std::int64_t> q = whole(quota), p = whole(period);
  if (!q || !p) return {};
  return quota_over_period(*q, *p);
}

unsigned usable_processors() noexcept {
  static const unsigned processors = [] {
    try {
      return count_usable();
    } catch (...) {
      return std::max(1u, std::thread::hardware_concurrency());
    }
  }();
  return processors;
}

}  // namespace broaden
