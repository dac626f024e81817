#include "convert/chapter_cut.h"

#include "convert/encoder_process.h"
#include "convert/title_streams.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <filesystem>

namespace zento {

namespace {

constexpr int kWaitSliceMs = 60; // events are handled between slices of waiting

} // namespace

QStringList ChapterCopyArguments(const QString &output, const QString &chapters, const QString &copy)
{
    // The container's own chapter track is not copied: the new chapters make it.
    return {QStringLiteral("-hide_banner"), QStringLiteral("-nostdin"), QStringLiteral("-v"),
            QStringLiteral("error"),        QStringLiteral("-i"),       output,
            QStringLiteral("-f"),           QStringLiteral("ffmetadata"), QStringLiteral("-i"),
            chapters,                       QStringLiteral("-map"),     QStringLiteral("0:v"),
            QStringLiteral("-map"),         QStringLiteral("0:a?"),     QStringLiteral("-map_chapters"),
            QStringLiteral("1"),            QStringLiteral("-c"),       QStringLiteral("copy"),
            QStringLiteral("-y"),           copy};
}

bool CutOutputChapters(const QString &encoder, const QString &output, const QList<qint64> &startsMs, qint64 reachedMs,
                       const QString &chaptersFile)
{
    if (encoder.isEmpty() || reachedMs <= 0)
        return false;
    QList<qint64> kept;
    for (const qint64 start : startsMs)
        if (kept.isEmpty() || start < reachedMs)
            kept << start;
    QFile chapters(chaptersFile);
    if (!chapters.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        chapters.write(ChapterMetadata(kept, reachedMs)) < 0 || !chapters.flush())
        return false;
    chapters.close();

    const QFileInfo info(output);
    const QString copy = info.dir().filePath(QStringLiteral(".zento-chapters-") + info.fileName());
    QProcess process;
    PrepareEncoderProcess(process, encoder, ChapterCopyArguments(output, chaptersFile, copy));
    process.start();
    while (process.state() != QProcess::NotRunning && !process.waitForFinished(kWaitSliceMs))
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    std::error_code error;
    if (process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0 && QFileInfo(copy).size() > 0) {
        std::filesystem::rename(QFile::encodeName(copy).toStdString(), QFile::encodeName(output).toStdString(), error);
        if (!error)
            return true;
    }
    QFile::remove(copy);
    return false;
}

} // namespace zento
