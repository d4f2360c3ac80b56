#pragma once

#include <QCoroTask>
#include <QObject>
#include <stop_token>

#include "backend/content_records.h"
#include "backend/endpoints.h"

namespace corvanta::backend {

class APIClient;

// The about, privacy and terms pages. Main thread only.
class PageRepository : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isLoading READ isLoading NOTIFY isLoadingChanged)

public:
    explicit PageRepository(APIClient& client, QObject* parent = nullptr);

    bool isLoading() const { return isLoading_; }
    QCoro::Task<PageDetailResponse> fetchPage(PageType type, std::stop_token stop = {});

signals:
    void isLoadingChanged();

private:
    void setLoading(bool loading);

    APIClient& client_;
    bool isLoading_ = false;
};

}  // namespace corvanta::backend
