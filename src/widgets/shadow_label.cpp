#include "widgets/shadow_label.h"

#include <QPainter>
#include <QPainterPath>

namespace zento {

TShadowLabel::TShadowLabel(const QString &text, QWidget *parent, Look look) : QLabel(text, parent), look_(look)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_TranslucentBackground);
    setAutoFillBackground(false);
    if (look_ == Look::Outline)
        edgeColor_ = QColor(64, 64, 64);
}

TShadowLabel::~TShadowLabel() = default;

void TShadowLabel::SetTextColor(const QColor &color)
{
    textColor_ = color;
    update();
}

void TShadowLabel::SetEdgeColor(const QColor &color)
{
    edgeColor_ = color;
    update();
}

void TShadowLabel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setFont(font());
    const QRect area = contentsRect().adjusted(0, 0, -1, -1);
    const int flags = int(alignment()) | Qt::TextSingleLine;
    if (look_ == Look::Shadow) {
        painter.setPen(edgeColor_);
        painter.drawText(area.translated(1, 1), flags, text());
        painter.setPen(textColor_);
        painter.drawText(area, flags, text());
        return;
    }
    // Outline: the glyphs as a path, stroked in the edge colour, filled in the
    // text colour.
    const QFontMetrics metrics(font());
    const QRect bounds = metrics.boundingRect(area, flags, text());
    QPainterPath path;
    path.addText(QPointF(bounds.left(), bounds.top() + metrics.ascent()), font(), text());
    painter.setRenderHint(QPainter::Antialiasing);
    painter.strokePath(path, QPen(edgeColor_, 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.fillPath(path, textColor_);
}

} // namespace zento
