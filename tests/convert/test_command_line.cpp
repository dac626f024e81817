#include "convert/command_line.h"
#include "options/catalogue.h"

#include <QTest>

using namespace zento;

Q_DECLARE_METATYPE(zento::PathStyle)

namespace {

CatalogueChoice Choice(Catalogue catalogue, int index)
{
    return {index, CatalogueRows(catalogue).value(index)};
}

ConversionSettings Automatic(const QString &folder)
{
    return {.C1_03 = folder,
            .C2_01 = Choice(Catalogue::Containers, 0),
            .C2_04 = Choice(Catalogue::VideoCodecs, 0),
            .C3_01 = Choice(Catalogue::AudioCodecs, 0)};
}

// The worked example: AVI, 320x240, 4:3, XviD at 768k, 30 fps, MP3 at 128k and 44100 Hz, two passes.
ConversionSettings Example(const QString &folder)
{
    return {.C1_03 = folder,
            .C2_01 = Choice(Catalogue::Containers, 1),
            .C2_04 = Choice(Catalogue::VideoCodecs, 31),
            .C3_01 = Choice(Catalogue::AudioCodecs, 27),
            .C2_02_01 = 320,
            .C2_02_02 = 240,
            .C2_03_01 = 4,
            .C2_03_02 = 3,
            .C2_05 = 768,
            .C2_06 = 30,
            .C3_02 = 128,
            .C3_03 = 44100,
            .C4_C1 = true};
}

const QString kWinSource = QStringLiteral("d:\\VIDEO_TS\\VTS_01_1.VOB");
const QString kPosixSource = QStringLiteral("/media/dvd/VIDEO_TS/VTS_01_1.VOB");

} // namespace

class TestCommandLine : public QObject {
    Q_OBJECT
private slots:
    void workedExamplesWindows()
    {
        const ConversionSettings s = Example(QStringLiteral("C:\\Video"));
        const QString out = BuildOutputPath(kWinSource, s, PathStyle::Windows);
        QCOMPARE(out, QStringLiteral("C:\\Video\\VTS_01_1.avi"));
        const EncoderCommand pass1 = BuildEncoderCommandLine(kWinSource, out, s, 1, PathStyle::Windows);
        QCOMPARE(
            pass1.commandLine(),
            QStringLiteral("ffmpeg.exe -i \"d:\\VIDEO_TS\\VTS_01_1.VOB\" -y -pass 1 -an -flags bitexact -s 320x240 "
                           "-aspect 4:3 -vcodec libxvid -b 768k -r 30 -acodec libmp3lame -ab 128k -ar 44100 "
                           "\"C:\\Video\\VTS_01_1.avi\""));
        QCOMPARE(QStringLiteral("ffmpeg.exe ") + pass1.parameters(), pass1.commandLine());
        const ConversionSettings a = Automatic(QStringLiteral("C:\\Video"));
        const QString out0 = BuildOutputPath(kWinSource, a, PathStyle::Windows);
        QCOMPARE(
            BuildEncoderCommandLine(kWinSource, out0, a, 1, PathStyle::Windows).commandLine(),
            QStringLiteral("ffmpeg.exe -i \"d:\\VIDEO_TS\\VTS_01_1.VOB\" -y -flags bitexact -vcodec copy -acodec copy "
                           "\"C:\\Video\\VTS_01_1.VOB\""));
        QCOMPARE(BuildThumbnailParameters(kWinSource, QStringLiteral("C:\\Tools"), PathStyle::Windows).parameters(),
                 QStringLiteral("-i \"d:\\VIDEO_TS\\VTS_01_1.VOB\" -f image2 -ss 5 -vframes 1 -s 80x60 -an "
                                "\"C:\\Tools\\_thumb.jpg\""));
    }

