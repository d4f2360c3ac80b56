#pragma once

#include <QHash>
#include <QString>

namespace corvanta::platform {

// The application's English texts, keyed as in resources/strings/en.json. Format arguments use
// Qt's %1, %2 placeholders.
class StringTable {
public:
    // The table compiled into the program; loaded once, then read-only (safe from any thread).
    static const StringTable& english();

    // Parses a table from JSON text: one object of string values.
    static StringTable fromJson(const QByteArray& json);

    // The text for `key`, or the key itself when the table has none (a visible, harmless fault).
    QString text(const QString& key) const;
    bool contains(const QString& key) const { return texts_.contains(key); }

private:
    QHash<QString, QString> texts_;
};

// The English text for `key`: the one lookup every user-facing text goes through.
QString localized(const QString& key);

}  // namespace corvanta::platform
