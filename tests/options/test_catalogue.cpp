#include "options/catalogue.h"

#include <QSet>
#include <QTest>

using namespace zento;

Q_DECLARE_METATYPE(zento::Catalogue)

class TestCatalogue : public QObject {
    Q_OBJECT
private slots:
    void sizesAndAutomaticRows();
    void everyRowIsWellFormed_data();
    void everyRowIsWellFormed();
    void lookupFindsEveryIdAtItsOwnRow_data();
    void lookupFindsEveryIdAtItsOwnRow();
    void lookupByText_data();
    void lookupByText();
    void idAndLabel_data();
    void idAndLabel();
    void halfWidthKatakanaStayHalfWidth();
};

static const QList<QPair<const char *, Catalogue>> kCatalogues = {
    {"containers", Catalogue::Containers},
    {"video", Catalogue::VideoCodecs},
    {"audio", Catalogue::AudioCodecs},
};

void TestCatalogue::sizesAndAutomaticRows()
{
    QCOMPARE(CatalogueRows(Catalogue::Containers).size(), 13);
    QCOMPARE(CatalogueRows(Catalogue::VideoCodecs).size(), 34);
    QCOMPARE(CatalogueRows(Catalogue::AudioCodecs).size(), 52);
    QCOMPARE(CatalogueRows(Catalogue::Containers).first(), QStringLiteral("自動,元の形式を維持"));
    QCOMPARE(CatalogueRows(Catalogue::VideoCodecs).first(), QStringLiteral("自動,元の圧縮形式を維持"));
    QCOMPARE(CatalogueRows(Catalogue::AudioCodecs).first(), QStringLiteral("自動,元の圧縮形式を維持"));
    // Spot checks of positions that stored settings rely on.
    QCOMPARE(CatalogueRows(Catalogue::Containers).at(12), QStringLiteral("SWF,Flash"));
    QCOMPARE(CatalogueRows(Catalogue::VideoCodecs).at(11), QStringLiteral("LIBX264,H.264(AVC)"));
    QCOMPARE(CatalogueRows(Catalogue::VideoCodecs).at(33), QStringLiteral("ZMBV"));
    QCOMPARE(CatalogueRows(Catalogue::AudioCodecs).at(27), QStringLiteral("LIBMP3LAME,MP3(MPEG-AudioLayer3)"));
    QCOMPARE(CatalogueRows(Catalogue::AudioCodecs).at(51), QStringLiteral("WMAV2,WindowsMediaAudio2"));
}

void TestCatalogue::everyRowIsWellFormed_data()
{
    QTest::addColumn<Catalogue>("catalogue");
    for (const auto &[name, catalogue] : kCatalogues)
        QTest::newRow(name) << catalogue;
}

// No blank, control character, quote or second comma: the option boxes split
// rows at those, so a row must split into exactly its ID and label.
void TestCatalogue::everyRowIsWellFormed()
{
    QFETCH(Catalogue, catalogue);
    QSet<QString> ids;
    const QStringList &rows = CatalogueRows(catalogue);
    for (int r = 0; r < rows.size(); ++r) {
        const QString &row = rows.at(r);
        QVERIFY2(row.count(QLatin1Char(',')) <= 1, qPrintable(row));
        QVERIFY2(!row.contains(QLatin1Char('"')), qPrintable(row));
        for (QChar c : row)
            QVERIFY2(c.unicode() > 0x20, qPrintable(row));
        const QString id = CatalogueRowId(row);
        QVERIFY2(!id.isEmpty(), qPrintable(row));
        QVERIFY2(!ids.contains(id), qPrintable(id));
        ids.insert(id);
        if (r > 0) {
            for (QChar c : id)
                QVERIFY2(c.isDigit() || c == QLatin1Char('_') || (c >= QLatin1Char('A') && c <= QLatin1Char('Z')),
                         qPrintable(id));
        }
    }
}

void TestCatalogue::lookupFindsEveryIdAtItsOwnRow_data()
{
    everyRowIsWellFormed_data();
}

void TestCatalogue::lookupFindsEveryIdAtItsOwnRow()
{
    QFETCH(Catalogue, catalogue);
    const QStringList &rows = CatalogueRows(catalogue);
    for (int r = 0; r < rows.size(); ++r)
        QCOMPARE(FindCatalogueRow(catalogue, CatalogueRowId(rows.at(r))), r);
}

