#pragma once

#include <QByteArray>

namespace corvanta::ui {

// Whether an SVG document stands on its own: every reference in it (href and src attributes,
// url(…) in attributes and style sheets) points at inline data ("data:") or into the document
// itself ("#…"), and it declares no external entity, imports no style sheet and links no
// stylesheet. Qt Svg would otherwise open what such a reference names — any local file, a FIFO
// that never answers — while parsing. Malformed XML is refused too.
bool isSelfContainedSvg(const QByteArray& bytes);

}  // namespace corvanta::ui
