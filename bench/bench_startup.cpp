// Start-up: from process start to the main window painted, its preset box and
// option boxes filled; and the peak memory of the program sitting idle.
//
//   bench_startup [work folder] [program executable]
//
// Starts itself ten times as a child ("--child <program folder>") that does
// what the program's main() does and reports the moment the first paint of
// the main window has reached the screen, on the same monotonic clock the
// parent read just before the start, and the CPU time it had taken by then
// (steadier than the clock on a machine shared with other guests). Each child
// then idles for a second and a
// half (the window asks the encoder what it can write meanwhile) and reports
// its peak resident memory. When the real program's executable is given, it
// is started once from a copy of its program folder and its peak memory is
// read the same way, from outside. The platform is whatever QT_QPA_PLATFORM
// says (offscreen, or xcb under Xvfb); result keys carry its name.
#include "app/application_gui.h"
#include "app/main_form.h"
#include "bench_support.h"
#include "first_paint.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <csignal>

using namespace zento;
using namespace zento::bench;

namespace {

constexpr int kRounds = 10;
constexpr int kIdleMs = 1500;

// The main window, telling when its first paint has reached the screen.
using ProbedWindow = FirstPaintProbe<TMainForm1>;

int Child(int argc, char **argv, const QString &programFolder)
{
    const double t0 = NowMs();
    TApplication app(argc, argv);
    const double t1 = NowMs();
    ProbedWindow form(programFolder + QStringLiteral("/DVD_zento"));
    const double t2 = NowMs();
    form.show();
    const double t3 = NowMs();
    std::fprintf(stderr, "STAGES main %.1f app %.1f form %.1f show %.1f\n", t0, t1 - t0, t2 - t1, t3 - t2);
    while (form.paintedMs < 0)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    std::printf("PAINTED %.3f\nPAINTED_CPU %.3f\n", form.paintedMs, form.paintedCpuMs);
    std::fprintf(stderr, "PAINT %.1f\n", form.paintedMs - t3);
    const double idleEnd = NowMs() + kIdleMs;
    while (NowMs() < idleEnd) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(10);
    }
    std::printf("HWM %.0f\n", PeakResidentKib());
    std::fflush(stdout);
    return 0;
}

// The last value of a "KEY value" line in the output.
double Value(const QByteArray &output, const QByteArray &key)
{
    double value = -1;
    for (const QByteArray &line : output.split('\n'))
        if (line.startsWith(key + ' '))
            value = line.mid(key.size() + 1).trimmed().toDouble();
    return value;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc > 2 && qstrcmp(argv[1], "--child") == 0)
        return Child(argc, argv, QString::fromLocal8Bit(argv[2]));

    QCoreApplication app(argc, argv);
    const QString work = WorkFolder(argc, argv);
    const QString realProgram = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
    const QString platform = qEnvironmentVariable("QT_QPA_PLATFORM", QStringLiteral("xcb")).section(':', 0, 0);
    QTemporaryDir folder(work + QStringLiteral("/startup-XXXXXX"));
    const QString profile = QStringLiteral(ZENTO_SOURCE_DIR "/data/profile.txt");
    if (!folder.isValid() || !QFile::copy(profile, folder.filePath(QStringLiteral("profile.txt")))) {
        Note(QStringLiteral("bench_startup: cannot make the program folder"));
        return 1;
    }

    // The program's window and bare Qt windows of its size, one after the
    // other, so that all meet the machine in the same state: an empty one,
    // and one with a line of Japanese text (it loads the fonts, as every
    // window with words on it does).
    const QString bare = QCoreApplication::applicationDirPath() + QStringLiteral("/bench_bare_window");
    struct Figures {
        QList<double> ms, cpuMs, kib;
    };
    Figures program, empty, text;
    const auto measure = [](const QString &executable, const QStringList &arguments, Figures &figures) {
        QProcess child;
        child.setStandardInputFile(QProcess::nullDevice());
        child.setProgram(executable);
        child.setArguments(arguments);
        const double started = NowMs();
        child.start();
        if (!child.waitForFinished(60000) || child.exitCode() != 0)
            Fail(QStringLiteral("bench_startup: %1 failed: %2")
                     .arg(executable, QString::fromLocal8Bit(child.readAll())));
        const QByteArray output = child.readAllStandardOutput();
        figures.ms << Value(output, "PAINTED") - started;
        figures.cpuMs << Value(output, "PAINTED_CPU");
        figures.kib << Value(output, "HWM");
    };
    for (int round = 0; round < kRounds; ++round) {
        measure(QCoreApplication::applicationFilePath(), {QStringLiteral("--child"), folder.path()}, program);
        QFile::remove(folder.filePath(QStringLiteral("DVD_zento.ini")));
        measure(bare, {QString::number(kIdleMs)}, empty);
        measure(bare, {QString::number(kIdleMs), QStringLiteral("text")}, text);
    }
    Note(QStringLiteral("  %1 start-up (ms): %2").arg(platform, Join(program.ms)));
    Note(QStringLiteral("  %1 bare window (ms): %2").arg(platform, Join(empty.ms)));
    Note(QStringLiteral("  %1 bare window with text (ms): %2").arg(platform, Join(text.ms)));
    const QByteArray key = (QStringLiteral("startup.") + platform + '.').toUtf8();
    Result((key + "median_ms").constData(), Median(program.ms));
    Result((key + "min_ms").constData(), *std::min_element(program.ms.begin(), program.ms.end()));
    Result((key + "max_ms").constData(), Max(program.ms));
    Result((key + "cpu_median_ms").constData(), Median(program.cpuMs));
    Result((key + "idle_peak_rss_mib").constData(), Median(program.kib) / 1024.0);
    for (const auto &[name, bareFigures] : {std::pair{"bare", &empty}, std::pair{"bare_text", &text}}) {
        const QByteArray k = key + name;
        Result((k + "_median_ms").constData(), Median(bareFigures->ms));
        Result((k + "_idle_peak_rss_mib").constData(), Median(bareFigures->kib) / 1024.0);
        Result((k + "_start_ratio").constData(), Median(program.ms) / Median(bareFigures->ms));
        Result((k + "_cpu_median_ms").constData(), Median(bareFigures->cpuMs));
        Result((k + "_cpu_ratio").constData(), Median(program.cpuMs) / Median(bareFigures->cpuMs));
        Result((k + "_rss_ratio").constData(), Median(program.kib) / Median(bareFigures->kib));
    }

    // The real program, measured from outside.
    if (!realProgram.isEmpty()) {
        const QString copy = folder.filePath(QStringLiteral("DVD_zento"));
        QFile::remove(copy);
        if (!QFile::copy(realProgram, copy)) {
            Note(QStringLiteral("bench_startup: cannot copy ") + realProgram);
            return 1;
        }
        QFile(copy).setPermissions(QFile(realProgram).permissions());
        QProcess program;
        program.setStandardInputFile(QProcess::nullDevice());
        program.setStandardOutputFile(QProcess::nullDevice());
        program.setStandardErrorFile(QProcess::nullDevice());
        program.start(copy, {});
        if (!program.waitForStarted()) {
            Note(QStringLiteral("bench_startup: cannot start ") + copy);
            return 1;
        }
        QThread::msleep(kIdleMs + 500);
        const double kib = PeakResidentKib(QString::number(program.processId()));
        program.kill();
        program.waitForFinished();
        Result((key + "program_idle_peak_rss_mib").constData(), kib / 1024.0);
    }
    return 0;
}
