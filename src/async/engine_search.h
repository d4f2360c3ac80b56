#pragma once

#include <QCoroTask>

#include <functional>
#include <stop_token>

#include "engine/compute_engine.h"

namespace corvanta::async {

// Runs one engine search and resumes the awaiting coroutine on the main thread with its result.
// Stopping `stop` cancels the search (its hits so far still come back). `onCandidate` runs on the
// main thread for every hit while the search thread waits for it; once the search is cancelled
// the search thread stops waiting, so a shutdown can never deadlock on it.
QCoro::Task<engine::ComputeSearchResult> awaitSearch(engine::ComputeEngine& engine,
                                                     engine::SearchRequest request,
                                                     std::function<void(std::uint64_t)> onCandidate,
                                                     std::stop_token stop);

}  // namespace corvanta::async
