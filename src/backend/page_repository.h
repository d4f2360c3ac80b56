#pragma once

#include <QCoroTask>
#include <QObject>
#include <stop_token>

#include "async/loading_flag.h"
#include "backend/content_records.h"
#include "backend/endpoints.h"

namespace corvanta::backend {

class ApiClient;

// The about, privacy and terms pages. Main thread only.
class PageRepository : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isLoading READ isLoading NOTIFY isLoadingChanged)

public:
    explicit PageRepository(ApiClient& client, QObject* parent = nullptr);

    bool isLoading() const { return loading_.isLoading(); }
    QCoro::Task<PageDetailResponse> fetchPage(PageType type, std::stop_token stop = {});

signals:
    void isLoadingChanged();

private:
    ApiClient& client_;
    async::LoadingFlag loading_{[this] { emit isLoadingChanged(); }};
};

}  // namespace corvanta::backend
