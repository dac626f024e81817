#include "widgets/color_button.h"

#include "widgets/handler_guard.h"

#include <QKeyEvent>
#include <QPainter>
#include <QStyleOptionButton>

namespace zento {

TdxfColorButton::TdxfColorButton(const QString &caption, QWidget *parent)
    : QPushButton(caption, parent), color_(192, 192, 192), textColor_(Qt::black)
{
    setCursor(Qt::PointingHandCursor);
    setFlat(true);
    setToolTipDuration(2000);
    connect(this, &QPushButton::clicked, this, [this] {
        if (OnClick)
            RunGuarded([this] { OnClick(*this); });
    });
}

TdxfColorButton::~TdxfColorButton() = default;

void TdxfColorButton::keyPressEvent(QKeyEvent *event)
{
    // The focused button takes Enter as it takes the space bar, as buttons
    // on a form do.
    const int key = event->key();
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) &&
        (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier && !event->isAutoRepeat()) {
        event->accept();
        click();
        return;
    }
    QPushButton::keyPressEvent(event);
}

QColor TdxfColorButton::Color() const
{
    return color_;
}

void TdxfColorButton::SetColor(const QColor &color)
{
    color_ = color;
    update();
}

QColor TdxfColorButton::TextColor() const
{
    return textColor_;
}

void TdxfColorButton::SetTextColor(const QColor &color)
{
    textColor_ = color;
    update();
}

void TdxfColorButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QRect r = rect();
    QColor face = color_;
    if (!isEnabled())
        face = color_.lighter(108);
    else if (isDown())
        face = color_.darker(118);
    else if (underMouse())
        face = color_.lighter(106);
    // A flat face with a soft light-to-face gradient and a one-pixel frame.
    QLinearGradient gradient(r.topLeft(), r.bottomLeft());
    gradient.setColorAt(0.0, face.lighter(112));
    gradient.setColorAt(1.0, face);
    painter.fillRect(r, gradient);
    painter.setPen(isDown() ? QColor(64, 64, 64) : QColor(128, 128, 128));
    painter.drawRect(r.adjusted(0, 0, -1, -1));
    if (hasFocus()) {
        painter.setPen(QPen(QColor(96, 96, 96), 1, Qt::DotLine));
        painter.drawRect(r.adjusted(2, 2, -3, -3));
    }
    painter.setFont(font());
    painter.setPen(isEnabled() ? textColor_ : QColor(150, 150, 150));
    const QRect textRect = isDown() ? r.translated(1, 1) : r;
    painter.drawText(textRect, Qt::AlignCenter | Qt::TextShowMnemonic, text());
}

} // namespace zento
