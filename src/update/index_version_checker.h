#pragma once

#include <memory>

#include "update/version_checking.h"

namespace corvanta::backend {
class ApiClient;
class IndexRepository;
}  // namespace corvanta::backend

namespace corvanta::update {

// The content API's version check as a VersionChecking.
class IndexVersionChecker : public VersionChecking {
public:
    // Uses a repository of its own on `client`, apart from the one that feeds the dashboard.
    explicit IndexVersionChecker(backend::ApiClient& client);
    // Uses `repository`, which must outlive this checker.
    explicit IndexVersionChecker(backend::IndexRepository& repository);
    ~IndexVersionChecker() override;

    QCoro::Task<std::optional<backend::AppVersionUpdate>> checkVersion(
        QString currentVersion, std::stop_token stop = {}) override;

private:
    std::unique_ptr<backend::IndexRepository> ownRepository_;
    backend::IndexRepository& repository_;
};

}  // namespace corvanta::update
