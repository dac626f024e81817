#include "platform/drives.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

using namespace zento;

Q_DECLARE_METATYPE(zento::TDriveType)

class TestDrives : public QObject {
    Q_OBJECT

private slots:
    void rowText_data();
    void rowText();
    void systemDrives();
    void systemRoots();
};

void TestDrives::rowText_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<TDriveType>("type");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("share");
    QTest::addColumn<QString>("text");

    QTest::newRow("removable shows no label") << "a" << TDriveType::dtRemovable << "Stick" << "" << "a";
    QTest::newRow("fixed with label") << "c" << TDriveType::dtFixed << "System" << "" << "c [system]";
    QTest::newRow("optical without disc") << "d" << TDriveType::dtCDROM << "" << "" << "d []";
    QTest::newRow("optical device with disc") << "/dev/sr0" << TDriveType::dtCDROM << "MY_MOVIE" << ""
                                              << "/dev/sr0 [my_movie]";
    QTest::newRow("identifier keeps its case") << "/media/Kim/Data" << TDriveType::dtFixed << "DATA" << ""
                                               << "/media/Kim/Data [data]";
    QTest::newRow("RAM") << "/tmp" << TDriveType::dtRAM << "" << "" << "/tmp []";
    QTest::newRow("network share in lower case") << "/mnt/n" << TDriveType::dtNetwork << "Ignored"
                                                 << "//Server/Share" << "/mnt/n //server/share";
    QTest::newRow("network without share") << "/mnt/n" << TDriveType::dtNetwork << "Vol" << "" << "/mnt/n [vol]";
    QTest::newRow("Japanese label") << "e" << TDriveType::dtCDROM << QStringLiteral("映画ＡＢＣ") << ""
                                    << QStringLiteral("e [映画ａｂｃ]");
    QTest::newRow("unknown kind") << "u" << TDriveType::dtUnknown << "x" << "" << "";
    QTest::newRow("no root") << "n" << TDriveType::dtNoRoot << "x" << "" << "";
}

void TestDrives::rowText()
{
    QFETCH(QString, id);
    QFETCH(TDriveType, type);
    QFETCH(QString, label);
    QFETCH(QString, share);
    QFETCH(QString, text);
    QCOMPARE(DriveRowText(DriveInfo{id, type, label, share}), text);
}

void TestDrives::systemDrives()
{
    const auto provider = SystemDriveProvider();
    const QList<DriveInfo> drives = provider->Drives();
    QStringList ids;
    for (const DriveInfo &drive : drives) {
        ids << drive.id;
        QVERIFY2(drive.type != TDriveType::dtUnknown && drive.type != TDriveType::dtNoRoot, qPrintable(drive.id));
        QVERIFY2(!drive.id.isEmpty(), "a drive without identifier");
        for (const char *pseudo : {"/proc", "/sys", "/dev/pts", "/dev/shm", "/run"})
            QVERIFY2(drive.id != QLatin1String(pseudo) && !drive.id.startsWith(QLatin1String(pseudo) + '/'),
                     qPrintable(drive.id));
        if (drive.type == TDriveType::dtCDROM && drive.id.startsWith("/dev/"))
            continue;
        QVERIFY2(QDir(drive.id).exists(), qPrintable(drive.id));
    }
    QCOMPARE(QSet<QString>(ids.begin(), ids.end()).size(), ids.size()); // no drive twice

    // Stable from one call to the next.
    QStringList again;
    for (const DriveInfo &drive : provider->Drives())
        again << drive.id;
    QCOMPARE(again, ids);

    // The volume of the current folder has a row.
    const QString current = provider->DriveOf(QDir::currentPath());
    QVERIFY(!current.isEmpty());
    QVERIFY2(ids.contains(current), qPrintable(current + " not in " + ids.join(", ")));
}

void TestDrives::systemRoots()
{
    const auto provider = SystemDriveProvider();
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    // A folder stands for itself; a device that is no disc drive has no root.
    QCOMPARE(provider->CurrentRoot(folder.path()), folder.path());
    QCOMPARE(provider->CurrentRoot("/dev/no-such-drive"), QString());
    const QString drive = provider->DriveOf(folder.path());
    QVERIFY(!drive.isEmpty());
    QVERIFY2(folder.path().startsWith(drive), qPrintable(drive));
    QCOMPARE(provider->DriveOf("/"), QString("/"));
}

QTEST_GUILESS_MAIN(TestDrives)
#include "test_drives.moc"
