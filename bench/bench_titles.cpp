// Title mode: the title list, the feeding of the encoder's input, burned-in
// subtitles, the program's memory during a title run, and a title whose first
// subtitle comes late.
//
//   bench_titles [work folder] [list|feed|subs|memory|late|subs-x264]
//
// (the optional second argument runs that part alone; subs-x264, the
// subtitles' cost with libx264 instead of MPEG4, runs only when asked for:
// it takes a minute and a half). The discs are authored
// once by scripts/make-dvd and kept in the work folder:
//   titles-list, titles-list.iso  ten titles (30 s, then nine of 4 s), 720x480,
//                    English 5.1 and Japanese stereo, Japanese subtitles 10 s
//                    into the first title; the image labelled
//   titles-large     one title of about 1 GB: 850 s, 720x480, the video at a
//                    constant 8800 kbit/s, one audio track
//   titles-late      one 320-second title, 352x240, its only subtitle 300 s in
//   titles-series    a series disc: a play-all title and two 10 s episodes
//   titles-pal.iso   a PAL image, MPEG audio, labelled in Japanese
//   titles-angles, titles-angles.iso
//                    a title of two interleaved angles (scripts/make-angle-dvd)
// The parts that convert go through the real main window; run it with
// QT_QPA_PLATFORM=offscreen or under an X server. Result keys of those parts
// carry the platform's name.
#include "app/application_gui.h"
#include "convert/command_line.h"
#include "convert/encoder_process.h"
#include "convert/pipe_feed.h"
#include "convert/progress_form.h"
#include "convert/title_jobs.h"
#include "convert/title_streams.h"
#include "options/catalogue.h"
#include "platform/dialogs.h"
#include "widgets/browse_edit.h"
#include "widgets/check_list_box.h"
#include "widgets/color_button.h"
#include "widgets/drive_combo_box.h"
#include "widgets/spin_edit.h"
#include "window_bench_support.h"

#include <QCheckBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <fcntl.h>
#include <future>
#include <sys/stat.h>
#include <thread>

using namespace zento;
using namespace zento::bench;

namespace {

constexpr int kListTitles = 10;
// The disc whose subtitle comes late: its frame, and the second it shows.
constexpr int kLateWidth = 352, kLateHeight = 240;
constexpr double kLateSubtitleSecond = 300;
constexpr int kRounds = 3;
constexpr int kFeedRounds = 5; // a round takes seconds only

// A result under "titles.<part>.<name>".
void Put(const QByteArray &part, const char *name, double value)
{
    Result(("titles." + part + '.' + name).constData(), value);
}

QByteArray Platform()
{
    return QGuiApplication::platformName().toUtf8();
}

// A value of a process's status file ("VmHWM", "VmRSS"), in KiB; -1 when it
// cannot be read (the process has gone).
qint64 StatusKib(const QByteArray &process, const QByteArray &key)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(QString::fromLatin1(process)));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith(key + ':'))
            return line.mid(key.size() + 1).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

double ProcessCpuMs()
{
    return CpuMs(RUSAGE_SELF);
}

// --- the discs ---------------------------------------------------------------------

struct Discs {
    QString list, listImage, large, late;
    QStringList pressed; // discs as studios build them, folders and images
};

