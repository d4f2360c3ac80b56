// Saves progress through the store thread as fast as it can, waiting for each save to reach the
// disk and then printing its number, until it is killed. The crash test kills it in the middle of
// a write. Usage: task_store_crash_child DIRECTORY
#include <cstdio>
#include <memory>

#include <QString>

#include "tasks/task_state_store.h"
#include "tasks/task_state_store_thread.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: task_store_crash_child DIRECTORY\n");
        return 2;
    }
    using namespace corvanta;
    tasks::TaskStateStoreThread store(
        std::make_unique<tasks::TaskStateStore>(QString::fromLocal8Bit(argv[1])));
    tasks::TaskRangeProgress progress;
    progress.taskId = "crash-task";
    progress.seed = "crash-seed";
    progress.difficulty = 9;
    progress.upperBound = std::uint64_t{1} << 40;
    for (std::uint64_t saved = 1;; ++saved) {
        // A record that grows with every save, so that a write spans several pages.
        progress.nextUnallocated = saved * 1000;
        progress.completedRanges.push_back({saved * 1000 - 1000, saved * 1000 - 500});
        progress.candidateNonces.push_back(saved);
        store.save(progress);
        store.flush();
        std::printf("%llu\n", static_cast<unsigned long long>(saved));
        std::fflush(stdout);
    }
}
