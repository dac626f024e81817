#pragma once

// Small helpers shared by the tests: files, a temporary program folder and a
// recorder of the program's dialogs.
#include "options/catalogue.h"
#include "platform/dialogs.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace zento::test {

inline bool WriteFile(const QString &path, const QByteArray &bytes = QByteArray())
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

inline QByteArray ReadFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Runs a tool (ffmpeg, ffprobe) to its end; its output, or "failed: ..."
// with the end of it when it did not succeed.
inline QString Run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.setStandardInputFile(QProcess::nullDevice());
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    const bool ok =
        process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    const QString output = QString::fromUtf8(process.readAll()).trimmed();
    return ok ? output : QStringLiteral("failed: ") + output.right(600);
}

// The length of a media file in seconds, as ffprobe reads it (0 when it cannot).
inline double MediaDuration(const QString &file)
{
    return Run(QStringLiteral("ffprobe"),
               {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
                QStringLiteral("format=duration"), QStringLiteral("-of"), QStringLiteral("csv=p=0"), file})
        .toDouble();
}

// The first `seconds` of a file's audio: mono 16-bit samples at 48 kHz.
inline QByteArray MonoSamples(const QString &file, int seconds)
{
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"),
                 {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"), file, QStringLiteral("-t"),
                  QString::number(seconds), QStringLiteral("-vn"), QStringLiteral("-ac"), QStringLiteral("1"),
                  QStringLiteral("-ar"), QStringLiteral("48000"), QStringLiteral("-f"), QStringLiteral("s16le"),
                  QStringLiteral("-")});
    return ffmpeg.waitForFinished(60000) ? ffmpeg.readAllStandardOutput() : QByteArray();
}

// The tone of each `window` samples of such audio, in Hz, from their zero
// crossings, from sample `from` for `count` windows or to the end.
inline QList<int> WindowTones(const QByteArray &pcm, qsizetype from, qsizetype window, qsizetype count)
{
    const auto *samples = reinterpret_cast<const qint16 *>(pcm.constData());
    QList<int> tones;
    for (qsizetype begin = from; tones.size() < count && begin + window <= pcm.size() / 2; begin += window) {
        int crossings = 0;
        for (qsizetype i = begin + 1; i < begin + window; ++i)
            crossings += (samples[i - 1] < 0) != (samples[i] < 0);
        tones << int(qint64(crossings) * 48000 / window / 2);
    }
    return tones;
}

// The tone of each second of a file's audio from second `from` to `to`.
inline QList<int> Tones(const QString &file, int from, int to)
{
    return WindowTones(MonoSamples(file, to), qsizetype(from) * 48000, 48000, to - from);
}

// Whether ffmpeg and ffprobe, which the end-to-end tests need, are on PATH.
inline bool EncoderToolsOnPath()
{
    return !QStandardPaths::findExecutable(QStringLiteral("ffmpeg")).isEmpty() &&
           !QStandardPaths::findExecutable(QStringLiteral("ffprobe")).isEmpty();
}

// Makes a small NTSC DVD program stream at path, as a disc holds a title: a
// test picture at 352 x 240 and a tone of `frequency` Hz, `seconds` long;
// `extra` goes before the output. Empty when made, else what ffmpeg said.
inline QString MakeDvdTitle(const QString &path, double seconds, int frequency, const QStringList &extra = {})
{
    return Run(QStringLiteral("ffmpeg"),
               QStringList{"-nostdin", "-v", "error", "-f", "lavfi", "-i", "testsrc=size=352x240:rate=30000/1001", "-f",
                           "lavfi", "-i", QStringLiteral("sine=frequency=%1:sample_rate=48000").arg(frequency), "-t",
                           QString::number(seconds), "-target", "ntsc-dvd", "-s", "352x240"} +
                   extra + QStringList{"-y", path});
}

// The row of a catalogue whose ID is id; the test stops when there is none.
inline int RowWithId(Catalogue catalogue, const QString &id)
{
    const QStringList &rows = CatalogueRows(catalogue);
    for (int i = 0; i < rows.size(); ++i)
        if (CatalogueRowId(rows.at(i)) == id)
            return i;
    qFatal("no catalogue row %s", qPrintable(id));
}

// The shipped preset file.
inline QByteArray ShippedProfile()
{
    return ReadFile(QStringLiteral(ZENTO_SOURCE_DIR "/data/profile.txt"));
}

// A temporary program folder holding profile.txt (the given bytes, or the
// shipped file); the executable path is <folder>/DVD_zento.
class ProgramFolder {
public:
    explicit ProgramFolder(const QByteArray &profile = ShippedProfile())
    {
        valid_ = dir_.isValid() && WriteFile(File(QStringLiteral("profile.txt")), profile);
    }
    bool IsValid() const { return valid_; }
    QString Path() const { return dir_.path(); }
    QString File(const QString &name) const { return dir_.path() + QLatin1Char('/') + name; }
    QString Executable() const { return File(QStringLiteral("DVD_zento")); }

private:
    QTemporaryDir dir_;
    bool valid_ = false;
};

// Records every message, error box and beep; answers the one-line input
// dialog from `answers` (an empty text, as a cancel, when none is left).
// The real dialogs come back when it goes.
class DialogRecorder {
public:
    DialogRecorder()
    {
        SetDialogHooks({[this](const QString &text) { messages << text; }, [this] { ++beeps; },
                        [this](const QString &title, const QString &prompt) {
                            inputs << title + QLatin1Char('|') + prompt;
                            return answers.isEmpty() ? QString() : answers.takeFirst();
                        }});
    }
    ~DialogRecorder() { SetDialogHooks({}); }
    DialogRecorder(const DialogRecorder &) = delete;
    DialogRecorder &operator=(const DialogRecorder &) = delete;

    QStringList messages;
    int beeps = 0;
    QStringList answers;
    QStringList inputs; // "title|prompt" of every input dialog shown
};

} // namespace zento::test
