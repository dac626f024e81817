#pragma once

#include <QPoint>

class QMouseEvent;
class QWidget;

namespace zento {

// Moves a borderless window dragged by its background with the left button:
// the platform's own move where it offers one, else the window follows the
// mouse. Each call returns whether it took the event.
class TWindowDrag {
public:
    bool Press(QWidget &window, QMouseEvent *event);
    bool Move(QWidget &window, QMouseEvent *event);
    bool Release(QMouseEvent *event);

private:
    QPoint offset_;
    bool dragging_ = false;
};

} // namespace zento
