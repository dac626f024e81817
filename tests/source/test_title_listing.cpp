#include "source/title_listing.h"
#include "support/test_support.h"

#include <QTest>

using namespace zento;

class TestTitleListing : public QObject {
    Q_OBJECT
private slots:
    void displayText_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("expected");
        QTest::newRow("title part") << "/media/cdrom/VIDEO_TS/VTS_01_1.VOB"
                                    << "01_1";
        QTest::newRow("four characters left") << "/d/VIDEO_TS/VTSA.VOB"
                                              << "";
        QTest::newRow("exactly five") << "/d/VIDEO_TS/VTS_1.VOB"
                                      << "1";
        QTest::newRow("no folder, no extension") << "VTS_01_1"
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
    void displayText()
    {
        QFETCH(QString, path);
        QFETCH(QString, expected);
        QCOMPARE(TitleDisplayText(path), expected);
    }

    void folder_data()
    {
        QTest::addColumn<QStringList>("folders"); // made under the root, beside a plain file "video_ts"
        QTest::addColumn<QString>("expected");    // relative to the root
        QTest::newRow("exact name") << QStringList{"VIDEO_TS", "AUDIO_TS"} << "VIDEO_TS";
        QTest::newRow("mixed letters") << QStringList{"Video_TS"} << "Video_TS";
        QTest::newRow("exact wins over other case") << QStringList{"video_ts", "VIDEO_TS"} << "VIDEO_TS";
        QTest::newRow("no title folder") << QStringList{"AUDIO_TS", "VIDEO_TSX"} << "VIDEO_TS";
    }
    void folder()
    {
        QFETCH(QStringList, folders);
        QFETCH(QString, expected);
        QTemporaryDir root;
        for (const QString &name : folders)
            QVERIFY(QDir(root.path()).mkdir(name));
        if (!folders.contains("video_ts")) // a plain file of the right name is no title folder
            QVERIFY(test::WriteFile(root.filePath("video_ts")));
        QCOMPARE(TitleFolder(root.path()), root.path() + "/" + expected);
        QCOMPARE(TitleFolder(root.path() + "/"), root.path() + "/" + expected); // one separator
        // A drive without a disc has no root: nothing to search, not even /VIDEO_TS.
        QCOMPARE(TitleFolder(QString()), QString());
        QCOMPARE(TitleFolder("/"), QString("/VIDEO_TS"));
    }
};

QTEST_GUILESS_MAIN(TestTitleListing)
#include "test_title_listing.moc"
