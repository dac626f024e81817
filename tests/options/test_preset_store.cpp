#include "options/catalogue.h"
#include "options/comma_text.h"
#include "options/option_rules.h"
#include "options/preset_store.h"

#include <QTest>

using namespace zento;

namespace {

CatalogueChoice Row(Catalogue catalogue, int index)
{
    CatalogueChoice choice;
    choice.index = index;
    if (index >= 0)
        choice.row = CatalogueRows(catalogue).at(index);
    return choice;
}

ConversionSettings DvdSettings()
{
    ConversionSettings s;
    s.C2_01 = Row(Catalogue::Containers, 1);
    s.C2_04 = Row(Catalogue::VideoCodecs, 31);
    s.C3_01 = Row(Catalogue::AudioCodecs, 27);
    s.C2_02_01 = 640;
    s.C2_02_02 = 480;
    s.C2_06 = 30;
    s.C2_05 = 1000;
    s.C3_03 = 44100;
    s.C3_02 = 128;
    s.C2_03_01 = 16; // not part of a preset
    s.C2_03_02 = 9;
    s.C4_C1 = true;
    return s;
}

} // namespace

class TestPresetStore : public QObject {
    Q_OBJECT

private slots:
    void safeName_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("stored");
        QTest::newRow("plain") << "DVD" << "DVD";
        QTest::newRow("blank") << "my dvd" << QStringLiteral("my　dvd");
        QTest::newRow("comma") << "a,b" << QStringLiteral("a，b");
        QTest::newRow("both") << " x, y " << QStringLiteral("　x，　y　");
        QTest::newRow("double quote") << "\"big\"" << QStringLiteral("＂big＂");
        QTest::newRow("tab") << "a\tb" << QStringLiteral("a　b");
        QTest::newRow("line break") << "a\r\nb" << QStringLiteral("a　　b");
        QTest::newRow("other control") << QString("a") + QChar(0x01) + QChar(0x1F) << QStringLiteral("a　　");
        QTest::newRow("full-width untouched") << QStringLiteral("高画質，　版") << QStringLiteral("高画質，　版");
        QTest::newRow("empty") << "" << "";
    }

    void safeName()
    {
        QFETCH(QString, typed);
        QFETCH(QString, stored);
        const QString safe = SafePresetName(typed);
        QCOMPARE(safe, stored);
        if (!safe.isEmpty()) {
            // The name is exactly one column of its line.
            const QString line = ComposePresetLine(safe, DvdSettings());
            const QStringList columns = SplitCommaText(line);
            QCOMPARE(columns.size(), 9);
            QCOMPARE(columns.first(), stored);
        }
    }

    void composeDvd()
    {
        QCOMPARE(ComposePresetLine(QStringLiteral("DVD"), DvdSettings()),
                 QStringLiteral("DVD,AVI,640x480,LIBXVID,30fps,1000kbps,LIBMP3LAME,44100Hz,128kbps"));
    }

    void composeEdgeValues()
    {
        ConversionSettings s; // nothing selected, every number 0
        QCOMPARE(ComposePresetLine(QStringLiteral("n"), s), QStringLiteral("n,,0x0,,0fps,0kbps,,0Hz,0kbps"));

        s.C2_01 = Row(Catalogue::Containers, 0);
        s.C2_04 = Row(Catalogue::VideoCodecs, 17); // "MPEG4", no label
        s.C3_01 = Row(Catalogue::AudioCodecs, 0);
        s.C2_02_01 = 9999;
        s.C3_03 = 99999;
        QCOMPARE(ComposePresetLine(QStringLiteral("n"), s),
                 QStringLiteral("n,自動,9999x0,MPEG4,0fps,0kbps,自動,99999Hz,0kbps"));
    }

    // A stored line, applied later, gives back the options it was made from.
    void storedLineAppliesBack()
    {
        const ConversionSettings s = DvdSettings();
        const PresetValues v = PresetValuesFromRow(ComposePresetLine(SafePresetName("a b,c"), s));
        QCOMPARE(v.container, s.C2_01.index);
        QCOMPARE(v.width, s.C2_02_01);
        QCOMPARE(v.height, s.C2_02_02);
        QCOMPARE(v.videoCodec, s.C2_04.index);
        QCOMPARE(v.frameRate, s.C2_06);
        QCOMPARE(v.videoBitRate, s.C2_05);
        QCOMPARE(v.audioCodec, s.C3_01.index);
        QCOMPARE(v.sampleRate, s.C3_03);
        QCOMPARE(v.audioBitRate, s.C3_02);
    }
};

QTEST_GUILESS_MAIN(TestPresetStore)
#include "test_preset_store.moc"
