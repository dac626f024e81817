#pragma once

// A window that tells when its first paint has been put on the screen: the
// flush follows the paint in the same round of event handling, so a zero
// timer started by the paint runs after it; and how much CPU time the process
// had taken by then, which other guests on the machine sway far less than the
// clock. Also the peak memory of a process, as the start-up benchmark reads it.
#include "bench_support.h"

#include <QTimer>
#include <QWidget>

namespace zento::bench {

template <class Window> class FirstPaintProbe : public Window {
public:
    using Window::Window;
    double paintedMs = -1;
    double paintedCpuMs = -1;

protected:
    void paintEvent(QPaintEvent *event) override
    {
        Window::paintEvent(event);
        if (painted_)
            return;
        painted_ = true;
        QTimer::singleShot(0, this, [this] {
            paintedMs = NowMs();
            paintedCpuMs = ProcessCpuMs();
        });
    }

private:
    bool painted_ = false;
};

// VmHWM of a process, in KiB; -1 when it cannot be read.
inline double PeakResidentKib(const QString &pid = QStringLiteral("self"))
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble();
    return -1;
}

} // namespace zento::bench