Discs MakeDiscs(const QString &work, const QString &part)
{
    Discs discs;
    auto needs = [&part](std::initializer_list<const char *> parts) {
        return part.isEmpty() || std::any_of(parts.begin(), parts.end(), [&part](const char *p) { return part == p; });
    };
    if (needs({"list", "subs", "subs-x264"})) {
        discs.list = MakeDisc(
            work, QStringLiteral("titles-list"),
            {"--titles", "30,4,4,4,4,4,4,4,4,4", "--size", "720x480", "--subs", "ja:10", "--label", "TITLES_BENCH"},
            true);
        discs.listImage = discs.list + QStringLiteral(".iso");
    }
    if (needs({"list"})) {
        discs.pressed << MakeDisc(work, QStringLiteral("titles-series"),
                                  {"--titles", "10,10", "--chapter", "0", "--play-all"}, false);
        discs.pressed << MakeDisc(work, QStringLiteral("titles-pal"),
                                  {"--titles", "10", "--pal", "--mp2", "--label", "日本語ディスク"}, true) +
                             QStringLiteral(".iso");
        const QString angles = work + QStringLiteral("/titles-angles");
        if (!QFileInfo::exists(angles + QStringLiteral("/VIDEO_TS/VIDEO_TS.IFO"))) {
            QByteArray said;
            if (!RunTool(QStringLiteral("python3"),
                         {QStringLiteral(ZENTO_SOURCE_DIR "/scripts/make-angle-dvd"), QStringLiteral("--iso"),
                          angles + QStringLiteral(".iso"), angles},
                         QString(), &said))
                Fail(QStringLiteral("make-angle-dvd failed: ") + QString::fromLocal8Bit(said));
        }
        discs.pressed << angles << angles + QStringLiteral(".iso");
    }
    if (needs({"feed", "memory", "memory-run"}))
        discs.large = MakeDisc(
            work, QStringLiteral("titles-large"),
            {"--titles", "850", "--size", "720x480", "--bitrate", "8800", "--audio", "ja:880:2", "--chapter", "60"},
            false);
    if (needs({"late"}))
        discs.late = MakeDisc(work, QStringLiteral("titles-late"),
                              {"--titles", "320", "--size", QStringLiteral("%1x%2").arg(kLateWidth).arg(kLateHeight),
                               "--subs", QStringLiteral("ja:%1").arg(kLateSubtitleSecond)},
                              false);
    return discs;
}

// The disc's titles as the window reads them.
DiscInfo ReadTitles(const QString &source)
{
    DiscInfo info;
    QString error;
    std::unique_ptr<DvdDisc> disc = DvdDisc::Open(source, &error);
    if (!disc || !disc->ReadInfo(info, &error) || info.titles.isEmpty())
        Fail(QStringLiteral("cannot read the titles of %1: %2").arg(source, error));
    return info;
}

// --- the main window ---------------------------------------------------------------

QString Executable(const QString &programFolder)
{
    return QDir(programFolder).filePath(QStringLiteral("DVD_zento"));
}

// A shown main window, settled for a second as for a user (it asks the
// encoder what it can write meanwhile), its list made from `source` in title
// mode or by file.
std::unique_ptr<TMainForm1> ListedWindow(const QString &programFolder, const QString &source, bool titleMode)
{
    auto w = std::make_unique<TMainForm1>(Executable(programFolder));
    w->show();
    PumpEvents(1000);
    w->CheckBox2->setChecked(titleMode);
    w->DriveComboBox1->AddFolder(source);
    w->DriveComboBox1->SetDrive(source);
    w->CButton12Click();
    if (w->Titles().active != titleMode || w->CheckListBox1->Count() < 1)
        Fail(QStringLiteral("%1 was not listed %2").arg(source, titleMode ? "by title" : "by file"));
    return w;
}

// The bench preset at the source's size.
void PresetAtSourceSize(TMainForm1 &w)
{
    if (!SelectPreset(w))
        Fail(QStringLiteral("no preset ") + QString::fromUtf8(kPresetName));
    w.C2_02_01->SetValue(0);
    w.C2_02_02->SetValue(0);
}

// What one run through the window ended with.
struct WindowRun {
    double pressMs = 0, beepMs = -1;
    int beeps = 0;
    QStringList messages;
};

// Presses "変換！" and returns when the run has ended; `during` is called
// every 10 ms while the run handles events.
WindowRun Press(TMainForm1 &w, const std::function<void()> &during = {})
{
    WindowRun run;
    SetDialogHooks({[&run](const QString &text) { run.messages << text; },
                    [&run] {
                        ++run.beeps;
                        run.beepMs = NowMs();
                    },
                    [](const QString &, const QString &) { return QString(); }});
    QTimer sampler;
    if (during) {
        QObject::connect(&sampler, &QTimer::timeout, during);
        sampler.start(10);
    }
    run.pressMs = NowMs();
    w.CButton10->click();
    sampler.stop();
    SetDialogHooks({});
    if (run.beeps != 1 || !run.messages.isEmpty())
        Fail(QStringLiteral("the run ended with %1 beeps and messages: %2")
                 .arg(run.beeps)
                 .arg(run.messages.join(QStringLiteral(" | "))));
    return run;
}

