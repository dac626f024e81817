// A title stored in three parts, converted joined against part by part, and
// the cost of reading the encoder's progress lines.
//
//   bench_joining [work folder]
//
// A continuous 30-second NTSC DVD program stream (made once with ffmpeg and
// kept in <work>/joined-disc) is cut into three parts at 2048-byte sector
// boundaries, as a disc cuts a title. The same preset as bench_conversion
// converts them through the real main window, first with "タイトル結合"
// ticked (one thumbnail run, one encoder run), then part by part (three of
// each), from the press of "変換！" to the closing beep. The reading of the
// progress lines is then timed on its own over the output of a one-hour pass.
// Run it with QT_QPA_PLATFORM=offscreen or under an X server.
#include "app/application_gui.h"
#include "convert/encoder_progress.h"
#include "convert/progress_form.h"
#include "platform/dialogs.h"
#include "widgets/browse_edit.h"
#include "widgets/check_list_box.h"
#include "widgets/color_button.h"
#include "window_bench_support.h"

#include <QCheckBox>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <cstdlib>

using namespace zento;
using namespace zento::bench;

namespace {

constexpr int kParts = 3;
constexpr double kPauseMs = 1000;

QString PartPath(const QString &disc, int n)
{
    return disc + QStringLiteral("/VIDEO_TS/VTS_01_%1.VOB").arg(n);
}

// One 30-second stream in three parts; made once.
void MakeDisc(const QString &disc)
{
    if (QFileInfo(PartPath(disc, kParts)).size() > 100000)
        return;
    const QString whole = disc + QStringLiteral("/whole.VOB");
    QDir().mkpath(disc + QStringLiteral("/VIDEO_TS"));
    if (!RunTool(QStringLiteral("ffmpeg"), DvdStreamArguments(whole, 440)))
        Fail(QStringLiteral("cannot make ") + whole);
    QFile file(whole);
    if (!file.open(QIODevice::ReadOnly))
        Fail(QStringLiteral("cannot read ") + whole);
    const QByteArray stream = file.readAll();
    const qsizetype cut = stream.size() / kParts / 2048 * 2048;
    for (int n = 1; n <= kParts; ++n)
        if (!WriteBytes(PartPath(disc, n), stream.mid((n - 1) * cut, n < kParts ? cut : -1)))
            Fail(QStringLiteral("cannot write the parts"));
}

struct RunFigures {
    double programMs = 0, encoderMs = 0, ownPerPassMs = 0;
    int encoderRuns = 0, thumbnailRuns = 0;
};

RunFigures ThroughWindow(const QString &program, const QString &disc, const QString &out, bool join)
{
    QDir(out).removeRecursively();
    int beeps = 0;
    double beepMs = -1;
    QStringList messages;
    SetDialogHooks({[&](const QString &text) { messages << text; },
                    [&] {
                        ++beeps;
                        beepMs = NowMs();
                    },
                    [](const QString &, const QString &) { return QString(); }});
    TMainForm1 w(QDir(program).filePath(QStringLiteral("DVD_zento")));
    w.show();
    PumpEvents(1000); // the window settles (its encoder query) as for a user
    for (int n = 1; n <= kParts; ++n) {
        w.CheckListBox1->SetItemChecked(w.CheckListBox1->AddItem(PartPath(disc, n)), true);
        w.CheckListBox2->SetItemChecked(w.CheckListBox2->AddItem(QStringLiteral("01_%1").arg(n)), true);
    }
    w.CButton10->setEnabled(true);
    w.C1_03->SetText(out);
    if (!SelectPreset(w))
        Fail(QStringLiteral("no preset"));
    w.CheckBox2->setChecked(join);
    ProcessTimes processes;
    ProcessWatch watch(w, processes);

    const double start = NowMs();
    w.CButton10->click();
    SetDialogHooks({});
    if (beeps != 1 || !messages.isEmpty())
        Fail(QStringLiteral("the run ended with %1 beeps and messages: %2").arg(beeps).arg(messages.join(" | ")));
    RunFigures figures;
    figures.programMs = beepMs - start;
    figures.encoderRuns = int(processes.encoderStart.size());
    figures.thumbnailRuns = processes.thumbnails;
    if (processes.encoderEnd.size() != processes.encoderStart.size() || figures.encoderRuns != (join ? 1 : kParts))
        Fail(QStringLiteral("%1 encoder runs seen").arg(figures.encoderRuns));
    figures.encoderMs = processes.EncoderMs();
    figures.ownPerPassMs = (figures.programMs - figures.encoderMs) / figures.encoderRuns - kPauseMs;
    const QStringList files = QDir(out).entryList(QDir::Files);
    if (files.size() != (join ? 1 : kParts))
        Fail(QStringLiteral("outputs: ") + files.join(QLatin1Char(' ')));
    return figures;
}

// The output of a one-hour pass as the run reads it: the header, then a
// progress line every half second (as the encoder prints them), each in a
// read of its own; the text of the label after each read.
void ProgressReading()
{
    QByteArray header = "Input #0, mpeg, from 'concat:/media/VIDEO_TS/VTS_01_1.VOB|/media/VIDEO_TS/VTS_01_2.VOB':\n"
                        "  Duration: 01:00:00.00, start: 0.280633, bitrate: 6000 kb/s\n";
    for (int i = 0; i < 12; ++i)
        header += "  Stream #0:1[0x80]: Audio: ac3, 48000 Hz, stereo, fltp, 192 kb/s\n";
    QList<QByteArray> lines;
    constexpr int kLines = 7200;
    for (int i = 1; i <= kLines; ++i) {
        const int ms = i * 500;
        lines << QStringLiteral(
                     "frame=%1 fps= 90 q=4.0 size=  %2kB time=%3:%4:%5.%6 bitrate=1316.2kbits/s speed=3.01x\r")
                     .arg(i * 15, 5)
                     .arg(i * 80, 8)
                     .arg(ms / 3600000, 2, 10, QLatin1Char('0'))
                     .arg(ms / 60000 % 60, 2, 10, QLatin1Char('0'))
                     .arg(ms / 1000 % 60, 2, 10, QLatin1Char('0'))
                     .arg(ms % 1000 / 10, 2, 10, QLatin1Char('0'))
                     .toLatin1();
    }
    QList<double> perPass;
    QString last;
    for (int round = 0; round < 9; ++round) {
        const double cpu0 = ThreadCpuMs();
        EncoderProgress progress = ReadEncoderProgress({}, header);
        qint64 elapsed = 1000;
        for (const QByteArray &line : lines) {
            progress = ReadEncoderProgress(std::move(progress), line);
            elapsed += 166;
            last = ProgressLabelText(progress, elapsed, 2, 2);
        }
        perPass << ThreadCpuMs() - cpu0;
    }
    if (!last.startsWith(QStringLiteral("2/2パス 100 %")))
        Fail(QStringLiteral("unexpected label ") + last);
    const double median = Median(perPass);
    Result("progress.read_per_line_us", median * 1000.0 / kLines);
    Result("progress.read_per_hour_pass_ms", median);
}

} // namespace

