// What the installed encoder offers, the successors of retired names and the option rows marked as
// unusable: against listings, a fake encoder (a bash script named ffmpeg) and the real one.
#include "app/main_form.h"
#include "convert/encoder_capabilities.h"
#include "convert/title_jobs.h"
#include "convert/title_streams.h"
#include "options/catalogue.h"
#include "support/test_support.h"
#include "widgets/browse_edit.h"
#include "widgets/check_list_box.h"
#include "widgets/multi_col_combo_box.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

using namespace zento;
using test::ReadFile;
using test::RowWithId;
using test::WriteFile;

namespace {

// The usable names of Debian 12's ffmpeg 5.1 among those the catalogues speak of (video, then audio);
// it also lists sonic, sonicls and vorbis, all three experimental.
const QString kEncoderNames =
    "asv1 asv2 dvvideo ffv1 ffvhuff flashsv flv h261 h263 h263p libx264 huffyuv jpegls mjpeg mpeg1video mpeg2video "
    "mpeg4 libxvid msmpeg4v2 msmpeg4 qtrle rawvideo roqvideo rv10 rv20 snow svq1 libtheora wmv1 wmv2 zlib zmbv aac ac3 "
    "adpcm_adx g726 adpcm_ima_qt adpcm_ima_wav adpcm_ima_ws adpcm_ms adpcm_swf adpcm_yamaha flac libgsm libgsm_ms mp2 "
    "libmp3lame pcm_alaw pcm_mulaw pcm_s16be pcm_s16le pcm_s24be pcm_s24daud pcm_s24le pcm_s32be pcm_s32le pcm_s8 "
    "pcm_u16be pcm_u16le pcm_u24be pcm_u24le pcm_u32be pcm_u32le pcm_u8 roq_dpcm libvorbis wmav1 wmav2";
const QString kMuxerNames = "3gp asf avi flv mov mp4 mpeg ogg rm swf vob";
// The audio rows that encoder has no encoder for at all.
const QString kMissingAudio = "ADPCM_4XM ADPCM_CT ADPCM_EA ADPCM_IMA_DK3 ADPCM_IMA_DK4 ADPCM_IMA_SMJPEG "
                              "ADPCM_SBPRO_2 ADPCM_SBPRO_3 ADPCM_SBPRO_4 ADPCM_XA LIBAMR_NB LIBAMR_WB PCM_ZORK "
                              "SONIC SONICLS";

// Its "-encoders" listing in the encoder's own layout.
QByteArray EncoderListing()
{
    QByteArray out = "Encoders:\n V..... = Video\n A..... = Audio\n ...X.. = Codec is experimental\n ------\n";
    for (const QString &name : kEncoderNames.split(u' '))
        out += " A....D " + name.toUtf8() + "  description\n";
    return out + " A..X.. sonic\n A..X.. sonicls\n A..X.. vorbis               Vorbis\n";
}

QByteArray MuxerListing(const QString &names)
{
    QByteArray out = "File formats:\n D. = Demuxing supported\n .E = Muxing supported\n --\n";
    for (const QString &name : names.split(u' ', Qt::SkipEmptyParts))
        out += "  E " + name.toUtf8() + "             description\n";
    return out;
}

QSet<QString> Names(const QString &spaceSeparated)
{
    const QStringList list = spaceSeparated.split(u' ', Qt::SkipEmptyParts);
    return QSet<QString>(list.begin(), list.end());
}

// 0 today's encoder, 1 an old one that still has every retired name, 2 nothing known.
EncoderCapabilities Encoder(int which)
{
    EncoderCapabilities capabilities;
    if (which < 2) {
        capabilities.SetEncoders(
            Names(which == 0 ? kEncoderNames : "libfaac aac vorbis libvorbis libx264 libtheora mpeg2video ac3"));
        capabilities.SetMuxers(Names(which == 0 ? kMuxerNames : "ogm m2p ogg vob mp4 avi"));
    }
    return capabilities;
}

// Settings choosing "CONTAINER VIDEO AUDIO" by row ID (none: the first rows).
ConversionSettings Settings(const QString &ids)
{
    const QStringList id = ids.split(u' ', Qt::SkipEmptyParts);
    const auto choice = [&](Catalogue catalogue, int i) {
        const int row = id.value(i).isEmpty() ? 0 : RowWithId(catalogue, id.value(i));
        return CatalogueChoice{row, CatalogueRows(catalogue).at(row)};
    };
    ConversionSettings settings;
    settings.C1_03 = QStringLiteral("/out");
    settings.C2_01 = choice(Catalogue::Containers, 0);
    settings.C2_04 = choice(Catalogue::VideoCodecs, 1);
    settings.C3_01 = choice(Catalogue::AudioCodecs, 2);
    return settings;
}

QStringList UnavailableIds(Catalogue catalogue, const EncoderCapabilities &capabilities)
{
    QStringList ids;
    const QStringList &rows = CatalogueRows(catalogue);
    for (int i = 0; i < rows.size(); ++i)
        if (IsRowUnavailable(catalogue, i, rows.at(i), capabilities))
            ids << CatalogueRowId(rows.at(i));
    return ids;
}

// A fake encoder: answers "-encoders"/"-muxers" from encoders.txt/muxers.txt after SLEEP seconds with
// exit code CODE (fake.conf); logs every call with its stdin; a run writes its arguments to encode.args.
const char kFakeEncoder[] = R"SH(#!/bin/bash
dir=$(dirname "$0")
echo "$* stdin=$(readlink /proc/self/fd/0)" >> "$dir/calls.log"
. "$dir/fake.conf"
case "$2" in -encoders|-muxers)
  [ -n "$HANG" ] && exec sleep 20; sleep "${SLEEP:-0}"; cat "$dir/${2#-}.txt"; exit "${CODE:-0}";; esac
