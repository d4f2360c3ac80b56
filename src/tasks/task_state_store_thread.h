#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "tasks/task_range_progress.h"
#include "tasks/task_state_store.h"

namespace corvanta::tasks {

// Writes task progress on a thread of its own, so that a save never holds up the caller (the
// lanes save twice per segment; a save to a synced database takes milliseconds). The thread
// writes the latest snapshot of each task: a save that arrives while an earlier one of the same
// task still waits replaces it, so a slow disk costs writes, not a queue. Rows are written in the
// order their saves arrived, and a task's older snapshot is never written after a newer one, nor
// after a later removal. A crash loses at most what was saved after the last finished write: the
// snapshot being written and the one waiting behind it.
//
// Thread-safe. The destructor writes everything still waiting, then ends the thread.
class TaskStateStoreThread {
public:
    struct Stats {
        std::uint64_t requested = 0;  // saves and removals asked for
        std::uint64_t written = 0;    // those that reached the database
        std::uint64_t coalesced = 0;  // those replaced by a later one before their turn
        double writeSeconds = 0;      // time spent writing, in all
        double longestWriteSeconds = 0;
    };

    struct Options {
        // Called on the store thread when a save fails; the previous row stays as it was.
        std::function<void(const std::exception& error)> onError;
        // For tests only: runs on the store thread before each write, with the task's seed.
        std::function<void(const std::string& seed)> beforeWrite;
    };

    explicit TaskStateStoreThread(std::unique_ptr<TaskStateStore> store, Options options = {});
    ~TaskStateStoreThread();
    TaskStateStoreThread(const TaskStateStoreThread&) = delete;
    TaskStateStoreThread& operator=(const TaskStateStoreThread&) = delete;

    // Queues `progress` as the row of its seed. Never waits for the database.
    void save(TaskRangeProgress progress);
    // Queues the removal of the row of `seed`.
    void remove(const std::string& seed);
    // The newest progress of `seed`: what waits to be written (nothing after a removal), else
    // what the database holds. Throws what TaskStateStore::load throws. May wait for a write in
    // progress to finish.
    std::optional<TaskRangeProgress> load(const std::string& seed);
    // Blocks until nothing is waiting or being written: everything saved before is on disk.
    void flush();

    Stats stats() const;
    const std::string& dbPath() const { return store_->dbPath(); }

private:
    // One task's next write: its latest snapshot, or its removal.
    struct Write {
        std::string seed;
        std::optional<TaskRangeProgress> progress;
    };

    void enqueue(Write write);
    void run();
    void apply(const Write& write);

    const std::unique_ptr<TaskStateStore> store_;
    const Options options_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    // At most one entry per seed, in the order of each entry's first save.
    std::deque<Write> waiting_;
    // The write in progress, so that load() can answer from it.
    std::optional<Write> writing_;
    bool stopping_ = false;
    Stats stats_;
    // Serialises the connection between the store thread and load().
    std::mutex storeMutex_;
    std::thread thread_;
};

}  // namespace corvanta::tasks
