#include "options/catalogue.h"

#include <QSet>
#include <QTest>

using namespace zento;

Q_DECLARE_METATYPE(zento::Catalogue)

class TestCatalogue : public QObject {
    Q_OBJECT
private slots:
    void sizesAndRows();
    void everyRow_data();
    void everyRow();
    void lookupByText_data();
    void lookupByText();
    void idAndLabel();
};

void TestCatalogue::sizesAndRows()
{
    QCOMPARE(CatalogueRows(Catalogue::Containers).size(), 13);
    QCOMPARE(CatalogueRows(Catalogue::VideoCodecs).size(), 34);
    QCOMPARE(CatalogueRows(Catalogue::AudioCodecs).size(), 52);
    // The automatic rows, and positions that stored settings rely on.
    QCOMPARE(CatalogueRows(Catalogue::Containers).first(), QStringLiteral("自動,元の形式を維持"));
    QCOMPARE(CatalogueRows(Catalogue::VideoCodecs).first(), QStringLiteral("自動,元の圧縮形式を維持"));
    QCOMPARE(CatalogueRows(Catalogue::AudioCodecs).first(), QStringLiteral("自動,元の圧縮形式を維持"));
    QCOMPARE(CatalogueRows(Catalogue::Containers).at(12), QStringLiteral("SWF,Flash"));
    QCOMPARE(CatalogueRows(Catalogue::VideoCodecs).at(11), QStringLiteral("LIBX264,H.264(AVC)"));
    QCOMPARE(CatalogueRows(Catalogue::VideoCodecs).at(33), QStringLiteral("ZMBV"));
    QCOMPARE(CatalogueRows(Catalogue::AudioCodecs).at(4), QStringLiteral("ADPCM_ADX,CRI-ADX-ADPCM(ｾｶﾞ/ﾄﾞﾘｰﾑｷｬｽﾄ)"));
    QCOMPARE(CatalogueRows(Catalogue::AudioCodecs).at(51), QStringLiteral("WMAV2,WindowsMediaAudio2"));
}

void TestCatalogue::everyRow_data()
{
    QTest::addColumn<Catalogue>("catalogue");
    QTest::newRow("containers") << Catalogue::Containers;
    QTest::newRow("video") << Catalogue::VideoCodecs;
    QTest::newRow("audio") << Catalogue::AudioCodecs;
}

// The option boxes split rows at blanks, control characters, quotes and commas, so a
// row must split into exactly its ID and label; the lookup finds every ID at its own row.
void TestCatalogue::everyRow()
{
    QFETCH(Catalogue, catalogue);
    QSet<QString> ids;
    const QStringList &rows = CatalogueRows(catalogue);
    for (int r = 0; r < rows.size(); ++r) {
        const QString &row = rows.at(r);
        QVERIFY2(row.count(u',') <= 1 && !row.contains(u'"'), qPrintable(row));
        for (QChar c : row)
            QVERIFY2(c.unicode() > 0x20, qPrintable(row));
        const QString id = CatalogueRowId(row);
        QVERIFY2(!id.isEmpty() && !ids.contains(id), qPrintable(id));
        ids.insert(id);
        for (QChar c : id)
            QVERIFY2(r == 0 || c.isDigit() || c == u'_' || (c >= u'A' && c <= u'Z'), qPrintable(id));
        QCOMPARE(FindCatalogueRow(catalogue, id), r);
    }
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

void TestCatalogue::idAndLabel()
{
    const QStringList rows{"MPEG4", "3GP,MPEG4/H.263/H.264", "", "AC3,", "A,b,c"};
    const QStringList ids{"MPEG4", "3GP", "", "AC3", "A"}, labels{"", "MPEG4/H.263/H.264", "", "", "b,c"};
    for (int i = 0; i < rows.size(); ++i) {
        QCOMPARE(CatalogueRowId(rows[i]), ids[i]);
        QCOMPARE(CatalogueRowLabel(rows[i]), labels[i]);
    }
}

QTEST_GUILESS_MAIN(TestCatalogue)
#include "test_catalogue.moc"
