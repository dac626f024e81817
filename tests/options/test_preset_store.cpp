#include "options/catalogue.h"
#include "options/comma_text.h"
#include "options/option_rules.h"
#include "options/preset_store.h"

#include <QTest>

using namespace zento;

namespace {
CatalogueChoice Row(Catalogue catalogue, int index)
{
    return CatalogueChoice{index, CatalogueRows(catalogue).at(index)};
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
        QTest::newRow("plain") << "DVD"
                               << "DVD";
        QTest::newRow("blanks and commas") << " x, y " << QStringLiteral("　x，　y　");
        QTest::newRow("double quotes") << "\"big\" a\"b" << QStringLiteral("＂big\"　a\"b"); // only the first
        QTest::newRow("tab, line break, control") << QString("a\t\r\n") + QChar(0x01) << QStringLiteral("a　　　　");
        QTest::newRow("full-width untouched") << QStringLiteral("高画質，　版") << QStringLiteral("高画質，　版");
    }
    void safeName()
    {
        QFETCH(QString, typed);
        QFETCH(QString, stored);
        QCOMPARE(SafePresetName(typed), stored);
        // The name is exactly one column of its line.
        const QStringList columns = SplitCommaText(ComposePresetLine(SafePresetName(typed), DvdSettings()));
        QCOMPARE(columns.size(), 9);
        QCOMPARE(columns.first(), stored);
    }

    void compose()
    {
        // A stored line, applied later, gives back the options it was made from.
        const QString line = ComposePresetLine(QStringLiteral("DVD"), DvdSettings());
        QCOMPARE(line, QStringLiteral("DVD,AVI,640x480,LIBXVID,30fps,1000kbps,LIBMP3LAME,44100Hz,128kbps"));
        QCOMPARE(PresetValuesFromRow(line), (PresetValues{1, 640, 480, 31, 30, 1000, 27, 44100, 128}));

        ConversionSettings s; // nothing selected, every number 0
        QCOMPARE(ComposePresetLine("n", s), QStringLiteral("n,,0x0,,0fps,0kbps,,0Hz,0kbps"));
        s.C2_01 = Row(Catalogue::Containers, 0);
        s.C2_04 = Row(Catalogue::VideoCodecs, 17); // "MPEG4", no label
        s.C2_02_01 = 9999;
        s.C3_03 = 99999;
        QCOMPARE(ComposePresetLine("n", s), QStringLiteral("n,自動,9999x0,MPEG4,0fps,0kbps,,99999Hz,0kbps"));
    }
};

QTEST_GUILESS_MAIN(TestPresetStore)
#include "test_preset_store.moc"
