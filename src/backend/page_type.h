#pragma once

#include <QString>

namespace corvanta::backend {

enum class PageType { about, privacy, terms };

inline QString pageTypeText(PageType type) {
    switch (type) {
        case PageType::about:
            return QStringLiteral("about");
        case PageType::privacy:
            return QStringLiteral("privacy");
        case PageType::terms:
            return QStringLiteral("terms");
    }
    return {};
}

}  // namespace corvanta::backend