int main(int argc, char **argv)
{
    TApplication app(argc, argv);
    const QString work = WorkFolder(argc, argv);
    const QString disc = work + QStringLiteral("/joined-disc");
    QTemporaryDir program(work + QStringLiteral("/program-XXXXXX"));
    if (!program.isValid() || !WritePresetFile(program.path()))
        Fail(QStringLiteral("cannot make the program folder"));
    MakeDisc(disc);

    ProgressReading();
    const QByteArray platform = QGuiApplication::platformName().toUtf8();
    // Part by part first, then joined, then both again: the median of two each.
    QList<RunFigures> joined, parts;
    for (int round = 0; round < 2; ++round) {
        parts << ThroughWindow(program.path(), disc, work + QStringLiteral("/out-parts"), false);
        joined << ThroughWindow(program.path(), disc, work + QStringLiteral("/out-joined"), true);
    }
    auto put = [&](const char *mode, const QList<RunFigures> &runs) {
        QList<double> program, own;
        for (const RunFigures &r : runs) {
            program << r.programMs;
            own << r.ownPerPassMs;
        }
        const QByteArray key = "joining." + platform + '.' + mode + '.';
        Result((key + "program_ms").constData(), Median(program));
        Result((key + "own_per_pass_ms").constData(), Median(own));
        Result((key + "encoder_runs").constData(), runs.constFirst().encoderRuns);
        Result((key + "thumbnail_runs").constData(), runs.constFirst().thumbnailRuns);
        return Median(program);
    };
    const double partsMs = put("parts", parts);
    const double joinedMs = put("joined", joined);
    Result(("joining." + platform + ".saved_ms").constData(), partsMs - joinedMs);
    return 0;
}
