// The GPU set-up on its own thread and the cache of built programs, on the real kernel (PoCL's
// CPU device here).
#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "engine/compute_engine.h"
#include "engine/gpu/kernel_source.h"
#include "engine/gpu/opencl_device.h"
#include "engine/gpu/opencl_program_cache.h"
#include "unit/engine/gpu/gpu_test_support.h"

namespace corvanta::engine {
namespace {

using testing::cpuRequest;
using testing::gpuRequest;
using testing::referenceHits;
using testing::seedOfBytes;

namespace fs = std::filesystem;

class TemporaryDirectory {
public:
    TemporaryDirectory() {
        std::string pattern = (fs::temp_directory_path() / "corvanta-gpu-cache-XXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr) {
            path_ = pattern;
        }
    }
    ~TemporaryDirectory() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    TemporaryDirectory(const TemporaryDirectory&) = delete;
    TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;

    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

ComputeEngine::Options cachedIn(const fs::path& directory) {
    ComputeEngine::Options options;
    options.gpuProgramCacheDirectory = directory / "Corvanta" / "OpenCL";
    return options;
}

std::vector<fs::path> cacheFiles(const fs::path& directory) {
    std::vector<fs::path> files;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(directory / "Corvanta" / "OpenCL", error)) {
        files.push_back(entry.path());
    }
    return files;
}

ComputeEngine::GpuSetUpDiagnostics setUp(ComputeEngine& engine) {
    engine.waitForGpuSetUp();
    return engine.gpuSetUpDiagnostics();
}

// The engine finds the processor search's hits on the GPU.
void expectWorkingGpu(ComputeEngine& engine) {
    ASSERT_TRUE(engine.runParityProbe());
    const std::string seed = seedOfBytes(70);
    const auto result = engine.searchRange(gpuRequest(seed, 1'000, 9'000, 2));
    EXPECT_EQ(result.status, ComputeSearchStatus::completed);
    EXPECT_EQ(result.note, SearchNote::gpuOnly);
    EXPECT_EQ(result.nonces, referenceHits(seed, 1'000, 9'000, 2));
}

TEST(GpuProgramCacheTest, ASecondEngineOnTheSameCacheBuildsNothing) {
    TemporaryDirectory home;
    {
        ComputeEngine first(cachedIn(home.path()));
        const auto built = setUp(first);
        ASSERT_TRUE(first.gpuDeviceName().has_value());
        EXPECT_EQ(built.programBuilds, 1);
        EXPECT_FALSE(built.programFromCache);
        expectWorkingGpu(first);
    }
    const auto files = cacheFiles(home.path());
    ASSERT_EQ(files.size(), 1u);
    for (const fs::path& folder : {home.path() / "Corvanta", home.path() / "Corvanta" / "OpenCL"}) {
        EXPECT_EQ(fs::status(folder).permissions() & fs::perms::all, fs::perms::owner_all)
            << folder;
    }

    ComputeEngine second(cachedIn(home.path()));
    const auto loaded = setUp(second);
    EXPECT_EQ(loaded.programBuilds, 0);
    EXPECT_TRUE(loaded.programFromCache);
    EXPECT_FALSE(loaded.cacheEntryRebuilt);
    expectWorkingGpu(second);

    // Another kernel source has another key: it is built, and stored beside the first.
    ComputeEngine::Options changed = cachedIn(home.path());
    changed.gpuKernelSource = std::string(gpu::sha256SearchKernelSource()) + "\n// changed\n";
    ComputeEngine third(changed);
    EXPECT_EQ(setUp(third).programBuilds, 1);
    EXPECT_EQ(cacheFiles(home.path()).size(), 2u);
}

TEST(GpuProgramCacheTest, ADamagedEntryIsBuiltAnewAndReplaced) {
    TemporaryDirectory home;
    {
        ComputeEngine first(cachedIn(home.path()));
        ASSERT_EQ(setUp(first).programBuilds, 1);
    }
    const auto files = cacheFiles(home.path());
    ASSERT_EQ(files.size(), 1u);
    const fs::path entry = files.front();
    const auto size = fs::file_size(entry);

    const auto device = gpu::OpenClDevice::selectDefault();
    ASSERT_TRUE(device.has_value());
    const gpu::OpenClProgramCache cache(home.path() / "Corvanta" / "OpenCL");
    const std::string key =
        gpu::OpenClProgramCache::keyFor(*device, gpu::sha256SearchKernelSource(), "");
    ASSERT_EQ(cache.pathFor(key), entry);

    struct Damage {
        const char* name;
        std::function<void()> apply;
    };
    const Damage damages[] = {
        {"truncated", [&] { fs::resize_file(entry, size / 2); }},
        {"a flipped byte",
         [&] {
             std::fstream file(entry, std::ios::in | std::ios::out | std::ios::binary);
             file.seekg(static_cast<std::streamoff>(size / 2));
             const char byte = static_cast<char>(file.get() ^ 0x5a);
             file.seekp(static_cast<std::streamoff>(size / 2));
             file.put(byte);
         }},
        {"a binary the driver refuses",
         [&] { ASSERT_TRUE(cache.store(key, std::vector<unsigned char>(4096, 0xab))); }},
        {"empty", [&] { fs::resize_file(entry, 0); }},
    };
    for (const Damage& damage : damages) {
        SCOPED_TRACE(damage.name);
        damage.apply();
        {
            ComputeEngine rebuilt(cachedIn(home.path()));
            const auto diagnostics = setUp(rebuilt);
            EXPECT_EQ(diagnostics.programBuilds, 1);
            EXPECT_TRUE(diagnostics.cacheEntryRebuilt);
            expectWorkingGpu(rebuilt);
        }
        // The rebuilt program replaced the entry: the next start loads it.
        ComputeEngine next(cachedIn(home.path()));
        const auto diagnostics = setUp(next);
        EXPECT_EQ(diagnostics.programBuilds, 0);
        EXPECT_TRUE(diagnostics.programFromCache);
        EXPECT_EQ(cacheFiles(home.path()).size(), 1u);
    }
}

// Holds the GPU build back until released; releases on destruction so that a failing test does
// not leave the engine's destructor waiting for ever.
class BuildGate {
public:
    std::function<void()> hook() {
        return [this] {
            entered_.store(true);
            released_.wait();
        };
    }
    void waitUntilHeld() const {
        while (!entered_.load()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    void release() {
        if (!isReleased_) {
            isReleased_ = true;
            release_.set_value();
        }
    }
    ~BuildGate() { release(); }

private:
    std::promise<void> release_;
    std::shared_future<void> released_ = release_.get_future().share();
    std::atomic<bool> entered_{false};
    bool isReleased_ = false;
};

TEST(GpuSetUpTest, TheBuildRunsOnItsOwnThreadAndOnlyGpuSearchesWaitForIt) {
    BuildGate gate;
    ComputeEngine::Options options;
    options.beforeGpuBuild = gate.hook();
    ComputeEngine engine(options);  // returns while the build is held
    // Whatever happens below, the build goes on before the engine is destroyed.
    const std::unique_ptr<BuildGate, void (*)(BuildGate*)> releaseFirst(
        &gate, [](BuildGate* held) { held->release(); });
    gate.waitUntilHeld();
    EXPECT_FALSE(engine.gpuSetUpDiagnostics().finished);

    // Processor searches do not wait for the GPU.
    EXPECT_EQ(engine.searchRange(cpuRequest("abc", 0, 3'000, 2)).nonces,
              referenceHits("abc", 0, 3'000, 2));

    // A GPU search waits; one cancelled while it waits ends as an ordinary cancelled search.
    auto waiting = engine.startSearch(gpuRequest("abc", 0, 3'000, 2));
    auto cancelled = engine.startSearch(gpuRequest("abc", 3'000, 6'000, 2));
    cancelled->cancel();
    const auto cut = cancelled->wait();
    EXPECT_EQ(cut.status, ComputeSearchStatus::completed);
    EXPECT_TRUE(cut.nonces.empty());
    EXPECT_FALSE(waiting->isFinished());
    EXPECT_FALSE(engine.gpuSetUpDiagnostics().finished);

    gate.release();
    const auto result = waiting->wait();
    EXPECT_EQ(result.status, ComputeSearchStatus::completed);
    EXPECT_EQ(result.note, SearchNote::gpuOnly);
    EXPECT_EQ(result.nonces, referenceHits("abc", 0, 3'000, 2));
    const auto diagnostics = engine.gpuSetUpDiagnostics();
    EXPECT_TRUE(diagnostics.finished);
    EXPECT_EQ(diagnostics.programBuilds, 1);
    EXPECT_FALSE(diagnostics.programFromCache);
}

}  // namespace
}  // namespace corvanta::engine
