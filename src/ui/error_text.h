#pragma once

#include <QString>
#include <exception>

namespace corvanta::ui {

// What a page shows for a failed request. A backend error in the words of the string table (a
// server's message as it came, a decoding error's detail inside the table's sentence); any other
// error as its what().
QString errorText(const std::exception& error);

}  // namespace corvanta::ui
