#pragma once

// Test discs: authored by scripts/make-dvd (ffmpeg and dvdauthor; the image
// with genisoimage), a disc folder in about two seconds.
#include <QProcess>
#include <QString>
#include <QStringList>

namespace zento::test {

// Authors a DVD-Video disc folder at `folder` (VIDEO_TS inside it) with the
// given make-dvd options; with an `iso` path, also an image of it at that path (a
// "--label" among the options names it). False, with what the script said on
// stderr, when it failed.
inline bool MakeTestDisc(const QString &folder, const QStringList &options, const QString &iso = QString(),
                         QString *output = nullptr)
{
    QStringList arguments{QStringLiteral(ZENTO_SOURCE_DIR "/scripts/make-dvd")};
    arguments << options;
    if (!iso.isEmpty())
        arguments << QStringLiteral("--iso") << iso;
    arguments << folder;
    QProcess process;
    process.setStandardInputFile(QProcess::nullDevice());
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral("bash"), arguments);
    const bool ok =
        process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    if (output)
        *output = QString::fromUtf8(process.readAll());
    return ok;
}

} // namespace zento::test
