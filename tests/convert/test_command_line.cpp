#include "convert/command_line.h"
#include "options/catalogue.h"

#include <QTest>

using namespace zento;

Q_DECLARE_METATYPE(zento::PathStyle)

namespace {

CatalogueChoice Choice(Catalogue catalogue, int index)
{
    CatalogueChoice choice;
    choice.index = index;
    if (index >= 0 && index < CatalogueRows(catalogue).size())
        choice.row = CatalogueRows(catalogue).at(index);
    return choice;
}

ConversionSettings Automatic(const QString &folder)
{
    ConversionSettings s;
    s.C1_03 = folder;
    s.C2_01 = Choice(Catalogue::Containers, 0);
    s.C2_04 = Choice(Catalogue::VideoCodecs, 0);
    s.C3_01 = Choice(Catalogue::AudioCodecs, 0);
    return s;
}

// The settings of the worked example: AVI, 320x240, 4:3, XviD at 768k, 30 fps,
// MP3 at 128k and 44100 Hz, two passes.
ConversionSettings Example(const QString &folder)
{
    ConversionSettings s = Automatic(folder);
    s.C2_01 = Choice(Catalogue::Containers, 1);
    s.C2_02_01 = 320;
    s.C2_02_02 = 240;
    s.C2_03_01 = 4;
    s.C2_03_02 = 3;
    s.C2_04 = Choice(Catalogue::VideoCodecs, 31);
    s.C2_05 = 768;
    s.C2_06 = 30;
    s.C3_01 = Choice(Catalogue::AudioCodecs, 27);
    s.C3_02 = 128;
    s.C3_03 = 44100;
    s.C4_C1 = true;
    return s;
}

const QString kWinSource = QStringLiteral("d:\\VIDEO_TS\\VTS_01_1.VOB");
const QString kPosixSource = QStringLiteral("/media/dvd/VIDEO_TS/VTS_01_1.VOB");

} // namespace

class TestCommandLine : public QObject {
    Q_OBJECT
private slots:
    void workedExamplesWindows();
    void workedExamplesPosix();
    void argumentVector();
    void pieces_data();
    void pieces();
    void outputPath_data();
    void outputPath();
    void passNumberChangesOnlyPassPieces_data();
    void passNumberChangesOnlyPassPieces();
    void everyCatalogueRowGivesItsLowerCaseId();
    void quotesInPathsStayOneArgument_data();
    void quotesInPathsStayOneArgument();
    void thumbnail_data();
    void thumbnail();
    void longPathsAreNotCut();
};

void TestCommandLine::workedExamplesWindows()
{
    const ConversionSettings s = Example(QStringLiteral("C:\\Video"));
    const QString out = BuildOutputPath(kWinSource, s, PathStyle::Windows);
    QCOMPARE(out, QStringLiteral("C:\\Video\\VTS_01_1.avi"));
    const EncoderCommand pass1 = BuildEncoderCommandLine(kWinSource, out, s, 1, PathStyle::Windows);
    QCOMPARE(pass1.commandLine(),
             QStringLiteral("ffmpeg.exe -i \"d:\\VIDEO_TS\\VTS_01_1.VOB\" -y -pass 1 -an -flags bitexact -s 320x240 "
                            "-aspect 4:3 -vcodec libxvid -b 768k -r 30 -acodec libmp3lame -ab 128k -ar 44100 "
                            "\"C:\\Video\\VTS_01_1.avi\""));
    QCOMPARE(pass1.program, QStringLiteral("ffmpeg.exe"));
    QCOMPARE(QStringLiteral("ffmpeg.exe ") + pass1.parameters(), pass1.commandLine());

    const ConversionSettings a = Automatic(QStringLiteral("C:\\Video"));
    const QString out0 = BuildOutputPath(kWinSource, a, PathStyle::Windows);
    QCOMPARE(BuildEncoderCommandLine(kWinSource, out0, a, 1, PathStyle::Windows).commandLine(),
             QStringLiteral("ffmpeg.exe -i \"d:\\VIDEO_TS\\VTS_01_1.VOB\" -y -flags bitexact -vcodec copy -acodec copy "
                            "\"C:\\Video\\VTS_01_1.VOB\""));

    QCOMPARE(BuildThumbnailParameters(kWinSource, QStringLiteral("C:\\Tools"), PathStyle::Windows).parameters(),
             QStringLiteral("-i \"d:\\VIDEO_TS\\VTS_01_1.VOB\" -f image2 -ss 5 -vframes 1 -s 80x60 -an "
                            "\"C:\\Tools\\_thumb.jpg\""));
}

