#pragma once

#include <string>
#include <vector>

namespace corvanta::bench {

// Each subcommand of corvanta-bench takes its arguments (without the subcommand's name) and
// returns the process exit code.
int runCpuBench(const std::vector<std::string>& args);
int runSearchCommand(const std::vector<std::string>& args);
int runGpuBench(const std::vector<std::string>& args);
int runLogBench(const std::vector<std::string>& args);
int runSchedulerBench(const std::vector<std::string>& args);
int runNeighbourBench(const std::vector<std::string>& args);
int runEndToEndBench(const std::vector<std::string>& args);

}  // namespace corvanta::bench
