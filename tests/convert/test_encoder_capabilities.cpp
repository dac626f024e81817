// What the installed encoder offers, the successors of retired names and the
// option rows marked as unusable: against captured listings, a fake encoder
// (a bash script named ffmpeg) and the real one.
#include "app/main_form.h"
#include "convert/encoder_capabilities.h"
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

#include <memory>

using namespace zento;
using test::ReadFile;
using test::WriteFile;

namespace {

// The encoder listing of Debian 12's ffmpeg 5.1, cut to the names the
// catalogues and the successors speak of (descriptions left out).
const char kEncoders[] = R"(Encoders:
 V..... = Video
 A..... = Audio
 S..... = Subtitle
 .F.... = Frame-level multithreading
 ..S... = Slice-level multithreading
 ...X.. = Codec is experimental
 ....B. = Supports draw_horiz_band
 .....D = Supports direct rendering method 1
 ------
 V..... asv1
 V..... asv2
 VFS..D dvvideo
 V.S... ffv1
 VF.... ffvhuff
 V..... flashsv
 V..... flv
 V..... h261
 V..... h263
 V.S... h263p
 V....D libx264
 VF.... huffyuv
 VF...D jpegls
 VFS... mjpeg
 V.S... mpeg1video
 V.S... mpeg2video
 V.S... mpeg4
 V..... libxvid
 V..... msmpeg4v2
 V..... msmpeg4
 V..... qtrle
 VF...D rawvideo
 V..... roqvideo
 V..... rv10
 V..... rv20
 V..... snow
 V..... svq1
 V....D libtheora
 V..... wmv1
 V..... wmv2
 VF.... zlib
 V....D zmbv
 A..... aac
 A....D ac3
 A....D adpcm_adx
 A....D g726
 A....D adpcm_ima_qt
 A....D adpcm_ima_wav
 A....D adpcm_ima_ws
 A....D adpcm_ms
 A....D adpcm_swf
 A....D adpcm_yamaha
 A....D flac
 A....D libgsm
 A....D libgsm_ms
 A..... mp2
 A....D libmp3lame
 A....D pcm_alaw
 A....D pcm_mulaw
 A....D pcm_s16be
 A....D pcm_s16le
 A....D pcm_s24be
 A....D pcm_s24daud
 A....D pcm_s24le
 A....D pcm_s32be
 A....D pcm_s32le
 A....D pcm_s8
 A....D pcm_u16be
 A....D pcm_u16le
 A....D pcm_u24be
 A....D pcm_u24le
 A....D pcm_u32be
 A....D pcm_u32le
 A....D pcm_u8
 A....D roq_dpcm
 A..X.. sonic
 A..X.. sonicls
 A..X.. vorbis
 A....D libvorbis
 A..... wmav1
 A..... wmav2
)";

// Its muxer listing, cut likewise (lines with two names and one whose name
// runs into the description kept).
const char kMuxers[] = R"(File formats:
 D. = Demuxing supported
 .E = Muxing supported
 --
  E 3gp             3GP (3GPP file format)
  E alsa            ALSA audio output
  E asf             ASF (Advanced / Active Streaming Format)
  E avi             AVI (Audio Video Interleaved)
  E dvd             MPEG-2 PS (DVD VOB)
  E flv             FLV (Flash Video)
  E mov             QuickTime / MOV
  E mp4             MP4
  E mpeg            MPEG-1 Systems / MPEG program stream
  E ogg             Ogg
  E rm              RealMedia
  E sdl,sdl2        SDL2 output device
  E stream_segment,ssegment streaming segment muxer
  E svcd            MPEG-2 PS (SVCD)
  E swf             SWF (ShockWave Flash)
  E vob             MPEG-2 PS (VOB)
)";

QSet<QString> Names(const QString &spaceSeparated)
{
    const QStringList list = spaceSeparated.split(u' ', Qt::SkipEmptyParts);
    return QSet<QString>(list.begin(), list.end());
}

EncoderCapabilities Today()
{
    EncoderCapabilities capabilities;
    capabilities.SetEncoders(ParseEncoderList(kEncoders));
    capabilities.SetMuxers(ParseMuxerList(kMuxers));
    return capabilities;
}

