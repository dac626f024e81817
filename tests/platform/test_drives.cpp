#include "platform/drives.h"

#include <QDir>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QtTest>

using namespace zento;

Q_DECLARE_METATYPE(zento::TDriveType)

class TestDrives : public QObject {
    Q_OBJECT

private slots:
    void rowText_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<TDriveType>("type");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("share");
        QTest::addColumn<QString>("text");
        using enum TDriveType;
        QTest::newRow("removable shows no label") << "a" << dtRemovable << "Stick"
                                                  << ""
                                                  << "a";
        QTest::newRow("optical without disc") << "d" << dtCDROM << ""
                                              << ""
                                              << "d []";
        QTest::newRow("identifier keeps its case") << "/media/Kim/Data" << dtFixed << "DATA"
                                                   << ""
                                                   << "/media/Kim/Data [data]";
        QTest::newRow("network share in lower case") << "/mnt/n" << dtNetwork << "Ignored"
                                                     << "//Server/Share"
                                                     << "/mnt/n //server/share";
        QTest::newRow("network without share") << "/mnt/n" << dtNetwork << "Vol"
                                               << ""
                                               << "/mnt/n [vol]";
        QTest::newRow("Japanese label") << "e" << dtCDROM << QStringLiteral("映画ＡＢＣ") << ""
                                        << QStringLiteral("e [映画ａｂｃ]");
        QTest::newRow("unknown kind") << "u" << dtUnknown << "x"
                                      << ""
                                      << "";
        QTest::newRow("no root") << "n" << dtNoRoot << "x"
                                 << ""
                                 << "";
    }
    void rowText()
    {
        QFETCH(QString, id);
        QFETCH(TDriveType, type);
        QFETCH(QString, label);
        QFETCH(QString, share);
        QFETCH(QString, text);
        QCOMPARE(DriveRowText(DriveInfo{id, type, label, share}), text);
    }

    void systemDrives()
    {
        const auto provider = SystemDriveProvider();
        QStringList ids;
        for (const DriveInfo &drive : provider->Drives()) {
            ids << drive.id;
            QVERIFY2(drive.type != TDriveType::dtUnknown && drive.type != TDriveType::dtNoRoot, qPrintable(drive.id));
            for (const QString pseudo : {"/proc", "/sys", "/dev/pts", "/run"}) // no pseudo file systems
                QVERIFY2(drive.id != pseudo && (!drive.id.startsWith(pseudo + '/') || drive.id.startsWith("/run/media/")),
                         qPrintable(drive.id));
            QVERIFY2(QDir(drive.id).exists() || (drive.type == TDriveType::dtCDROM && drive.id.startsWith("/dev/")),
                     qPrintable(drive.id));
        }
        QCOMPARE(QSet<QString>(ids.begin(), ids.end()).size(), ids.size()); // no drive twice
        // The volume of a folder has a row; a folder is its own root, a device without a disc has none.
        QTemporaryDir folder;
        const QString drive = provider->DriveOf(folder.path());
        QVERIFY2(ids.contains(drive) && folder.path().startsWith(drive), qPrintable(drive + " in " + ids.join(", ")));
        // "/" is its own volume, except where no mount covers it (a chroot).
        QCOMPARE(provider->DriveOf("/"), QStorageInfo(QStringLiteral("/")).isValid() ? QString("/") : QString());
        QCOMPARE(provider->CurrentRoot(folder.path()), folder.path());
        QCOMPARE(provider->CurrentRoot("/dev/no-such-drive"), QString());
    }
};

QTEST_GUILESS_MAIN(TestDrives)
#include "test_drives.moc"
