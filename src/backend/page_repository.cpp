#include "backend/page_repository.h"

#include <QPointer>

#include "backend/api_client.h"
#include "backend/endpoints.h"

namespace corvanta::backend {

PageRepository::PageRepository(APIClient& client, QObject* parent)
    : QObject(parent), client_(client) {}

void PageRepository::setLoading(bool loading) {
    if (isLoading_ != loading) {
        isLoading_ = loading;
        emit isLoadingChanged();
    }
}

QCoro::Task<PageDetailResponse> PageRepository::fetchPage(PageType type, std::stop_token stop) {
    const QPointer<PageRepository> self(this);
    APIClient& client = client_;
    setLoading(true);
    try {
        PageDetailResponse page = co_await client.request<PageDetailResponse>(
            PageEndpoint::detail(type), std::move(stop));
        if (self) {
            self->setLoading(false);
        }
        co_return page;
    } catch (...) {
        if (self) {
            self->setLoading(false);
        }
        throw;
    }
}

}  // namespace corvanta::backend
