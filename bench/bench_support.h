#pragma once

// What every benchmark shares: a monotonic clock, medians, running a tool to
// its end, and the result lines that scripts/bench collects:
//   RESULT <key> <value>
// Everything else a benchmark prints is for the reader.
#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QThread>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <sys/resource.h>

namespace zento::bench {

// Milliseconds on the monotonic clock; comparable between processes.
inline double NowMs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return double(now.tv_sec) * 1000.0 + double(now.tv_nsec) / 1e6;
}

// Handles events for a while.
inline void PumpEvents(double ms)
{
    const double end = NowMs() + ms;
    while (NowMs() < end) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
}

// CPU time (user and system) of this thread, of the whole process, or of the
// finished children, in milliseconds: less disturbed by a busy machine than
// the wall clock.
inline double CpuMs(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    auto ms = [](const timeval &t) { return double(t.tv_sec) * 1000.0 + double(t.tv_usec) / 1000.0; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}
inline double ThreadCpuMs()
{
    return CpuMs(RUSAGE_THREAD);
}
inline double ProcessCpuMs()
{
    return CpuMs(RUSAGE_SELF);
}
inline double ChildrenCpuMs()
{
    return CpuMs(RUSAGE_CHILDREN);
}

inline double Median(QList<double> values)
{
    if (values.isEmpty())
        return 0;
    std::sort(values.begin(), values.end());
    const qsizetype n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

inline double Max(const QList<double> &values)
{
    return values.isEmpty() ? 0 : *std::max_element(values.begin(), values.end());
}

inline void Result(const char *key, double value)
{
    std::printf("RESULT %s %.3f\n", key, value);
    std::fflush(stdout);
}

inline void Note(const QString &text)
{
    std::printf("%s\n", text.toUtf8().constData());
    std::fflush(stdout);
}

// Ends a benchmark that cannot go on, saying why after its own name.
[[noreturn]] inline void Fail(const QString &what)
{
    Note(QString::fromLocal8Bit(program_invocation_short_name) + QStringLiteral(": ") + what);
    std::exit(1);
}

// Figures for a note: "1.5, 2.0".
inline QString Join(const QList<double> &values, int decimals = 1)
{
    QStringList texts;
    for (const double value : values)
        texts << QString::number(value, 'f', decimals);
    return texts.join(QStringLiteral(", "));
}

// Runs a tool to its end with input from the null device and its output
// thrown away; false when it could not run or did not succeed.
inline bool RunTool(const QString &program, const QStringList &arguments, const QString &workingFolder = QString(),
                    QByteArray *output = nullptr)
{
    QProcess process;
    process.setStandardInputFile(QProcess::nullDevice());
    if (output)
        process.setProcessChannelMode(QProcess::MergedChannels);
    else {
        process.setStandardOutputFile(QProcess::nullDevice());
        process.setStandardErrorFile(QProcess::nullDevice());
    }
    if (!workingFolder.isEmpty())
        process.setWorkingDirectory(workingFolder);
    process.start(program, arguments);
    if (!process.waitForFinished(-1))
        return false;
    if (output)
        *output = process.readAll();
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

// Authors a disc with scripts/make-dvd (and with `image`, its image beside
// it, <name>.iso) unless the work folder holds it already: the script puts a
// disc in place only once it is whole. The folder's path.
inline QString MakeDisc(const QString &work, const QString &name, const QStringList &options, bool image = false)
{
    const QString folder = work + QLatin1Char('/') + name;
    const QString iso = folder + QStringLiteral(".iso");
    if (QFileInfo::exists(folder + QStringLiteral("/VIDEO_TS/VIDEO_TS.IFO")) && (!image || QFileInfo::exists(iso)))
        return folder;
    QStringList arguments{QStringLiteral(ZENTO_SOURCE_DIR "/scripts/make-dvd")};
    arguments << options;
    if (image)
        arguments << QStringLiteral("--iso") << iso;
    arguments << folder;
    const double start = NowMs();
    QByteArray said;
    if (!RunTool(QStringLiteral("bash"), arguments, QString(), &said))
        Fail(QStringLiteral("make-dvd failed for %1: %2").arg(name, QString::fromLocal8Bit(said)));
    Note(QString::fromLocal8Bit(program_invocation_short_name) +
         QStringLiteral(": made %1 in %2 s").arg(name).arg((NowMs() - start) / 1000, 0, 'f', 0));
    return folder;
}

inline bool WriteBytes(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// The bench work folder: the first argument, else ./bench-work.
inline QString WorkFolder(int argc, char **argv)
{
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("bench-work");
    QDir().mkpath(folder);
    return QFileInfo(folder).absoluteFilePath();
}

} // namespace zento::bench