// --- 1. the title list -----------------------------------------------------------------

// Takes a disc's files out of the page cache (their folders' entries stay),
// so the next listing reads them from the disk.
void Evict(const QString &source)
{
    QStringList files{source};
    if (!QFileInfo(source).isFile()) {
        files.clear();
        for (const QFileInfo &file : QDir(source + QStringLiteral("/VIDEO_TS")).entryInfoList(QDir::Files))
            files << file.filePath();
    }
    for (const QString &file : files) {
        const int fd = ::open(QFile::encodeName(file).constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0 || ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED) != 0)
            Fail(QStringLiteral("cannot evict ") + file);
        ::close(fd);
    }
}

// Open + ReadInfo on a thread of their own, as the window makes them; the
// count of titles read.
qsizetype ListOnce(const QString &source)
{
    return std::async(std::launch::async,
                      [&source] {
                          DiscInfo info;
                          std::unique_ptr<DvdDisc> disc = DvdDisc::Open(source);
                          return disc && disc->ReadInfo(info) ? info.titles.size() : -1;
                      })
        .get();
}

void TitleList(const Discs &discs, const QString &programFolder)
{
    for (const bool image : {false, true}) {
        const QString source = image ? discs.listImage : discs.list;
        const QByteArray kind = image ? "image" : "folder";
        // The library's calls alone: from the page cache, and from the disk.
        QList<double> alone, cold;
        for (int i = 0; i < 25; ++i) {
            const bool evicted = i % 5 == 4;
            if (evicted)
                Evict(source);
            const double start = NowMs();
            const qsizetype titles = ListOnce(source);
            (evicted ? cold : alone) << NowMs() - start;
            if (titles != kListTitles)
                Fail(QStringLiteral("%1 titles read from %2").arg(titles).arg(source));
        }
        // The window's list made again in title mode (the refresh button), to its rows.
        std::unique_ptr<TMainForm1> w = ListedWindow(programFolder, source, true);
        QList<double> window;
        for (int i = 0; i < 10; ++i) {
            const double start = NowMs();
            w->CButton12Click();
            window << NowMs() - start;
            if (!w->Titles().active || w->CheckListBox1->Count() != kListTitles)
                Fail(QStringLiteral("the window listed %1 rows").arg(w->CheckListBox1->Count()));
        }
        Put("list." + kind, "open_read_ms", Median(alone));
        Put("list." + kind, "window_ms", Median(window));
        Put("list." + kind, "from_disk_ms", Median(cold));
        Note(QStringLiteral("  title list of the %1, Open + ReadInfo (ms): %2").arg(kind, Join(alone)));
        Note(QStringLiteral("  title list of the %1, Open + ReadInfo from the disk (ms): %2").arg(kind, Join(cold)));
        Note(QStringLiteral("  title list of the %1, through the window (ms): %2").arg(kind, Join(window)));
    }
    // Discs as studios build them: angles, play-all titles, MPEG audio.
    QList<double> pressed;
    for (const QString &source : discs.pressed) {
        QList<double> times;
        for (int i = 0; i < 15; ++i) {
            const double start = NowMs();
            if (ListOnce(source) < 1)
                Fail(QStringLiteral("no titles read from ") + source);
            times << NowMs() - start;
        }
        pressed << Median(times);
        Note(QStringLiteral("  title list of %1, Open + ReadInfo (ms): %2").arg(QFileInfo(source).fileName(), Join(times)));
    }
    if (!pressed.isEmpty())
        Put("list.pressed", "slowest_median_ms", *std::max_element(pressed.begin(), pressed.end()));
}

// --- 2. and 4.: the encoder fed by the program -------------------------------------------

struct EncoderRun {
    double wallMs = 0, encoderCpuMs = 0, ownCpuMs = 0;
};

