#include "engine/compute_engine.h"

#include <cxxabi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <thread>
#include <typeinfo>
#include <utility>

#include "engine/difficulty.h"
#include "engine/gpu/kernel_source.h"
#include "engine/gpu/opencl_device.h"
#include "engine/gpu/opencl_pipeline.h"
#include "engine/gpu/opencl_program_cache.h"
#include "engine/sha256/nonce_searcher.h"
#include "engine/sha256/sha256.h"
#include "engine/system_log.h"

namespace corvanta::engine {

namespace {

struct ParityCase {
    std::string seed;
    std::uint64_t end;  // the case searches [0, end)
    int difficulty;
};

std::string formatSeconds(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", seconds);
    return text;
}

// The kernel's criterion, once more on the processor: a GPU hit must pass it to go anywhere.
bool confirmHit(std::string_view seed, std::uint64_t nonce, int difficulty) {
    std::string message(seed);
    message += std::to_string(nonce);
    return meetsDifficulty(sha256(message), difficulty);
}

// The readable name of an exception's type ("std::bad_alloc"): what tells one kind of fault from
// another in the run log.
std::string typeName(const std::type_info& type) {
    int status = 0;
    const std::unique_ptr<char, void (*)(void*)> readable(
        abi::__cxa_demangle(type.name(), nullptr, nullptr, &status), std::free);
    return status == 0 && readable ? std::string(readable.get()) : std::string(type.name());
}

// The kind of a fault and what it says.
std::pair<std::string, std::string> describeFault(const std::exception_ptr& fault) {
    try {
        std::rethrow_exception(fault);
    } catch (const std::exception& error) {
        return {typeName(typeid(error)), error.what()};
    } catch (...) {
        return {"unknown exception", {}};
    }
}

}  // namespace

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

ComputeEngine::ComputeEngine(Options options) : options_(std::move(options)) {
    options_.gpuDispatchSize =
        std::clamp<std::uint64_t>(options_.gpuDispatchSize, 1, std::uint64_t{0xffffffff});
    pool_ = std::make_unique<SearchThreadPool>();
    gpuSetUpThread_ = std::thread([this] { setUpGpu(); });
}

ComputeEngine::~ComputeEngine() {
    cancelAllSearches();
    pool_.reset();
    // A build cannot be interrupted; an engine dropped during one waits for the compiler.
    gpuSetUpThread_.join();
}

void ComputeEngine::setUpGpu() {
    // The compiler may run for seconds on every core it gets; the window and the searches come
    // first.
    lowerCurrentThreadPriority();
    std::unique_ptr<gpu::OpenClDevice> device;
    std::unique_ptr<gpu::OpenClPipeline> pipeline;
    gpu::OpenClPipeline::BuildReport report;
    try {
        if (auto found = gpu::OpenClDevice::selectDefault()) {
            device = std::make_unique<gpu::OpenClDevice>(*found);
            writeSystemLog(SystemLogLevel::info, "OpenCL device detected: " + device->name() +
                                                     "; GPU requires parity probe");
            if (options_.beforeGpuBuild) {
                options_.beforeGpuBuild();
            }
            std::optional<gpu::OpenClProgramCache> cache;
            if (options_.gpuProgramCacheDirectory) {
                cache.emplace(*options_.gpuProgramCacheDirectory);
            }
            pipeline = gpu::OpenClPipeline::build(*device,
                                                  options_.gpuKernelSource
                                                      ? std::string_view(*options_.gpuKernelSource)
                                                      : gpu::sha256SearchKernelSource(),
                                                  cache ? &*cache : nullptr, &report);
        } else {
            writeSystemLog(SystemLogLevel::info, "No OpenCL GPU device; CPU path only");
        }
    } catch (...) {
        // Out of memory on the host, or a test hook that threw: the CPU path carries on alone.
        pipeline.reset();
    }
    {
        std::lock_guard lock(gpuSetUpMutex_);
        gpuDevice_ = std::move(device);
        gpuPipeline_ = std::move(pipeline);
        gpuSetUp_.finished = true;
        gpuSetUp_.programBuilds = report.sourceBuilds;
        gpuSetUp_.programFromCache = report.loadedFromCache;
        gpuSetUp_.cacheEntryRebuilt = report.cacheEntryDamaged;
    }
    gpuSetUpDone_.notify_all();
}

void ComputeEngine::waitForGpuSetUp() const {
    std::unique_lock lock(gpuSetUpMutex_);
    gpuSetUpDone_.wait(lock, [this] { return gpuSetUp_.finished; });
}

bool ComputeEngine::waitForGpuSetUp(const ComputeCancellationToken& token) const {
    std::unique_lock lock(gpuSetUpMutex_);
    while (!gpuSetUp_.finished) {
        if (token.isCancelled()) {
            return false;
        }
        // The token has no way to wake this wait, so look at it now and then.
        gpuSetUpDone_.wait_for(lock, std::chrono::milliseconds(10));
    }
    return true;
}

ComputeEngine::GpuSetUpDiagnostics ComputeEngine::gpuSetUpDiagnostics() const {
    std::lock_guard lock(gpuSetUpMutex_);
    return gpuSetUp_;
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
    const std::uint64_t id = registerToken(token);
    pool_->submit([this, id, token, search, request = std::move(request),
                   onCandidate = std::move(onCandidate), onComplete = std::move(onComplete)] {
        ComputeSearchResult result = runSearch(request, *token, onCandidate);
        unregisterToken(id);
        if (onComplete) {
            try {
                onComplete(result);
            } catch (...) {
                reportSearchFault(request, std::current_exception());
            }
        }
        search->finish(std::move(result));
    });
    return search;
}

ComputeSearchResult ComputeEngine::runSearch(const SearchRequest& request,
                                             const ComputeCancellationToken& token,
                                             const CandidateCallback& onCandidate) {
    try {
        if (options_.beforeSearch) {
            options_.beforeSearch(request);
        }
        return request.lane == ComputeWorkerLaneKind::cpu
                   ? runCpuSearch(request, token, onCandidate)
                   : runGpuSearch(request, token, onCandidate);
    } catch (...) {
        reportSearchFault(request, std::current_exception());
    }
    // Hits handed on before the fault stay handed on; the range is searched again all the same.
    ComputeSearchResult failed;
    failed.usedGpu = request.lane == ComputeWorkerLaneKind::gpu;
    failed.note = SearchNote::searchFailed;
    failed.status = ComputeSearchStatus::failed;
    return failed;
}

void ComputeEngine::reportSearchFault(const SearchRequest& request,
                                      const std::exception_ptr& fault) {
    try {
        auto [kind, what] = describeFault(fault);
        {
            std::lock_guard lock(lock_);
            if (!reportedFaultKinds_.insert(kind).second) {
                return;  // said once already; a repeating fault must not flood the log
            }
        }
        std::string message = "❌ search failed lane=" + std::string(rawValue(request.lane)) +
                              " range=[" + std::to_string(request.start) + "..<" +
                              std::to_string(request.end) + ") error=" + kind;
        if (!what.empty() && what != kind) {
            message += ": " + what;
        }
        message += "; the range goes back to the pool (later faults of this kind are not logged)";
        log("ERROR", message);
    } catch (...) {
        // Out of memory even for the message: the failed result still tells the lane.
    }
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

std::uint64_t ComputeEngine::registerToken(const ComputeCancellationTokenPtr& token) {
    std::lock_guard lock(lock_);
    const std::uint64_t id = nextSearchId_++;
    activeCancellationTokens_.emplace(id, token);
    return id;
}

void ComputeEngine::unregisterToken(std::uint64_t id) {
    std::lock_guard lock(lock_);
    activeCancellationTokens_.erase(id);
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
    result.usedGpu = false;
    result.batches = 1;
    result.note = SearchNote::cpu;
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

std::optional<std::string> ComputeEngine::gpuDeviceName() const {
    waitForGpuSetUp();
    if (!gpuDevice_) {
        return std::nullopt;
    }
    return gpuDevice_->name();
}

std::optional<GpuFallbackReason> ComputeEngine::staticGpuFallbackReason(
    std::string_view seed) const {
    if (!gpuDevice_) {
        return GpuFallbackReason::noDevice;
    }
    if (!gpuPipeline_) {
        return GpuFallbackReason::pipelineUnavailable;
    }
    if (seed.size() + 20 > kMaxDiagnosticGpuMessageBytes) {
        return GpuFallbackReason::seedTooLong;
    }
    return std::nullopt;
}

std::optional<GpuFallbackReason> ComputeEngine::gpuFallbackReason(std::string_view seed) {
    waitForGpuSetUp();
    if (auto reason = staticGpuFallbackReason(seed)) {
        return reason;
    }
    if (awaitParityProbe() != ParityOutcome::passed) {
        return GpuFallbackReason::parityFailed;
    }
    return std::nullopt;
}

bool ComputeEngine::runParityProbe() {
    waitForGpuSetUp();
    return awaitParityProbe() == ParityOutcome::passed;
}

std::size_t ComputeEngine::parityProbeRuns() const {
    std::lock_guard lock(lock_);
    return parityProbeRuns_;
}

ComputeEngine::ParityOutcome ComputeEngine::awaitParityProbe() {
    std::promise<ParityOutcome> promise;
    std::shared_future<ParityOutcome> task;
    {
        std::lock_guard lock(lock_);
        if (cachedGpuParityResult_) {
            return *cachedGpuParityResult_ ? ParityOutcome::passed : ParityOutcome::failed;
        }
        if (gpuParityTask_.valid()) {
            task = gpuParityTask_;
        } else {
            gpuParityTask_ = promise.get_future().share();
        }
    }
    if (task.valid()) {
        return task.get();  // someone else is probing: wait for the same answer
    }
    ParityOutcome outcome = ParityOutcome::failed;
    try {
        outcome = probeParity();
    } catch (...) {
        outcome = ParityOutcome::failed;  // out of memory on the host: treat the GPU as unusable
    }
    {
        std::lock_guard lock(lock_);
        // A probe whose processor half was cancelled proves nothing about the GPU; leave the
        // engine unprobed so the next GPU search probes again.
        if (outcome != ParityOutcome::interrupted) {
            cachedGpuParityResult_ = outcome == ParityOutcome::passed;
            ++parityProbeRuns_;
        }
        gpuParityTask_ = {};
    }
    promise.set_value(outcome);
    return outcome;
}

ComputeEngine::ParityOutcome ComputeEngine::probeParity() {
    if (!gpuDevice_ || !gpuPipeline_) {
        return ParityOutcome::failed;
    }
    const ParityCase cases[] = {
        {"abc", 4096, 2},
        {std::string(60, 'a'), 1024, 1},
        {"", 512, 1},
    };
    for (const ParityCase& parityCase : cases) {
        bool interrupted = false;
        const std::vector<std::uint64_t> cpuHits =
            probeCpuHits(parityCase.seed, parityCase.end, parityCase.difficulty, interrupted);
        if (interrupted) {
            return ParityOutcome::interrupted;
        }
        const auto gpuHits =
            dispatchBatch(parityCase.seed, parityCase.difficulty, 0, parityCase.end);
        if (!gpuHits || *gpuHits != cpuHits) {
            return ParityOutcome::failed;
        }
    }
    return ParityOutcome::passed;
}

std::vector<std::uint64_t> ComputeEngine::probeCpuHits(std::string_view seed, std::uint64_t end,
                                                       int difficulty, bool& interrupted) {
    auto token = std::make_shared<ComputeCancellationToken>();
    const std::uint64_t id = registerToken(token);
    std::vector<std::uint64_t> hits;
    try {
        NonceSearcher searcher(seed, difficulty, options_.cpuImpl);
        searcher.search(0, end, token->flag(), [&](std::uint64_t nonce) { hits.push_back(nonce); });
    } catch (...) {
        unregisterToken(id);
        throw;
    }
    unregisterToken(id);
    interrupted = token->isCancelled();
    return hits;
}

std::optional<std::vector<std::uint64_t>> ComputeEngine::dispatchBatch(std::string_view seed,
                                                                       int difficulty,
                                                                       std::uint64_t first,
                                                                       std::uint64_t end) {
    waitForGpuSetUp();
    return dispatchCounted(seed, difficulty, first, end, nullptr);
}

std::optional<std::vector<std::uint64_t>> ComputeEngine::dispatchCounted(std::string_view seed,
                                                                         int difficulty,
                                                                         std::uint64_t first,
                                                                         std::uint64_t end,
                                                                         std::uint32_t* hitCount) {
    if (hitCount != nullptr) {
        *hitCount = 0;
    }
    if (!gpuDevice_ || !gpuPipeline_ || difficulty < 0 || difficulty > 64) {
        return std::nullopt;
    }
    if (seed.size() + 20 > kMaxDiagnosticGpuMessageBytes || first > end) {
        return std::nullopt;
    }
    const std::uint64_t count = end - first;
    if (count == 0) {
        return std::vector<std::uint64_t>{};
    }
    if (count > 0xffffffffu) {
        return std::nullopt;
    }
    return gpuPipeline_->dispatch(seed, static_cast<std::uint32_t>(difficulty), first,
                                  static_cast<std::uint32_t>(count), hitCount);
}

std::optional<std::vector<std::uint64_t>> ComputeEngine::dispatchEveryHit(
    const SearchRequest& request, std::uint64_t first, std::uint64_t end,
    const ComputeCancellationToken& token, std::uint32_t& overflowHits) {
    constexpr std::uint64_t kSlots = gpu::OpenClPipeline::kMaxResultsPerDispatch;
    overflowHits = 0;
    std::vector<std::uint64_t> hits;
    // Pieces still to search, the lowest last, so that hits come out in ascending order.
    std::vector<std::pair<std::uint64_t, std::uint64_t>> pending{{first, end}};
    while (!pending.empty()) {
        const auto [pieceStart, pieceEnd] = pending.back();
        pending.pop_back();
        if (pieceStart != first && token.isCancelled()) {
            break;  // a cancelled search keeps the hits found so far
        }
        std::uint32_t found = 0;
        auto pieceHits =
            dispatchCounted(request.seed, request.difficulty, pieceStart, pieceEnd, &found);
        if (!pieceHits) {
            return std::nullopt;
        }
        if (found <= pieceHits->size()) {
            hits.insert(hits.end(), pieceHits->begin(), pieceHits->end());
            continue;
        }
        // The grid found more hits than it has slots for: search it again in pieces expected to
        // fill half their slots. A piece of at most kSlots nonces has a slot for every nonce, so
        // the splitting ends.
        if (overflowHits == 0) {
            overflowHits = found;
        }
        const std::uint64_t count = pieceEnd - pieceStart;
        const std::uint64_t pieceSize = std::max<std::uint64_t>(count * (kSlots / 2) / found, 1);
        const std::uint64_t pieces = (count + pieceSize - 1) / pieceSize;
        for (std::uint64_t i = pieces; i-- > 0;) {
            const std::uint64_t start = pieceStart + i * pieceSize;
            pending.emplace_back(start, std::min(start + pieceSize, pieceEnd));
        }
    }
    std::sort(hits.begin(), hits.end());
    return hits;
}

ComputeSearchResult ComputeEngine::runGpuSearch(const SearchRequest& request,
                                                const ComputeCancellationToken& token,
                                                const CandidateCallback& onCandidate) {
    const std::string label = request.tag ? request.tag->label : "GPU";
    const std::string claim = std::to_string(request.tag ? request.tag->claim : 1);
    ComputeSearchResult result;
    result.usedGpu = true;

    if (!waitForGpuSetUp(token)) {
        // Cancelled while the kernel was still being built: an ordinary cancelled search.
        result.batches = 1;
        result.note = SearchNote::gpuOnly;
        result.status = ComputeSearchStatus::completed;
        return result;
    }
    std::optional<GpuFallbackReason> reason = staticGpuFallbackReason(request.seed);
    if (!reason) {
        ParityOutcome parity = awaitParityProbe();
        while (parity == ParityOutcome::interrupted) {
            if (token.isCancelled()) {
                // Cancelled before the first dispatch: an ordinary cancelled search.
                result.batches = 1;
                result.note = SearchNote::gpuOnly;
                result.status = ComputeSearchStatus::completed;
                return result;
            }
            parity = awaitParityProbe();
        }
        if (parity == ParityOutcome::failed) {
            reason = GpuFallbackReason::parityFailed;
        }
    }
    if (reason) {
        log(label, "fallback reason=" + std::string(gpuFallbackReasonWord(*reason)));
        result.batches = 0;
        result.note = gpuFallbackNote(*reason);
        result.status = ComputeSearchStatus::unprocessed;
        return result;
    }

    int batches = 0;
    std::uint64_t cursor = request.start;
    while (cursor < request.end) {
        if (token.isCancelled()) {
            break;
        }
        const std::uint64_t count = std::min(request.end - cursor, options_.gpuDispatchSize);
        const std::string batch = std::to_string(batches + 1);
        log(label, " -> dispatch claim=" + claim + " startNonce=" + std::to_string(cursor));
        const auto startedAt = std::chrono::steady_clock::now();
        std::uint32_t overflowHits = 0;
        const auto dispatched =
            dispatchEveryHit(request, cursor, cursor + count, token, overflowHits);
        if (!dispatched) {
            log(label, "❌ dispatch claim=" + claim + " batch=" + batch + " failed");
            std::sort(result.nonces.begin(), result.nonces.end());
            result.batches = std::max(batches, 1);
            result.note = SearchNote::gpuDispatchFailed;
            result.status = ComputeSearchStatus::unprocessed;
            return result;
        }
        const std::string elapsed = formatSeconds(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - startedAt).count());
        if (overflowHits > 0) {
            log(label, "⚠️ dispatch claim=" + claim + " batch=" + batch + " found " +
                           std::to_string(overflowHits) + " hits, more than its " +
                           std::to_string(gpu::OpenClPipeline::kMaxResultsPerDispatch) +
                           " result slots; searched again in smaller pieces");
        }

        std::vector<std::uint64_t> hits;
        hits.reserve(dispatched->size());
        for (std::uint64_t nonce : *dispatched) {
            if (confirmHit(request.seed, nonce, request.difficulty)) {
                hits.push_back(nonce);
            } else {
                log(label, "❌ gpu hit rejected nonce=" + std::to_string(nonce));
            }
        }
        if (hits.empty()) {
            log(label,
                "🔎 done claim=" + claim + " batch=" + batch + " elapsed=" + elapsed + "s no-match");
        } else {
            std::string matches;
            for (std::uint64_t nonce : hits) {
                if (!matches.empty()) {
                    matches += ',';
                }
                matches += std::to_string(nonce);
            }
            log(label, "🎯 done claim=" + claim + " batch=" + batch + " elapsed=" + elapsed +
                           "s matches=" + matches);
            log("SUBMIT", "📬 claim=" + claim + " batch=" + batch + " queueing " +
                              std::to_string(hits.size()) + " nonce(s) for validation");
            if (onCandidate) {
                for (std::uint64_t nonce : hits) {
                    onCandidate(nonce);
                }
            }
        }
        result.nonces.insert(result.nonces.end(), hits.begin(), hits.end());
        ++batches;
        cursor += count;
        std::this_thread::yield();
    }
    std::sort(result.nonces.begin(), result.nonces.end());
    result.batches = std::max(batches, 1);
    result.note = SearchNote::gpuOnly;
    result.status = ComputeSearchStatus::completed;
    return result;
}

}  // namespace corvanta::engine
