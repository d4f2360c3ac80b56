#pragma once

#include <QCoroTask>
#include <QObject>
#include <QString>

#include <functional>

#include "async/loading_flag.h"

namespace corvanta::ui {

// The login page: the typed key, the progress flag and the error shown under the field.
// Main thread only.
class KeyLoginViewModel : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString key READ key WRITE setKey NOTIFY keyChanged)
    Q_PROPERTY(bool isLoading READ isLoading NOTIFY isLoadingChanged)
    Q_PROPERTY(QString errorMessage READ errorMessage NOTIFY errorMessageChanged)
    Q_PROPERTY(bool hasError READ hasError NOTIFY errorMessageChanged)
    Q_PROPERTY(QString agreementHtml READ agreementHtml CONSTANT)

public:
    // The key login; throws on failure (a BackendError is shown in the string table's words).
    using LoginFunction = std::function<QCoro::Task<>(QString key)>;

    explicit KeyLoginViewModel(LoginFunction login, QObject* parent = nullptr);

    const QString& key() const { return key_; }
    void setKey(const QString& key);
    bool isLoading() const { return loading_.isLoading(); }
    const QString& errorMessage() const { return errorMessage_; }
    bool hasError() const { return !errorMessage_.isEmpty(); }

    // The agreement row: plain parts and two links, each link's URL naming its part's index.
    QString agreementHtml() const;
    // The content page ("privacy", "terms") a link of the agreement row opens; empty for any
    // other URL.
    Q_INVOKABLE QString pageTypeForLink(const QString& url) const;

    // The connect button and Return in the key field. Ignored while a login runs.
    Q_INVOKABLE void submit();
    QCoro::Task<> login();

signals:
    void keyChanged();
    void isLoadingChanged();
    void errorMessageChanged();

private:
    void setErrorMessage(const QString& message);

    LoginFunction login_;
    QString key_;
    QString errorMessage_;
    async::LoadingFlag loading_{[this] { emit isLoadingChanged(); }};
};

}  // namespace corvanta::ui