[[ " $* " == *" image2 "* ]] && exit 0
printf '%s\n' "$@" > "$dir/encode.args"
printf 'video' > "${@: -1}"
)SH";

struct FakeEncoder {
    test::ProgramFolder program;
    explicit FakeEncoder(const QByteArray &conf = {}, const QByteArray &encoders = EncoderListing(),
                         const QByteArray &muxers = MuxerListing(kMuxerNames))
    {
        WriteFile(program.File("ffmpeg"), kFakeEncoder);
        QFile::setPermissions(program.File("ffmpeg"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        WriteFile(program.File("encoders.txt"), encoders);
        WriteFile(program.File("muxers.txt"), muxers);
        WriteFile(program.File("fake.conf"), conf);
    }
    QString Path() const { return program.File("ffmpeg"); }
    QStringList Lines(const QString &name) const
    {
        return QString::fromUtf8(ReadFile(program.File(name))).split(u'\n', Qt::SkipEmptyParts);
    }
};

// Runs a tool to its end: its exit code (-1 when it did not end) and output.
QPair<int, QString> Run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.setStandardInputFile(QProcess::nullDevice());
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    const bool ended = process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit;
    return {ended ? process.exitCode() : -1, QString::fromUtf8(process.readAll()).trimmed()};
}

// A second of a disc's title with sound of this many channels at 48 kHz.
QString MakeSource(const QTemporaryDir &dir, int channels)
{
    const QString source = dir.filePath("VTS_01_1.VOB");
    const QStringList make{"-v",      "error",
                           "-f",      "lavfi",
                           "-i",      "testsrc=size=352x240:rate=30000/1001",
                           "-f",      "lavfi",
                           "-i",      "sine=sample_rate=48000",
                           "-t",      "1",
                           "-ac",     QString::number(channels),
                           "-target", "ntsc-dvd",
                           "-s",      "352x240",
                           "-y",      source};
    return Run("ffmpeg", make).first == 0 ? source : QString();
}

} // namespace