void TestCommandLine::workedExamplesPosix()
{
    const ConversionSettings s = Example(QStringLiteral("/home/user/Video"));
    const QString out = BuildOutputPath(kPosixSource, s, PathStyle::Posix);
    QCOMPARE(out, QStringLiteral("/home/user/Video/VTS_01_1.avi"));
    QCOMPARE(BuildEncoderCommandLine(kPosixSource, out, s, 2, PathStyle::Posix).commandLine(),
             QStringLiteral("ffmpeg -i \"/media/dvd/VIDEO_TS/VTS_01_1.VOB\" -y -pass 2 -flags bitexact -s 320x240 "
                            "-aspect 4:3 -vcodec libxvid -b 768k -r 30 -acodec libmp3lame -ab 128k -ar 44100 "
                            "\"/home/user/Video/VTS_01_1.avi\""));
    const ConversionSettings a = Automatic(QStringLiteral("/home/user/Video"));
    const EncoderCommand c =
        BuildEncoderCommandLine(kPosixSource, BuildOutputPath(kPosixSource, a, PathStyle::Posix), a, 1, PathStyle::Posix);
    QCOMPARE(c.commandLine(), QStringLiteral("ffmpeg -i \"/media/dvd/VIDEO_TS/VTS_01_1.VOB\" -y -flags bitexact "
                                             "-vcodec copy -acodec copy \"/home/user/Video/VTS_01_1.VOB\""));
    QCOMPARE(c.program, QStringLiteral("ffmpeg"));
    QCOMPARE(BuildThumbnailParameters(kPosixSource, QStringLiteral("/opt/zento"), PathStyle::Posix).commandLine(),
             QStringLiteral("ffmpeg -i \"/media/dvd/VIDEO_TS/VTS_01_1.VOB\" -f image2 -ss 5 -vframes 1 -s 80x60 -an "
                            "\"/opt/zento/_thumb.jpg\""));
}

void TestCommandLine::argumentVector()
{
    const ConversionSettings s = Example(QStringLiteral("/out dir"));
    const QString source = QStringLiteral("/media/my dvd/VIDEO_TS/VTS_01_1.VOB");
    const QString out = BuildOutputPath(source, s, PathStyle::Posix);
    const EncoderCommand c = BuildEncoderCommandLine(source, out, s, 1, PathStyle::Posix);
    const QStringList expected = {"-i",     source,  "-y",   "-pass",   "1",         "-an",    "-flags",
                                  "bitexact", "-s", "320x240", "-aspect", "4:3",     "-vcodec", "libxvid",
                                  "-b",     "768k",  "-r",   "30",      "-acodec",   "libmp3lame", "-ab",
                                  "128k",   "-ar",   "44100", "/out dir/VTS_01_1.avi"};
    QCOMPARE(c.arguments, expected);
}

