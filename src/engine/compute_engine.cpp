#include "engine/compute_engine.h"

#include <stdexcept>

#include "engine/sha256/nonce_searcher.h"

namespace corvanta::engine {

bool ComputeSearch::isFinished() const {
    std::lock_guard lock(mutex_);
    return result_.has_value();
}

ComputeSearchResult ComputeSearch::wait() {
    std::unique_lock lock(mutex_);
    finished_.wait(lock, [this] { return result_.has_value(); });
    return *result_;
}

void ComputeSearch::finish(ComputeSearchResult result) {
    {
        std::lock_guard lock(mutex_);
        result_ = std::move(result);
    }
    finished_.notify_all();
}

ComputeEngine::ComputeEngine() : ComputeEngine(Options{}) {}

ComputeEngine::ComputeEngine(Options options)
    : options_(options), pool_(std::make_unique<SearchThreadPool>()) {}

ComputeEngine::~ComputeEngine() {
    cancelAllSearches();
    pool_.reset();
}

std::shared_ptr<ComputeSearch> ComputeEngine::startSearch(SearchRequest request,
                                                          CandidateCallback onCandidate,
                                                          CompletionCallback onComplete) {
    if (request.start > request.end) {
        throw std::invalid_argument("search range start " + std::to_string(request.start) +
                                    " lies above its end " + std::to_string(request.end));
    }
    auto token = std::make_shared<ComputeCancellationToken>();
    auto search = std::make_shared<ComputeSearch>(token);
    std::uint64_t id = 0;
    {
        std::lock_guard lock(lock_);
        id = nextSearchId_++;
        activeCancellationTokens_.emplace(id, token);
    }
    pool_->submit([this, id, token, search, request = std::move(request),
                   onCandidate = std::move(onCandidate), onComplete = std::move(onComplete)] {
        ComputeSearchResult result = request.lane == ComputeWorkerLaneKind::cpu
                                         ? runCpuSearch(request, *token, onCandidate)
                                         : runGpuSearch(request, *token, onCandidate);
        {
            std::lock_guard lock(lock_);
            activeCancellationTokens_.erase(id);
        }
        if (onComplete) {
            onComplete(result);
        }
        search->finish(std::move(result));
    });
    return search;
}

ComputeSearchResult ComputeEngine::searchRange(SearchRequest request,
                                               CandidateCallback onCandidate) {
    return startSearch(std::move(request), std::move(onCandidate))->wait();
}

void ComputeEngine::cancelAllSearches() {
    std::vector<ComputeCancellationTokenPtr> tokens;
    {
        std::lock_guard lock(lock_);
        tokens.reserve(activeCancellationTokens_.size());
        for (const auto& entry : activeCancellationTokens_) {
            tokens.push_back(entry.second);
        }
    }
    for (const auto& token : tokens) {
        token->cancel();
    }
}

std::size_t ComputeEngine::activeSearchCount() const {
    std::lock_guard lock(lock_);
    return activeCancellationTokens_.size();
}

void ComputeEngine::setOnLog(LogCallback onLog) {
    std::lock_guard lock(lock_);
    onLog_ = std::move(onLog);
}

void ComputeEngine::log(std::string_view category, std::string_view message) const {
    LogCallback onLog;
    {
        std::lock_guard lock(lock_);
        onLog = onLog_;
    }
    if (onLog) {
        onLog(category, message);
    }
}

ComputeSearchResult ComputeEngine::runCpuSearch(const SearchRequest& request,
                                                const ComputeCancellationToken& token,
                                                const CandidateCallback& onCandidate) {
    ComputeSearchResult result;
    result.usedGPU = false;
    result.batches = 1;
    result.note = "cpu";
    result.status = ComputeSearchStatus::completed;
    NonceSearcher searcher(request.seed, request.difficulty, options_.cpuImpl);
    searcher.search(request.start, request.end, token.flag(), [&](std::uint64_t nonce) {
        result.nonces.push_back(nonce);
        if (onCandidate) {
            onCandidate(nonce);
        }
    });
    return result;
}

ComputeSearchResult ComputeEngine::runGpuSearch(const SearchRequest& request,
                                                const ComputeCancellationToken&,
                                                const CandidateCallback&) {
    // No GPU backend is built into this engine yet: report the range unsearched so the caller
    // can hand it to a CPU lane.
    const std::string label = request.tag ? request.tag->label : "GPU";
    const std::string reason = "no-metal-device";
    log(label, "fallback reason=" + reason);
    ComputeSearchResult result;
    result.usedGPU = true;
    result.batches = 0;
    result.note = "gpu-only-" + reason;
    result.status = ComputeSearchStatus::unprocessed;
    return result;
}

}  // namespace corvanta::engine
