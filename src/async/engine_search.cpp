#include "async/engine_search.h"

#include <QCoreApplication>
#include <QMetaObject>

#include <memory>
#include <mutex>
#include <optional>

#include "async/main_thread.h"
#include "async/resume_slot.h"

namespace corvanta::async {

namespace {

// The search handle, published once startSearch has returned, so the candidate hook can see
// whether its search was cancelled.
struct CancelSearch {
    std::shared_ptr<engine::ComputeSearch> search;
    void operator()() const { search->cancel(); }
};

struct SearchCell {
    std::mutex mutex;
    std::shared_ptr<engine::ComputeSearch> search;

    bool cancelled() {
        std::lock_guard lock(mutex);
        return search && search->isCancelled();
    }
};

}  // namespace

QCoro::Task<engine::ComputeSearchResult> awaitSearch(engine::ComputeEngine& engine,
                                                     engine::SearchRequest request,
                                                     std::function<void(std::uint64_t)> onCandidate,
                                                     std::stop_token stop) {
    auto cell = std::make_shared<SearchCell>();
    engine::ComputeEngine::CandidateCallback hook;
    if (onCandidate) {
        auto shared = std::make_shared<std::function<void(std::uint64_t)>>(std::move(onCandidate));
        hook = [cell, shared](std::uint64_t nonce) {
            runOnMainThreadAndWait([shared, nonce] { (*shared)(nonce); },
                                   [cell] { return cell->cancelled(); });
        };
    }
    auto finished = std::make_shared<ResumeSlot>();
    auto search = engine.startSearch(
        std::move(request), std::move(hook), [finished](const engine::ComputeSearchResult&) {
            QMetaObject::invokeMethod(
                QCoreApplication::instance(), [finished] { finished->resume(); },
                Qt::QueuedConnection);
        });
    {
        std::lock_guard lock(cell->mutex);
        cell->search = search;
    }
    {
        std::stop_callback onStop(stop, CancelSearch{search});
        co_await finished->wait();
    }
    co_return search->wait();
}

}  // namespace corvanta::async