    void workedExamplesPosix()
    {
        const ConversionSettings s = Example(QStringLiteral("/home/user/Video"));
        const QString out = BuildOutputPath(kPosixSource, s, PathStyle::Posix);
        QCOMPARE(out, QStringLiteral("/home/user/Video/VTS_01_1.avi"));
        const EncoderCommand pass2 = BuildEncoderCommandLine(kPosixSource, out, s, 2, PathStyle::Posix);
        QCOMPARE(pass2.arguments.join('|'), // the vector itself: no quoting, one value each
                 "-i|" + kPosixSource +
                     "|-y|-pass|2|-flags|bitexact|-s|320x240|-aspect|4:3|-vcodec|libxvid|"
                     "-b|768k|-r|30|-acodec|libmp3lame|-ab|128k|-ar|44100|" +
                     out);
        QCOMPARE(pass2.commandLine(),
                 QStringLiteral("ffmpeg -i \"/media/dvd/VIDEO_TS/VTS_01_1.VOB\" -y -pass 2 -flags bitexact -s 320x240 "
                                "-aspect 4:3 -vcodec libxvid -b 768k -r 30 -acodec libmp3lame -ab 128k -ar 44100 "
                                "\"/home/user/Video/VTS_01_1.avi\""));
        const ConversionSettings a = Automatic(QStringLiteral("/home/user/Video"));
        const EncoderCommand c = BuildEncoderCommandLine(
            kPosixSource, BuildOutputPath(kPosixSource, a, PathStyle::Posix), a, 1, PathStyle::Posix);
        QCOMPARE(c.commandLine(), QStringLiteral("ffmpeg -i \"/media/dvd/VIDEO_TS/VTS_01_1.VOB\" -y -flags bitexact "
                                                 "-vcodec copy -acodec copy \"/home/user/Video/VTS_01_1.VOB\""));
        QCOMPARE(
            BuildThumbnailParameters(kPosixSource, QStringLiteral("/opt/zento"), PathStyle::Posix).commandLine(),
            QStringLiteral("ffmpeg -i \"/media/dvd/VIDEO_TS/VTS_01_1.VOB\" -f image2 -ss 5 -vframes 1 -s 80x60 -an "
                           "\"/opt/zento/_thumb.jpg\""));
    }

    // Each optional piece appears exactly when its values are given.
    void pieces_data()
    {
        QTest::addColumn<QList<int>>("values"); // width, height, aspect terms, video rate, fps, audio rate, sample rate
        QTest::addColumn<QString>("middle");    // between " -flags bitexact" and the output
        const QString copy = " -vcodec copy -acodec copy";
        QTest::newRow("nothing") << QList<int>{0, 0, 0, 0, 0, 0, 0, 0} << copy;
        QTest::newRow("width without height") << QList<int>{640, 0, 0, 0, 0, 0, 0, 0} << copy;
        QTest::newRow("height without width") << QList<int>{0, 480, 0, 0, 0, 0, 0, 0} << copy;
        QTest::newRow("size pair") << QList<int>{640, 480, 0, 0, 0, 0, 0, 0} << " -s 640x480" + copy;
        QTest::newRow("one aspect term") << QList<int>{0, 0, 16, 0, 0, 0, 0, 0} << copy;
        QTest::newRow("aspect pair") << QList<int>{0, 0, 16, 9, 0, 0, 0, 0} << " -aspect 16:9" + copy;
        QTest::newRow("negative values left out") << QList<int>{-640, -480, -4, -3, -1, -1, -1, -1} << copy;
        QTest::newRow("rates with and without k") << QList<int>{0, 0, 0, 0, 1000, 25, 192, 48000}
                                                  << " -vcodec copy -b 1000k -r 25 -acodec copy -ab 192k -ar 48000";
        QTest::newRow("values beyond the boxes' ranges pass as read")
            << QList<int>{12345, 99999, 0, 0, 20000, 0, 0, 0} << " -s 12345x99999 -vcodec copy -b 20000k -acodec copy";
    }
    void pieces()
    {
        QFETCH(QList<int>, values);
        QFETCH(QString, middle);
        ConversionSettings s = Automatic(QStringLiteral("/out"));
        using S = ConversionSettings;
        int S::*const fields[] = {&S::C2_02_01, &S::C2_02_02, &S::C2_03_01, &S::C2_03_02,
                                  &S::C2_05,    &S::C2_06,    &S::C3_02,    &S::C3_03};
        for (int i = 0; i < 8; ++i)
            s.*fields[i] = values[i];
        const EncoderCommand c =
            BuildEncoderCommandLine(QStringLiteral("/in/a.VOB"), QStringLiteral("/out/a.VOB"), s, 1, PathStyle::Posix);
        QCOMPARE(c.commandLine(), "ffmpeg -i \"/in/a.VOB\" -y -flags bitexact" + middle + " \"/out/a.VOB\"");
    }

