#include "tasks/task_state_store_thread.h"

#include <algorithm>
#include <chrono>

namespace corvanta::tasks {

TaskStateStoreThread::TaskStateStoreThread(std::unique_ptr<TaskStateStore> store, Options options)
    : store_(std::move(store)), options_(std::move(options)) {
    thread_ = std::thread([this] { run(); });
}

TaskStateStoreThread::~TaskStateStoreThread() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void TaskStateStoreThread::save(TaskRangeProgress progress) {
    std::string seed = progress.seed;
    enqueue(Write{std::move(seed), std::move(progress)});
}

void TaskStateStoreThread::remove(const std::string& seed) {
    enqueue(Write{seed, std::nullopt});
}

void TaskStateStoreThread::enqueue(Write write) {
    {
        std::lock_guard lock(mutex_);
        ++stats_.requested;
        const auto waiting = std::find_if(waiting_.begin(), waiting_.end(),
                                          [&](const Write& w) { return w.seed == write.seed; });
        if (waiting != waiting_.end()) {
            // Not written yet: the newer state takes its place in the line.
            *waiting = std::move(write);
            ++stats_.coalesced;
            return;
        }
        waiting_.push_back(std::move(write));
    }
    wake_.notify_one();
}

std::optional<TaskRangeProgress> TaskStateStoreThread::load(const std::string& seed) {
    {
        std::lock_guard lock(mutex_);
        const auto waiting = std::find_if(waiting_.begin(), waiting_.end(),
                                          [&](const Write& w) { return w.seed == seed; });
        if (waiting != waiting_.end()) {
            return waiting->progress;
        }
        if (writing_ && writing_->seed == seed) {
            return writing_->progress;
        }
    }
    // Nothing of this seed waits: the database holds its newest state.
    std::lock_guard lock(storeMutex_);
    return store_->load(seed);
}

void TaskStateStoreThread::flush() {
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return waiting_.empty() && !writing_; });
}

TaskStateStoreThread::Stats TaskStateStoreThread::stats() const {
    std::lock_guard lock(mutex_);
    return stats_;
}

void TaskStateStoreThread::run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stopping_ || !waiting_.empty(); });
        if (waiting_.empty()) {
            return;  // stopping, and everything is written
        }
        writing_ = std::move(waiting_.front());
        waiting_.pop_front();
        lock.unlock();

        const auto startedAt = std::chrono::steady_clock::now();
        apply(*writing_);
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - startedAt).count();

        lock.lock();
        writing_.reset();
        ++stats_.written;
        stats_.writeSeconds += seconds;
        stats_.longestWriteSeconds = std::max(stats_.longestWriteSeconds, seconds);
        if (waiting_.empty()) {
            idle_.notify_all();
        }
    }
}

void TaskStateStoreThread::apply(const Write& write) {
    try {
        if (options_.beforeWrite) {
            options_.beforeWrite(write.seed);
        }
        std::lock_guard lock(storeMutex_);
        if (write.progress) {
            store_->save(*write.progress);
        } else {
            store_->remove(write.seed);
        }
    } catch (const std::exception& error) {
        if (options_.onError) {
            options_.onError(error);
        }
    }
}

}  // namespace corvanta::tasks
