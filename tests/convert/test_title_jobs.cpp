// Jobs of a run from the source list, and the input of a joined job.
#include "convert/title_jobs.h"
#include "convert/title_streams.h"
#include "support/test_support.h"

#include <QtTest>

Q_DECLARE_METATYPE(zento::PipedStreams)

using namespace zento;

Q_DECLARE_METATYPE(QList<SourceEntry>)

namespace {

// "p" a ticked path, "-p" an unticked one, in a folder /d/VIDEO_TS unless the
// entry names its own.
QList<SourceEntry> Entries(const QStringList &names)
{
    QList<SourceEntry> entries;
    for (QString name : names) {
        const bool ticked = !name.startsWith('-');
        if (!ticked)
            name.remove(0, 1);
        entries.append({name.contains('/') ? name : "/d/VIDEO_TS/" + name, ticked});
    }
    return entries;
}

// Each job as "<index>:<file names joined with +>".
QStringList Shown(const QList<TitleJob> &jobs)
{
    QStringList shown;
    for (const TitleJob &job : jobs) {
        QStringList names;
        for (const QString &part : job.parts)
            names << PathFileName(part, PathStyle::Posix);
        shown << QString("%1:%2").arg(job.index).arg(names.join('+'));
    }
    return shown;
}

} // namespace