// Each optional piece appears exactly when its values are given.
void TestCommandLine::pieces_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("aspectX");
    QTest::addColumn<int>("aspectY");
    QTest::addColumn<int>("videoRate");
    QTest::addColumn<int>("fps");
    QTest::addColumn<int>("audioRate");
    QTest::addColumn<int>("sampleRate");
    QTest::addColumn<QString>("middle"); // between " -flags bitexact" and the output
    QTest::newRow("nothing") << 0 << 0 << 0 << 0 << 0 << 0 << 0 << 0 << " -vcodec copy -acodec copy";
    QTest::newRow("width without height") << 640 << 0 << 0 << 0 << 0 << 0 << 0 << 0 << " -vcodec copy -acodec copy";
    QTest::newRow("height without width") << 0 << 480 << 0 << 0 << 0 << 0 << 0 << 0 << " -vcodec copy -acodec copy";
    QTest::newRow("size pair") << 640 << 480 << 0 << 0 << 0 << 0 << 0 << 0 << " -s 640x480 -vcodec copy -acodec copy";
    QTest::newRow("one aspect term") << 0 << 0 << 16 << 0 << 0 << 0 << 0 << 0 << " -vcodec copy -acodec copy";
    QTest::newRow("aspect pair") << 0 << 0 << 16 << 9 << 0 << 0 << 0 << 0 << " -aspect 16:9 -vcodec copy -acodec copy";
    QTest::newRow("negative values left out") << -640 << -480 << -4 << -3 << -1 << -1 << -1 << -1
                                              << " -vcodec copy -acodec copy";
    QTest::newRow("rates with and without k")
        << 0 << 0 << 0 << 0 << 1000 << 25 << 192 << 48000 << " -vcodec copy -b 1000k -r 25 -acodec copy -ab 192k -ar 48000";
    QTest::newRow("values beyond the boxes' ranges pass as read")
        << 12345 << 99999 << 0 << 0 << 20000 << 0 << 0 << 0 << " -s 12345x99999 -vcodec copy -b 20000k -acodec copy";
}

void TestCommandLine::pieces()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(int, aspectX);
    QFETCH(int, aspectY);
    QFETCH(int, videoRate);
    QFETCH(int, fps);
    QFETCH(int, audioRate);
    QFETCH(int, sampleRate);
    QFETCH(QString, middle);
    ConversionSettings s = Automatic(QStringLiteral("/out"));
    s.C2_02_01 = width;
    s.C2_02_02 = height;
    s.C2_03_01 = aspectX;
    s.C2_03_02 = aspectY;
    s.C2_05 = videoRate;
    s.C2_06 = fps;
    s.C3_02 = audioRate;
    s.C3_03 = sampleRate;
    const EncoderCommand c = BuildEncoderCommandLine(QStringLiteral("/in/a.VOB"), QStringLiteral("/out/a.VOB"), s, 1,
                                                     PathStyle::Posix);
    QCOMPARE(c.commandLine(), QStringLiteral("ffmpeg -i \"/in/a.VOB\" -y -flags bitexact") + middle +
                                  QStringLiteral(" \"/out/a.VOB\""));
}

void TestCommandLine::outputPath_data()
{
    QTest::addColumn<PathStyle>("style");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<int>("container");
    QTest::addColumn<QString>("output");
    QTest::newRow("win automatic keeps upper case") << PathStyle::Windows << "d:\\VIDEO_TS\\VTS_05_2.VOB" << "C:\\Video" << 0
                                                    << "C:\\Video\\VTS_05_2.VOB";
    QTest::newRow("win 3gp") << PathStyle::Windows << "d:\\VIDEO_TS\\VTS_01_1.VOB" << "C:\\Video" << 5
                             << "C:\\Video\\VTS_01_1.3gp";
    QTest::newRow("win m2p") << PathStyle::Windows << "d:\\VIDEO_TS\\VTS_01_1.VOB" << "C:\\Video" << 3
                             << "C:\\Video\\VTS_01_1.m2p";
    QTest::newRow("win no extension, automatic") << PathStyle::Windows << "d:\\VIDEO_TS\\VTS" << "C:\\V" << 0 << "C:\\V\\VTS";
    QTest::newRow("win no extension gets one") << PathStyle::Windows << "d:\\VIDEO_TS\\VTS" << "C:\\V" << 1
                                               << "C:\\V\\VTS.avi";
    QTest::newRow("win dot only in the folder") << PathStyle::Windows << "d:\\a.b\\VTS" << "C:\\V" << 11 << "C:\\V\\VTS.flv";
    QTest::newRow("win name after a colon") << PathStyle::Windows << "d:VTS_01_1.VOB" << "C:" << 1 << "C:\\VTS_01_1.avi";
    QTest::newRow("win drive root output folder") << PathStyle::Windows << "d:\\VIDEO_TS\\X.VOB" << "C:" << 0 << "C:\\X.VOB";
    QTest::newRow("posix automatic") << PathStyle::Posix << "/media/dvd/VIDEO_TS/VTS_05_2.VOB" << "/home/u/Video" << 0
                                     << "/home/u/Video/VTS_05_2.VOB";
    QTest::newRow("posix backslash is a name character")
        << PathStyle::Posix << "/media/a\\b:c.VOB" << "/out" << 1 << "/out/a\\b:c.avi";
    QTest::newRow("posix dot only in the folder") << PathStyle::Posix << "/media/a.b/VTS" << "/out" << 2 << "/out/VTS.mpg";
    QTest::newRow("posix hidden-looking name") << PathStyle::Posix << "/m/.VOB" << "/out" << 1 << "/out/.avi";
    QTest::newRow("posix root folder") << PathStyle::Posix << "/m/X.VOB" << "/" << 4 << "/X.mp4";
    QTest::newRow("posix no row counts as automatic") << PathStyle::Posix << "/m/X.VOB" << "/o" << -1 << "/o/X.VOB";
}

