#include "ui/local_only_network_access_factory.h"

#include <QNetworkAccessManager>
#include <QNetworkRequest>

#include "platform/system_log.h"

namespace corvanta::ui {
namespace {

class RefusingNetworkAccessManager final : public QNetworkAccessManager {
public:
    using QNetworkAccessManager::QNetworkAccessManager;

protected:
    QNetworkReply* createRequest(Operation operation, const QNetworkRequest& request,
                                 QIODevice*) override {
        qCWarning(platform::dashboardLog).noquote()
            << "refused a request of the pages to"
            << request.url().toString(QUrl::RemoveUserInfo | QUrl::RemovePath | QUrl::RemoveQuery |
                                      QUrl::RemoveFragment);
        // A request without an address fails at once with an error reply; nothing is sent.
        return QNetworkAccessManager::createRequest(operation, QNetworkRequest(), nullptr);
    }
};

}  // namespace

QNetworkAccessManager* LocalOnlyNetworkAccessFactory::create(QObject* parent) {
    return new RefusingNetworkAccessManager(parent);  // owned by `parent`
}

}  // namespace corvanta::ui