// Runs ffmpeg to its end, its messages thrown away; with a feed, its input
// through the program's pipe, fed whole. `pipeBytes` > 0 sets the pipe's
// capacity first (the system's default is 64 KiB).
EncoderRun RunEncoder(const QStringList &arguments, std::unique_ptr<InputFeed> feed = {}, int pipeBytes = 0)
{
    EncoderRun run;
    const double encoderCpu = ChildrenCpuMs(), ownCpu = ProcessCpuMs(), start = NowMs();
    QProcess process;
    PrepareDetachedProcess(process, QStringLiteral("ffmpeg"), arguments);
    std::unique_ptr<PipeFeeder> feeder;
    if (feed) {
        feeder = std::make_unique<PipeFeeder>(std::move(feed));
        if (!feeder->Start())
            Fail(QStringLiteral("no pipe"));
        if (pipeBytes > 0 && ::fcntl(feeder->ChildFd(), F_SETPIPE_SZ, pipeBytes) < pipeBytes)
            Fail(QStringLiteral("the pipe cannot hold %1 bytes").arg(pipeBytes));
        FeedStandardInput(process, feeder->ChildFd());
    }
    process.start();
    if (feeder)
        feeder->ChildStarted();
    if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        Fail(QStringLiteral("the encoder failed: ffmpeg ") + arguments.join(QLatin1Char(' ')));
    if (feeder) {
        feeder->Stop();
        if (!feeder->Complete() || feeder->FedBytes() != feeder->TotalBytes())
            Fail(QStringLiteral("fed %1 of %2 bytes").arg(feeder->FedBytes()).arg(feeder->TotalBytes()));
    }
    run.wallMs = NowMs() - start;
    run.encoderCpuMs = ChildrenCpuMs() - encoderCpu;
    run.ownCpuMs = ProcessCpuMs() - ownCpu;
    return run;
}

// The VOB file through a pipe that cat feeds, for comparison: the cost of
// any pipe, whoever writes it.
double ThroughCat(const QString &vob, const QStringList &fromPipe)
{
    const double start = NowMs();
    QProcess cat, ffmpeg;
    cat.setStandardInputFile(QProcess::nullDevice());
    cat.setStandardOutputProcess(&ffmpeg);
    ffmpeg.setStandardOutputFile(QProcess::nullDevice());
    ffmpeg.setStandardErrorFile(QProcess::nullDevice());
    cat.start(QStringLiteral("cat"), {vob});
    ffmpeg.start(QStringLiteral("ffmpeg"), fromPipe);
    if (!cat.waitForFinished(-1) || !ffmpeg.waitForFinished(-1) || cat.exitCode() != 0 || ffmpeg.exitCode() != 0)
        Fail(QStringLiteral("cat | ffmpeg failed"));
    return NowMs() - start;
}

void Feeding(const Discs &discs)
{
    const QString vob = discs.large + QStringLiteral("/VIDEO_TS/VTS_01_1.VOB");
    const DiscTitle title = ReadTitles(discs.large).titles.constFirst();
    const qint64 fedBytes = DiscTitleFeed(discs.large, title)->TotalBytes();
    const qint64 fileBytes = QFileInfo(vob).size();
    if (fedBytes != fileBytes)
        Note(QStringLiteral("  the title is %1 bytes, its file %2").arg(fedBytes).arg(fileBytes));
    const QStringList copy{QStringLiteral("-c"), QStringLiteral("copy"), QStringLiteral("-f"), QStringLiteral("null"),
                           QStringLiteral("-")};
    const QStringList fromFile = QStringList{"-f", "mpeg", "-i", vob} + copy;
    const QStringList fromPipe = QStringList{"-f", "mpeg", "-i", "pipe:0"} + copy;
    RunEncoder(fromFile); // the file into the page cache, ffmpeg's libraries too
    // The program's pipe as it is; to see what a pipe costs, the same pipe
    // made to hold 1 MiB, and the file through cat's pipe.
    QList<double> file, pipe, largePipe, cat, fileCpu, pipeCpu, feederCpu;
    for (int round = 0; round < kFeedRounds; ++round) {
        const EncoderRun a = RunEncoder(fromFile);
        const EncoderRun b = RunEncoder(fromPipe, DiscTitleFeed(discs.large, title));
        const EncoderRun c = RunEncoder(fromPipe, DiscTitleFeed(discs.large, title), 1 << 20);
        file << a.wallMs;
        fileCpu << a.encoderCpuMs;
        pipe << b.wallMs;
        pipeCpu << b.encoderCpuMs;
        feederCpu << b.ownCpuMs;
        largePipe << c.wallMs;
        cat << ThroughCat(vob, fromPipe);
    }
    Put("feed", "title_mib", double(fedBytes) / 1048576.0);
    Put("feed", "file_ms", Median(file));
    Put("feed", "pipe_ms", Median(pipe));
    Put("feed", "ratio", Median(pipe) / Median(file));
    Put("feed", "file_encoder_cpu_ms", Median(fileCpu));
    Put("feed", "pipe_encoder_cpu_ms", Median(pipeCpu));
    Put("feed", "feeder_cpu_ms", Median(feederCpu));
    Put("feed", "pipe_1mib_ms", Median(largePipe));
    Put("feed", "pipe_1mib_ratio", Median(largePipe) / Median(file));
    Put("feed", "cat_ms", Median(cat));
    Put("feed", "cat_ratio", Median(cat) / Median(file));
    Note(QStringLiteral("  1 GB title, encoder reading the file (ms): %1").arg(Join(file)));
    Note(QStringLiteral("  1 GB title, encoder fed through the pipe (ms): %1").arg(Join(pipe)));
    Note(QStringLiteral("  1 GB title, the same through a pipe of 1 MiB (ms): %1").arg(Join(largePipe)));
    Note(QStringLiteral("  1 GB title, the VOB file through cat's pipe (ms): %1").arg(Join(cat)));
}

