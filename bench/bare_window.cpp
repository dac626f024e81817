// A bare Qt window of the main window's size, started as bench_startup
// starts the program: what any Qt program pays before its first window, for
// the program's start-up to be held against.
//
//   bench_bare_window <idle ms> [text]
//                            prints "PAINTED <ms>" (the monotonic clock
//                            when the first paint reached the screen), then
//                            after the idle spell "HWM <KiB>"; with "text"
//                            the window shows one line of Japanese text, so
//                            that it loads the fonts as any window with
//                            words on it must
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPainter>
#include <QThread>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <ctime>

namespace {

double NowMs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return double(now.tv_sec) * 1000.0 + double(now.tv_nsec) / 1e6;
}

class Window : public QWidget {
public:
    double paintedMs = -1;
    QString text;

protected:
    void paintEvent(QPaintEvent *) override
    {
        if (!text.isEmpty())
            QPainter(this).drawText(rect(), Qt::AlignCenter, text);
        if (painted_)
            return;
        painted_ = true;
        QTimer::singleShot(0, this, [this] { paintedMs = NowMs(); });
    }

private:
    bool painted_ = false;
};

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    Window window;
    window.setWindowTitle(QStringLiteral("bare"));
    window.resize(434, 574);
    if (argc > 2 && qstrcmp(argv[2], "text") == 0)
        window.text = QStringLiteral("DVD変換Zento: 変換するタイトルを選んでください");
    window.show();
    while (window.paintedMs < 0)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    std::printf("PAINTED %.3f\n", window.paintedMs);
    const double idleEnd = NowMs() + (argc > 1 ? std::atof(argv[1]) : 1500.0);
    while (NowMs() < idleEnd) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(10);
    }
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly))
        for (const QByteArray &line : status.readAll().split('\n'))
            if (line.startsWith("VmHWM:"))
                std::printf("HWM %s\n", line.mid(6).trimmed().split(' ').value(0).constData());
    std::fflush(stdout);
    return 0;
}
