// A bare Qt window of the main window's size, started as bench_startup
// starts the program: what any Qt program pays before its first window, for
// the program's start-up to be held against.
//
//   bench_bare_window <idle ms> [text]
//                            prints "PAINTED <ms>" (the monotonic clock
//                            when the first paint reached the screen) and
//                            "PAINTED_CPU <ms>" (the CPU time by then), then
//                            after the idle spell "HWM <KiB>"; with "text"
//                            the window shows one line of Japanese text, so
//                            that it loads the fonts as any window with
//                            words on it must
#include "first_paint.h"

#include <QApplication>
#include <QPainter>
#include <QThread>

#include <cstdio>

namespace {

// The bare window: nothing, or one line of text.
class TextWindow : public QWidget {
public:
    QString text;

protected:
    void paintEvent(QPaintEvent *) override
    {
        if (!text.isEmpty())
            QPainter(this).drawText(rect(), Qt::AlignCenter, text);
    }
};

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    zento::bench::FirstPaintProbe<TextWindow> window;
    window.setWindowTitle(QStringLiteral("bare"));
    window.resize(434, 574);
    if (argc > 2 && qstrcmp(argv[2], "text") == 0)
        window.text = QStringLiteral("DVD変換Zento: 変換するタイトルを選んでください");
    window.show();
    while (window.paintedMs < 0)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    std::printf("PAINTED %.3f\nPAINTED_CPU %.3f\n", window.paintedMs, window.paintedCpuMs);
    const double idleEnd = zento::bench::NowMs() + (argc > 1 ? std::atof(argv[1]) : 1500.0);
    while (zento::bench::NowMs() < idleEnd) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(10);
    }
    std::printf("HWM %.0f\n", zento::bench::PeakResidentKib());
    std::fflush(stdout);
    return 0;
}