// The first title encoded with its subtitles and without, as the run composes
// the command lines: the bench preset at the source's size, its video codec
// MPEG4 or, with `x264`, libx264.
void BurnedSubtitles(const Discs &discs, const QString &programFolder, bool x264)
{
    const QString out = QFileInfo(programFolder).absolutePath() + QStringLiteral("/out-titles-subs");
    QDir(out).removeRecursively();
    QDir().mkpath(out);
    TMainForm1 w(Executable(programFolder));
    PresetAtSourceSize(w);
    if (x264)
        w.C2_04->SetItemIndex(CatalogueRowWithId(Catalogue::VideoCodecs, QStringLiteral("LIBX264")));
    w.StartEncoderQuery();
    ConversionSettings settings = w.CurrentSettings();
    settings.C1_03 = out;
    const DiscInfo info = ReadTitles(discs.list);
    const DiscTitle &title = info.titles.constFirst();
    const int audio = DefaultAudioTrack(title);
    if (audio < 0 || title.subtitles.isEmpty())
        Fail(QStringLiteral("the first title has no audio or no subtitles"));
    const QString output = TitleOutputPath(DiscName(discs.list, info.volumeLabel), title.number, settings);
    const EncoderCommand base =
        ApplyEncoderSuccessors(BuildEncoderCommandLine(discs.list, output, settings, 1), w.Capabilities());
    auto arguments = [&](bool burn) {
        PipedStreams streams;
        streams.mapStreams = true;
        streams.audioStreamId = title.audio.at(audio).streamId;
        if (burn) {
            streams.subtitleStreamId = title.subtitles.constFirst().streamId;
            streams.palette = SubtitlePalette(title.palette);
        }
        streams.deinterlace = DeinterlaceTitle(settings);
        return PipedEncoderCommand(base, streams).arguments;
    };
    Note(QStringLiteral("  subtitles burned in: ffmpeg ") +
         arguments(true).join(QLatin1Char(' ')).replace(output, QFileInfo(output).fileName()));
    QList<double> plainWall, burnedWall, plainCpu, burnedCpu;
    for (int round = 0; round < kRounds; ++round)
        for (const bool burn : {false, true}) {
            const EncoderRun run = RunEncoder(arguments(burn), DiscTitleFeed(discs.list, title));
            if (QFileInfo(output).size() <= 0)
                Fail(QStringLiteral("no output ") + output);
            QFile::remove(output);
            (burn ? burnedWall : plainWall) << run.wallMs;
            (burn ? burnedCpu : plainCpu) << run.encoderCpuMs;
        }
    QDir(out).removeRecursively();
    const QByteArray part = x264 ? "subs_x264" : "subs";
    Put(part, "plain_ms", Median(plainWall));
    Put(part, "burned_ms", Median(burnedWall));
    Put(part, "wall_ratio", Median(burnedWall) / Median(plainWall));
    Put(part, "plain_cpu_ms", Median(plainCpu));
    Put(part, "burned_cpu_ms", Median(burnedCpu));
    Put(part, "cpu_ratio", Median(burnedCpu) / Median(plainCpu));
    Note(QStringLiteral("  30 s title at 720x480, %1, no subtitles (ms wall): %2; CPU: %3")
             .arg(x264 ? "libx264" : "MPEG4", Join(plainWall), Join(plainCpu)));
    Note(QStringLiteral("  the same, subtitles burned in (ms wall): %1; CPU: %2")
             .arg(Join(burnedWall), Join(burnedCpu)));
}