class TestEncoderCapabilities : public QObject {
    Q_OBJECT
private slots:
    void parseListing_data()
    {
        QTest::addColumn<bool>("muxers");
        QTest::addColumn<QByteArray>("listing");
        QTest::addColumn<QString>("names");
        QTest::newRow("encoders: the whole listing, experimental left out")
            << false << EncoderListing() << kEncoderNames;
        QTest::newRow("encoders: CR LF, tabs, trailing blanks")
            << false << QByteArray(" V....D libx264\tlibx264 H.264\r\n A..... aac   \r\n") << "libx264 aac";
        QTest::newRow("encoders: odd lines skipped")
            << false
            << QByteArray("Encoders:\n V.....\n V..... = Video\n v..... lower\n X..... kind\n V.... short\n"
                          " V.S... mpeg4 MPEG-4 part 2\n\n garbage\n S..... ass  ASS subtitle")
            << "mpeg4 ass";
        QTest::newRow("encoders: empty") << false << QByteArray() << "";
        QTest::newRow("muxers: legend only") << true << MuxerListing("") << "";
        QTest::newRow("muxers: two names")
            << true << QByteArray("  E video4linux2,v4l2 Video4Linux2 output device\n") << "video4linux2 v4l2";
        QTest::newRow("muxers: demuxing and device flags")
            << true << QByteArray(" DE avi   AVI\r\n  Ed alsa  ALSA\r\n D  mov,mp4 only read\n") << "avi alsa";
        QTest::newRow("muxers: odd lines skipped") << true << QByteArray("  E\n  e ogg\n EE x\n\n  E ogg Ogg") << "ogg";
    }
    void parseListing()
    {
        QFETCH(bool, muxers);
        QFETCH(QByteArray, listing);
        QFETCH(QString, names);
        QCOMPARE(muxers ? ParseMuxerList(listing) : ParseEncoderList(listing), Names(names));
    }

