#pragma once

// Test discs: authored by scripts/make-dvd (ffmpeg and dvdauthor; the image
// with genisoimage), a disc folder in about two seconds.
#include "disc/dvd_disc.h"

#include <QProcess>
#include <QString>
#include <QStringList>

#include <memory>

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

// Authors the disc of one title with two interleaved angles (a 2 s lead-in
// at 660 Hz, then 10 s at 440 Hz on angle 1 and 880 Hz on angle 2) with
// scripts/make-angle-dvd, and an image of it.
inline bool MakeAngleTestDisc(const QString &folder, const QString &iso, QString *output = nullptr)
{
    QProcess process;
    process.setStandardInputFile(QProcess::nullDevice());
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral("python3"), {QStringLiteral(ZENTO_SOURCE_DIR "/scripts/make-angle-dvd"),
                                              QStringLiteral("--iso"), iso, folder});
    const bool ok =
        process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    if (output)
        *output = QString::fromUtf8(process.readAll());
    return ok;
}

// An image whose reads fail where a test says: a read touching the bytes
// [from, to) of the image fails, as on a scratched or vanished disc.
class FaultyImage : public DiscImageStream {
public:
    FaultyImage(std::unique_ptr<DiscImageStream> image, quint64 from, quint64 to)
        : image_(std::move(image)), from_(from), to_(to)
    {
    }
    bool Seek(quint64 position) override
    {
        position_ = position;
        return image_->Seek(position);
    }
    int Read(void *buffer, int size) override
    {
        if (position_ + quint64(size) > from_ && position_ < to_)
            return -1;
        const int count = image_->Read(buffer, size);
        position_ += quint64(qMax(count, 0));
        return count;
    }

private:
    std::unique_ptr<DiscImageStream> image_;
    quint64 from_;
    quint64 to_;
    quint64 position_ = 0;
};

} // namespace zento::test
