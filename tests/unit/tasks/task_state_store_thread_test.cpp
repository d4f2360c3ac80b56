// The store thread: saves written in order and coalesced, never an older state after a newer
// one, flush() only once the write is done, and a SIGKILL in the middle of a write leaves the last
// finished save readable and the database intact.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "storage/sqlite_database.h"
#include "support/child_process.h"
#include "tasks/task_state_store.h"
#include "tasks/task_state_store_thread.h"

namespace corvanta::tasks {
namespace {

using namespace std::chrono_literals;

TaskRangeProgress progressOf(const std::string& seed, std::uint64_t nextUnallocated) {
    TaskRangeProgress progress;
    progress.taskId = "task-" + seed;
    progress.seed = seed;
    progress.difficulty = 5;
    progress.upperBound = 1'000'000'000;
    progress.nextUnallocated = nextUnallocated;
    progress.completedRanges = {{0, nextUnallocated}};
    return progress;
}

// Holds the store thread before each write while closed, and notes the seeds it wrote.
class WriteGate {
public:
    std::function<void(const std::string&)> hook() {
        return [this](const std::string& seed) {
            std::unique_lock lock(mutex_);
            ++waiting_;
            changed_.notify_all();
            changed_.wait(lock, [this] { return open_; });
            --waiting_;
            seeds_.push_back(seed);
        };
    }
    void waitUntilHolding() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return waiting_ > 0; });
    }
    void open() {
        std::lock_guard lock(mutex_);
        open_ = true;
        changed_.notify_all();
    }
    std::vector<std::string> seeds() {
        std::lock_guard lock(mutex_);
        return seeds_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    int waiting_ = 0;
    bool open_ = false;
    std::vector<std::string> seeds_;
};

TEST(TaskStateStoreThreadTest, WritesTheLatestStateOfEachTaskInOrder) {
    QTemporaryDir dir;
    WriteGate gate;
    TaskStateStoreThread::Options options;
    options.beforeWrite = gate.hook();
    // Opened last, closed first: the gate must open before the store thread is joined.
    auto store = std::make_unique<TaskStateStoreThread>(
        std::make_unique<TaskStateStore>(dir.path()), options);
    const std::unique_ptr<WriteGate, void (*)(WriteGate*)> openOnExit(
        &gate, [](WriteGate* held) { held->open(); });

    store->save(progressOf("a", 1));
    gate.waitUntilHolding();  // "a" at 1 is being written; everything below waits behind it
    for (std::uint64_t i = 2; i <= 100; ++i) {
        store->save(progressOf("a", i));
        store->save(progressOf("b", i));
    }
    store->save(progressOf("c", 7));
    store->remove("c");
    store->remove("d");
    store->save(progressOf("d", 9));

    // Loads see the newest state, written or not.
    EXPECT_EQ(store->load("a")->nextUnallocated, 100u);
    EXPECT_EQ(store->load("b")->nextUnallocated, 100u);
    EXPECT_FALSE(store->load("c").has_value());
    EXPECT_EQ(store->load("d")->nextUnallocated, 9u);

    // flush() cannot return while a write waits.
    auto flushed = std::async(std::launch::async, [&] { store->flush(); });
    EXPECT_NE(flushed.wait_for(0ms), std::future_status::ready);
    gate.open();
    flushed.get();

    // One write per task after the first: "a" again (its newer state queued first), then "b",
    // "c" (its removal) and "d".
    EXPECT_EQ(gate.seeds(), (std::vector<std::string>{"a", "a", "b", "c", "d"}));
    const auto stats = store->stats();
    EXPECT_EQ(stats.requested, 1u + 99u + 99u + 2u + 2u);
    EXPECT_EQ(stats.written, 5u);
    EXPECT_EQ(stats.coalesced, stats.requested - stats.written);

    // Another connection reads what is on disk.
    TaskStateStore disk(dir.path());
    EXPECT_EQ(disk.load("a"), progressOf("a", 100));
    EXPECT_EQ(disk.load("b"), progressOf("b", 100));
    EXPECT_FALSE(disk.load("c").has_value());
    EXPECT_EQ(disk.load("d"), progressOf("d", 9));
}

TEST(TaskStateStoreThreadTest, AReaderNeverSeesAnOlderStateAfterANewerOne) {
    QTemporaryDir dir;
    auto store =
        std::make_unique<TaskStateStoreThread>(std::make_unique<TaskStateStore>(dir.path()));
    store->save(progressOf("seed", 0));
    store->flush();

    std::atomic<bool> writing{true};
    std::vector<std::uint64_t> seen;
    std::thread reader([&] {
        TaskStateStore disk(dir.path());
        bool last = false;
        while (!last) {
            last = !writing.load();  // one more read after the writer has finished
            if (const auto row = disk.load("seed")) {
                seen.push_back(row->nextUnallocated);
            }
            std::this_thread::sleep_for(200us);
        }
    });
    // Paced like lanes that finish segments now and then, so that many writes happen.
    constexpr std::uint64_t kSaves = 3000;
    for (std::uint64_t i = 1; i <= kSaves; ++i) {
        store->save(progressOf("seed", i));
        if (i % 20 == 0) {
            std::this_thread::sleep_for(1ms);
        }
    }
    store->flush();
    writing.store(false);
    reader.join();

    ASSERT_FALSE(seen.empty());
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_EQ(seen.back(), kSaves);
    EXPECT_EQ(store->load("seed")->nextUnallocated, kSaves);
    EXPECT_EQ(TaskStateStore(dir.path()).load("seed")->nextUnallocated, kSaves);
    // Saves that came while one was written were folded into the next write.
    EXPECT_LT(store->stats().written, kSaves);
}

TEST(TaskStateStoreThreadTest, AKillInTheMiddleOfAWriteKeepsTheLastFinishedSave) {
    QTemporaryDir dir;
    const QString journal = dir.filePath(QStringLiteral("corvanta_tasks.db-journal"));
    std::uint64_t confirmed = 0;
    {
        testing::ChildProcess child(TASK_STORE_CRASH_CHILD, {dir.path().toStdString()});
        // Let it write a while, then kill it the moment a write is under way.
        while (confirmed < 50) {
            confirmed = std::stoull(child.readLine(30s));
        }
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (!QFile::exists(journal) && std::chrono::steady_clock::now() < deadline) {
        }
        child.killNow();
        // Every save it confirmed before the kill was on disk when it said so.
        try {
            for (;;) {
                confirmed = std::stoull(child.readLine(1s));
            }
        } catch (const std::runtime_error&) {
            // its output has ended
        }
    }

    auto database = storage::SqliteDatabase::open(
        dir.filePath(QStringLiteral("corvanta_tasks.db")).toStdString(),
        storage::SqliteOpenMode::readWriteCreate);
    auto check = database.prepare("PRAGMA integrity_check;");
    ASSERT_EQ(check.step(), storage::SqliteStatement::StepResult::row);
    EXPECT_EQ(check.columnText(0).value_or(""), "ok");

    const auto saved = TaskStateStore(dir.path()).load("crash-seed");
    ASSERT_TRUE(saved.has_value());
    // The last confirmed save, or the one written after it when the kill came just after that
    // write had finished.
    const std::uint64_t count = saved->nextUnallocated / 1000;
    EXPECT_GE(count, confirmed);
    EXPECT_LE(count, confirmed + 1);
    EXPECT_EQ(saved->completedRanges.size(), count);
    EXPECT_EQ(saved->candidateNonces.size(), count);
}

}  // namespace
}  // namespace corvanta::tasks