void TestCatalogue::lookupByText_data()
{
    QTest::addColumn<Catalogue>("catalogue");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("row");
    QTest::newRow("MPEG4 is in the AVI label") << Catalogue::Containers << "MPEG4" << 1;
    QTest::newRow("MP4") << Catalogue::Containers << "MP4" << 4;
    QTest::newRow("3GP") << Catalogue::Containers << "3GP" << 5;
    QTest::newRow("MPEG") << Catalogue::VideoCodecs << "MPEG" << 15;
    QTest::newRow("H263") << Catalogue::VideoCodecs << "H263" << 9;
    QTest::newRow("H263P") << Catalogue::VideoCodecs << "H263P" << 10;
    QTest::newRow("XviD label") << Catalogue::VideoCodecs << "XviD" << 31;
    QTest::newRow("LIBGSM") << Catalogue::AudioCodecs << "LIBGSM" << 24;
    QTest::newRow("PCM in an ADPCM label") << Catalogue::AudioCodecs << "PCM" << 3;
    QTest::newRow("AAC") << Catalogue::AudioCodecs << "AAC" << 1;
    QTest::newRow("MP3") << Catalogue::AudioCodecs << "MP3" << 27;
    QTest::newRow("small letters") << Catalogue::Containers << "avi" << -1;
    QTest::newRow("small letters video") << Catalogue::VideoCodecs << "libxvid" << -1;
    QTest::newRow("automatic containers") << Catalogue::Containers << "自動" << 0;
    QTest::newRow("automatic video") << Catalogue::VideoCodecs << "自動" << 0;
    QTest::newRow("automatic audio") << Catalogue::AudioCodecs << "自動" << 0;
    QTest::newRow("empty") << Catalogue::AudioCodecs << "" << -1;
    QTest::newRow("full-width differs") << Catalogue::Containers << "ＡＶＩ" << -1;
    QTest::newRow("half-width katakana") << Catalogue::AudioCodecs << "ｻﾀｰﾝ" << 7;
    QTest::newRow("full-width katakana not found") << Catalogue::AudioCodecs << "サターン" << -1;
    QTest::newRow("across the comma") << Catalogue::Containers << "AVI,XviD" << 1;
    QTest::newRow("whole row") << Catalogue::AudioCodecs << "PCM_ZORK,WAVE-PCM(ZORK)" << 45;
    QTest::newRow("no such text") << Catalogue::VideoCodecs << "VP9" << -1;
}

void TestCatalogue::lookupByText()
{
    QFETCH(Catalogue, catalogue);
    QFETCH(QString, text);
    QFETCH(int, row);
    QCOMPARE(FindCatalogueRow(catalogue, text), row);
}

void TestCatalogue::idAndLabel_data()
{
    QTest::addColumn<QString>("row");
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("label");
    QTest::newRow("no comma") << "MPEG4" << "MPEG4" << "";
    QTest::newRow("3GP") << "3GP,MPEG4/H.263/H.264" << "3GP" << "MPEG4/H.263/H.264";
    QTest::newRow("automatic") << "自動,元の形式を維持" << "自動" << "元の形式を維持";
    QTest::newRow("empty") << "" << "" << "";
    QTest::newRow("trailing comma") << "AC3," << "AC3" << "";
    QTest::newRow("second comma stays in the label") << "A,b,c" << "A" << "b,c";
}

void TestCatalogue::idAndLabel()
{
    QFETCH(QString, row);
    QFETCH(QString, id);
    QFETCH(QString, label);
    QCOMPARE(CatalogueRowId(row), id);
    QCOMPARE(CatalogueRowLabel(row), label);
}

void TestCatalogue::halfWidthKatakanaStayHalfWidth()
{
    const QString row = CatalogueRows(Catalogue::AudioCodecs).at(4);
    QCOMPARE(row, QStringLiteral("ADPCM_ADX,CRI-ADX-ADPCM(ｾｶﾞ/ﾄﾞﾘｰﾑｷｬｽﾄ)"));
    for (QChar c : row)
        QVERIFY(c.unicode() < 0x3000 || (c.unicode() >= 0xFF61 && c.unicode() <= 0xFF9F));
}

QTEST_GUILESS_MAIN(TestCatalogue)
#include "test_catalogue.moc"
