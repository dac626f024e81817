// The program's own cost around the encoder, and how the progress window
// answers while the encoder works.
//
//   bench_conversion [work folder] [1pass|2pass|cancel]
//
// (the optional second argument runs that part alone, for profiling).
// A VIDEO_TS of three 30-second NTSC DVD titles (made once with ffmpeg and
// kept in <work>/disc) is converted through the real main window, one pass and
// two passes, from the press of "変換！" to the closing beep. The same command
// lines, composed by the same functions, then run directly with ffmpeg one
// after another (each thumbnail run, then its encoder run). A last run cancels
// each encoder run a second after it started and times the cancel.
// Run it with QT_QPA_PLATFORM=offscreen or under an X server; result keys
// carry the platform's name.
#include "app/application_gui.h"
#include "convert/command_line.h"
#include "convert/encoder_process.h"
#include "convert/progress_form.h"
#include "platform/dialogs.h"
#include "widgets/browse_edit.h"
#include "widgets/check_list_box.h"
#include "widgets/color_button.h"
#include "widgets/drive_combo_box.h"
#include "window_bench_support.h"

#include <QCheckBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <csignal>
#include <cstdlib>

using namespace zento;
using namespace zento::bench;

namespace {

constexpr int kTitles = 3;
constexpr double kPauseMs = 1000; // the designed wait for the thumbnail, every pass

QString TitlePath(const QString &disc, int n)
{
    return disc + QStringLiteral("/VIDEO_TS/VTS_01_%1.VOB").arg(n);
}

// Three different 30-second titles; made once, then taken from the work folder.
void MakeDisc(const QString &disc)
{
    for (int n = 1; n <= kTitles; ++n) {
        const QString path = TitlePath(disc, n);
        if (QFileInfo(path).size() > 1000000)
            continue;
        QDir().mkpath(QFileInfo(path).absolutePath());
        const QString part = path + QStringLiteral(".part");
        if (!RunTool(QStringLiteral("ffmpeg"), DvdStreamArguments(part, 330 * n)) || !QFile::rename(part, path))
            Fail(QStringLiteral("cannot make ") + path);
    }
}

// What one run through the window saw.
struct RunRecord {
    double startMs = 0, beepMs = -1;
    int beeps = 0;
    QStringList messages;
    ProcessTimes processes;
    // Handled ticks of the progress window: time and the encoder running then.
    QList<double> tickMs;
    QList<qsizetype> tickEncoder; // 1 for the first encoder run, ...; 0: none running

    QList<double> cancelMs;
};

class Bench {
public:
    Bench(const QString &work, const QString &only) : work_(work), disc_(work + QStringLiteral("/disc")), only_(only) {}
    void Run();

private:
    void SetUp(TMainForm1 &w, bool twoPass, const QString &out);
    RunRecord ThroughWindow(bool twoPass, bool cancelEach);
    // The settings the window composes for a run, without running it.
    void PrepareSettings(bool twoPass);
    // The same command lines straight from ffmpeg; the sum of the encoder runs
    // goes to encoderMs, of the thumbnail runs to thumbnailMs.
    double Direct(bool twoPass, double &encoderMs, double &thumbnailMs);
    void Report(const QString &mode, int passes, const RunRecord &record, double directMs, double directEncoderMs,
                double directThumbnailMs);