// An encoder of old that still has every retired name.
EncoderCapabilities OldEncoder()
{
    EncoderCapabilities capabilities;
    capabilities.SetEncoders(Names("libfaac aac vorbis libvorbis libx264 libtheora mpeg2video ac3"));
    capabilities.SetMuxers(Names("ogm m2p ogg vob mp4 avi"));
    return capabilities;
}

int RowWithId(Catalogue catalogue, const QString &id)
{
    const QStringList &rows = CatalogueRows(catalogue);
    for (int i = 0; i < rows.size(); ++i)
        if (CatalogueRowId(rows.at(i)) == id)
            return i;
    qFatal("no catalogue row %s", qPrintable(id));
}

CatalogueChoice Choice(Catalogue catalogue, const QString &id)
{
    const int row = id.isEmpty() ? 0 : RowWithId(catalogue, id);
    return {row, CatalogueRows(catalogue).at(row)};
}

ConversionSettings Settings(const QString &container, const QString &video, const QString &audio)
{
    ConversionSettings settings;
    settings.C1_03 = QStringLiteral("/out");
    settings.C2_01 = Choice(Catalogue::Containers, container);
    settings.C2_04 = Choice(Catalogue::VideoCodecs, video);
    settings.C3_01 = Choice(Catalogue::AudioCodecs, audio);
    return settings;
}

// The IDs of the rows of a catalogue that are of no use with the encoder.
QStringList UnavailableIds(Catalogue catalogue, const EncoderCapabilities &capabilities)
{
    QStringList ids;
    const QStringList &rows = CatalogueRows(catalogue);
    for (int i = 0; i < rows.size(); ++i)
        if (IsRowUnavailable(catalogue, i, rows.at(i), capabilities))
            ids << CatalogueRowId(rows.at(i));
    return ids;
}

// The audio rows this encoder has no encoder for at all.
const QString kMissingAudio = "ADPCM_4XM ADPCM_CT ADPCM_EA ADPCM_IMA_DK3 ADPCM_IMA_DK4 ADPCM_IMA_SMJPEG "
                              "ADPCM_SBPRO_2 ADPCM_SBPRO_3 ADPCM_SBPRO_4 ADPCM_XA LIBAMR_NB LIBAMR_WB PCM_ZORK "
                              "SONIC SONICLS";

// A fake encoder: answers "-encoders" and "-muxers" from encoders.txt and
// muxers.txt beside it, after SLEEP seconds, with exit code CODE (fake.conf);
// logs every call with its stdin; an encoder run writes its arguments, one a
// line, to encode.args, and a few bytes to the output.
const char kFakeEncoder[] = R"SH(#!/bin/bash
dir=$(dirname "$0")
echo "$* stdin=$(readlink /proc/self/fd/0)" >> "$dir/calls.log"
[ -f "$dir/fake.conf" ] && . "$dir/fake.conf"
case "$2" in
-encoders) [ -n "$HANG" ] && exec sleep 20; sleep "${SLEEP:-0}"; cat "$dir/encoders.txt"; exit "${CODE:-0}";;
-muxers) [ -n "$HANG" ] && exec sleep 20; sleep "${SLEEP:-0}"; cat "$dir/muxers.txt"; exit "${CODE:-0}";;
esac
[[ " $* " == *" image2 "* ]] && exit 0
printf '%s\n' "$@" > "$dir/encode.args"
printf 'video' > "${@: -1}"
)SH";

