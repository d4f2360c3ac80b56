#include "backend/page_repository.h"

#include "backend/api_client.h"
#include "backend/endpoints.h"

namespace corvanta::backend {

PageRepository::PageRepository(ApiClient& client, QObject* parent)
    : QObject(parent), client_(client) {}

QCoro::Task<PageDetailResponse> PageRepository::fetchPage(PageType type, std::stop_token stop) {
    const auto load = loading_.begin();
    co_return co_await client_.request<PageDetailResponse>(PageEndpoint::detail(type),
                                                           std::move(stop));
}

}  // namespace corvanta::backend
