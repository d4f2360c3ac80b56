#include "ui/language_migration.h"

#include <QStringList>

#include "engine/foreign_platform_words.h"

namespace corvanta::ui {

bool migrateLanguageToEnglish(QSettings& settings) {
    const QString flagKey = QStringLiteral("language_english_only_migrated_v1");
    const QString languageKey = QStringLiteral("app_language");
    const auto foreignKey = engine::foreign_words::kLanguagesPreferenceKey;
    const QString languagesKey = QLatin1String(foreignKey.data(), qsizetype(foreignKey.size()));
    const QString english = QStringLiteral("language_english");
    const QStringList languages{QStringLiteral("en")};
    if (settings.value(flagKey).toBool() && settings.value(languageKey).toString() == english &&
        settings.value(languagesKey).toStringList() == languages) {
        return false;
    }
    settings.setValue(languageKey, english);
    settings.setValue(languagesKey, languages);
    settings.setValue(flagKey, true);
    return true;
}

}  // namespace corvanta::ui
