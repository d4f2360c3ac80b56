#pragma once

#include <QSettings>

namespace corvanta::ui {

// The interface is English only. Rewrites the language preferences unless they already say so
// and the one-time flag is set; returns whether anything was written.
bool migrateLanguageToEnglish(QSettings& settings);

}  // namespace corvanta::ui
