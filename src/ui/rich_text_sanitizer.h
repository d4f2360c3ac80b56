#pragma once

#include <QString>

namespace corvanta::ui {

// Reduces HTML from the backend (announcement bodies, content pages) to what the pages format:
// paragraphs, line breaks, headings, lists, emphasis and links (their href only). Every other
// element is dropped: its tags always, and with its content for scripts, style sheets, the head
// and other elements whose content is not text to read. Images, attributes, comments and
// declarations are dropped, so the rich-text engine is never asked to load anything. Text
// outside tags is kept, with stray "<", ">" and "&" escaped.
QString sanitizeRichText(const QString& html);

}  // namespace corvanta::ui
