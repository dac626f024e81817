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
#include <cstdio>
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

// CPU time (user and system) of this thread, or of the finished children,
// in milliseconds: less disturbed by a busy machine than the wall clock.
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
