#pragma once

#include <string>
#include <vector>

namespace corvanta::bench {

// `corvanta-bench scheduler --segment-nonces N`: segments per second through the whole scheduler
// with segments of N nonces, and what that would feed GPU lanes of 2^26 nonces.
int runSchedulerCeiling(const std::vector<std::string>& args);

}  // namespace corvanta::bench
