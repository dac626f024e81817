#include "widgets/shadow_label.h"

#include <QFontMetrics>
#include <QImage>
#include <QList>
#include <QPainter>

namespace zento {

namespace {

// The edge of the glyphs in `glyphs` (an alpha mask): each pixel in the edge
// colour, as opaque as the most opaque glyph pixel within `reach` pixels.
// Only the part that has any is made: `area` is where it lies in `glyphs`,
// empty when there are no glyphs.
QImage EdgeImage(const QImage &glyphs, const QColor &edge, int reach, QRect &area)
{
    const int width = glyphs.width();
    const int height = glyphs.height();
    QRect ink;
    for (int y = 0; y < height; ++y) {
        const uchar *line = glyphs.constScanLine(y);
        for (int x = 0; x < width; ++x)
            if (line[x] != 0)
                ink |= QRect(x, y, 1, 1);
    }
    area = ink.adjusted(-reach, -reach, reach, reach) & QRect(0, 0, width, height);
    if (area.isEmpty())
        return QImage();
    // The maximum along rows, then along columns: a square of 2 reach + 1.
    QList<uchar> rows(qsizetype(area.width()) * area.height(), 0);
    for (int y = area.top(); y <= area.bottom(); ++y) {
        const uchar *line = glyphs.constScanLine(y);
        uchar *out = rows.data() + qsizetype(y - area.top()) * area.width();
        for (int x = area.left(); x <= area.right(); ++x) {
            uchar most = 0;
            for (int dx = qMax(0, x - reach); dx <= qMin(width - 1, x + reach); ++dx)
                most = qMax(most, line[dx]);
            out[x - area.left()] = most;
        }
    }
    const int red = edge.red(), green = edge.green(), blue = edge.blue(), opacity = edge.alpha();
    const uchar *maxima = rows.constData();
    QImage image(area.size(), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(glyphs.devicePixelRatio());
    for (int y = 0; y < area.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        const int from = qMax(0, y - reach), to = qMin(area.height() - 1, y + reach);
        for (int x = 0; x < area.width(); ++x) {
            int most = 0;
            for (int dy = from; dy <= to; ++dy)
                most = qMax<int>(most, maxima[qsizetype(dy) * area.width() + x]);
            line[x] = qPremultiply(qRgba(red, green, blue, most * opacity / 255));
        }
    }
    return image;
}

} // namespace

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

void TShadowLabel::SetElideMode(Qt::TextElideMode mode)
{
    elide_ = mode;
    update();
}

QString TShadowLabel::ShownText() const
{
    // the shadow takes the last pixel
    return elide_ == Qt::ElideNone ? text()
                                   : QFontMetrics(font()).elidedText(text(), elide_, contentsRect().width() - 1);
}

void TShadowLabel::paintEvent(QPaintEvent *)
{
    const QString shown = ShownText();
    QPainter painter(this);
    painter.setFont(font());
    const int flags = int(alignment()) | Qt::TextSingleLine;
    if (look_ == Look::Shadow) {
        const QRect area = contentsRect().adjusted(0, 0, -1, -1);
        painter.setPen(edgeColor_);
        painter.drawText(area.translated(1, 1), flags, shown);
        painter.setPen(textColor_);
        painter.drawText(area, flags, shown);
        return;
    }
    // Outline: every pixel within one pixel of the glyphs takes the edge
    // colour, as strongly as the most covered glyph pixel next to it; then the
    // glyphs in the text colour on top. The edge reaches no further, so a gap
    // of three pixels inside a glyph (between the dots of "：", inside small
    // kana) keeps the background in its middle; a wider pen fills such gaps
    // and the glyph turns into a blot ("：" reads as "8"). The baseline sits
    // on a whole pixel, so that strokes and dots fall on pixel rows instead of
    // smearing over two.
    const QFontMetrics metrics(font());
    const QRect bounds = metrics.boundingRect(contentsRect().adjusted(1, 1, -1, -1), flags, shown);
    const QPoint origin(bounds.left(), bounds.top() + metrics.ascent());
    const qreal ratio = devicePixelRatioF();
    QImage glyphs((QSizeF(size()) * ratio).toSize(), QImage::Format_Alpha8);
    glyphs.setDevicePixelRatio(ratio);
    glyphs.fill(Qt::transparent);
    {
        QPainter mask(&glyphs);
        mask.setFont(font());
        mask.setPen(Qt::black);
        mask.drawText(origin, shown);
    }
    QRect area;
    const QImage edge = EdgeImage(glyphs, edgeColor_, qMax(1, qRound(ratio)), area);
    if (!edge.isNull())
        painter.drawImage(QPointF(area.topLeft()) / ratio, edge);
    painter.setPen(textColor_);
    painter.drawText(origin, shown);
}

} // namespace zento
