#include "platform/string_table.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

namespace corvanta::platform {

const StringTable& StringTable::english() {
    static const StringTable table = [] {
        QFile file(QStringLiteral(":/strings/en.json"));
        if (!file.open(QIODevice::ReadOnly)) {
            return StringTable{};
        }
        return fromJson(file.readAll());
    }();
    return table;
}

StringTable StringTable::fromJson(const QByteArray& json) {
    StringTable table;
    const QJsonObject object = QJsonDocument::fromJson(json).object();
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (it.value().isString()) {
            table.texts_.insert(it.key(), it.value().toString());
        }
    }
    return table;
}

QString StringTable::text(const QString& key) const {
    return texts_.value(key, key);
}

QString localized(const QString& key) {
    return StringTable::english().text(key);
}

}  // namespace corvanta::platform
