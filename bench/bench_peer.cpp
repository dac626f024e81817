// A title converted through the program and through HandBrakeCLI, a peer
// installed for the comparison only, on the same disc with the same
// settings, alternating, three pairs a case.
//
//   bench_peer [work folder]
//
// Cases, each on a disc authored once by scripts/make-dvd in the work folder:
//   subs   peer-movie: a 75 s interlaced 16:9 title, English 5.1 chosen,
//          Japanese subtitles burned in from 62 s, 8 chapters
//   ja     the same title with its Japanese audio, no subtitles
//   film   peer-film: a 75 s soft-telecined film title
// MP4, libx264 at 1500 kbps (x264 medium), AAC 128 kbps, the source's size.
// The program is timed from the press of 変換！ to the end of its run, the
// peer's whole process (its scan included). Run it with
// QT_QPA_PLATFORM=offscreen or under an X server.
#include "app/application_gui.h"
#include "convert/title_jobs.h"
#include "options/catalogue.h"
#include "platform/dialogs.h"
#include "widgets/browse_edit.h"
#include "widgets/check_list_box.h"
#include "widgets/color_button.h"
#include "widgets/drive_combo_box.h"
#include "widgets/multi_col_combo_box.h"
#include "widgets/spin_edit.h"
#include "window_bench_support.h"

#include <QCheckBox>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstdlib>

using namespace zento;
using namespace zento::bench;

namespace {

constexpr int kPairs = 3;

struct Case {
    QString name, disc;
    int audioTrack = 0; // the program's row choice, the peer's "-a" less one
    bool subtitles = false;
};

// The program: the title converted through the window, in seconds.
double ThroughProgram(const QString &programFolder, const Case &c, const QString &out)
{
    auto w = std::make_unique<TMainForm1>(QDir(programFolder).filePath(QStringLiteral("DVD_zento")));
    w->show();
    PumpEvents(500);
    w->C2_01->SetItemIndex(CatalogueRowWithId(Catalogue::Containers, QStringLiteral("MP4")));
    w->C2_04->SetItemIndex(CatalogueRowWithId(Catalogue::VideoCodecs, QStringLiteral("LIBX264")));
    w->C3_01->SetItemIndex(CatalogueRowWithId(Catalogue::AudioCodecs, QStringLiteral("LIBFAAC")));
    w->C2_02_01->SetValue(0);
    w->C2_02_02->SetValue(0);
    w->C2_05->SetValue(1500);
    w->C2_06->SetValue(0);
    w->C3_02->SetValue(128);
    w->C3_03->SetValue(0);
    QDir(out).removeRecursively();
    w->C1_03->SetText(out);
    w->CheckBox2->setChecked(true);
    w->DriveComboBox1->AddFolder(c.disc);
    w->DriveComboBox1->SetDrive(c.disc);
    w->CButton12Click();
    w->SetTitleAudio(0, c.audioTrack);
    if (w->Titles().rows.isEmpty() || (w->Titles().rows.at(0).subtitleTrack >= 0) != c.subtitles)
        Fail(QStringLiteral("the title's subtitles are not as the case has them: ") + w->CheckListBox2->ItemText(0));
    QStringList messages;
    SetDialogHooks({[&messages](const QString &text) { messages << text; }, [] {},
                    [](const QString &, const QString &) { return QString(); }});
    const double start = NowMs();
    w->CButton10->click();
    const double seconds = (NowMs() - start) / 1000;
    SetDialogHooks({});
    if (!messages.isEmpty() || QDir(out).entryList(QDir::Files).isEmpty())
        Fail(QStringLiteral("the program's run said: ") + messages.join(QStringLiteral(" | ")));
    return seconds;
}

// The peer, its scan included, in seconds.
double ThroughPeer(const Case &c, const QString &out)
{
    QDir(out).removeRecursively();
    QDir().mkpath(out);
    QStringList arguments{QStringLiteral("-i"), c.disc, QStringLiteral("-t"), QStringLiteral("1"),
                          QStringLiteral("-o"), out + QStringLiteral("/peer.mp4"),
                          QStringLiteral("-e"), QStringLiteral("x264"), QStringLiteral("--encoder-preset"),
                          QStringLiteral("medium"), QStringLiteral("-b"), QStringLiteral("1500"),
                          QStringLiteral("-E"), QStringLiteral("av_aac"), QStringLiteral("-B"), QStringLiteral("128"),
                          QStringLiteral("-a"), QString::number(c.audioTrack + 1), QStringLiteral("-m"),
                          QStringLiteral("--crop"), QStringLiteral("0:0:0:0")};
    if (c.name != QLatin1String("film"))
        arguments << QStringLiteral("--decomb");
    if (c.subtitles)
        arguments << QStringLiteral("--subtitle") << QStringLiteral("1") << QStringLiteral("--subtitle-burned=1");
    const double start = NowMs();
    QByteArray said;
    if (!RunTool(QStringLiteral("HandBrakeCLI"), arguments, QString(), &said) ||
        !QFileInfo::exists(out + QStringLiteral("/peer.mp4")))
        Fail(QStringLiteral("HandBrakeCLI failed: ") + QString::fromLocal8Bit(said.right(2000)));
    return (NowMs() - start) / 1000;
}

} // namespace

