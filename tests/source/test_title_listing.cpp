#include "source/title_listing.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace zento;

class TestTitleListing : public QObject {
    Q_OBJECT
private slots:
    void displayText_data();
    void displayText();
    void folder_data();
    void folder();
    void folderOfEmptyRoot();
};

void TestTitleListing::displayText_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("expected");
    QTest::newRow("title part") << "/media/cdrom/VIDEO_TS/VTS_01_1.VOB"
                                << "01_1";
    QTest::newRow("menu part") << "/media/cdrom/VIDEO_TS/VTS_02_0.VOB"
                               << "02_0";
    QTest::newRow("two-digit part") << "/d/VIDEO_TS/VTS_10_12.VOB"
                                    << "10_12";
    QTest::newRow("small letters") << "/d/video_ts/vts_01_1.vob"
                                   << "01_1";
    QTest::newRow("four characters left") << "/d/VIDEO_TS/VTSA.VOB"
                                          << "";
    QTest::newRow("three characters left") << "/d/VIDEO_TS/VTS.VOB"
                                           << "";
    QTest::newRow("exactly five") << "/d/VIDEO_TS/VTS_1.VOB"
                                  << "1";
    QTest::newRow("no folder") << "VTS_01_1.VOB"
                               << "01_1";
    QTest::newRow("no extension") << "/d/VIDEO_TS/VTS_01_1"
                                  << "01_1";
    QTest::newRow("last dot cuts") << "/d/VIDEO_TS/VTS_01.1.VOB"
                                   << "01.1";
    QTest::newRow("dot in the folder only") << "/d.x/VIDEO_TS/VTS_03_1"
                                            << "03_1";
    QTest::newRow("folder named like a title") << "/d/VIDEO_TS/VTS_05_1.VOB/VTS_07_2.VOB"
                                               << "07_2";
    QTest::newRow("empty") << ""
                           << "";
}

void TestTitleListing::displayText()
{
    QFETCH(QString, path);
    QFETCH(QString, expected);
    QCOMPARE(TitleDisplayText(path), expected);
}

void TestTitleListing::folder_data()
{
    QTest::addColumn<QStringList>("folders"); // made under the root
    QTest::addColumn<QString>("expected");    // relative to the root
    QTest::newRow("exact name") << QStringList{"VIDEO_TS", "AUDIO_TS"} << "VIDEO_TS";
    QTest::newRow("small letters") << QStringList{"video_ts", "audio_ts"} << "video_ts";
    QTest::newRow("mixed letters") << QStringList{"Video_TS"} << "Video_TS";
    QTest::newRow("exact wins over other case") << QStringList{"video_ts", "VIDEO_TS"} << "VIDEO_TS";
    QTest::newRow("no title folder") << QStringList{"AUDIO_TS", "VIDEO_TSX"} << "VIDEO_TS";
    QTest::newRow("empty disc") << QStringList{} << "VIDEO_TS";
}

void TestTitleListing::folder()
{
    QFETCH(QStringList, folders);
    QFETCH(QString, expected);
    QTemporaryDir root;
    QVERIFY(root.isValid());
    for (const QString &name : folders)
        QVERIFY(QDir(root.path()).mkdir(name));
    // A plain file of the right name is no title folder.
    if (!folders.contains("video_ts") && !folders.contains("VIDEO_TS")) {
        QFile file(root.filePath("video_ts"));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    QCOMPARE(TitleFolder(root.path()), root.path() + "/" + expected);
    // A root given with its trailing separator gives the same folder.
    QCOMPARE(TitleFolder(root.path() + "/"), root.path() + "/" + expected);
}

void TestTitleListing::folderOfEmptyRoot()
{
    // A drive without a disc has no root: there is nothing to search, not even /VIDEO_TS.
    QCOMPARE(TitleFolder(QString()), QString());
    QCOMPARE(TitleFolder("/"), QString("/VIDEO_TS"));
}

QTEST_GUILESS_MAIN(TestTitleListing)
#include "test_title_listing.moc"