void TestCommandLine::outputPath()
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

void TestCommandLine::passNumberChangesOnlyPassPieces_data()
{
    QTest::addColumn<PathStyle>("style");
    QTest::newRow("windows") << PathStyle::Windows;
    QTest::newRow("posix") << PathStyle::Posix;
}

void TestCommandLine::passNumberChangesOnlyPassPieces()
{
    QFETCH(PathStyle, style);
    const ConversionSettings s = Example(style == PathStyle::Windows ? "C:\\Video" : "/video");
    const QString src = style == PathStyle::Windows ? kWinSource : kPosixSource;
    const QString out = BuildOutputPath(src, s, style);
    QString p1 = BuildEncoderCommandLine(src, out, s, 1, style).commandLine();
    QString p2 = BuildEncoderCommandLine(src, out, s, 2, style).commandLine();
    QVERIFY(p1.contains(" -pass 1 -an -flags bitexact "));
    QVERIFY(p2.contains(" -pass 2 -flags bitexact "));
    QVERIFY(!p2.contains(" -an"));
    // Audio pieces stay in pass 1 although it writes no audio.
    QVERIFY(p1.contains(" -acodec libmp3lame -ab 128k -ar 44100 "));
    QVERIFY(p1.endsWith(QLatin1Char('"') + out + QLatin1Char('"')));
    QVERIFY(p2.endsWith(QLatin1Char('"') + out + QLatin1Char('"')));
    p1.replace(" -pass 1 -an", "");
    p2.replace(" -pass 2", "");
    QCOMPARE(p1, p2);
    // Without the switch, the pass number plays no part.
    ConversionSettings one = s;
    one.C4_C1 = false;
    QCOMPARE(BuildEncoderCommandLine(src, out, one, 1, style).commandLine(), p1);
    QCOMPARE(BuildEncoderCommandLine(src, out, one, 2, style).commandLine(), p1);
}

void TestCommandLine::everyCatalogueRowGivesItsLowerCaseId()
{
    const QString src = QStringLiteral("/m/VTS_01_1.VOB");
    for (int r = 1; r < CatalogueRows(Catalogue::Containers).size(); ++r) {
        ConversionSettings s = Automatic("/o");
        s.C2_01 = Choice(Catalogue::Containers, r);
        const QString id = CatalogueRowId(CatalogueRows(Catalogue::Containers).at(r)).toLower();
        QCOMPARE(BuildOutputPath(src, s, PathStyle::Posix), QStringLiteral("/o/VTS_01_1.") + id);
    }
    for (int r = 0; r < CatalogueRows(Catalogue::VideoCodecs).size(); ++r) {
        ConversionSettings s = Automatic("/o");
        s.C2_04 = Choice(Catalogue::VideoCodecs, r);
        const QString id = r == 0 ? "copy" : CatalogueRowId(CatalogueRows(Catalogue::VideoCodecs).at(r)).toLower();
        const QStringList a = BuildEncoderCommandLine(src, "/o/x", s, 1, PathStyle::Posix).arguments;
        QCOMPARE(a.at(a.indexOf("-vcodec") + 1), id);
        QCOMPARE(a.at(a.indexOf("-acodec") + 1), QStringLiteral("copy"));
    }
    for (int r = 0; r < CatalogueRows(Catalogue::AudioCodecs).size(); ++r) {
        ConversionSettings s = Automatic("/o");
        s.C3_01 = Choice(Catalogue::AudioCodecs, r);
        const QString id = r == 0 ? "copy" : CatalogueRowId(CatalogueRows(Catalogue::AudioCodecs).at(r)).toLower();
        const QStringList a = BuildEncoderCommandLine(src, "/o/x", s, 1, PathStyle::Posix).arguments;
        QCOMPARE(a.at(a.indexOf("-acodec") + 1), id);
    }
    // Only A to Z change case.
    QCOMPARE(EncoderName(QStringLiteral("ADPCM_IMA_DK3")), QStringLiteral("adpcm_ima_dk3"));
    QCOMPARE(EncoderName(QStringLiteral("自動ÄZ")), QStringLiteral("自動Äz"));
}

