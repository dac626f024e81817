#pragma once

// What the benchmarks that convert through the main window share: their
// preset, the program folder that holds it, the title streams they make, the
// choice of the preset in the window and a watch on the processes it starts.
#include "app/main_form.h"
#include "bench_support.h"
#include "options/catalogue.h"
#include "platform/text_encoding.h"
#include "widgets/multi_col_combo_box.h"

#include <QChildEvent>
#include <QEvent>
#include <QObject>
#include <QProcess>

#include <atomic>

namespace zento::bench {

// The preset of the runs, in a profile.txt of its own (the shipped presets
// may change; the figures must not).
inline const char kPresetName[] = "標準(MPEG4)";
inline const char kPresetLine[] = "標準(MPEG4),AVI,640x480,MPEG4,30fps,1200kbps,LIBMP3LAME,44100Hz,128kbps";

// The program folder's profile.txt: that preset alone, in Shift-JIS.
inline bool WritePresetFile(const QString &programFolder)
{
    TextEncoding encoding = TextEncoding::ShiftJis;
    return WriteBytes(QDir(programFolder).filePath(QStringLiteral("profile.txt")),
                      EncodeText(QString::fromUtf8(kPresetLine), encoding) + "\r\n");
}

// The ffmpeg arguments of a 30-second NTSC DVD program stream at full size, a
// test picture and a tone of `frequency` Hz, written to `output`.
inline QStringList DvdStreamArguments(const QString &output, int frequency)
{
    return {"-nostdin",
            "-v",
            "error",
            "-f",
            "lavfi",
            "-i",
            "testsrc2=size=720x480:rate=30000/1001",
            "-f",
            "lavfi",
            "-i",
            QStringLiteral("sine=frequency=%1:sample_rate=48000").arg(frequency),
            "-t",
            "30",
            "-target",
            "ntsc-dvd",
            "-f",
            "dvd",
            "-y",
            output};
}

// The row of a catalogue whose id is `id`; the benchmark fails without one.
inline int CatalogueRowWithId(Catalogue catalogue, const QString &id)
{
    const QStringList &rows = CatalogueRows(catalogue);
    for (int i = 0; i < rows.size(); ++i)
        if (CatalogueRowId(rows.at(i)) == id)
            return i;
    Fail(QStringLiteral("no catalogue row ") + id);
}

// Selects the preset of the runs in the window and applies it; false when the
// box has no such row.
inline bool SelectPreset(TMainForm1 &w)
{
    int row = -1;
    for (int i = 0; i < w.C2_00->ItemCount(); ++i)
        if (w.C2_00->Item(i).startsWith(QString::fromUtf8(kPresetName)))
            row = i;
    if (row < 0)
        return false;
    w.C2_00->SetItemIndex(row);
    w.C2_00Change();
    return true;
}

// The processes a run started: how many thumbnail runs, and the lifetimes of
// the encoder runs, from the start to the run noticing the end.
struct ProcessTimes {
    int thumbnails = 0;
    QList<double> encoderStart, encoderEnd;

    double EncoderMs() const
    {
        double sum = 0;
        for (qsizetype i = 0; i < encoderStart.size() && i < encoderEnd.size(); ++i)
            sum += encoderEnd[i] - encoderStart[i];
        return sum;
    }
};

// Watches the processes the main window starts: the encoder runs are the ones
// whose last argument is not the thumbnail file. With encoderPid, it also
// holds the process id of the encoder run going on (0 between runs), for a
// thread that samples it.
class ProcessWatch : public QObject {
public:
    ProcessWatch(QObject &window, ProcessTimes &times, std::atomic<qint64> *encoderPid = nullptr)
        : window_(window), times_(times), encoderPid_(encoderPid)
    {
        window.installEventFilter(this);
    }

protected:
    // A child is not yet a process when it is added, so the watch goes on
    // the child itself: its own first child (a notifier made by start())
    // arrives when it is a whole process, just before it is started.
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::ChildAdded)
            return false;
        if (watched == &window_) {
            static_cast<QChildEvent *>(event)->child()->installEventFilter(this);
            return false;
        }
        auto *process = qobject_cast<QProcess *>(watched);
        if (!process)
            return false;
        watched->removeEventFilter(this);
        connect(process, &QProcess::started, this, [this, process] {
            if (!process->arguments().isEmpty() &&
                process->arguments().constLast().endsWith(QStringLiteral("_thumb.jpg"))) {
                ++times_.thumbnails;
                return;
            }
            times_.encoderStart << NowMs();
            if (encoderPid_)
                *encoderPid_ = process->processId();
            connect(process, &QProcess::finished, this, [this] {
                times_.encoderEnd << NowMs();
                if (encoderPid_)
                    *encoderPid_ = 0;
            });
        });
        return false;
    }

private:
    QObject &window_;
    ProcessTimes &times_;
    std::atomic<qint64> *encoderPid_;
};

} // namespace zento::bench