struct FakeEncoder {
    test::ProgramFolder program;
    explicit FakeEncoder(const QByteArray &conf = {}, const QByteArray &encoders = kEncoders,
                         const QByteArray &muxers = kMuxers)
    {
        WriteFile(program.File("ffmpeg"), kFakeEncoder);
        QFile::setPermissions(program.File("ffmpeg"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        WriteFile(program.File("encoders.txt"), encoders);
        WriteFile(program.File("muxers.txt"), muxers);
        WriteFile(program.File("fake.conf"), conf);
    }
    QString Path() const { return program.File("ffmpeg"); }
    QStringList Calls() const
    {
        return QString::fromUtf8(ReadFile(program.File("calls.log"))).split(u'\n', Qt::SkipEmptyParts);
    }
    QStringList EncodeArguments() const
    {
        return QString::fromUtf8(ReadFile(program.File("encode.args"))).split(u'\n', Qt::SkipEmptyParts);
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

} // namespace

class TestEncoderCapabilities : public QObject {
    Q_OBJECT
private slots:
    void parseEncoderList_data()
    {
        QTest::addColumn<QByteArray>("listing");
        QTest::addColumn<QString>("names");
        QTest::newRow("legend only") << QByteArray(kEncoders).left(QByteArray(kEncoders).indexOf("------") + 7)
                                     << "";
        QTest::newRow("experimental left out")
            << QByteArray(" A..X.. vorbis   Vorbis\n A....D libvorbis  libvorbis (codec vorbis)\n") << "libvorbis";
        QTest::newRow("CR LF, tabs, trailing blanks")
            << QByteArray(" V....D libx264\tlibx264 H.264\r\n A..... aac   \r\n") << "libx264 aac";
        QTest::newRow("odd lines skipped")
            << QByteArray("Encoders:\n V.....\n V..... = Video\n v..... lower\n X..... kind\n V.... short\n"
                          " V.S... mpeg4 MPEG-4 part 2\n\n garbage\n S..... ass  ASS subtitle")
            << "mpeg4 ass";
        QTest::newRow("empty") << QByteArray() << "";
    }
    void parseEncoderList()
    {
        QFETCH(QByteArray, listing);
        QFETCH(QString, names);
        QCOMPARE(ParseEncoderList(listing), Names(names));
    }

    void capturedListings()
    {
        const QSet<QString> encoders = ParseEncoderList(kEncoders);
        QCOMPARE(encoders.size(), 68); // 71 entries, three of them experimental
        for (const char *name : {"aac", "libvorbis", "libx264", "asv1", "zmbv", "wmav2", "roq_dpcm"})
            QVERIFY2(encoders.contains(name), name);
        for (const char *name : {"vorbis", "sonic", "sonicls", "libfaac", "="})
            QVERIFY2(!encoders.contains(name), name);
        QCOMPARE(ParseMuxerList(kMuxers),
                 Names("3gp alsa asf avi dvd flv mov mp4 mpeg ogg rm sdl sdl2 stream_segment ssegment svcd swf vob"));
    }

    void parseMuxerList_data()
    {
        QTest::addColumn<QByteArray>("listing");
        QTest::addColumn<QString>("names");
        QTest::newRow("legend only") << QByteArray("File formats:\n D. = Demuxing supported\n .E = Muxing supported\n --\n")
                                     << "";
        QTest::newRow("two names") << QByteArray("  E video4linux2,v4l2 Video4Linux2 output device\n")
                                   << "video4linux2 v4l2";
        QTest::newRow("demuxing and device flags")
            << QByteArray(" DE avi   AVI\r\n  Ed alsa  ALSA\r\n D  mov,mp4 only read\n") << "avi alsa";
        QTest::newRow("odd lines skipped") << QByteArray("  E\n  e ogg\n EE x\n\n  E ogg Ogg") << "ogg";
    }
    void parseMuxerList()
    {
        QFETCH(QByteArray, listing);
        QFETCH(QString, names);
        QCOMPARE(ParseMuxerList(listing), Names(names));
    }

    void successorTable_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("codecSuccessor");
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("formatSuccessor");
        QTest::newRow("libfaac") << "libfaac" << "aac" << "" << "";
        QTest::newRow("vorbis") << "vorbis" << "libvorbis" << "" << "";
        QTest::newRow("a name that stays") << "libmp3lame" << "" << "" << "";
        QTest::newRow("m2p") << ".m2p" << "" << "" << "vob";
        QTest::newRow("ogm, capitals") << ".OGM" << "" << "" << "ogg";
        QTest::newRow("wmv") << ".wmv" << "" << "asf" << "";
        QTest::newRow("mpg") << ".mpg" << "" << "mpeg" << "";
        QTest::newRow("title file") << ".VOB" << "" << "vob" << "";
        QTest::newRow("not ours") << ".mkv" << "" << "" << "";
    }
    void successorTable()
    {
        QFETCH(QString, name);
        QFETCH(QString, codecSuccessor);
        QFETCH(QString, format);
        QFETCH(QString, formatSuccessor);
        QCOMPARE(CodecSuccessor(name), codecSuccessor);
        QCOMPARE(FormatOfExtension(name), format);
        QCOMPARE(FormatSuccessor(name), formatSuccessor);
    }

    void everyContainerHasAFormat()
    {
        // Each container row's extension is in the format table, and today's
        // encoder can write every one of them (some through a successor).
        const QStringList &rows = CatalogueRows(Catalogue::Containers);
        for (int i = 1; i < rows.size(); ++i) {
            const QString extension = "." + EncoderName(CatalogueRowId(rows.at(i)));
            QVERIFY2(IsKnownExtension(extension), qPrintable(extension));
            QVERIFY2(!FormatOfExtension(extension).isEmpty() || !FormatSuccessor(extension).isEmpty(),
                     qPrintable(extension));
        }
        QCOMPARE(UnavailableIds(Catalogue::Containers, Today()), QStringList());
    }

    void successorsInTheCommand_data()
    {
        QTest::addColumn<QString>("container");
        QTest::addColumn<QString>("video");
        QTest::addColumn<QString>("audio");
        QTest::addColumn<int>("encoder"); // 0 today's, 1 an old one, 2 nothing known
        QTest::addColumn<QString>("line");
        const QString in = "ffmpeg -i \"/dvd/VIDEO_TS/VTS_01_1.VOB\" -y -flags bitexact ";
        QTest::newRow("libfaac becomes aac") << "MP4" << "LIBX264" << "LIBFAAC" << 0
                                             << in + "-vcodec libx264 -acodec aac \"/out/VTS_01_1.mp4\"";
        QTest::newRow("ogm: libvorbis and -f ogg")
            << "OGM" << "LIBTHEORA" << "VORBIS" << 0
            << in + "-vcodec libtheora -acodec libvorbis -f ogg \"/out/VTS_01_1.ogm\"";
        QTest::newRow("m2p: -f vob") << "M2P" << "MPEG2VIDEO" << "AC3" << 0
                                     << in + "-vcodec mpeg2video -acodec ac3 -f vob \"/out/VTS_01_1.m2p\"";
        QTest::newRow("known names stay") << "AVI" << "LIBXVID" << "LIBMP3LAME" << 0
                                          << in + "-vcodec libxvid -acodec libmp3lame \"/out/VTS_01_1.avi\"";
        QTest::newRow("missing without successor stays")
            << "3GP" << "H263" << "LIBAMR_NB" << 0 << in + "-vcodec h263 -acodec libamr_nb \"/out/VTS_01_1.3gp\"";
        QTest::newRow("copy and the title's own extension")
            << "" << "" << "" << 0 << in + "-vcodec copy -acodec copy \"/out/VTS_01_1.VOB\"";
        QTest::newRow("an old encoder has them all")
            << "OGM" << "LIBTHEORA" << "LIBFAAC" << 1
            << in + "-vcodec libtheora -acodec libfaac -f ogg \"/out/VTS_01_1.ogm\"";
        QTest::newRow("nothing known: as composed")
            << "OGM" << "LIBTHEORA" << "VORBIS" << 2
            << in + "-vcodec libtheora -acodec vorbis \"/out/VTS_01_1.ogm\"";
    }
    void successorsInTheCommand()
    {
        QFETCH(QString, container);
        QFETCH(QString, video);
        QFETCH(QString, audio);
        QFETCH(int, encoder);
        QFETCH(QString, line);
        const EncoderCapabilities capabilities =
            encoder == 0 ? Today() : encoder == 1 ? OldEncoder() : EncoderCapabilities();
        const QString source = "/dvd/VIDEO_TS/VTS_01_1.VOB";
        ConversionSettings settings = Settings(container, video, audio);
        const QString output = BuildOutputPath(source, settings, PathStyle::Posix);
        for (bool twoPass : {false, true}) {
            settings.C4_C1 = twoPass;
            const EncoderCommand composed = BuildEncoderCommandLine(source, output, settings, 1, PathStyle::Posix);
            const EncoderCommand command = ApplyEncoderSuccessors(composed, capabilities);
            const QString expected =
                twoPass ? QString(line).replace(" -flags", " -pass 1 -an -flags") : line;
            QCOMPARE(command.commandLine(), expected);
            // the output is still the last argument, and still the one in quotes
            QCOMPARE(command.arguments.constLast(), output);
            QCOMPARE(command.quoted, (QList<int>{1, int(command.arguments.size() - 1)}));
        }
    }

    void unavailableRows_data()
    {
        QTest::addColumn<int>("encoder"); // 0 today's, 1 today's without ogg and vob, 2 nothing known
        QTest::addColumn<QString>("containers");
        QTest::addColumn<QString>("video");
        QTest::addColumn<QString>("audio");
        QTest::newRow("today's encoder") << 0 << "" << "MSMPEG4V1" << kMissingAudio;
        QTest::newRow("no ogg, no vob muxer") << 1 << "M2P OGM" << "MSMPEG4V1" << kMissingAudio;
        QTest::newRow("nothing known") << 2 << "" << "" << "";
    }
    void unavailableRows()
    {
        QFETCH(int, encoder);
        QFETCH(QString, containers);
        QFETCH(QString, video);
        QFETCH(QString, audio);
        EncoderCapabilities capabilities = Today();
        if (encoder == 1)
            capabilities.SetMuxers(ParseMuxerList(QByteArray(kMuxers).replace("E ogg", "E xxx").replace("E vob", "E yyy")));
        if (encoder == 2)
            capabilities = EncoderCapabilities();
        const auto split = [](const QString &ids) { return ids.split(u' ', Qt::SkipEmptyParts); };
        QCOMPARE(UnavailableIds(Catalogue::Containers, capabilities), split(containers));
        QCOMPARE(UnavailableIds(Catalogue::VideoCodecs, capabilities), split(video));
        QCOMPARE(UnavailableIds(Catalogue::AudioCodecs, capabilities), split(audio));
        // the automatic row never, whatever its text
        QVERIFY(!IsRowUnavailable(Catalogue::AudioCodecs, 0, "LIBAMR_NB", capabilities));
    }

    void queryTheEncoder_data()
    {
        QTest::addColumn<QByteArray>("conf");
        QTest::addColumn<bool>("encoders");
        QTest::addColumn<bool>("muxers");
        QTest::newRow("both lists") << QByteArray() << true << true;
        QTest::newRow("fails") << QByteArray("CODE=1") << false << false;
        QTest::newRow("hangs: the time limit") << QByteArray("HANG=1") << false << false;
    }
    void queryTheEncoder()
    {
        QFETCH(QByteArray, conf);
        QFETCH(bool, encoders);
        QFETCH(bool, muxers);
        FakeEncoder fake(conf);
        // waited for
        QElapsedTimer clock;
        clock.start();
        const EncoderCapabilities asked = EncoderQuery::Ask(fake.Path(), 500);
        QVERIFY(clock.elapsed() < 3000);
        QCOMPARE(asked.KnowsEncoders(), encoders);
        QCOMPARE(asked.KnowsMuxers(), muxers);
        QCOMPARE(asked.HasEncoder("libvorbis"), encoders);
        QCOMPARE(asked.HasMuxer("ogg"), muxers);
        // two runs, the listing options alone, stdin from the null device
        QStringList calls = fake.Calls();
        calls.sort();
        QCOMPARE(calls, (QStringList{"-hide_banner -encoders stdin=/dev/null", "-hide_banner -muxers stdin=/dev/null"}));

        // through the event loop: reported once
        QList<EncoderCapabilities> reports;
        EncoderQuery query(500);
        query.Start(fake.Path(), [&](const EncoderCapabilities &c) { reports << c; });
        QVERIFY(query.IsRunning());
        QTRY_COMPARE_WITH_TIMEOUT(reports.size(), 1, 3000);
        QVERIFY(!query.IsRunning());
        QCOMPARE(reports.first().KnowsEncoders(), encoders);
        QCOMPARE(reports.first().HasMuxer("vob"), muxers);
        query.Finish();
        QTest::qWait(50);
        QCOMPARE(reports.size(), 1);
    }

    void queryWithoutAnswer()
    {
        // no encoder: nothing starts, nothing is reported
        int reports = 0;
        {
            EncoderQuery query;
            query.Start(QString(), [&](const EncoderCapabilities &) { ++reports; });
            QVERIFY(!query.IsRunning());
            query.Finish();
        }
        QCOMPARE(reports, 0);
        // a program that cannot be started: both lists unknown
        QTemporaryDir dir;
        const EncoderCapabilities missing = EncoderQuery::Ask(dir.filePath("ffmpeg"), 500);
        QVERIFY(!missing.IsKnown());
        // text that names nothing is no listing
        FakeEncoder fake({}, "Encoders:\n(none)\n", "");
        QVERIFY(!EncoderQuery::Ask(fake.Path(), 1000).IsKnown());
        // gone before the answer: no report afterwards, nothing left running
        FakeEncoder slow("SLEEP=1");
        {
            EncoderQuery query;
            query.Start(slow.Path(), [&](const EncoderCapabilities &) { ++reports; });
        }
        QTest::qWait(100);
        QCOMPARE(reports, 0);
    }

    void mainWindowMarksRowsAndRunUsesSuccessors()
    {
        // The answer comes a second after the window is up.
        FakeEncoder fake("SLEEP=1", kEncoders, QByteArray(kMuxers).replace("E swf", "E xxx"));
        test::DialogRecorder dialogs;
        TMainForm1 w(fake.program.Executable());
        QElapsedTimer clock;
        clock.start();
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QTest::qWait(100);
        const int amr = RowWithId(Catalogue::AudioCodecs, "LIBAMR_NB");
        QVERIFY(clock.elapsed() < 900);
        QVERIFY(!w.C3_01->ItemUnavailable(amr)); // not yet: the window did not wait
        QTRY_VERIFY_WITH_TIMEOUT(w.C3_01->ItemUnavailable(amr), 5000);

        const auto marked = [](TMultiColComboBox *box) {
            QStringList ids;
            for (int i = 0; i < box->ItemCount(); ++i)
                if (box->ItemUnavailable(i))
                    ids << CatalogueRowId(box->Item(i));
            return ids;
        };
        QCOMPARE(marked(w.C2_01), QStringList{"SWF"});
        QCOMPARE(marked(w.C2_04), QStringList{"MSMPEG4V1"});
        QCOMPARE(marked(w.C3_01), kMissingAudio.split(u' '));
        QCOMPARE(w.C3_01->model()->index(amr, 0).data(Qt::ToolTipRole).toString(),
                 QString(" この ffmpeg では使えません"));

        // A run passes the successors.
        const QString source = fake.program.File("VIDEO_TS/VTS_01_1.VOB");
        WriteFile(source, "v");
        w.CheckListBox1->SetItemChecked(w.CheckListBox1->AddItem(source), true);
        w.CheckListBox2->SetItemChecked(w.CheckListBox2->AddItem("01_1"), true);
        w.C1_03->SetText(fake.program.File("out"));
        w.C2_01->SetItemIndex(RowWithId(Catalogue::Containers, "OGM"));
        w.C2_04->SetItemIndex(RowWithId(Catalogue::VideoCodecs, "LIBTHEORA"));
        w.C3_01->SetItemIndex(RowWithId(Catalogue::AudioCodecs, "LIBFAAC"));
        w.CButton10Click();
        const QString output = fake.program.File("out/VTS_01_1.ogm");
        QCOMPARE(fake.EncodeArguments(), (QStringList{"-i", source, "-y", "-flags", "bitexact", "-vcodec", "libtheora",
                                                      "-acodec", "aac", "-f", "ogg", output}));
        QCOMPARE(dialogs.messages, QStringList());
        // asked once only
        QCOMPARE(fake.Calls().filter("-hide_banner").size(), 2);
    }

    void runWaitsForAnAnswerUnderWay()
    {
        FakeEncoder fake("SLEEP=1");
        test::DialogRecorder dialogs;
        TMainForm1 w(fake.program.Executable());
        w.StartEncoderQuery();
        const QString source = fake.program.File("VIDEO_TS/VTS_01_1.VOB");
        WriteFile(source, "v");
        w.CheckListBox1->SetItemChecked(w.CheckListBox1->AddItem(source), true);
        w.CheckListBox2->SetItemChecked(w.CheckListBox2->AddItem("01_1"), true);
        w.C1_03->SetText(fake.program.File("out"));
        w.C2_01->SetItemIndex(RowWithId(Catalogue::Containers, "M2P"));
        w.C2_04->SetItemIndex(0);
        w.C3_01->SetItemIndex(RowWithId(Catalogue::AudioCodecs, "VORBIS"));
        w.CButton10Click();
        const QStringList arguments = fake.EncodeArguments();
        QCOMPARE(arguments.mid(arguments.size() - 6),
                 (QStringList{"copy", "-acodec", "libvorbis", "-f", "vob", fake.program.File("out/VTS_01_1.m2p")}));
    }

    void noEncoderNothingHappens()
    {
        test::ProgramFolder program; // no encoder beside it, none on PATH
        QTemporaryDir emptyPath;
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", emptyPath.path().toLocal8Bit());
        {
            TMainForm1 w(program.Executable());
            w.show();
            QVERIFY(QTest::qWaitForWindowExposed(&w));
            QTest::qWait(200);
            QVERIFY(!w.Capabilities().IsKnown());
            for (TMultiColComboBox *box : {w.C2_01, w.C2_04, w.C3_01})
                for (int i = 0; i < box->ItemCount(); ++i)
                    QVERIFY(!box->ItemUnavailable(i));
        }
        qputenv("PATH", path);
    }

    void realEncoder_data()
    {
        QTest::addColumn<QString>("container");
        QTest::addColumn<QString>("video");
        QTest::addColumn<QString>("audio");
        QTest::addColumn<QString>("probe");
        QTest::newRow("LIBFAAC in MP4") << "MP4" << "LIBX264" << "LIBFAAC" << "h264,aac,mov,mp4,m4a,3gp,3g2,mj2";
        QTest::newRow("OGM with VORBIS") << "OGM" << "LIBTHEORA" << "VORBIS" << "theora,vorbis,ogg";
        QTest::newRow("M2P") << "M2P" << "MPEG2VIDEO" << "AC3" << "mpeg2video,ac3,mpeg";
    }
    void realEncoder()
    {
        QFETCH(QString, container);
        QFETCH(QString, video);
        QFETCH(QString, audio);
        QFETCH(QString, probe);
        const QString encoder = QStandardPaths::findExecutable("ffmpeg");
        if (encoder.isEmpty() || QStandardPaths::findExecutable("ffprobe").isEmpty())
            QFAIL("the encoder ffmpeg (with ffprobe) must be on PATH");
        const EncoderCapabilities capabilities = EncoderQuery::Ask(encoder);
        QVERIFY(capabilities.HasEncoder("aac") && capabilities.LacksEncoder("libfaac"));
        QVERIFY(capabilities.HasEncoder("libvorbis") && capabilities.LacksEncoder("vorbis"));
        QVERIFY(capabilities.HasMuxer("ogg") && capabilities.HasMuxer("vob"));

        QTemporaryDir dir;
        const QString source = dir.filePath("VTS_01_1.VOB");
        QCOMPARE(Run(encoder, {"-v", "error", "-f", "lavfi", "-i", "testsrc=size=352x240:rate=30000/1001", "-f",
                               "lavfi", "-i", "sine=sample_rate=48000", "-t", "1", "-target", "ntsc-dvd", "-s",
                               "352x240", "-y", source})
                     .first,
                 0);
        ConversionSettings settings = Settings(container, video, audio);
        settings.C1_03 = dir.path();
        settings.C3_03 = 44100;
        const QString output = BuildOutputPath(source, settings, PathStyle::Posix);
        const EncoderCommand composed = BuildEncoderCommandLine(source, output, settings, 1, PathStyle::Posix);
        // as composed, the encoder refuses the line; with the successors it writes the file
        QVERIFY(Run(encoder, composed.arguments).first != 0);
        QFile::remove(output);
        const EncoderCommand command = ApplyEncoderSuccessors(composed, capabilities);
        const auto run = Run(encoder, command.arguments);
        QVERIFY2(run.first == 0, qPrintable(run.second.right(500)));
        QVERIFY(output.endsWith("." + container.toLower()));
        QCOMPARE(Run("ffprobe", {"-v", "error", "-show_entries", "format=format_name:stream=codec_name", "-of",
                                 "default=nw=1:nk=1", output})
                     .second.replace('\n', ','),
                 probe);
    }
};

QTEST_MAIN(TestEncoderCapabilities)
#include "test_encoder_capabilities.moc"
