// Film in title mode: what finding it costs beside the conversion of a
// title, and what converting it as film saves the encoder.
//
//   bench_film [work folder]
//
// The discs are authored once by scripts/make-dvd and kept in the work folder:
//   film-soft   one 60 s title of film with 3:2 pulldown flags (--film)
//   film-hard   one 60 s title of film telecined into the picture
//               (--hard-telecine)
// Run it with QT_QPA_PLATFORM=offscreen or under an X server.
#include "app/application_gui.h"
#include "convert/command_line.h"
#include "convert/encoder_process.h"
#include "convert/pipe_feed.h"
#include "convert/title_jobs.h"
#include "convert/title_streams.h"
#include "options/catalogue.h"
#include "disc/picture_flags.h"
#include "platform/dialogs.h"
#include "widgets/browse_edit.h"
#include "widgets/check_list_box.h"
#include "widgets/color_button.h"
#include "widgets/drive_combo_box.h"
#include "widgets/spin_edit.h"
#include "window_bench_support.h"

#include <QCheckBox>
#include <QTemporaryDir>

#include <cstdlib>

using namespace zento;
using namespace zento::bench;

namespace {

constexpr int kRounds = 3;

DiscTitle FirstTitle(const QString &source)
{
    DiscInfo info;
    auto disc = DvdDisc::Open(source);
    if (!disc || !disc->ReadInfo(info) || info.titles.isEmpty())
        Fail(QStringLiteral("no titles in ") + source);
    return info.titles.constFirst();
}

// The look at a title's pictures as the listing makes it, in ms.
double SoftCheckMs(const QString &source)
{
    const double start = NowMs();
    auto disc = DvdDisc::Open(source);
    DiscInfo info;
    if (!disc || !disc->ReadInfo(info))
        Fail(QStringLiteral("cannot read ") + source);
    auto reader = disc->OpenTitle(info.titles.constFirst());
    const bool film = reader && IsSoftTelecine(SampleTitlePictures(*reader));
    const double ms = NowMs() - start;
    if (!film)
        Fail(QStringLiteral("no film found in ") + source);
    return ms;
}

struct Conversion {
    double totalMs = 0;       // the press to the end of the run
    double beforeEncoderMs = 0; // the press to the encoder run: thumbnail, pause, the look for hard telecine
    double encoderMs = 0;
};

// The title converted through the window with the bench preset at the
// source's size, no frame rate typed.
Conversion ThroughWindow(const QString &programFolder, const QString &source, bool expectHard)
{
    auto w = std::make_unique<TMainForm1>(QDir(programFolder).filePath(QStringLiteral("DVD_zento")));
    w->show();
    PumpEvents(500);
    if (!SelectPreset(*w))
        Fail(QStringLiteral("no preset"));
    w->C2_02_01->SetValue(0);
    w->C2_02_02->SetValue(0);
    w->C2_06->SetValue(0);
    const QString out = programFolder + QStringLiteral("/out");
    QDir(out).removeRecursively();
    w->C1_03->SetText(out);
    w->CheckBox2->setChecked(true);
    w->DriveComboBox1->AddFolder(source);
    w->DriveComboBox1->SetDrive(source);
    w->CButton12Click();
    QStringList messages;
    SetDialogHooks({[&messages](const QString &text) { messages << text; }, [] {},
                    [](const QString &, const QString &) { return QString(); }});
    ProcessTimes times;
    ProcessWatch watch(*w, times);
    Conversion run;
    const double start = NowMs();
    w->CButton10->click();
    run.totalMs = NowMs() - start;
    SetDialogHooks({});
    if (!messages.isEmpty() || times.encoderStart.isEmpty())
        Fail(QStringLiteral("the run said: ") + messages.join(QStringLiteral(" | ")));
    if (w->CheckListBox2->ItemText(0).endsWith(QStringLiteral("フィルム")) != true)
        Fail(QStringLiteral("not converted as film: ") + w->CheckListBox2->ItemText(0));
    Q_UNUSED(expectHard);
    run.beforeEncoderMs = times.encoderStart.constFirst() - start;
    run.encoderMs = times.EncoderMs();
    return run;
}

struct EncoderRun {
    double wallMs = 0, cpuMs = 0;
};

// The soft-telecined title's encoder run as the program composes it, as film
// or as before (deinterlaced at the disc's 29.97, every fourth frame doubled).
EncoderRun Encode(const QString &source, const DiscTitle &title, const QString &output, bool film)
{
    ConversionSettings settings;
    settings.C1_03 = QFileInfo(output).absolutePath();
    const int avi = CatalogueRowWithId(Catalogue::Containers, QStringLiteral("AVI"));
    const int mpeg4 = CatalogueRowWithId(Catalogue::VideoCodecs, QStringLiteral("MPEG4"));
    settings.C2_01 = {avi, CatalogueRows(Catalogue::Containers).at(avi)};
    settings.C2_04 = {mpeg4, CatalogueRows(Catalogue::VideoCodecs).at(mpeg4)};
    PipedStreams streams;
    streams.mapStreams = true;
    streams.audioStreamId = title.audio.value(0).streamId;
    streams.film = film;
    streams.deinterlace = !film;
    const QStringList arguments =
        PipedEncoderCommand(BuildEncoderCommandLine(source, output, settings, 1), streams).arguments;
    EncoderRun run;
    const double cpu = ChildrenCpuMs(), start = NowMs();
    PipeFeeder feeder(DiscTitleFeed(source, title));
    QProcess process;
    PrepareDetachedProcess(process, QStringLiteral("ffmpeg"), arguments);
    if (!feeder.Start())
        Fail(QStringLiteral("no pipe"));
    FeedStandardInput(process, feeder.ChildFd());
    process.start();
    feeder.ChildStarted();
    if (!process.waitForFinished(-1) || process.exitCode() != 0)
        Fail(QStringLiteral("the encoder failed: ffmpeg ") + arguments.join(QLatin1Char(' ')));
    feeder.Stop();
    run.wallMs = NowMs() - start;
    run.cpuMs = ChildrenCpuMs() - cpu;
    QFile::remove(output);
    return run;
}

} // namespace