    void outputPath_data()
    {
        QTest::addColumn<PathStyle>("style");
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<int>("container");
        QTest::addColumn<QString>("output");
        QTest::newRow("win automatic keeps upper case") << PathStyle::Windows << "d:\\VIDEO_TS\\VTS_05_2.VOB"
                                                        << "C:\\Video" << 0 << "C:\\Video\\VTS_05_2.VOB";
        QTest::newRow("win no extension, automatic") << PathStyle::Windows << "d:\\VIDEO_TS\\VTS"
                                                     << "C:\\V" << 0 << "C:\\V\\VTS";
        QTest::newRow("win no extension gets one") << PathStyle::Windows << "d:\\VIDEO_TS\\VTS"
                                                   << "C:\\V" << 1 << "C:\\V\\VTS.avi";
        QTest::newRow("win dot only in the folder") << PathStyle::Windows << "d:\\a.b\\VTS"
                                                    << "C:\\V" << 11 << "C:\\V\\VTS.flv";
        QTest::newRow("win name after a colon") << PathStyle::Windows << "d:VTS_01_1.VOB"
                                                << "C:" << 1 << "C:\\VTS_01_1.avi";
        QTest::newRow("win drive root output folder") << PathStyle::Windows << "d:\\VIDEO_TS\\X.VOB"
                                                      << "C:" << 0 << "C:\\X.VOB";
        QTest::newRow("posix backslash is a name character") << PathStyle::Posix << "/media/a\\b:c.VOB"
                                                             << "/out" << 1 << "/out/a\\b:c.avi";
        QTest::newRow("posix dot only in the folder") << PathStyle::Posix << "/media/a.b/VTS"
                                                      << "/out" << 2 << "/out/VTS.mpg";
        QTest::newRow("posix hidden-looking name") << PathStyle::Posix << "/m/.VOB"
                                                   << "/out" << 1 << "/out/.avi";
        QTest::newRow("posix root folder") << PathStyle::Posix << "/m/X.VOB"
                                           << "/" << 4 << "/X.mp4";
        QTest::newRow("posix no row counts as automatic") << PathStyle::Posix << "/m/X.VOB"
                                                          << "/o" << -1 << "/o/X.VOB";
    }
    void outputPath()
    {
        QFETCH(PathStyle, style);
        QFETCH(QString, source);
        QFETCH(QString, folder);
        QFETCH(int, container);
        QFETCH(QString, output);
        ConversionSettings s = Automatic(folder);
        s.C2_01 = Choice(Catalogue::Containers, container);
        QCOMPARE(BuildOutputPath(source, s, style), output);
    }

    void passNumberChangesOnlyPassPieces_data()
    {
        QTest::addColumn<PathStyle>("style");
        QTest::newRow("windows") << PathStyle::Windows;
        QTest::newRow("posix") << PathStyle::Posix;
    }
    void passNumberChangesOnlyPassPieces()
    {
        QFETCH(PathStyle, style);
        const ConversionSettings s = Example(style == PathStyle::Windows ? "C:\\Video" : "/video");
        const QString src = style == PathStyle::Windows ? kWinSource : kPosixSource;
        const QString out = BuildOutputPath(src, s, style);
        QString p1 = BuildEncoderCommandLine(src, out, s, 1, style).commandLine();
        QString p2 = BuildEncoderCommandLine(src, out, s, 2, style).commandLine();
        // the passes differ only in "-pass 1 -an" and "-pass 2", just before "-flags"; the
        // audio pieces stay in pass 1 although it writes no audio
        QCOMPARE(p1.replace(" -pass 1 -an -flags", " -flags"), p2.replace(" -pass 2 -flags", " -flags"));
        QVERIFY(!p1.contains(" -pass") && p1.contains(" -acodec libmp3lame -ab 128k -ar 44100 "));
        ConversionSettings one = s; // without the switch, the pass number plays no part
        one.C4_C1 = false;
        QCOMPARE(BuildEncoderCommandLine(src, out, one, 1, style).commandLine(), p1);
        QCOMPARE(BuildEncoderCommandLine(src, out, one, 2, style).commandLine(), p1);
    }