// --- 3. the program's memory -----------------------------------------------------------------

// One run in a process of its own, so the peak is that run's: the 1 GB title
// copied ("自動" everywhere: -vcodec copy -acodec copy), by title or by file.
int MemoryRun(const Discs &discs, const QString &work, bool titleMode)
{
    QTemporaryDir program(work + QStringLiteral("/program-XXXXXX"));
    if (!program.isValid() || !WritePresetFile(program.path()))
        Fail(QStringLiteral("cannot make the program folder"));
    const QString out = work + QStringLiteral("/out-titles-memory");
    QDir(out).removeRecursively();
    std::unique_ptr<TMainForm1> w = ListedWindow(program.path(), discs.large, titleMode);
    if (w->CheckListBox1->Count() != 1)
        Fail(QStringLiteral("%1 rows listed").arg(w->CheckListBox1->Count()));
    w->C2_01->SetItemIndex(0);
    w->C2_04->SetItemIndex(0);
    w->C3_01->SetItemIndex(0);
    for (TSpinEdit *edit : {w->C2_02_01, w->C2_02_02, w->C2_03_01, w->C2_03_02, w->C2_05, w->C2_06, w->C3_02, w->C3_03})
        edit->SetValue(0);
    w->C1_03->SetText(out);
    const qint64 before = StatusKib("self", "VmRSS");
    const WindowRun run = Press(*w);
    const qint64 peak = StatusKib("self", "VmHWM");
    const QStringList files = QDir(out).entryList(QDir::Files);
    const qint64 written = files.size() == 1 ? QFileInfo(out + QLatin1Char('/') + files.constFirst()).size() : 0;
    if (written < QFileInfo(discs.large + QStringLiteral("/VIDEO_TS/VTS_01_1.VOB")).size() * 9 / 10)
        Fail(QStringLiteral("the copy holds %1 bytes").arg(written));
    QDir(out).removeRecursively();
    std::printf("memory %lld %lld %.1f\n", peak, before, run.beepMs - run.pressMs);
    return 0;
}

void ProgramMemory(const QString &work)
{
    QList<double> title, file, titleMs, fileMs;
    for (int round = 0; round < kRounds; ++round)
        for (const char *mode : {"file", "title"}) {
            QByteArray said;
            if (!RunTool(QCoreApplication::applicationFilePath(),
                         {work, QStringLiteral("memory-run"), QString::fromLatin1(mode)}, QString(), &said))
                Fail(QStringLiteral("the %1 run failed: %2").arg(mode, QString::fromLocal8Bit(said)));
            QList<QByteArray> fields;
            for (const QByteArray &line : said.split('\n'))
                if (line.startsWith("memory "))
                    fields = line.split(' ');
            if (fields.size() != 4)
                Fail(QStringLiteral("the %1 run said: %2").arg(mode, QString::fromLocal8Bit(said)));
            const bool byTitle = mode[0] == 't';
            (byTitle ? title : file) << fields[1].toDouble() / 1024.0;
            (byTitle ? titleMs : fileMs) << fields[3].toDouble();
            Note(QStringLiteral("  %1 run: peak %2 MiB, %3 MiB at the press, %4 ms")
                     .arg(mode)
                     .arg(fields[1].toDouble() / 1024.0, 0, 'f', 1)
                     .arg(fields[2].toDouble() / 1024.0, 0, 'f', 1)
                     .arg(fields[3].toDouble(), 0, 'f', 0));
        }
    const QByteArray part = "memory." + Platform();
    Put(part, "title_peak_mib", Median(title));
    Put(part, "file_peak_mib", Median(file));
    Put(part, "above_file_mib", Median(title) - Median(file));
    Put(part, "title_run_ms", Median(titleMs));
    Put(part, "file_run_ms", Median(fileMs));
}