int main(int argc, char **argv)
{
    TApplication app(argc, argv);
    const QString work = WorkFolder(argc, argv);
    if (QStandardPaths::findExecutable(QStringLiteral("HandBrakeCLI")).isEmpty())
        Fail(QStringLiteral("HandBrakeCLI is not installed (Debian's handbrake-cli)"));
    const QString movie = MakeDisc(work, QStringLiteral("peer-movie"),
                                   {"--titles", "75", "--size", "720x480", "--aspect", "16:9", "--interlaced",
                                    "--audio", "en:440:6,ja:880:2", "--subs", "ja:62", "--chapter", "10"});
    const QString film = MakeDisc(work, QStringLiteral("peer-film"),
                                  {"--titles", "75", "--size", "720x480", "--film", "--audio", "ja:880:2",
                                   "--chapter", "10"});
    QTemporaryDir program(work + QStringLiteral("/program-XXXXXX"));
    if (!program.isValid() || !WritePresetFile(program.path()))
        Fail(QStringLiteral("cannot make the program folder"));
    const QList<Case> cases{{QStringLiteral("subs"), movie, 0, true},
                            {QStringLiteral("ja"), movie, 1, false},
                            {QStringLiteral("film"), film, 0, false}};
    const QString part = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
    for (const Case &c : cases) {
        if (!part.isEmpty() && part != c.name)
            continue;
        // Each side's CPU time too, the program's own and its encoder runs'
        // together: steadier than the clock on a host shared with others.
        QList<double> ours, theirs, ratios, oursCpu, theirsCpu, cpuRatios, oursBusy, theirsBusy;
        const auto cpuSeconds = [] { return (ProcessCpuMs() + ChildrenCpuMs()) / 1000; };
        for (int pair = 0; pair < kPairs; ++pair) {
            double cpu = cpuSeconds();
            ours << ThroughProgram(program.path(), c, work + QStringLiteral("/out-program"));
            oursCpu << cpuSeconds() - cpu;
            cpu = cpuSeconds();
            theirs << ThroughPeer(c, work + QStringLiteral("/out-peer"));
            theirsCpu << cpuSeconds() - cpu;
            ratios << ours.constLast() / theirs.constLast();
            cpuRatios << oursCpu.constLast() / theirsCpu.constLast();
            // The cores each side keeps busy: CPU time over the clock, which
            // the host's swings move far less than either alone.
            oursBusy << oursCpu.constLast() / ours.constLast();
            theirsBusy << theirsCpu.constLast() / theirs.constLast();
        }
        const QByteArray key = "peer." + c.name.toUtf8();
        Result((key + ".program_s").constData(), Median(ours));
        Result((key + ".peer_s").constData(), Median(theirs));
        Result((key + ".ratio").constData(), Median(ratios));
        Result((key + ".cpu_ratio").constData(), Median(cpuRatios));
        Note(QStringLiteral("  %1: program (s) %2; peer (s) %3; ratios %4")
                 .arg(c.name, Join(ours, 2), Join(theirs, 2), Join(ratios, 2)));
        Note(QStringLiteral("  %1: CPU, program (s) %2; peer (s) %3; ratios %4")
                 .arg(c.name, Join(oursCpu, 2), Join(theirsCpu, 2), Join(cpuRatios, 2)));
        Result((key + ".program_cores").constData(), Median(oursBusy));
        Result((key + ".peer_cores").constData(), Median(theirsBusy));
        Note(QStringLiteral("  %1: cores busy, program %2; peer %3").arg(c.name, Join(oursBusy, 2), Join(theirsBusy, 2)));
    }
    return 0;
}