class TestTitleJobs : public QObject {
    Q_OBJECT
private slots:
    void formsJobs_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QStringList>("joined");   // jobs with joining on
        QTest::addColumn<QStringList>("separate"); // and off
        const QStringList disc{"VTS_01_0.VOB", "VTS_01_1.VOB", "VTS_01_2.VOB", "VTS_01_3.VOB", "VTS_02_1.VOB"};
        QTest::newRow("menu, a title in three parts, another title")
            << disc << QStringList{"0:VTS_01_0.VOB", "1:VTS_01_1.VOB+VTS_01_2.VOB+VTS_01_3.VOB", "4:VTS_02_1.VOB"}
            << QStringList{"0:VTS_01_0.VOB", "1:VTS_01_1.VOB", "2:VTS_01_2.VOB", "3:VTS_01_3.VOB", "4:VTS_02_1.VOB"};
        QTest::newRow("an unticked part splits the title; the next two join again")
            << QStringList{"VTS_01_1.VOB", "-VTS_01_2.VOB", "VTS_01_3.VOB", "VTS_01_4.VOB"}
            << QStringList{"0:VTS_01_1.VOB", "2:VTS_01_3.VOB+VTS_01_4.VOB"}
            << QStringList{"0:VTS_01_1.VOB", "2:VTS_01_3.VOB", "3:VTS_01_4.VOB"};
        QTest::newRow("the first part unticked")
            << QStringList{"-VTS_01_1.VOB", "VTS_01_2.VOB", "VTS_01_3.VOB"}
            << QStringList{"1:VTS_01_2.VOB+VTS_01_3.VOB"} << QStringList{"1:VTS_01_2.VOB", "2:VTS_01_3.VOB"};
        QTest::newRow("letters in any case")
            << QStringList{"vts_03_1.vob", "VTS_03_2.Vob"} << QStringList{"0:vts_03_1.vob+VTS_03_2.Vob"}
            << QStringList{"0:vts_03_1.vob", "1:VTS_03_2.Vob"};
        QTest::newRow("a gap in the part numbers")
            << QStringList{"VTS_01_1.VOB", "VTS_01_3.VOB"} << QStringList{"0:VTS_01_1.VOB", "1:VTS_01_3.VOB"}
            << QStringList{"0:VTS_01_1.VOB", "1:VTS_01_3.VOB"};
        QTest::newRow("the menu never leads a title")
            << QStringList{"VTS_01_0.VOB", "VTS_01_1.VOB"} << QStringList{"0:VTS_01_0.VOB", "1:VTS_01_1.VOB"}
            << QStringList{"0:VTS_01_0.VOB", "1:VTS_01_1.VOB"};
        QTest::newRow("same names in two folders")
            << QStringList{"/a/VTS_01_1.VOB", "/b/VTS_01_2.VOB"} << QStringList{"0:VTS_01_1.VOB", "1:VTS_01_2.VOB"}
            << QStringList{"0:VTS_01_1.VOB", "1:VTS_01_2.VOB"};
        QTest::newRow("names of other forms")
            << QStringList{"VTS_01_1.VOB", "VTS_01_2X.VOB", "VTSA.VOB", "VTS_01_3.VOB"}
            << QStringList{"0:VTS_01_1.VOB", "1:VTS_01_2X.VOB", "2:VTSA.VOB", "3:VTS_01_3.VOB"}
            << QStringList{"0:VTS_01_1.VOB", "1:VTS_01_2X.VOB", "2:VTSA.VOB", "3:VTS_01_3.VOB"};
        QTest::newRow("a line break in a path: joined all the same")
            << QStringList{"/x\ny/VTS_01_1.VOB", "/x\ny/VTS_01_2.VOB"} << QStringList{"0:VTS_01_1.VOB+VTS_01_2.VOB"}
            << QStringList{"0:VTS_01_1.VOB", "1:VTS_01_2.VOB"};
        QTest::newRow("nothing ticked") << QStringList{"-VTS_01_1.VOB", "-VTS_01_2.VOB"} << QStringList()
                                        << QStringList();
    }
    void formsJobs()
    {
        QFETCH(QStringList, names);
        QFETCH(QStringList, joined);
        QFETCH(QStringList, separate);
        QCOMPARE(Shown(FormTitleJobs(Entries(names), true, PathStyle::Posix)), joined);
        QCOMPARE(Shown(FormTitleJobs(Entries(names), false, PathStyle::Posix)), separate);
    }

    void labelCountsFurtherParts()
    {
        TitleJob one;
        one.parts = QStringList{"/d/VTS_01_1.VOB"};
        TitleJob five;
        five.index = 1;
        five.parts =
            QStringList{"/d/VTS_01_1.VOB", "/d/VTS_01_2.VOB", "/d/VTS_01_3.VOB", "/d/VTS_01_4.VOB", "/d/VTS_01_5.VOB"};
        QCOMPARE(JobLabelText(one, "/o/VTS_01_1.mp4", PathStyle::Posix), "VTS_01_1.VOB -> VTS_01_1.mp4");
        QCOMPARE(JobLabelText(five, "/o/VTS_01_1.mp4", PathStyle::Posix), "VTS_01_1.VOB + 4 -> VTS_01_1.mp4");
    }

    // A fed input reads the pipe; a disc title maps its video and the chosen
    // track by id; everything else stays as composed, the output quoted last.
    void pipedInput_data()
    {
        QTest::addColumn<PipedStreams>("streams");
        QTest::addColumn<QString>("text");
        QTest::newRow("joined parts") << PipedStreams{} << "ffmpeg -f mpeg -i pipe:0 -y -pass 2 -flags";
        QTest::newRow("a thumbnail's key frames") << PipedStreams{.keyFramesOnly = true}
                                                  << "ffmpeg -skip_frame nokey -f mpeg -i pipe:0 -y -pass 2";
        QTest::newRow("title, audio 0x81")
            << PipedStreams{true, 0x81} << "ffmpeg -f mpeg -i pipe:0 -map 0:v:0 -map 0:i:0x81 -y -pass 2 -flags";
        QTest::newRow("title without audio") << PipedStreams{true, -1} << "ffmpeg -f mpeg -i pipe:0 -map 0:v:0 -y";
        // every kind of audio by the id the encoder gives it, tagged with its language
        QTest::newRow("MPEG audio, Japanese") << PipedStreams{true, 0x1c1, -1, {}, false, {}, "jpn"}
                                              << "ffmpeg -f mpeg -i pipe:0 -map 0:v:0 -map 0:i:0x1c1 "
                                                 "-metadata:s:a:0 language=jpn -y";
        QTest::newRow("DTS, English") << PipedStreams{true, 0x89, -1, {}, false, {}, "eng"}
                                      << "ffmpeg -f mpeg -i pipe:0 -map 0:v:0 -map 0:i:0x89 "
                                         "-metadata:s:a:0 language=eng -y";
        QTest::newRow("LPCM, no language") << PipedStreams{true, 0xa0}
                                           << "ffmpeg -f mpeg -i pipe:0 -map 0:v:0 -map 0:i:0xa0 -y";
        // film's frames on its own grid, a stretch of video in it too
        QTest::newRow("film at its own rate")
            << PipedStreams{true, 0x80, -1, {}, false, {}, {}, true}
            << "ffmpeg -f mpeg -i pipe:0 -filter_complex [0:v:0]fps=24000/1001[video] "
               "-map [video] -map 0:i:0x80 -r 24000/1001 -y";
        QTest::newRow("film with video in it")
            << PipedStreams{.mapStreams = true, .deinterlace = true, .film = true}
            << "ffmpeg -f mpeg -i pipe:0 -filter_complex "
               "[0:v:0]bwdif=mode=send_frame:deint=interlaced,fps=24000/1001[video] -map [video] -r 24000/1001 -y";
        // the encoder's threads are output options, after the inputs
        QTest::newRow("the encoder's threads")
            << PipedStreams{.mapStreams = true, .audioStreamId = 0x80, .encoderThreads = 6}
            << "ffmpeg -f mpeg -i pipe:0 -map 0:v:0 -map 0:i:0x80 "
               "-threads 6 -y -pass 2";
        QTest::newRow("5.1 mixed for a stereo encoder")
            << PipedStreams{.mapStreams = true, .audioStreamId = 0x80, .audioLanguage = "jpn", .audioChannels = 2}
            << "ffmpeg -f mpeg -i pipe:0 -map 0:v:0 -map 0:i:0x80 -metadata:s:a:0 language=jpn -ac 2 -y";
        QTest::newRow("made at a rate the encoder takes")
            << PipedStreams{.mapStreams = true, .audioStreamId = 0x80, .audioChannels = 1, .audioRate = 8000}
            << "ffmpeg -f mpeg -i pipe:0 -map 0:v:0 -map 0:i:0x80 -ac 1 -ar 8000 -y";
        QTest::newRow("film telecined into the picture")
            << PipedStreams{true, 0x80, -1, {}, true, {}, {}, true, true}
            << "ffmpeg -f mpeg -i pipe:0 -filter_complex [0:v:0]fieldmatch=combmatch=full,"
               "bwdif=mode=send_frame:deint=interlaced,decimate[video] -map [video] -map 0:i:0x80 -r 24000/1001 -y";
        QTest::newRow("no audio: no tag") << PipedStreams{true, -1, -1, {}, false, {}, "jpn"}
                                          << "ffmpeg -f mpeg -i pipe:0 -map 0:v:0 -y";
        QTest::newRow("deinterlaced") << PipedStreams{true, 0x80, -1, {}, true}
                                      << "ffmpeg -f mpeg -i pipe:0 -filter_complex "
                                         "[0:v:0]bwdif=mode=send_frame:deint=interlaced[video] -map [video] "
                                         "-map 0:i:0x80 -y";
        QTest::newRow("subtitles over the deinterlaced picture, chapters")
            << PipedStreams{true, 0x81, 0x21, "ffffff,000000", true, "/w/chapters.txt"}
            << "ffmpeg -palette ffffff,000000 -f mpeg -i pipe:0 -f ffmetadata -i \"/w/chapters.txt\" -filter_complex "
               "[0:i:0x21]scale=flags=neighbor,format=yuva420p[subtitles];"
               "[0:v:0]bwdif=mode=send_frame:deint=interlaced,split[plain][ahead];[ahead]framestep=8,"
               "setpts=PTS-1/TB,crop=2:2:0:0,format=yuva420p[mark];[plain][mark]overlay=x=W:y=H:eof_action=pass[held];"
               "[held][subtitles]overlay=eof_action=pass[video] "
               "-map [video] -map 0:i:0x81 -map_chapters 1 -y";
        QTest::newRow("subtitles alone") << PipedStreams{true, -1, 0x20, "ffffff", false}
                                         << "ffmpeg -palette ffffff -f mpeg -i pipe:0 -filter_complex "
                                            "[0:i:0x20]scale=flags=neighbor,format=yuva420p[subtitles];"
                                            "[0:v:0]split[plain][ahead];[ahead]framestep=8,setpts=PTS-1/TB,"
                                            "crop=2:2:0:0,format=yuva420p[mark];[plain][mark]overlay=x=W:y=H:"
                                            "eof_action=pass[held];[held][subtitles]overlay=eof_action=pass[video] "
                                            "-map [video] -y";
    }
    void pipedInput()
    {
        QFETCH(PipedStreams, streams);
        QFETCH(QString, text);
        ConversionSettings settings;
        settings.C1_03 = "/o";
        settings.C4_C1 = true;
        const EncoderCommand file =
            BuildEncoderCommandLine("/d v/VTS_01_1.VOB", "/o/M 01.VOB", settings, 2, PathStyle::Posix);
        const EncoderCommand piped = PipedEncoderCommand(file, streams);
        // (the copied track's longer look is soundKeptToPicture's)
        const QString line = QString(piped.commandLine())
                                 .remove(" -dts_delta_threshold 86400")
                                 .remove(" -analyzeduration 30000000 -probesize 40000000");
        QVERIFY2(line.startsWith(text), qPrintable(piped.commandLine()));
        QVERIFY2(piped.commandLine().endsWith(" -acodec copy \"/o/M 01.VOB\""), qPrintable(piped.commandLine()));
        QCOMPARE(piped.arguments.mid(piped.arguments.indexOf("-y")), file.arguments.mid(2));
    }

    // An encoded track of a title keeps to the picture's times (a silence
    // filled, an overlap trimmed); a copied track, a title without sound and
    // joined files are left as they are. A title's track keeps a long
    // stretch without sound where it is. A copied track, whose header the
    // encoder takes from its first frame, is looked for further in.
    void soundKeptToPicture_data()
    {
        QTest::addColumn<QString>("audio");
        QTest::addColumn<PipedStreams>("streams");
        QTest::addColumn<bool>("kept");
        QTest::addColumn<QString>("input"); // what comes before the pipe
        const QString gapsKept = "-dts_delta_threshold 86400 ";
        QTest::newRow("MP3") << "LIBMP3LAME" << PipedStreams{true, 0x80} << true << gapsKept;
        QTest::newRow("copied") << "" << PipedStreams{true, 0x80} << false
                                << gapsKept + "-analyzeduration 30000000 -probesize 40000000 ";
        QTest::newRow("no track") << "LIBMP3LAME" << PipedStreams{true, -1} << false << "";
        QTest::newRow("no track, copied") << "" << PipedStreams{true, -1} << false << "";
        QTest::newRow("joined files") << "LIBMP3LAME" << PipedStreams{} << false << "";
        QTest::newRow("joined files, copied") << "" << PipedStreams{} << false << "";
        QTest::newRow("24-bit LPCM copied into AVI: plain PCM")
            << "" << PipedStreams{.mapStreams = true, .audioStreamId = 0xa0, .lpcmBits = 24} << true << gapsKept;
    }
    void soundKeptToPicture()
    {
        QFETCH(QString, audio);
        QFETCH(PipedStreams, streams);
        QFETCH(bool, kept);
        QFETCH(QString, input);
        ConversionSettings settings;
        settings.C1_03 = "/o";
        if (!audio.isEmpty())
            settings.C3_01 = {1, audio + ",audio"};
        const EncoderCommand piped = PipedEncoderCommand(
            BuildEncoderCommandLine("/d/VTS_01_1.VOB", "/o/VTS_01_1.avi", settings, 1, PathStyle::Posix), streams);
        const QString line = piped.commandLine();
        QVERIFY2(line.contains(" -af aresample=async=1:min_hard_comp=0.05:first_pts=0 -y ") == kept, qPrintable(line));
        QVERIFY2(line.startsWith("ffmpeg " + input + "-f mpeg -i pipe:0 "), qPrintable(line));
        QVERIFY2(line.contains(" -acodec pcm_s24le ") == (streams.lpcmBits > 0), qPrintable(line));
    }

    // A container that holds no pixel shape gets the title's picture in
    // square pixels, after the subtitles are drawn, unless a size or shape
    // is chosen.
    void squarePixels_data()
    {
        QTest::addColumn<QString>("container");
        QTest::addColumn<int>("width"); // 0: the title's own
        QTest::addColumn<int>("subtitles");
        QTest::addColumn<QString>("video"); // how the graph ends; empty: no graph
        const QString square = "scale=trunc(iw*sar/2)*2:ih,setsar=1[video]";
        QTest::newRow("FLV") << "FLV" << 0 << -1 << "[0:v:0]" + square;
        QTest::newRow("RM, subtitles") << "RM" << 0 << 0x20 << "overlay=eof_action=pass," + square;
        QTest::newRow("FLV of a chosen size") << "FLV" << 320 << -1 << "";
        QTest::newRow("MP4 holds the shape") << "MP4" << 0 << -1 << "";
    }
    void squarePixels()
    {
        QFETCH(QString, container);
        QFETCH(int, width);
        QFETCH(int, subtitles);
        QFETCH(QString, video);
        ConversionSettings settings;
        settings.C1_03 = "/o";
        settings.C2_01 = {1, container + ",c"};
        settings.C2_04 = {1, "FLV,v"};
        settings.C2_02_01 = width;
        settings.C2_02_02 = width * 3 / 4;
        const EncoderCommand piped = PipedEncoderCommand(
            BuildEncoderCommandLine("/d/VTS_01_1.VOB", "/o/T_01." + container.toLower(), settings, 1, PathStyle::Posix),
            PipedStreams{true, 0x80, subtitles, "ffffff"});
        const qsizetype graph = piped.arguments.indexOf("-filter_complex");
        QCOMPARE(graph < 0 ? QString() : piped.arguments.value(graph + 1).right(video.size()), video);
    }

    // x264 alone is given threads of the program's choosing; every other
    // encoder, and a copied video, keeps its own.
    void encoderThreads_data()
    {
        QTest::addColumn<QString>("video");
        QTest::addColumn<int>("cores");
        QTest::addColumn<int>("threads");
        QTest::newRow("x264, one core") << "LIBX264" << 1 << 3;
        QTest::newRow("x264, two cores") << "LIBX264" << 2 << 6;
        QTest::newRow("x264, four cores") << "LIBX264" << 4 << 12;
        QTest::newRow("x264, many cores: two macroblock rows a thread") << "LIBX264" << 64 << 15;
        QTest::newRow("MPEG4 keeps its own") << "MPEG4" << 2 << 0;
        QTest::newRow("copied video") << "" << 2 << 0;
    }
    void encoderThreads()
    {
        QFETCH(QString, video);
        QFETCH(int, cores);
        QFETCH(int, threads);
        ConversionSettings settings;
        if (!video.isEmpty())
            settings.C2_04 = {1, video + ",video"};
        QCOMPARE(TitleEncoderThreads(settings, cores), threads);
    }

    // Encoders that refuse more than two channels get a stereo mix, G.726 a
    // mono one; the others, and a copied track, take the track as it is.
    void audioChannels_data()
    {
        QTest::addColumn<QString>("audio");
        QTest::addColumn<int>("trackChannels");
        QTest::addColumn<int>("channels");
        QTest::newRow("WMAV2, 5.1") << "WMAV2" << 6 << 2;
        QTest::newRow("WMAV1, 5.1") << "WMAV1" << 6 << 2;
        QTest::newRow("ADPCM_ADX, 5.1") << "ADPCM_ADX" << 6 << 2;
        QTest::newRow("SONIC, 5.1") << "SONIC" << 6 << 2;
        QTest::newRow("GSM, stereo") << "LIBGSM" << 2 << 1;
        QTest::newRow("G726, stereo") << "G726" << 2 << 1;
        QTest::newRow("G726, mono") << "G726" << 1 << 0;
        QTest::newRow("WMAV2, stereo") << "WMAV2" << 2 << 0;
        QTest::newRow("MP3 mixes down itself") << "LIBMP3LAME" << 6 << 0;
        QTest::newRow("copied") << "" << 6 << 0;
    }
    void audioChannels()
    {
        QFETCH(QString, audio);
        QFETCH(int, trackChannels);
        QFETCH(int, channels);
        ConversionSettings settings;
        if (!audio.isEmpty())
            settings.C3_01 = {1, audio + ",audio"};
        DiscAudioTrack track;
        track.channels = trackChannels;
        QCOMPARE(TitleAudioChannels(track, settings), channels);
    }

    // A disc's 48 or 96 kHz track is made at the nearest rate below it that
    // the encoder or the container takes, where they take only a few and no
    // rate is typed.
    void audioRate_data()
    {
        QTest::addColumn<QString>("choice");
        QTest::addColumn<int>("trackRate");
        QTest::addColumn<int>("typed");
        QTest::addColumn<int>("rate");
        QTest::newRow("SWF, MP3") << "SWF LIBMP3LAME" << 48000 << 0 << 44100;
        QTest::newRow("SWF, 96 kHz") << "SWF LIBMP3LAME" << 96000 << 0 << 44100;
        QTest::newRow("RoQ") << "AVI ROQ_DPCM" << 48000 << 0 << 22050;
        QTest::newRow("a typed rate stands") << "SWF LIBMP3LAME" << 48000 << 22050 << 0;
        QTest::newRow("FLV, MP3 takes 48 kHz") << "FLV LIBMP3LAME" << 48000 << 0 << 0;
        QTest::newRow("WMA, 96 kHz LPCM") << "WMV WMAV2" << 96000 << 0 << 48000;
        QTest::newRow("WMA takes 48 kHz") << "WMV WMAV2" << 48000 << 0 << 0;
        QTest::newRow("copied") << "SWF" << 48000 << 0 << 0;
    }
    void audioRate()
    {
        QFETCH(QString, choice);
        QFETCH(int, trackRate);
        QFETCH(int, typed);
        QFETCH(int, rate);
        const QStringList ids = choice.split(' ');
        ConversionSettings settings;
        settings.C2_01 = {1, ids.at(0) + ",container"};
        if (ids.size() > 1)
            settings.C3_01 = {1, ids.at(1) + ",audio"};
        settings.C3_03 = typed;
        DiscAudioTrack track;
        track.sampleRate = trackRate;
        QCOMPARE(TitleAudioRate(track, settings), rate);
    }

    void titleTexts_data()
    {
        QTest::addColumn<qint64>("ms");
        QTest::addColumn<QList<DiscAudioTrack>>("audio");
        QTest::addColumn<QString>("row");
        QTest::addColumn<QList<int>>("heard"); // the streams met in a look at the title
        const DiscAudioTrack en{0x80, "en", "AC3", 6};
        const DiscAudioTrack ja{0x81, "ja", "AC3", 2};
        const DiscAudioTrack fr{0x82, "fr", "DTS", 6};
        const DiscAudioTrack none{0xa0, "", "LPCM", 2};
        QTest::newRow("the Japanese dub, not the first track")
            << qint64(6723499) << QList<DiscAudioTrack>{en, ja} << "T07 1:52:03 日本語 AC3 2ch" << QList<int>{};
        QTest::newRow("no Japanese: the first")
            << qint64(30020) << QList<DiscAudioTrack>{fr, en} << "T07 0:00:30 フランス語 DTS 5.1ch" << QList<int>{};
        QTest::newRow("no language") << qint64(499) << QList<DiscAudioTrack>{none} << "T07 0:00:00 言語不明 LPCM 2ch"
                                     << QList<int>{};
        QTest::newRow("no audio") << qint64(36000000) << QList<DiscAudioTrack>{} << "T07 10:00:00 音声なし"
                                  << QList<int>{};
        // a Japanese track declared, never carried
        QTest::newRow("the Japanese track never met")
            << qint64(30020) << QList<DiscAudioTrack>{fr, ja, en} << "T07 0:00:30 英語 AC3 5.1ch" << QList<int>{0x80};
        QTest::newRow("none of them met")
            << qint64(30020) << QList<DiscAudioTrack>{en, ja} << "T07 0:00:30 日本語 AC3 2ch" << QList<int>{0x1c0};
    }
    void titleTexts()
    {
        QFETCH(qint64, ms);
        QFETCH(QList<DiscAudioTrack>, audio);
        QFETCH(QString, row);
        QFETCH(QList<int>, heard);
        DiscTitle title;
        title.number = 7;
        title.durationMs = ms;
        title.audio = audio;
        title.soundStreams = heard;
        QCOMPARE(TitleRowText(title, DefaultAudioTrack(title)), row);
    }

    // A Japanese viewer's subtitles: the whole dialogue in Japanese, before
    // a stream of only the lines that must show or of commentary; each
    // named for what it is.
    void subtitleChoice_data()
    {
        QTest::addColumn<QList<int>>("purposes"); // of Japanese streams, after an English one
        QTest::addColumn<int>("chosen");
        QTest::addColumn<QString>("text");
        QTest::newRow("plain") << QList<int>{0} << 1 << "字幕 日本語";
        QTest::newRow("forced-only listed first") << QList<int>{9, 1} << 2 << "字幕 日本語";
        QTest::newRow("commentary listed first") << QList<int>{13, 5} << 2 << "字幕 日本語 (聴覚障害者用)";
        QTest::newRow("only forced-only") << QList<int>{9} << 1 << "字幕 日本語 (強制)";
    }
    void subtitleChoice()
    {
        QFETCH(QList<int>, purposes);
        QFETCH(int, chosen);
        QFETCH(QString, text);
        DiscTitle title;
        title.audio = {DiscAudioTrack{0x80, "en", "AC3", 6}};
        title.subtitles = {DiscSubtitleTrack{0x20, "en"}};
        for (const int purpose : purposes)
            title.subtitles << DiscSubtitleTrack{0x21, "ja", purpose};
        QCOMPARE(DefaultSubtitleTrack(title, 0), chosen);
        QCOMPARE(SubtitleTrackText(title.subtitles.at(chosen)), text);
    }

    // Titles with angles say so; titles that repeat others say which and
    // are not ticked, nor are short ones.
    void titleMarks_data()
    {
        QTest::addColumn<int>("angles");
        QTest::addColumn<int>("repeat");
        QTest::addColumn<qint64>("ms");
        QTest::addColumn<QString>("row");
        QTest::addColumn<bool>("ticked");
        QTest::newRow("a film") << 1 << int(TitleRepeat::None) << qint64(60000) << "T07 0:01:00 音声なし" << true;
        QTest::newRow("two angles") << 2 << int(TitleRepeat::None) << qint64(60000)
                                    << "T07 0:01:00 音声なし アングル×2" << true;
        QTest::newRow("same as T02") << 1 << int(TitleRepeat::SameAs) << qint64(60000)
                                     << "T07 0:01:00 音声なし (T02 と同じ)" << false;
        QTest::newRow("play all, with angles") << 3 << int(TitleRepeat::PlayAll) << qint64(60000)
                                               << "T07 0:01:00 音声なし アングル×3 (まとめて再生)" << false;
        QTest::newRow("a logo") << 1 << int(TitleRepeat::None) << qint64(9999) << "T07 0:00:09 音声なし" << false;
    }
    void titleMarks()
    {
        QFETCH(int, angles);
        QFETCH(int, repeat);
        QFETCH(qint64, ms);
        QFETCH(QString, row);
        QFETCH(bool, ticked);
        DiscTitle title;
        title.number = 7;
        title.durationMs = ms;
        title.angles = angles;
        title.repeat = TitleRepeat(repeat);
        title.sameAsTitle = 2;
        QCOMPARE(TitleRowText(title, -1), row);
        QCOMPARE(TitleTickedWhenListed(title), ticked);
    }

    // The field detector's summary: the last one counts.
    void repeatedFields()
    {
        const QByteArray film = "[Parsed_idet_0 @ 0x1] Repeated Fields: Neither:   360 Top:   120 Bottom:   119\n";
        const QByteArray video = "[Parsed_idet_0 @ 0x1] Repeated Fields: Neither:   597 Top:     1 Bottom:     1\n";
        const QList<std::tuple<QByteArray, int, int, bool>> rows{
            {film, 599, 239, true},
            {video, 599, 2, false},
            {"frame=  10\n" + video + film, 599, 239, true}, // the last summary
            {"Repeated Fields: Neither: 100 Top: 40 Bottom: 40\n", 180, 80, true},     // some video before film
            {"Repeated Fields: Neither: 150 Top: 15 Bottom: 15\n", 180, 30, false},    // mostly video
            {"Repeated Fields: Neither: 10 Top: 80 Bottom: 80\n", 170, 160, false},    // a still picture
            {"Repeated Fields: Neither: 12 Top: 4 Bottom: 4\n", 20, 8, false},         // too few frames
            {"Conversion failed!\n", 0, 0, false},
        };
        for (const auto &[output, frames, repeated, hard] : rows) {
            const FieldRepeats counts = ReadRepeatedFields(output);
            QCOMPARE(counts.frames, frames);
            QCOMPARE(counts.repeated, repeated);
            QCOMPARE(IsHardTelecine(counts), hard);
        }
    }

    void languageCodes()
    {
        const QList<std::pair<QString, QString>> codes{
            {"ja", "jpn"}, {"EN", "eng"}, {"fr", "fre"}, {"de", "ger"}, {"zh", "chi"}, {"xx", ""}, {"", ""}};
        for (const auto &[two, three] : codes)
            QCOMPARE(LanguageCode3(two), three);
    }

    // A name too long for a file is cut, never the title's number, never
    // half a character.
    void longDiscNames_data()
    {
        QTest::addColumn<QString>("disc");
        QTest::addColumn<QString>("file");
        const QString kana(100, QChar(0x30c7)); // 3 bytes each
        const QString emoji = QString::fromUtf8("\xf0\x9f\x8e\xac"); // 4 bytes, two halves
        QTest::newRow("short") << "MOVIE" << "MOVIE_03.mp4";
        // room is left for the " (99)" of a name already taken
        QTest::newRow("243 bytes of name fit") << QString(243, 'a') << QString(243, 'a') + "_03.mp4";
        QTest::newRow("244 are cut to 243") << QString(244, 'a') << QString(243, 'a') + "_03.mp4";
        QTest::newRow("kana cut whole") << kana << kana.left(81) + "_03.mp4";
        QTest::newRow("a pair kept whole") << "a" + emoji.repeated(70) << "a" + emoji.repeated(60) + "_03.mp4";
    }
    void longDiscNames()
    {
        QFETCH(QString, disc);
        QFETCH(QString, file);
        ConversionSettings settings;
        settings.C1_03 = "/o";
        const int mp4 = test::RowWithId(Catalogue::Containers, "MP4");
        settings.C2_01 = {mp4, CatalogueRows(Catalogue::Containers).at(mp4)};
        const QString path = TitleOutputPath(disc, 3, settings, PathStyle::Posix);
        QCOMPARE(path, "/o/" + file);
        QVERIFY(NumberedOutputPath(file, 99).toUtf8().size() <= 255);
    }
};

QTEST_GUILESS_MAIN(TestTitleJobs)
#include "test_title_jobs.moc"