// --- 5. a title whose first subtitle comes late ------------------------------------------------

// Watches, from a thread of its own, for the output's first bytes (the
// encoder writes the file's head once its first frame is through) and the
// encoder's peak memory.
class RunSampler {
public:
    RunSampler(const QString &output, const std::atomic<qint64> &pid)
        : output_(QFile::encodeName(output)), pid_(pid), thread_([this] { Loop(); })
    {
    }
    ~RunSampler()
    {
        stop_ = true;
        thread_.join();
    }
    double FirstBytesMs() const { return firstBytesMs_.load(); }
    qint64 EncoderPeakKib() const { return peakKib_.load(); }

private:
    void Loop()
    {
        while (!stop_) {
            struct stat info {};
            if (firstBytesMs_.load() < 0 && ::stat(output_.constData(), &info) == 0 && info.st_size > 0)
                firstBytesMs_ = NowMs();
            if (const qint64 pid = pid_.load(); pid > 0)
                peakKib_ = std::max(peakKib_.load(), StatusKib(QByteArray::number(pid), "VmHWM"));
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }

    const QByteArray output_;
    const std::atomic<qint64> &pid_;
    std::atomic<bool> stop_{false};
    std::atomic<double> firstBytesMs_{-1};
    std::atomic<qint64> peakKib_{-1};
    std::thread thread_;
};

// The share of the subtitle's bar (make-dvd draws a yellow bar across the
// lower middle of the picture) that is yellow in a file's frame at `second`.
double YellowShare(const QString &file, double second)
{
    QProcess ffmpeg;
    ffmpeg.setStandardInputFile(QProcess::nullDevice());
    ffmpeg.setStandardErrorFile(QProcess::nullDevice());
    ffmpeg.start(QStringLiteral("ffmpeg"), {"-ss", QString::number(second), "-i", file, "-frames:v", "1", "-f",
                                            "rawvideo", "-pix_fmt", "rgb24", "-"});
    ffmpeg.waitForFinished(-1);
    const QByteArray rgb = ffmpeg.readAllStandardOutput();
    if (rgb.size() != kLateWidth * kLateHeight * 3)
        return -1;
    int yellow = 0, all = 0;
    const int top = kLateHeight * 3 / 4, bottom = top + kLateHeight / 8;
    for (int y = top + 4; y < bottom - 4; ++y)
        for (int x = kLateWidth / 4 + 4; x < kLateWidth * 3 / 4 - 4; ++x) {
            const auto *pixel = reinterpret_cast<const unsigned char *>(rgb.constData()) + (y * kLateWidth + x) * 3;
            ++all;
            yellow += pixel[0] > 180 && pixel[1] > 180 && pixel[2] < 100;
        }
    return all ? double(yellow) / all : -1;
}

struct LateRun {
    double startMs = 0, firstFrameMs = 0, totalMs = 0;
    qint64 encoderPeakKib = -1;
};

// The title converted with its subtitles burned in or without; cut short by
// "中止" once the encoder's first frame is through, unless `whole`.
LateRun LateSubtitleRun(const QString &disc, const QString &programFolder, bool burn, bool whole)
{
    const QString out = QFileInfo(programFolder).absolutePath() + QStringLiteral("/out-titles-late");
    QDir(out).removeRecursively();
    std::unique_ptr<TMainForm1> w = ListedWindow(programFolder, disc, true);
    PresetAtSourceSize(*w);
    w->C1_03->SetText(out);
    w->SetTitleSubtitles(0, burn ? 0 : -1);
    ConversionSettings settings = w->CurrentSettings();
    settings.C1_03 = AbsoluteFolder(out);
    const QString output = TitleOutputPath(w->Titles().discName, 1, settings);
    ProcessTimes processes;
    std::atomic<qint64> encoderPid{0};
    ProcessWatch watch(*w, processes, &encoderPid);
    RunSampler sampler(output, encoderPid);
    bool cancelled = false;
    const WindowRun run = Press(*w, [&] {
        if (whole || cancelled || sampler.FirstBytesMs() < 0 || !w->ProgressForm1)
            return;
        cancelled = true;
        w->ProgressForm1->CButton1->click();
    });
    LateRun late;
    const double startMs = processes.encoderStart.value(0, -1);
    late.startMs = startMs - run.pressMs;
    late.firstFrameMs = sampler.FirstBytesMs() - run.pressMs;
    late.totalMs = run.beepMs - run.pressMs;
    late.encoderPeakKib = sampler.EncoderPeakKib();
    if (startMs < 0 || sampler.FirstBytesMs() < 0)
        Fail(QStringLiteral("the encoder wrote nothing"));
    if (whole && QFileInfo(output).size() <= 0)
        Fail(QStringLiteral("no output ") + output);
    // The whole title with its subtitles: the bar is in the picture (the
    // test picture alone has a third of its area yellow).
    if (whole && burn) {
        const double share = YellowShare(output, kLateSubtitleSecond + 1.5);
        if (share < 0.9)
            Fail(QStringLiteral("the subtitle is not in the picture (%1 of its bar)").arg(share));
    }
    QDir(out).removeRecursively();
    return late;
}

void LateSubtitles(const Discs &discs, const QString &programFolder)
{
    QList<double> plain, burned, plainStart, burnedStart;
    for (int round = 0; round < kRounds; ++round)
        for (const bool burn : {false, true}) {
            const LateRun run = LateSubtitleRun(discs.late, programFolder, burn, false);
            (burn ? burned : plain) << run.firstFrameMs;
            (burn ? burnedStart : plainStart) << run.startMs;
        }
    const QByteArray part = "late." + Platform();
    Put(part, "plain_first_frame_ms", Median(plain));
    Put(part, "burned_first_frame_ms", Median(burned));
    Put(part, "first_frame_growth_ms", Median(burned) - Median(plain));
    Put(part, "plain_encoder_start_ms", Median(plainStart));
    Put(part, "burned_encoder_start_ms", Median(burnedStart));
    Note(QStringLiteral("  late subtitles, press to first frame, none (ms): %1").arg(Join(plain)));
    Note(QStringLiteral("  late subtitles, press to first frame, burned in (ms): %1").arg(Join(burned)));
    // The whole title, past its subtitle, for the encoder's peak memory.
    for (const bool burn : {false, true}) {
        const LateRun run = LateSubtitleRun(discs.late, programFolder, burn, true);
        Put(part, burn ? "burned_encoder_peak_mb" : "plain_encoder_peak_mb", double(run.encoderPeakKib) * 1024 / 1e6);
        Put(part, burn ? "burned_whole_run_ms" : "plain_whole_run_ms", run.totalMs);
    }
}

} // namespace

int main(int argc, char **argv)
{
    TApplication app(argc, argv);
    const QString work = WorkFolder(argc, argv);
    const QString part = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
    const Discs discs = MakeDiscs(work, part);
    if (part == QLatin1String("memory-run"))
        return MemoryRun(discs, work, argc > 3 && argv[3] == QByteArray("title"));

    QTemporaryDir program(work + QStringLiteral("/program-XXXXXX"));
    if (!program.isValid() || !WritePresetFile(program.path()))
        Fail(QStringLiteral("cannot make the program folder"));
    if (part.isEmpty() || part == QLatin1String("list"))
        TitleList(discs, program.path());
    if (part.isEmpty() || part == QLatin1String("feed"))
        Feeding(discs);
    if (part.isEmpty() || part == QLatin1String("subs"))
        BurnedSubtitles(discs, program.path(), false);
    if (part == QLatin1String("subs-x264"))
        BurnedSubtitles(discs, program.path(), true);
    if (part.isEmpty() || part == QLatin1String("memory"))
        ProgramMemory(work);
    if (part.isEmpty() || part == QLatin1String("late"))
        LateSubtitles(discs, program.path());
    return 0;
}