void TestCommandLine::quotesInPathsStayOneArgument_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("rendered"); // the source as the Windows text shows it
    QTest::newRow("blank") << "d:\\my dvd\\VTS_01_1.VOB" << "\"d:\\my dvd\\VTS_01_1.VOB\"";
    QTest::newRow("quote") << "d:\\a\" -vcodec evil \"b.VOB" << "\"d:\\a\\\" -vcodec evil \\\"b.VOB\"";
    QTest::newRow("backslash before quote") << "d:\\a\\\"b.VOB" << "\"d:\\a\\\\\\\"b.VOB\"";
    QTest::newRow("trailing backslash") << "d:\\dir\\" << "\"d:\\dir\\\\\"";
}

void TestCommandLine::quotesInPathsStayOneArgument()
{
    QFETCH(QString, source);
    QFETCH(QString, rendered);
    const ConversionSettings s = Automatic(QStringLiteral("C:\\Video"));
    const EncoderCommand c = BuildEncoderCommandLine(source, QStringLiteral("C:\\Video\\x.VOB"), s, 1, PathStyle::Windows);
    QCOMPARE(c.arguments.at(1), source);
    QCOMPARE(c.arguments.count(QStringLiteral("-vcodec")), 1);
    QVERIFY2(c.commandLine().startsWith(QStringLiteral("ffmpeg.exe -i ") + rendered + QStringLiteral(" -y ")),
             qPrintable(c.commandLine()));
}

void TestCommandLine::thumbnail_data()
{
    QTest::addColumn<PathStyle>("style");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("file");
    QTest::newRow("win folder") << PathStyle::Windows << "C:\\Tools" << "C:\\Tools\\_thumb.jpg";
    QTest::newRow("win drive root as written") << PathStyle::Windows << "C:\\" << "C:\\\\_thumb.jpg";
    QTest::newRow("posix folder") << PathStyle::Posix << "/opt/zento" << "/opt/zento/_thumb.jpg";
    QTest::newRow("posix root") << PathStyle::Posix << "/" << "/_thumb.jpg";
}

void TestCommandLine::thumbnail()
{
    QFETCH(PathStyle, style);
    QFETCH(QString, folder);
    QFETCH(QString, file);
    const EncoderCommand c = BuildThumbnailParameters(QStringLiteral("/m/a b.VOB"), folder, style);
    const QStringList expected = {"-i", "/m/a b.VOB", "-f", "image2", "-ss", "5", "-vframes", "1", "-s", "80x60",
                                  "-an", file};
    QCOMPARE(c.arguments, expected);
}

void TestCommandLine::longPathsAreNotCut()
{
    const QString deep = QStringLiteral("/") + QString(12000, QLatin1Char('d')) + QStringLiteral("/VTS_01_1.VOB");
    const ConversionSettings s = Example(QStringLiteral("/o"));
    const EncoderCommand c = BuildEncoderCommandLine(deep, BuildOutputPath(deep, s, PathStyle::Posix), s, 1, PathStyle::Posix);
    QCOMPARE(c.arguments.at(1), deep);
    QVERIFY(c.commandLine().size() > 12000);
}

QTEST_GUILESS_MAIN(TestCommandLine)
#include "test_command_line.moc"
