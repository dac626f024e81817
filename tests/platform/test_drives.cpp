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

    // The mount table as the kernel writes it; the drive list is made from it
    // alone for shares and file systems in user space, which may not answer.
    void mountTable_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("root");
        QTest::addColumn<QByteArray>("device");
        QTest::addColumn<QByteArray>("type");
        QTest::newRow("a disk") << QByteArray("36 35 8:1 / /media/kim/DATA rw,noatime shared:1 - ext4 /dev/sdb1 rw")
                                << "/media/kim/DATA" << QByteArray("/dev/sdb1") << QByteArray("ext4");
        QTest::newRow("no optional fields") << QByteArray("40 1 0:51 / /mnt/films rw - nfs4 srv:/films rw,vers=4.2")
                                            << "/mnt/films" << QByteArray("srv:/films") << QByteArray("nfs4");
        QTest::newRow("escaped blank, tab and backslash")
            << QByteArray("41 1 0:52 / /mnt/my\\040disc\\011x\\134y rw master:3 - fuse.sshfs kim@h:/a\\040b rw")
            << "/mnt/my disc\tx\\y" << QByteArray("kim@h:/a b") << QByteArray("fuse.sshfs");
        QTest::newRow("Japanese") << QByteArray("42 1 0:53 / /media/\\343\\203\\207\\343\\202\\243\\343\\202\\271\\343\\202\\257 ro - udf /dev/loop0 ro")
                                  << "/media/ディスク" << QByteArray("/dev/loop0") << QByteArray("udf");
        QTest::newRow("a mount point named -") << QByteArray("43 1 0:54 / /mnt/- rw - tmpfs tmpfs rw") << "/mnt/-"
                                               << QByteArray("tmpfs") << QByteArray("tmpfs");
        QTest::newRow("a short line") << QByteArray("44 1 0:55 / /mnt/x rw -") << QString() << QByteArray()
                                      << QByteArray();
    }
    void mountTable()
    {
        QFETCH(QByteArray, line);
        QFETCH(QString, root);
        QFETCH(QByteArray, device);
        QFETCH(QByteArray, type);
        const QList<MountEntry> mounts = ParseMountTable("1 0 8:2 / / rw - ext4 /dev/sda2 rw\n" + line + "\n");
        QCOMPARE(mounts.size(), root.isEmpty() ? 1 : 2);
        QCOMPARE(mounts.first().root, "/");
        if (root.isEmpty())
            return;
        QCOMPARE(mounts.last().root, root);
        QCOMPARE(mounts.last().device, device);
        QCOMPARE(mounts.last().type, type);
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
