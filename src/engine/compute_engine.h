#pragma once

#include <condition_variable>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <functional>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "engine/compute_cancellation_token.h"
#include "engine/compute_search_result.h"
#include "engine/compute_worker_lane_kind.h"
#include "engine/search_thread_pool.h"
#include "engine/sha256/sha256_impl.h"

namespace corvanta::engine {

namespace gpu {
class OpenClDevice;
class OpenClPipeline;
}  // namespace gpu

// Names the GPU dispatches of one lane in the run log.
struct DispatchTag {
    std::string label;
    std::int64_t claim = 1;
};

struct SearchRequest {
    std::uint64_t start = 0;
    std::uint64_t end = 0;
    std::string seed;  // UTF-8
    int difficulty = 0;
    ComputeWorkerLaneKind lane = ComputeWorkerLaneKind::cpu;
    std::optional<DispatchTag> tag;
};

// A search in flight. cancel() stops it at its next check; the result still carries the hits
// found so far.
class ComputeSearch {
public:
    explicit ComputeSearch(ComputeCancellationTokenPtr token) : token_(std::move(token)) {}

    void cancel() { token_->cancel(); }
    bool isCancelled() const { return token_->isCancelled(); }
    bool isFinished() const;
    // Blocks until the search has finished and returns its result.
    ComputeSearchResult wait();

private:
    friend class ComputeEngine;
    void finish(ComputeSearchResult result);

    ComputeCancellationTokenPtr token_;
    mutable std::mutex mutex_;
    std::condition_variable finished_;
    std::optional<ComputeSearchResult> result_;
};

// Searches nonce ranges on processor cores and, through OpenCL, on the graphics processor. Every
// search runs on a background thread of the engine at low priority. Thread-safe.
//
// The GPU is set up once, on a background thread of its own that the constructor starts, so that
// building an engine never waits for OpenCL: the first OpenCL GPU device is chosen (see
// gpu::OpenClDevice for CORVANTA_OPENCL_DEVICE) and the kernel is built for it, or loaded from the
// program cache when one is configured and holds it. GPU searches that start before the set-up
// has finished wait for it on their search thread; processor searches never do. On a machine
// without a device, the set-up is a platform query and nothing more. The GPU is used only after a
// parity probe, run once per engine on the first GPU search, has shown that the kernel finds
// exactly the processor search's hits.
class ComputeEngine {
public:
    // Called on the search thread for every hit, in ascending order; the search waits for it.
    using CandidateCallback = std::function<void(std::uint64_t nonce)>;
    // Called on the search thread once the search has ended and left the active table.
    using CompletionCallback = std::function<void(const ComputeSearchResult&)>;
    using LogCallback = std::function<void(std::string_view category, std::string_view message)>;

    // Nonces of one GPU dispatch: cancellation and the dispatch log lines come at least this
    // often, and the kernel's 32-bit thread index cannot overflow.
    static constexpr std::uint64_t kGpuDispatchSize = 67'108'864;
    // Largest message (seed bytes plus 20 decimal digits) the GPU path accepts: two blocks.
    static constexpr std::size_t kMaxDiagnosticGpuMessageBytes = 119;

    struct Options {
        Sha256Impl cpuImpl = defaultSha256Impl();
        // Nonces per GPU dispatch; tests lower it to see several dispatches quickly. Values
        // outside 1 to 2^32 - 1 are clamped into that range.
        std::uint64_t gpuDispatchSize = kGpuDispatchSize;
        // For tests only: GPU kernel source to build instead of the embedded sha256_search.cl.
        std::optional<std::string> gpuKernelSource;
        // For tests only: runs on the search thread before every search. What it throws fails
        // that search the way any other fault on a search thread does.
        std::function<void(const SearchRequest&)> beforeSearch;
        // Where built GPU programs are kept between starts (the application's cache folder);
        // none builds the kernel from source every time.
        std::optional<std::filesystem::path> gpuProgramCacheDirectory;
        // For tests only: runs on the GPU set-up thread once a device has been found, before its
        // program is built or loaded, so that a test can hold the build back for as long as it
        // likes.
        std::function<void()> beforeGpuBuild;
    };

    // How the GPU set-up went, for diagnostics and tests.
    struct GpuSetUpDiagnostics {
        bool finished = false;
        // Times the compiler ran on the kernel source: 0 when the program came from the cache.
        int programBuilds = 0;
        bool programFromCache = false;
        // A cache entry was there but could not be used, and was built anew.
        bool cacheEntryRebuilt = false;
    };

    ComputeEngine();
    explicit ComputeEngine(Options options);
    // Cancels every search and waits for them to end, and for the GPU set-up.
    ~ComputeEngine();
    ComputeEngine(const ComputeEngine&) = delete;
    ComputeEngine& operator=(const ComputeEngine&) = delete;

    // Starts a search of [start, end). Throws std::invalid_argument, without searching, when the
    // range's start lies above its end. A fault on the search thread (an exception from the
    // search, from `onCandidate` or from the GPU) never ends the process: the search comes back
    // with status `failed`, note "search-failed" and no hits, so its range counts as not
    // searched, and the first fault of each kind is written to the run log under "ERROR".
    std::shared_ptr<ComputeSearch> startSearch(SearchRequest request,
                                               CandidateCallback onCandidate = {},
                                               CompletionCallback onComplete = {});
    // startSearch and wait for the result.
    ComputeSearchResult searchRange(SearchRequest request, CandidateCallback onCandidate = {});

