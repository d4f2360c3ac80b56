#pragma once

#include <QString>
#include <QUrl>

#include <optional>

namespace corvanta::ui {

// The agreement text on the login page carries its links as "corvanta-auth-action://part/N";
// N is the index of the action the link starts.
QString authActionUrl(int index);

// The action index of such a link; nothing for any other URL.
std::optional<int> parseAuthActionUrl(const QUrl& url);

}  // namespace corvanta::ui
