// Start-up cost of the main window: constructing it over the shipped
// profile.txt (presets and catalogues into their boxes), showing it and the
// first activation, plus the process's peak memory. Run with
// QT_QPA_PLATFORM=offscreen for numbers without a display server.
#include "app/application_gui.h"
#include "app/main_form.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <sys/resource.h>

using namespace zento;

int main(int argc, char **argv)
{
    TApplication app(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid() ||
        !QFile::copy(QStringLiteral(ZENTO_SOURCE_DIR "/data/profile.txt"), dir.filePath(QStringLiteral("profile.txt"))))
        return 1;
    const QString exe = dir.filePath(QStringLiteral("DVD_zento"));

    const int rounds = 20;
    double first = 0, total = 0;
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer timer;
        timer.start();
        {
            TMainForm1 form(exe);
            form.show();
            QCoreApplication::processEvents();
            const double ms = timer.nsecsElapsed() / 1e6;
            if (i == 0)
                first = ms;
            total += ms;
        }
        QFile::remove(dir.filePath(QStringLiteral("DVD_zento.ini")));
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("main window construct+show: first %.1f ms, mean %.1f ms over %d\n", first, total / rounds, rounds);
    std::printf("peak resident memory: %ld KiB\n", usage.ru_maxrss);
    return 0;
}