    QString work_, disc_;
    QTemporaryDir program_{work_ + QStringLiteral("/program-XXXXXX")};
    ConversionSettings settings_; // as the window composed them, for the direct runs
    QString platform_;
    QString only_;
};

void Bench::SetUp(TMainForm1 &w, bool twoPass, const QString &out)
{
    w.DriveComboBox1->SetDrive(disc_);
    w.CButton12Click();
    if (w.CheckListBox1->Count() != kTitles)
        Fail(QStringLiteral("listed %1 titles, not %2").arg(w.CheckListBox1->Count()).arg(kTitles));
    w.C1_03->SetText(out);
    if (!SelectPreset(w))
        Fail(QStringLiteral("no preset ") + QString::fromUtf8(kPresetName));
    w.CheckBox1->setChecked(twoPass);
    settings_ = w.CurrentSettings();
    settings_.C1_03 = AbsoluteFolder(out);
}

RunRecord Bench::ThroughWindow(bool twoPass, bool cancelEach)
{
    RunRecord record;
    const QString out = work_ + (cancelEach ? QStringLiteral("/out-cancel") : QStringLiteral("/out-program"));
    QDir(out).removeRecursively();
    SetDialogHooks({[&](const QString &text) { record.messages << text; },
                    [&] {
                        ++record.beeps;
                        record.beepMs = NowMs();
                    },
                    [](const QString &, const QString &) { return QString(); }});

    TMainForm1 w(QDir(program_.path()).filePath(QStringLiteral("DVD_zento")));
    w.show();
    // As a user would: the window settles (it asks the encoder what it can
    // write once it is up) before anything is pressed.
    PumpEvents(1000);
    SetUp(w, twoPass, out);
    ProcessWatch watch(w, record.processes);
    const QList<double> &starts = record.processes.encoderStart, &ends = record.processes.encoderEnd;

    // Hooks into the progress window once the run handles events; for the
    // cancel run, presses "中止" a second into every encoder run.
    QPointer<TProgressForm1> seen;
    // The encoder run cancelled last, by its number: a new run's process
    // object may take the freed place of the one before.
    qsizetype cancelled = 0;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        TProgressForm1 *form = w.ProgressForm1;
        if (form && form != seen) {
            seen = form;
            QObject::connect(form->Timer1, &QTimer::timeout, form, [&] {
                const qsizetype started = starts.size();
                record.tickMs << NowMs();
                record.tickEncoder << (started > ends.size() ? started : 0);
            });
        }
        QProcess *encoder = w.EncoderProcess;
        if (cancelEach && form && encoder && starts.size() != cancelled && encoder->state() == QProcess::Running &&
            starts.size() > ends.size() && NowMs() - starts.constLast() > 1000) {
            cancelled = starts.size();
            const qint64 pid = encoder->processId();
            double endMs = -1;
            QObject::connect(encoder, &QProcess::finished, encoder, [&endMs] { endMs = NowMs(); });
            const double clickMs = NowMs();
            form->CButton1->click();
            if (endMs < 0 || ::kill(pid_t(pid), 0) == 0)
                Fail(QStringLiteral("the cancel did not end the encoder"));
            record.cancelMs << endMs - clickMs;
        }
    });
    sampler.start(20);

    record.startMs = NowMs();
    w.CButton10->click();
    sampler.stop();
    SetDialogHooks({});
    if (record.beeps != 1 || !record.messages.isEmpty())
        Fail(QStringLiteral("the run ended with %1 beeps and messages: %2")
                 .arg(record.beeps)
                 .arg(record.messages.join(QStringLiteral(" | "))));
    if (starts.size() != kTitles * (twoPass ? 2 : 1) || ends.size() != starts.size())
        Fail(QStringLiteral("%1 encoder runs seen").arg(starts.size()));
    for (int n = 1; n <= kTitles; ++n) {
        const QString output = BuildOutputPath(TitlePath(disc_, n), settings_);
        const bool exists = QFileInfo(output).size() > 0;
        if (exists == cancelEach) // a cancelled output is deleted
            Fail(QStringLiteral("unexpected output state of ") + output);
    }
    return record;
}

void Bench::PrepareSettings(bool twoPass)
{
    TMainForm1 w(QDir(program_.path()).filePath(QStringLiteral("DVD_zento")));
    SetUp(w, twoPass, work_ + QStringLiteral("/out-program"));
}

double Bench::Direct(bool twoPass, double &encoderMs, double &thumbnailMs)
{
    const QString encoder = FindEncoder(program_.path());
    if (encoder.isEmpty())
        Fail(QStringLiteral("no ffmpeg"));
    ConversionSettings settings = settings_;
    settings.C1_03 = work_ + QStringLiteral("/out-direct");
    QDir(settings.C1_03).removeRecursively();
    QDir().mkpath(settings.C1_03);
    QTemporaryDir logs; // the pass logs, as the program keeps them
    encoderMs = thumbnailMs = 0;
    const double start = NowMs();
    for (int n = 1; n <= kTitles; ++n) {
        const QString source = TitlePath(disc_, n);
        const QString output = BuildOutputPath(source, settings);
        for (int pass = 1; pass <= (twoPass ? 2 : 1); ++pass) {
            const EncoderCommand thumbnail = BuildThumbnailParameters(source, program_.path());
            const double t0 = NowMs();
            RunTool(encoder, thumbnail.arguments);
            const double t1 = NowMs();
            QFile::remove(thumbnail.arguments.constLast());
            const EncoderCommand command = BuildEncoderCommandLine(source, output, settings, pass);
            if (!RunTool(encoder, command.arguments, logs.path()))
                Fail(QStringLiteral("ffmpeg failed: ") + command.commandLine());
            const double t2 = NowMs();
            thumbnailMs += t1 - t0;
            encoderMs += t2 - t1;
        }
    }
    return NowMs() - start;
}

