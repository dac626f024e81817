#include "options/option_rules.h"

#include <QTest>

#include <climits>

using namespace zento;

Q_DECLARE_METATYPE(zento::PresetValues)

namespace {

PresetValues Values(int container, int width, int height, int video, int fps, int vkbps, int audio, int hz, int akbps)
{
    return {container, width, height, video, fps, vkbps, audio, hz, akbps};
}
} // namespace

namespace QTest {
template <> char *toString(const PresetValues &v)
{
    return qstrdup(QStringLiteral("container %1, %2x%3, video %4, %5fps, %6kbps, audio %7, %8Hz, %9kbps")
                       .arg(v.container)
                       .arg(v.width)
                       .arg(v.height)
                       .arg(v.videoCodec)
                       .arg(v.frameRate)
                       .arg(v.videoBitRate)
                       .arg(v.audioCodec)
                       .arg(v.sampleRate)
                       .arg(v.audioBitRate)
                       .toUtf8()
                       .constData());
}
} // namespace QTest

class TestOptionRules : public QObject {
    Q_OBJECT

private slots:
    void wholeNumber_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("converts");
        QTest::addColumn<int>("expected");
        QTest::newRow("digits") << "640" << true << 640;
        QTest::newRow("minus") << "-5" << true << -5;
        QTest::newRow("plus") << "+30" << true << 30;
        QTest::newRow("empty") << "" << false << 0;
        QTest::newRow("decimal point") << "29.97" << false << 0;
        QTest::newRow("unit") << "30fps" << false << 0;
        QTest::newRow("blank") << " 30" << false << 0;
        QTest::newRow("0x hex") << "0x10" << false << 0;
        QTest::newRow("full-width digits") << QStringLiteral("３０") << false << 0;
        QTest::newRow("beyond int saturates") << "99999999999999999999" << true << INT_MAX;
    }

    void wholeNumber()
    {
        QFETCH(QString, text);
        QFETCH(bool, converts);
        QFETCH(int, expected);
        const std::optional<int> n = PresetWholeNumber(text);
        QCOMPARE(n.has_value(), converts);
        if (converts)
            QCOMPARE(*n, expected);
    }

    // The window runs the same rows through the real preset box; these are
    // the rest of the column rules.
    void presetRow_data()
    {
        QTest::addColumn<QString>("row");
        QTest::addColumn<PresetValues>("expected");
        QTest::newRow("DVD") << "DVD,AVI,640x480,LIBXVID,30fps,1000kbps,LIBMP3LAME,44100Hz,128kbps"
                             << Values(1, 640, 480, 31, 30, 1000, 27, 44100, 128);
        QTest::newRow("manual row") << "手動,[形式],[幅x高さ],[動画圧縮],[描画数],[情報量],[音声圧縮],[周波数],[情報量]"
                                    << Values(0, 0, 0, 0, 0, 0, 0, 0, 0);
        QTest::newRow("size without height") << "a,AVI,640x,MPEG4" << Values(1, 640, 0, 17, 0, 0, 0, 0, 0);
        QTest::newRow("size capital X") << "a,AVI,640X480" << Values(1, 0, 0, 0, 0, 0, 0, 0, 0);
        QTest::newRow("size out of range") << "a,,12345x-5" << Values(0, 9999, 0, 0, 0, 0, 0, 0, 0);
        QTest::newRow("29.97fps") << "a,,,,29.97fps,500kbps" << Values(0, 0, 0, 0, 0, 500, 0, 0, 0);
        QTest::newRow("fps missing") << "a,,,,30" << Values(0, 0, 0, 0, 0, 0, 0, 0, 0);
        QTest::newRow("ranges") << "a,,,,5000fps,-3kbps,,200000Hz,1000kbps"
                                << Values(0, 0, 0, 0, 999, 0, 0, 99999, 999);
        QTest::newRow("avi small letters") << "a,avi,,avi,,,avi" << Values(0, 0, 0, 0, 0, 0, 0, 0, 0);
        QTest::newRow("automatic rows") << "a,自動,,自動,,,自動" << Values(0, 0, 0, 0, 0, 0, 0, 0, 0);
        QTest::newRow("four columns") << "a,MP4,320x240,H263P" << Values(4, 320, 240, 10, 0, 0, 0, 0, 0);
        // "30 fps": the blank splits the column and every later value moves
        // one column on, where nothing reads as meant.
        QTest::newRow("blank inside a column") << "DVD,AVI,640x480,LIBXVID,30 fps,1000kbps,LIBMP3LAME,44100Hz,128kbps"
                                               << Values(1, 640, 480, 31, 0, 0, 0, 0, 0);
        QTest::newRow("unit anywhere counts first")
            << "a,,,,25fps30fps,1kbpskbps" << Values(0, 0, 0, 0, 25, 1, 0, 0, 0);
        QTest::newRow("Hz case matters") << "a,,,,,,,44100hz" << Values(0, 0, 0, 0, 0, 0, 0, 0, 0);
    }

    void presetRow()
    {
        QFETCH(QString, row);
        QFETCH(PresetValues, expected);
        QCOMPARE(PresetValuesFromRow(row), expected);
    }

    void presetColumnsMissing()
    {
        QCOMPARE(PresetValuesFromColumns({}), PresetValues());
        QCOMPARE(PresetValuesFromColumns({"name", "FLV"}), Values(11, 0, 0, 0, 0, 0, 0, 0, 0));
    }

    void colours()
    {
        // Light yellow where the option reaches the command line, silver where it does not.
        QCOMPARE(CatalogueBoxColor(0), kUnsetColor);
        QVERIFY(CatalogueBoxColor(5) == kSetColor && CatalogueBoxColor(-1) == kSetColor);
        QVERIFY(NumberColor(0) == kUnsetColor && NumberColor(128) == kSetColor);
        QCOMPARE(PairColor(640, 480), kSetColor);
        QVERIFY(PairColor(0, 480) == kUnsetColor && PairColor(640, 0) == kUnsetColor && PairColor(0, 0) == kUnsetColor);
    }
};

QTEST_GUILESS_MAIN(TestOptionRules)
#include "test_option_rules.moc"