int main(int argc, char **argv)
{
    TApplication app(argc, argv);
    const QString work = WorkFolder(argc, argv);
    const QString soft = MakeDisc(work, QStringLiteral("film-soft"), {"--titles", "60", "--film", "--chapter", "0"});
    const QString hard =
        MakeDisc(work, QStringLiteral("film-hard"), {"--titles", "60", "--hard-telecine", "--chapter", "0"});
    QTemporaryDir program(work + QStringLiteral("/program-XXXXXX"));
    if (!program.isValid() || !WritePresetFile(program.path()))
        Fail(QStringLiteral("cannot make the program folder"));

    QList<double> softCheck, softTotal, softBefore, hardTotal, hardBefore, filmWall, filmCpu, oldWall, oldCpu;
    const DiscTitle title = FirstTitle(soft);
    for (int round = 0; round < kRounds; ++round) {
        for (int i = 0; i < 5; ++i)
            softCheck << SoftCheckMs(soft);
        const Conversion s = ThroughWindow(program.path(), soft, false);
        softTotal << s.totalMs;
        softBefore << s.beforeEncoderMs;
        const Conversion h = ThroughWindow(program.path(), hard, true);
        hardTotal << h.totalMs;
        hardBefore << h.beforeEncoderMs;
        const QString output = program.path() + QStringLiteral("/film.avi");
        const EncoderRun asFilm = Encode(soft, title, output, true), asBefore = Encode(soft, title, output, false);
        filmWall << asFilm.wallMs;
        filmCpu << asFilm.cpuMs;
        oldWall << asBefore.wallMs;
        oldCpu << asBefore.cpuMs;
    }
    Result("film.soft.check_ms", Median(softCheck));
    Result("film.soft.conversion_ms", Median(softTotal));
    Result("film.soft.check_share", Median(softCheck) / Median(softTotal));
    // The look for hard telecine runs during the thumbnail's pause and is
    // waited for after it, before the encoder starts; a soft-telecined title
    // skips it.
    const double hardCheck = Median(hardBefore) - Median(softBefore);
    Result("film.hard.check_ms", hardCheck);
    Result("film.hard.conversion_ms", Median(hardTotal));
    Result("film.hard.check_share", hardCheck / Median(hardTotal));
    Result("film.saved.film_cpu_ms", Median(filmCpu));
    Result("film.saved.before_cpu_ms", Median(oldCpu));
    Result("film.saved.cpu_share", 1 - Median(filmCpu) / Median(oldCpu));
    Result("film.saved.film_wall_ms", Median(filmWall));
    Result("film.saved.before_wall_ms", Median(oldWall));
    Note(QStringLiteral("  press to the encoder, soft / hard (ms): %1 / %2")
             .arg(Join(softBefore, 0), Join(hardBefore, 0)));
    return 0;
}
