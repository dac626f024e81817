#pragma once

#include <QColor>
#include <QRect>
#include <Qt>

class QPainter;

namespace zento {

// The two ends of every decorative gradient: grey and the light (226, 226, 199).
inline const QColor kGradGrey(128, 128, 128);
inline const QColor kGradLight(226, 226, 199);

// A gradient from grey to the light colour across the rectangle: top to
// bottom (Qt::Vertical) or left to right, or the other way when reversed.
void PaintGradient(QPainter &painter, const QRect &area, Qt::Orientation orientation, bool reversed = false);

// A gradient box: the gradient drawn bottom to top, outlined in grey.
void PaintGradBox(QPainter &painter, const QRect &box);

} // namespace zento
