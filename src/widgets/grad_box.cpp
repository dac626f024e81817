#include "widgets/grad_box.h"

#include <QLinearGradient>
#include <QPainter>

namespace zento {

void PaintGradient(QPainter &painter, const QRect &area, Qt::Orientation orientation, bool reversed)
{
    QLinearGradient gradient = orientation == Qt::Vertical ? QLinearGradient(area.topLeft(), area.bottomLeft())
                                                           : QLinearGradient(area.topLeft(), area.topRight());
    gradient.setColorAt(reversed ? 1.0 : 0.0, kGradGrey);
    gradient.setColorAt(reversed ? 0.0 : 1.0, kGradLight);
    painter.fillRect(area, gradient);
}

void PaintGradBox(QPainter &painter, const QRect &box)
{
    PaintGradient(painter, box, Qt::Vertical, true);
    painter.setPen(kGradGrey);
    painter.drawRect(box.adjusted(0, 0, -1, -1));
}

} // namespace zento