    // Sets the flag of every running search's token. Does not wait for them to end.
    void cancelAllSearches();
    std::size_t activeSearchCount() const;

    void setOnLog(LogCallback onLog);
    Sha256Impl cpuImpl() const { return options_.cpuImpl; }

    // Blocks until the GPU set-up has finished.
    void waitForGpuSetUp() const;
    // Does not block.
    GpuSetUpDiagnostics gpuSetUpDiagnostics() const;

    // The name of the OpenCL device the GPU path uses; empty when there is none. Waits for the
    // GPU set-up.
    std::optional<std::string> gpuDeviceName() const;

    // Why the GPU may not search for this seed, or nothing when it may. Runs the parity probe if
    // it has not run yet, so it may block for the probe's length: call it off the main thread.
    std::optional<GpuFallbackReason> gpuFallbackReason(std::string_view seed);

    // Whether the kernel finds exactly the processor search's hits on three fixed cases. The
    // probe runs at most once per engine; callers that arrive while it runs wait for it, later
    // ones get the cached answer. Blocks; call it off the main thread. A probe cut short by
    // cancelAllSearches answers false without caching it, and the next call probes again.
    bool runParityProbe();
    // How often the probe has run to its end on this engine (for tests).
    std::size_t parityProbeRuns() const;

    // One GPU grid over [first, end): the hits, sorted ascending, or nothing when the GPU is
    // unavailable, the difficulty is not 0 to 64, the seed is over 99 bytes, the range holds 2^32
    // nonces or more, or OpenCL fails. Waits for the GPU set-up, then until the device has
    // finished. The hits come straight from the kernel; searchRange checks them again before
    // handing them on. At most 65536 hits come back; searchRange searches a grid that found more
    // again in smaller pieces.
    std::optional<std::vector<std::uint64_t>> dispatchBatch(std::string_view seed, int difficulty,
                                                            std::uint64_t first, std::uint64_t end);

private:
    enum class ParityOutcome { passed, failed, interrupted };

    void setUpGpu();
    // Waits for the GPU set-up; false when `token` is cancelled first.
    bool waitForGpuSetUp(const ComputeCancellationToken& token) const;
    std::optional<GpuFallbackReason> staticGpuFallbackReason(std::string_view seed) const;
    ParityOutcome awaitParityProbe();
    ParityOutcome probeParity();
    std::vector<std::uint64_t> probeCpuHits(std::string_view seed, std::uint64_t end,
                                            int difficulty, bool& interrupted);
    ComputeSearchResult runSearch(const SearchRequest& request,
                                  const ComputeCancellationToken& token,
                                  const CandidateCallback& onCandidate);
    void reportSearchFault(const SearchRequest& request, const std::exception_ptr& fault);
    std::optional<std::vector<std::uint64_t>> dispatchCounted(std::string_view seed, int difficulty,
                                                              std::uint64_t first,
                                                              std::uint64_t end,
                                                              std::uint32_t* hitCount);
    std::optional<std::vector<std::uint64_t>> dispatchEveryHit(
        const SearchRequest& request, std::uint64_t first, std::uint64_t end,
        const ComputeCancellationToken& token, std::uint32_t& overflowHits);
    ComputeSearchResult runCpuSearch(const SearchRequest& request,
                                     const ComputeCancellationToken& token,
                                     const CandidateCallback& onCandidate);
    ComputeSearchResult runGpuSearch(const SearchRequest& request,
                                     const ComputeCancellationToken& token,
                                     const CandidateCallback& onCandidate);
    void log(std::string_view category, std::string_view message) const;

    // Registers a token the way every search does, so cancelAllSearches reaches it.
    std::uint64_t registerToken(const ComputeCancellationTokenPtr& token);
    void unregisterToken(std::uint64_t id);

    Options options_;
    // Written once by the set-up thread, read only after waiting for it.
    std::unique_ptr<gpu::OpenClDevice> gpuDevice_;
    std::unique_ptr<gpu::OpenClPipeline> gpuPipeline_;
    mutable std::mutex gpuSetUpMutex_;
    mutable std::condition_variable gpuSetUpDone_;
    GpuSetUpDiagnostics gpuSetUp_;

    mutable std::mutex lock_;
    std::map<std::uint64_t, ComputeCancellationTokenPtr> activeCancellationTokens_;
    std::uint64_t nextSearchId_ = 1;
    LogCallback onLog_;
    // Parity: not probed (both empty), probing (task valid), settled (result cached).
    std::optional<bool> cachedGpuParityResult_;
    std::shared_future<ParityOutcome> gpuParityTask_;
    std::size_t parityProbeRuns_ = 0;
    // Kinds of search-thread fault already written to the run log.
    std::set<std::string> reportedFaultKinds_;
    // Declared last: destroyed first, so every search ends while the fields above still exist.
    std::unique_ptr<SearchThreadPool> pool_;
    std::thread gpuSetUpThread_;
};

}  // namespace corvanta::engine
