#include "update/index_version_checker.h"

#include <utility>

#include "backend/index_repository.h"

namespace corvanta::update {

IndexVersionChecker::IndexVersionChecker(backend::ApiClient& client)
    : ownRepository_(std::make_unique<backend::IndexRepository>(client)),
      repository_(*ownRepository_) {}

IndexVersionChecker::IndexVersionChecker(backend::IndexRepository& repository)
    : repository_(repository) {}

IndexVersionChecker::~IndexVersionChecker() = default;

QCoro::Task<std::optional<backend::AppVersionUpdate>> IndexVersionChecker::checkVersion(
    QString currentVersion, std::stop_token stop) {
    // Not a coroutine of its own: the repository's task does not need this checker once it has
    // sent the request, so destroying the checker mid-check is safe.
    return repository_.checkVersion(std::move(currentVersion), std::move(stop));
}

}  // namespace corvanta::update