    void successorTable_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("expected"); // codec successor, own format, format successor
        QTest::newRow("libfaac") << "libfaac" << QStringList{"aac", "", ""};
        QTest::newRow("vorbis") << "vorbis" << QStringList{"libvorbis", "", ""};
        QTest::newRow("a name that stays") << "libmp3lame" << QStringList{"", "", ""};
        QTest::newRow("m2p") << ".m2p" << QStringList{"", "", "vob"};
        QTest::newRow("ogm, capitals") << ".OGM" << QStringList{"", "", "ogg"};
        QTest::newRow("wmv") << ".wmv" << QStringList{"", "asf", ""};
        QTest::newRow("title file") << ".VOB" << QStringList{"", "vob", ""};
        QTest::newRow("not ours") << ".mkv" << QStringList{"", "", ""};
    }
    void successorTable()
    {
        QFETCH(QString, name);
        QFETCH(QStringList, expected);
        QCOMPARE((QStringList{CodecSuccessor(name), FormatOfExtension(name), FormatSuccessor(name)}), expected);
        QCOMPARE(IsKnownExtension(name), !expected.mid(1).join("").isEmpty());
    }

    void successorsInTheCommand_data()
    {
        QTest::addColumn<QString>("choice");
        QTest::addColumn<int>("encoder");
        QTest::addColumn<QString>("line");
        const QString in = "ffmpeg -i \"/dvd/VIDEO_TS/VTS_01_1.VOB\" -y -flags bitexact ";
        QTest::newRow("libfaac becomes aac")
            << "MP4 LIBX264 LIBFAAC" << 0 << in + "-vcodec libx264 -acodec aac \"/out/VTS_01_1.mp4\"";
        QTest::newRow("ogm: libvorbis and -f ogg")
            << "OGM LIBTHEORA VORBIS" << 0 << in + "-vcodec libtheora -acodec libvorbis -f ogg \"/out/VTS_01_1.ogm\"";
        QTest::newRow("m2p: -f vob") << "M2P MPEG2VIDEO AC3" << 0
                                     << in + "-vcodec mpeg2video -acodec ac3 -f vob \"/out/VTS_01_1.m2p\"";
        QTest::newRow("known names stay exactly as composed")
            << "AVI LIBXVID LIBMP3LAME" << 0 << in + "-vcodec libxvid -acodec libmp3lame \"/out/VTS_01_1.avi\"";
        QTest::newRow("missing without successor stays")
            << "3GP H263 LIBAMR_NB" << 0 << in + "-vcodec h263 -acodec libamr_nb \"/out/VTS_01_1.3gp\"";
        QTest::newRow("copy and the title's own extension")
            << "" << 0 << in + "-vcodec copy -acodec copy \"/out/VTS_01_1.VOB\"";
        QTest::newRow("an old encoder has them all")
            << "OGM LIBTHEORA LIBFAAC" << 1 << in + "-vcodec libtheora -acodec libfaac -f ogg \"/out/VTS_01_1.ogm\"";
        QTest::newRow("nothing known: unchanged")
            << "OGM LIBTHEORA VORBIS" << 2 << in + "-vcodec libtheora -acodec vorbis \"/out/VTS_01_1.ogm\"";
    }
    void successorsInTheCommand()
    {
        QFETCH(QString, choice);
        QFETCH(int, encoder);
        QFETCH(QString, line);
        const QString source = "/dvd/VIDEO_TS/VTS_01_1.VOB";
        ConversionSettings settings = Settings(choice);
        const QString output = BuildOutputPath(source, settings, PathStyle::Posix);
        for (bool twoPass : {false, true}) {
            settings.C4_C1 = twoPass;
            const EncoderCommand command = ApplyEncoderSuccessors(
                BuildEncoderCommandLine(source, output, settings, 1, PathStyle::Posix), Encoder(encoder));
            QCOMPARE(command.commandLine(), twoPass ? QString(line).replace(" -flags", " -pass 1 -an -flags") : line);
            // the output is still the last argument, and still the one in quotes
            QCOMPARE(command.arguments.constLast(), output);
            QCOMPARE(command.quoted, (QList<int>{1, int(command.arguments.size() - 1)}));
        }
    }

    void unavailableRows_data()
    {
        QTest::addColumn<int>("encoder");      // 0 today's, 1 today's without ogg and vob, 2 nothing known
        QTest::addColumn<QStringList>("rows"); // the IDs marked: containers, video, audio
        QTest::newRow("today's encoder") << 0 << QStringList{"", "MSMPEG4V1", kMissingAudio};
        QTest::newRow("no ogg, no vob muxer") << 1 << QStringList{"M2P OGM", "MSMPEG4V1", kMissingAudio};
        QTest::newRow("nothing known") << 2 << QStringList{"", "", ""};
    }
    void unavailableRows()
    {
        QFETCH(int, encoder);
        QFETCH(QStringList, rows);
        EncoderCapabilities capabilities = Encoder(encoder == 2 ? 2 : 0);
        if (encoder == 1)
            capabilities.SetMuxers(Names(QString(kMuxerNames).remove("ogg ").remove(" vob")));
        const QList<Catalogue> catalogues{Catalogue::Containers, Catalogue::VideoCodecs, Catalogue::AudioCodecs};
        for (int i = 0; i < 3; ++i)
            QCOMPARE(UnavailableIds(catalogues.at(i), capabilities).join(' '), rows.at(i));
        // the automatic row never, whatever its text
        QVERIFY(!IsRowUnavailable(Catalogue::AudioCodecs, 0, "LIBAMR_NB", capabilities));
    }

    void queryTheEncoder_data()
    {
        QTest::addColumn<QByteArray>("conf");
        QTest::addColumn<bool>("known");
        QTest::newRow("both lists") << QByteArray() << true;
        QTest::newRow("fails") << QByteArray("CODE=1") << false;
        QTest::newRow("hangs: the time limit") << QByteArray("HANG=1") << false;
    }
    void queryTheEncoder()
    {
        QFETCH(QByteArray, conf);
        QFETCH(bool, known);
        FakeEncoder fake(conf);
        QElapsedTimer clock;
        clock.start();
        const EncoderCapabilities asked = EncoderQuery::Ask(fake.Path(), 500);
        QVERIFY(clock.elapsed() < 3000);
        QCOMPARE(asked.HasEncoder("libvorbis") && asked.HasMuxer("ogg"), known);
        QCOMPARE(asked.KnowsEncoders() || asked.KnowsMuxers(), known);
        // two runs, the listing options alone, stdin from the null device
        QStringList calls = fake.Lines("calls.log");
        calls.sort();
        QCOMPARE(calls.join(" | "), "-hide_banner -encoders stdin=/dev/null | -hide_banner -muxers stdin=/dev/null");
        // through the event loop: reported once
        QList<EncoderCapabilities> reports;
        EncoderQuery query(500);
        query.Start(fake.Path(), [&](const EncoderCapabilities &c) { reports << c; });
        QTRY_COMPARE_WITH_TIMEOUT(reports.size(), 1, 3000);
        QCOMPARE(reports.first().HasMuxer("vob"), known);
        query.Finish();
        QTest::qWait(50);
        QCOMPARE(reports.size(), 1);
    }

    void queryWithoutAnswer()
    {
        QTemporaryDir dir; // a program that cannot be started
        QVERIFY(!EncoderQuery::Ask(dir.filePath("ffmpeg"), 500).IsKnown());
        FakeEncoder fake({}, "Encoders:\n(none)\n", ""); // text that names nothing is no listing
        QVERIFY(!EncoderQuery::Ask(fake.Path(), 1000).IsKnown());
        int reports = 0;
        FakeEncoder slow("SLEEP=1"); // gone before the answer: no report afterwards
        {
            EncoderQuery query;
            query.Start(slow.Path(), [&](const EncoderCapabilities &) { ++reports; });
        }
        QTest::qWait(100);
        QCOMPARE(reports, 0);
    }

    void mainWindowMarksRowsAndRunWaitsForTheAnswer()
    {
        // The answer comes a second after the window is up; a run started before waits for it.
        FakeEncoder fake("SLEEP=1", EncoderListing(), MuxerListing(QString(kMuxerNames).remove("swf ")));
        test::DialogRecorder dialogs;
        TMainForm1 w(fake.program.Executable());
        QElapsedTimer clock;
        clock.start();
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const int amr = RowWithId(Catalogue::AudioCodecs, "LIBAMR_NB");
        QVERIFY(!w.C3_01->ItemUnavailable(amr)); // not yet: the window did not wait

        const QString source = fake.program.File("VIDEO_TS/VTS_01_1.VOB");
        WriteFile(source, "v");
        w.CheckListBox1->SetItemChecked(w.CheckListBox1->AddItem(source), true);
        w.CheckListBox2->SetItemChecked(w.CheckListBox2->AddItem("01_1"), true);
        w.C1_03->SetText(fake.program.File("out"));
        w.C2_01->SetItemIndex(RowWithId(Catalogue::Containers, "OGM"));
        w.C2_04->SetItemIndex(RowWithId(Catalogue::VideoCodecs, "LIBTHEORA"));
        w.C3_01->SetItemIndex(RowWithId(Catalogue::AudioCodecs, "LIBFAAC"));
        QVERIFY(clock.elapsed() < 900);
        w.CButton10Click();
        QCOMPARE(fake.Lines("encode.args"),
                 (QStringList{"-i", source, "-y", "-flags", "bitexact", "-vcodec", "libtheora", "-acodec", "aac", "-f",
                              "ogg", fake.program.File("out/VTS_01_1.ogm")}));
        QCOMPARE(dialogs.messages, QStringList());

        QTRY_VERIFY_WITH_TIMEOUT(w.C3_01->ItemUnavailable(amr), 5000);
        const auto marked = [](TMultiColComboBox *box) {
            QStringList ids;
            for (int i = 0; i < box->ItemCount(); ++i)
                ids << (box->ItemUnavailable(i) ? CatalogueRowId(box->Item(i)) : QString());
            return ids.join(' ').simplified();
        };
        QCOMPARE(QStringList({marked(w.C2_01), marked(w.C2_04), marked(w.C3_01)}),
                 (QStringList{"SWF", "MSMPEG4V1", kMissingAudio}));
        QCOMPARE(w.C3_01->model()->index(amr, 0).data(Qt::ToolTipRole).toString(),
                 QString(" この ffmpeg では使えません"));
        QCOMPARE(fake.Lines("calls.log").filter("-hide_banner").size(), 2); // asked once only
    }

    void realEncoder_data()
    {
        QTest::addColumn<QString>("choice");
        QTest::addColumn<QString>("probe");
        QTest::newRow("LIBFAAC in MP4") << "MP4 LIBX264 LIBFAAC"
                                        << "h264,aac,mov,mp4,m4a,3gp,3g2,mj2";
        QTest::newRow("OGM with VORBIS") << "OGM LIBTHEORA VORBIS"
                                         << "theora,vorbis,ogg";
        QTest::newRow("M2P") << "M2P MPEG2VIDEO AC3"
                             << "mpeg2video,ac3,mpeg";
    }
    void realEncoder()
    {
        QFETCH(QString, choice);
        QFETCH(QString, probe);
        const QString encoder = QStandardPaths::findExecutable("ffmpeg");
        if (encoder.isEmpty() || QStandardPaths::findExecutable("ffprobe").isEmpty())
            QFAIL("the encoder ffmpeg (with ffprobe) must be on PATH");
        const EncoderCapabilities capabilities = EncoderQuery::Ask(encoder);
        QVERIFY(capabilities.LacksEncoder("libfaac") && capabilities.LacksEncoder("vorbis"));
        QVERIFY(capabilities.HasEncoder("aac") && capabilities.HasEncoder("libvorbis") && capabilities.HasMuxer("ogg"));

        QTemporaryDir dir;
        const QString source = MakeSource(dir, 2);
        QVERIFY(!source.isEmpty());
        ConversionSettings settings = Settings(choice);
        settings.C1_03 = dir.path();
        settings.C3_03 = 44100;
        const QString output = BuildOutputPath(source, settings, PathStyle::Posix);
        const EncoderCommand composed = BuildEncoderCommandLine(source, output, settings, 1, PathStyle::Posix);
        // as composed, the encoder refuses the line; with the successors it writes the file
        QVERIFY(Run(encoder, composed.arguments).first != 0);
        QFile::remove(output);
        const auto run = Run(encoder, ApplyEncoderSuccessors(composed, capabilities).arguments);
        QVERIFY2(run.first == 0, qPrintable(run.second.right(500)));
        const QStringList probeArguments{
            "-v", "error", "-show_entries", "format=format_name:stream=codec_name", "-of", "default=nw=1:nk=1", output};
        QCOMPARE(Run("ffprobe", probeArguments).second.replace('\n', ','), probe);
    }

    // Sound the encoder or the container refuses as it comes from a disc
    // (48 kHz, 5.1) is made into what they take, when no rate is typed; the
    // encoder then writes the file.
    void soundFitToEncoder_data()
    {
        QTest::addColumn<QString>("choice");
        QTest::addColumn<int>("rate");
        QTest::addColumn<QString>("probe");
        QTest::newRow("SWF takes 44.1 kHz and less") << "SWF FLV LIBMP3LAME" << 0 << "mp3,44100,2";
        QTest::newRow("GSM: 8 kHz mono") << "MOV MPEG4 LIBGSM" << 0 << "gsm,8000,1";
        QTest::newRow("G.726: 8 kHz mono") << "AVI MPEG4 G726" << 0 << "adpcm_g726,8000,1";
        QTest::newRow("Flash ADPCM into FLV") << "FLV FLV ADPCM_SWF" << 0 << "adpcm_swf,44100,2";
        QTest::newRow("WMA: two channels") << "WMV WMV2 WMAV2" << 0 << "wmav2,48000,2";
        QTest::newRow("a typed rate stands") << "SWF FLV LIBMP3LAME" << 22050 << "mp3,22050,2";
    }
    void soundFitToEncoder()
    {
        QFETCH(QString, choice);
        QFETCH(int, rate);
        QFETCH(QString, probe);
        QTemporaryDir dir;
        const QString source = MakeSource(dir, 6);
        QVERIFY(!source.isEmpty());
        ConversionSettings settings = Settings(choice);
        settings.C1_03 = dir.path();
        settings.C3_03 = rate;
        const QString output = BuildOutputPath(source, settings, PathStyle::Posix);
        const EncoderCommand composed = BuildEncoderCommandLine(source, output, settings, 1, PathStyle::Posix);
        const EncoderCommand fitted = FitSoundToEncoder(composed);
        if (rate == 0)
            QVERIFY(Run("ffmpeg", composed.arguments).first != 0);
        else
            QCOMPARE(fitted.arguments, composed.arguments);
        QFile::remove(output);
        const auto run = Run("ffmpeg", fitted.arguments);
        QVERIFY2(run.first == 0, qPrintable(run.second.right(500)));
        QCOMPARE(fitted.arguments.constLast(), output);
        const QStringList probeArguments{"-v",  "error",         "-select_streams",
                                         "a",   "-show_entries", "stream=codec_name,sample_rate,channels",
                                         "-of", "csv=p=0",       output};
        QCOMPARE(Run("ffprobe", probeArguments).second.trimmed(), probe);
    }

    // A title's own sound copied as it is: the containers told to refuse it
    // are those the encoder refuses, as the run composes the line.
    void copiedSoundRefused_data()
    {
        QTest::addColumn<QString>("disc");
        QTest::addColumn<QStringList>("encode");
        QTest::addColumn<int>("streamId");
        QTest::newRow("AC3") << "AC3" << QStringList{"-c:a", "ac3"} << 0x80;
        QTest::newRow("MPEG") << "MPEG" << QStringList{"-c:a", "mp2"} << 0x1c0;
        QTest::newRow("DTS") << "DTS" << QStringList{"-c:a", "dca", "-strict", "-2", "-ac", "2"} << 0x88;
        QTest::newRow("LPCM") << "LPCM" << QStringList{"-c:a", "pcm_dvd"} << 0xa0;
    }
    void copiedSoundRefused()
    {
        QFETCH(QString, disc);
        QFETCH(QStringList, encode);
        QFETCH(int, streamId);
        QTemporaryDir dir;
        const QString source = dir.filePath("title.vob");
        QVERIFY(
            Run("ffmpeg", QStringList{"-v", "error", "-f", "lavfi", "-i", "testsrc=size=352x240:rate=30000/1001", "-f",
                                      "lavfi", "-i", "sine=sample_rate=48000", "-t", "1", "-c:v", "mpeg2video"} +
                              encode + QStringList{"-f", "vob", source})
                .first == 0);
        const EncoderCapabilities capabilities = EncoderQuery::Ask(QStandardPaths::findExecutable("ffmpeg"));
        const DiscAudioTrack track{.streamId = streamId, .language = {}, .codec = disc};
        const PipedStreams streams{.mapStreams = true, .audioStreamId = streamId, .lpcmBits = disc == "LPCM" ? 16 : 0};
        for (const QString &choice : QString("AVI MPEG4,MPG MPEG1VIDEO,M2P MPEG2VIDEO,MP4 MPEG4,3GP MPEG4,WMV WMV2,"
                                             "ASF MPEG4,MOV MPEG4,RM RV10,OGM LIBTHEORA,FLV FLV,SWF FLV")
                                         .split(',')) {
            ConversionSettings settings = Settings(choice);
            settings.C1_03 = dir.path();
            const QString output = BuildOutputPath(source, settings, PathStyle::Posix);
            QStringList line =
                PipedEncoderCommand(
                    ApplyEncoderSuccessors(BuildEncoderCommandLine(source, output, settings, 1, PathStyle::Posix),
                                           capabilities),
                    streams)
                    .arguments;
            line.replace(line.indexOf("pipe:0"), source);
            const auto run = Run("ffmpeg", line);
            const QString refused = CopiedSoundRefused(track, settings);
            QVERIFY2((run.first != 0) == !refused.isEmpty(),
                     qPrintable(choice + ": " + (refused.isEmpty() ? run.second.right(300) : refused)));
        }
    }
};

QTEST_MAIN(TestEncoderCapabilities)
#include "test_encoder_capabilities.moc"
