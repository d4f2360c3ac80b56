#pragma once

#include <QByteArray>
#include <QString>

#include "backend/endpoints.h"

namespace corvanta::backend {

// application/x-www-form-urlencoded, written by hand because QUrlQuery leaves "+" as it is.
// Pairs sorted by key (byte order of UTF-8), "key=value" joined by "&".
QString formEncode(const FormParameters& parameters);

// UTF-8 bytes: space -> "+", A-Z a-z 0-9 - . _ * as they are, every other byte "%XX".
// "a b&c~" -> "a+b%26c%7E", "é" -> "%C3%A9".
QString percentEncodeFormComponent(const QString& text);

}  // namespace corvanta::backend
