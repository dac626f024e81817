#include "widgets/window_drag.h"

#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

namespace zento {

bool TWindowDrag::Press(QWidget &window, QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return false;
    event->accept();
    if (QWindow *handle = window.windowHandle(); handle && handle->startSystemMove())
        return true;
    // The platform cannot move the window itself: follow the mouse.
    dragging_ = true;
    offset_ = event->globalPosition().toPoint() - window.frameGeometry().topLeft();
    return true;
}

bool TWindowDrag::Move(QWidget &window, QMouseEvent *event)
{
    if (!dragging_ || !(event->buttons() & Qt::LeftButton))
        return false;
    window.move(event->globalPosition().toPoint() - offset_);
    event->accept();
    return true;
}

bool TWindowDrag::Release(QMouseEvent *event)
{
    if (!dragging_ || event->button() != Qt::LeftButton)
        return false;
    dragging_ = false;
    event->accept();
    return true;
}

} // namespace zento
