// Start-up: from process start to the main window painted, its preset box and
// option boxes filled; and the peak memory of the program sitting idle.
//
//   bench_startup [work folder] [program executable]
//
// Starts itself ten times as a child ("--child <program folder>") that does
// what the program's main() does and reports the moment the first paint of
// the main window has reached the screen, on the same monotonic clock the
// parent read just before the start. Each child then idles for a second and a
// half (the window asks the encoder what it can write meanwhile) and reports
// its peak resident memory. When the real program's executable is given, it
// is started once from a copy of its program folder and its peak memory is
// read the same way, from outside. The platform is whatever QT_QPA_PLATFORM
// says (offscreen, or xcb under Xvfb); result keys carry its name.
#include "app/application_gui.h"
#include "app/main_form.h"
#include "bench_support.h"

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

// VmHWM of a process, in KiB; -1 when it cannot be read.
double PeakResidentKib(const QString &pid = QStringLiteral("self"))
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble();
    return -1;
}

// The main window, telling when its first paint has been put on the screen:
// the flush follows the paint in the same round of event handling, so a
// zero timer started by the paint runs after it.
class ProbedWindow : public TMainForm1 {
public:
    using TMainForm1::TMainForm1;
    double paintedMs = -1;

protected:
    void paintEvent(QPaintEvent *event) override
    {
        TMainForm1::paintEvent(event);
        if (painted_)
            return;
        painted_ = true;
        QTimer::singleShot(0, this, [this] { paintedMs = NowMs(); });
    }

private:
    bool painted_ = false;
};

int Child(int argc, char **argv, const QString &programFolder)
{
    TApplication app(argc, argv);
    ProbedWindow form(programFolder + QStringLiteral("/DVD_zento"));
    form.show();
    while (form.paintedMs < 0)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    std::printf("PAINTED %.3f\n", form.paintedMs);
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

    // The program's window and a bare Qt window of its size, one after the
    // other, so that both meet the machine in the same state.
    const QString bare = QCoreApplication::applicationDirPath() + QStringLiteral("/bench_bare_window");
    QList<double> startMs, rssKib, bareMs, bareKib;
    const auto measure = [](const QString &program, const QStringList &arguments, QList<double> &ms,
                            QList<double> &kib) {
        QProcess child;
        child.setStandardInputFile(QProcess::nullDevice());
        child.setProgram(program);
        child.setArguments(arguments);
        const double started = NowMs();
        child.start();
        if (!child.waitForFinished(60000) || child.exitCode() != 0)
            Fail(QStringLiteral("bench_startup: %1 failed: %2").arg(program, QString::fromLocal8Bit(child.readAll())));
        const QByteArray output = child.readAllStandardOutput();
        ms << Value(output, "PAINTED") - started;
        kib << Value(output, "HWM");
    };
    for (int round = 0; round < kRounds; ++round) {
        measure(QCoreApplication::applicationFilePath(), {QStringLiteral("--child"), folder.path()}, startMs, rssKib);
        QFile::remove(folder.filePath(QStringLiteral("DVD_zento.ini")));
        measure(bare, {QString::number(kIdleMs)}, bareMs, bareKib);
    }
    QStringList each, eachBare;
    for (double ms : startMs)
        each << QString::number(ms, 'f', 1);
    for (double ms : bareMs)
        eachBare << QString::number(ms, 'f', 1);
    Note(QStringLiteral("  %1 start-up (ms): %2").arg(platform, each.join(QStringLiteral(", "))));
    Note(QStringLiteral("  %1 bare window (ms): %2").arg(platform, eachBare.join(QStringLiteral(", "))));
    const QByteArray key = (QStringLiteral("startup.") + platform + '.').toUtf8();
    Result((key + "median_ms").constData(), Median(startMs));
    Result((key + "min_ms").constData(), *std::min_element(startMs.begin(), startMs.end()));
    Result((key + "max_ms").constData(), Max(startMs));
    Result((key + "idle_peak_rss_mib").constData(), Median(rssKib) / 1024.0);
    Result((key + "bare_median_ms").constData(), Median(bareMs));
    Result((key + "bare_idle_peak_rss_mib").constData(), Median(bareKib) / 1024.0);
    Result((key + "ratio_to_bare").constData(), Median(startMs) / Median(bareMs));
    Result((key + "rss_ratio_to_bare").constData(), Median(rssKib) / Median(bareKib));

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