    void everyCatalogueRowGivesItsLowerCaseId()
    {
        using S = ConversionSettings;
        const struct {
            Catalogue catalogue;
            CatalogueChoice S::*box;
            const char *flag; // none: the output's extension
        } boxes[] = {{Catalogue::Containers, &S::C2_01, nullptr},
                     {Catalogue::VideoCodecs, &S::C2_04, "-vcodec"},
                     {Catalogue::AudioCodecs, &S::C3_01, "-acodec"}};
        for (const auto &b : boxes)
            for (int r = 1; r < CatalogueRows(b.catalogue).size(); ++r) {
                ConversionSettings s = Automatic("/o");
                s.*b.box = Choice(b.catalogue, r);
                const QString id = CatalogueRowId(CatalogueRows(b.catalogue).at(r)).toLower();
                const QStringList a = BuildEncoderCommandLine(kPosixSource, "/o/x", s, 1, PathStyle::Posix).arguments;
                QCOMPARE(b.flag ? a.value(a.indexOf(b.flag) + 1) : BuildOutputPath(kPosixSource, s, PathStyle::Posix),
                         b.flag ? id : "/o/VTS_01_1." + id);
            }
        // Only A to Z change case.
        QCOMPARE(EncoderName(QStringLiteral("ADPCM_IMA_DK3")), QStringLiteral("adpcm_ima_dk3"));
        QCOMPARE(EncoderName(QStringLiteral("自動ÄZ")), QStringLiteral("自動Äz"));
    }

    void pathsStayOneArgument_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("rendered"); // the source as the Windows text shows it
        QTest::newRow("blank") << "d:\\my dvd\\VTS_01_1.VOB"
                               << "\"d:\\my dvd\\VTS_01_1.VOB\"";
        QTest::newRow("quote") << "d:\\a\" -vcodec evil \"b.VOB"
                               << "\"d:\\a\\\" -vcodec evil \\\"b.VOB\"";
        QTest::newRow("backslash before quote") << "d:\\a\\\"b.VOB"
                                                << "\"d:\\a\\\\\\\"b.VOB\"";
        QTest::newRow("trailing backslash") << "d:\\dir\\"
                                            << "\"d:\\dir\\\\\"";
        const QString deep = "d:\\" + QString(12000, 'd') + "\\VTS_01_1.VOB";
        QTest::newRow("long path, not cut") << deep << '"' + deep + '"';
    }
    void pathsStayOneArgument()
    {
        QFETCH(QString, source);
        QFETCH(QString, rendered);
        const ConversionSettings s = Automatic(QStringLiteral("C:\\Video"));
        const EncoderCommand c = BuildEncoderCommandLine(source, "C:\\Video\\x.VOB", s, 1, PathStyle::Windows);
        QCOMPARE(c.arguments.at(1), source);
        QCOMPARE(c.arguments.count(QStringLiteral("-vcodec")), 1);
        QVERIFY2(c.commandLine().startsWith("ffmpeg.exe -i " + rendered + " -y "),
                 qPrintable(c.commandLine().left(200)));
    }

    void thumbnail()
    {
        const QStringList expected = {"-i",       "/m/a b.VOB", "-f", "image2", "-ss", "5",
                                      "-vframes", "1",          "-s", "80x60",  "-an", "/_thumb.jpg"};
        QCOMPARE(BuildThumbnailParameters("/m/a b.VOB", "/", PathStyle::Posix).arguments, expected);
        // the program folder joined as written, a drive root too
        QCOMPARE(BuildThumbnailParameters(kWinSource, "C:\\", PathStyle::Windows).arguments.last(), "C:\\\\_thumb.jpg");
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "test_command_line.moc"
