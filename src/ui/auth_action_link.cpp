#include "ui/auth_action_link.h"

#include <QRegularExpression>
#include <QStringList>

namespace corvanta::ui {

QString authActionUrl(int index) {
    return QStringLiteral("corvanta-auth-action://part/") + QString::number(index);
}

std::optional<int> parseAuthActionUrl(const QUrl& url) {
    if (url.scheme() != QLatin1String("corvanta-auth-action") ||
        url.host() != QLatin1String("part")) {
        return std::nullopt;
    }
    // The path components as the URL names them: "/" counts as the first one.
    QStringList components = url.path().split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (url.path().startsWith(QLatin1Char('/'))) {
        components.prepend(QStringLiteral("/"));
    }
    if (components.size() < 2) {
        return std::nullopt;
    }
    static const QRegularExpression decimal(QStringLiteral("^[+-]?[0-9]+$"));
    const QString& last = components.last();
    if (!decimal.match(last).hasMatch()) {
        return std::nullopt;
    }
    bool ok = false;
    const int index = last.toInt(&ok);
    return ok ? std::optional<int>(index) : std::nullopt;
}

}  // namespace corvanta::ui