void Bench::Report(const QString &mode, int passes, const RunRecord &record, double directMs, double directEncoderMs,
                   double directThumbnailMs)
{
    const double programMs = record.beepMs - record.startMs;
    const double inWindowEncoderMs = record.processes.EncoderMs();
    const QByteArray key = (QStringLiteral("conversion.") + platform_ + '.' + mode + '.').toUtf8();
    auto put = [&](const char *name, double value) { Result((key + name).constData(), value); };
    put("program_ms", programMs);
    put("direct_ms", directMs);
    put("direct_encoder_ms", directEncoderMs);
    put("direct_thumbnail_ms", directThumbnailMs);
    put("passes", passes);
    put("ratio", programMs / directMs);
    // Against the direct sequence, the designed pause included and taken out.
    put("overhead_per_pass_ms", (programMs - directMs) / passes);
    put("overhead_per_pass_without_pause_ms", (programMs - directMs) / passes - kPauseMs);
    // Everything of the run that is neither the pause nor an encoder run of
    // its own (the thumbnail run lies inside the pause): load-independent.
    put("own_per_pass_ms", (programMs - inWindowEncoderMs) / passes - kPauseMs);

    // Where the time between the encoder runs went.
    QStringList between;
    const QList<double> &starts = record.processes.encoderStart, &ends = record.processes.encoderEnd;
    between << QStringLiteral("press->start %1").arg(starts.constFirst() - record.startMs, 0, 'f', 1);
    for (qsizetype i = 1; i < starts.size(); ++i)
        between << QString::number(starts[i] - ends[i - 1], 'f', 1);
    between << QStringLiteral("end->beep %1").arg(record.beepMs - ends.constLast(), 0, 'f', 1);
    Note(QStringLiteral("  %1 %2: between encoder runs (ms): %3")
             .arg(platform_, mode, between.join(QStringLiteral(", "))));
}

void Bench::Run()
{
    platform_ = QGuiApplication::platformName();
    if (!program_.isValid() || !WritePresetFile(program_.path()))
        Fail(QStringLiteral("cannot make the program folder"));
    MakeDisc(disc_);

    for (const bool twoPass : {false, true}) {
        const QString mode = twoPass ? QStringLiteral("2pass") : QStringLiteral("1pass");
        const int passes = kTitles * (twoPass ? 2 : 1);
        if (!only_.isEmpty() && only_ != mode)
            continue;
        // Direct first, window second: both see a warm file cache.
        double encoderMs = 0, thumbnailMs = 0;
        PrepareSettings(twoPass);
        const double directMs = Direct(twoPass, encoderMs, thumbnailMs);
        const RunRecord record = ThroughWindow(twoPass, false);
        Report(mode, passes, record, directMs, encoderMs, thumbnailMs);

        // Ticks handled while one and the same encoder run was going on.
        QList<double> gaps, allGaps;
        for (qsizetype i = 1; i < record.tickMs.size(); ++i) {
            const double gap = record.tickMs[i] - record.tickMs[i - 1];
            allGaps << gap;
            if (record.tickEncoder[i] != 0 && record.tickEncoder[i] == record.tickEncoder[i - 1])
                gaps << gap;
        }
        const QByteArray key = (QStringLiteral("ticks.") + platform_ + '.' + mode + '.').toUtf8();
        Result((key + "count").constData(), record.tickMs.size());
        Result((key + "max_gap_during_encoder_ms").constData(), Max(gaps));
        Result((key + "median_gap_during_encoder_ms").constData(), Median(gaps));
        Result((key + "max_gap_any_ms").constData(), Max(allGaps));
    }

    if (!only_.isEmpty() && only_ != QStringLiteral("cancel"))
        return;
    const RunRecord cancels = ThroughWindow(false, true);
    const QByteArray key = (QStringLiteral("cancel.") + platform_ + '.').toUtf8();
    Result((key + "count").constData(), cancels.cancelMs.size());
    Result((key + "median_ms").constData(), Median(cancels.cancelMs));
    Result((key + "max_ms").constData(), Max(cancels.cancelMs));
}

} // namespace

int main(int argc, char **argv)
{
    TApplication app(argc, argv);
    Bench(WorkFolder(argc, argv), argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString()).Run();
    return 0;
}
