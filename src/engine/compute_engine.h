#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "engine/compute_cancellation_token.h"
#include "engine/compute_search_result.h"
#include "engine/compute_worker_lane_kind.h"
#include "engine/search_thread_pool.h"
#include "engine/sha256/sha256_impl.h"

namespace corvanta::engine {

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

// Searches nonce ranges on processor cores (and, through its GPU path, on the graphics processor).
// Every search runs on a background thread of the engine at low priority. Thread-safe.
class ComputeEngine {
public:
    // Called on the search thread for every hit, in ascending order; the search waits for it.
    using CandidateCallback = std::function<void(std::uint64_t nonce)>;
    // Called on the search thread once the search has ended and left the active table.
    using CompletionCallback = std::function<void(const ComputeSearchResult&)>;
    using LogCallback = std::function<void(std::string_view category, std::string_view message)>;

    struct Options {
        Sha256Impl cpuImpl = defaultSha256Impl();
    };

    ComputeEngine();
    explicit ComputeEngine(Options options);
    // Cancels every search and waits for them to end.
    ~ComputeEngine();
    ComputeEngine(const ComputeEngine&) = delete;
    ComputeEngine& operator=(const ComputeEngine&) = delete;

    // Starts a search of [start, end). Throws std::invalid_argument, without searching, when the
    // range's start lies above its end.
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

private:
    ComputeSearchResult runCpuSearch(const SearchRequest& request,
                                     const ComputeCancellationToken& token,
                                     const CandidateCallback& onCandidate);
    ComputeSearchResult runGpuSearch(const SearchRequest& request,
                                     const ComputeCancellationToken& token,
                                     const CandidateCallback& onCandidate);
    void log(std::string_view category, std::string_view message) const;

    Options options_;
    mutable std::mutex lock_;
    std::map<std::uint64_t, ComputeCancellationTokenPtr> activeCancellationTokens_;
    std::uint64_t nextSearchId_ = 1;
    LogCallback onLog_;
    // Declared last: destroyed first, so every search ends while the fields above still exist.
    std::unique_ptr<SearchThreadPool> pool_;
};

}  // namespace corvanta::engine
