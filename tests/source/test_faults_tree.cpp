// Discs no one would burn: a title folder of 10,000 entries and links that
// lead back into it. The listing ends soon, names every title file once,
// changes nothing on the disc, and the window works on.
#include "app/main_form.h"
#include "support/test_support.h"
#include "widgets/check_list_box.h"
#include "widgets/color_button.h"
#include "widgets/drive_combo_box.h"

#include <QDirIterator>
#include <QElapsedTimer>
#include <QSet>
#include <QtTest>

#include <fcntl.h>
#include <unistd.h>

using namespace zento;
using test::WriteFile;

namespace {

// Every entry below the folder, links not followed, as "path" or "path -> target".
QStringList Tree(const QString &folder)
{
    QStringList entries;
    QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QFileInfo info(path);
        entries << (info.isSymLink() ? path + " -> " + info.symLinkTarget() : path);
    }
    entries.sort();
    return entries;
}

} // namespace

class TestFaultsTree : public QObject {
    Q_OBJECT
private slots:
    void hugeAndLoopingTitleFolders_data()
    {
        QTest::addColumn<int>("entries");       // files below the title folder, three in ten of them titles
        QTest::addColumn<QStringList>("links"); // "name -> target", below VIDEO_TS
        const QStringList loops{"self -> .", "sub/back -> ..", "sub/deep/up -> ../..", "sub/deep/disc -> ../../..",
                                "a -> b",    "b -> a"};
        QTest::newRow("10,000 entries") << 10000 << QStringList();
        QTest::newRow("link loops") << 50 << loops;
        QTest::newRow("10,000 entries and link loops") << 10000 << loops;
    }
    void hugeAndLoopingTitleFolders()
    {
        QFETCH(int, entries);
        QFETCH(QStringList, links);
        test::ProgramFolder program;
        QTemporaryDir disc;
        const QString titles = disc.filePath("VIDEO_TS");
        QSet<QString> expected;
        QVERIFY(QDir().mkpath(titles + "/sub/deep"));
        for (int i = 0; i < entries; ++i) {
            // most in the title folder, a tenth in the two below it, all of those titles
            const QString folder = titles + (i % 20 == 1 ? "/sub" : i % 20 == 2 ? "/sub/deep" : "");
            const bool title = i % 5 == 0 || i % 20 == 1 || i % 20 == 2;
            const QString path =
                folder + (title ? QString("/VTS_%1_1.VOB").arg(i, 5, 10, QChar('0')) : QString("/other_%1.dat").arg(i));
            QVERIFY(WriteFile(path, "v"));
            if (title)
                expected << QFileInfo(path).canonicalFilePath();
        }
        for (const QString &link : links) {
            const QStringList parts = link.split(" -> ");
            QVERIFY(QFile::link(parts[1], titles + "/" + parts[0]));
        }
        const QStringList before = Tree(disc.path());

        test::DialogRecorder dialogs;
        TMainForm1 w(program.Executable());
        w.DriveComboBox1->SetDrive(disc.path());
        for (int round = 0; round < 2; ++round) { // and once more: the refresh gives the same
            QElapsedTimer clock;
            clock.start();
            w.CButton12Click(w.CButton12);
            QVERIFY2(clock.elapsed() < 10000, qPrintable(QString::number(clock.elapsed())));
            QSet<QString> listed; // each real file once, by whatever way the search reached it
            for (int i = 0; i < w.CheckListBox1->Count(); ++i) {
                listed << QFileInfo(w.CheckListBox1->ItemText(i)).canonicalFilePath();
                QVERIFY(w.CheckListBox2->IsItemChecked(i));
                QVERIFY(w.CheckListBox2->ItemText(i).endsWith("_1"));
            }
            QCOMPARE(w.CheckListBox1->Count(), int(expected.size()));
            QCOMPARE(w.CheckListBox2->Count(), int(expected.size()));
            QCOMPARE(listed, expected);
            QCOMPARE(w.CButton10->isEnabled(), !expected.isEmpty());
        }
        QCOMPARE(dialogs.messages, QStringList());
        QCOMPARE(Tree(disc.path()), before);
    }

    // A title file whose name is not UTF-8 beside one that is: the one is
    // listed, the other named in a message, not listed as a stand-in.
    void titleFileNamedInShiftJis()
    {
        test::ProgramFolder program;
        QTemporaryDir disc;
        QVERIFY(WriteFile(disc.filePath("VIDEO_TS/VTS_01_1.VOB"), "v"));
        const QByteArray raw = QFile::encodeName(disc.filePath("VIDEO_TS/")) + "VTS_01_\x83\x7b.VOB";
        const int fd = ::open(raw.constData(), O_CREAT | O_WRONLY, 0644);
        QVERIFY(fd >= 0);
        ::close(fd);
        const auto removeRaw = qScopeGuard([&] { ::unlink(raw.constData()); });
        test::DialogRecorder dialogs;
        TMainForm1 w(program.Executable());
        w.DriveComboBox1->SetDrive(disc.path());
        w.CButton12Click(w.CButton12);
        QCOMPARE(w.CheckListBox1->Items(), QStringList{disc.filePath("VIDEO_TS/VTS_01_1.VOB")});
        QCOMPARE(dialogs.messages.size(), 1);
        QVERIFY2(dialogs.messages.first().startsWith("次のファイルやフォルダは名前を文字として読めないため") &&
                     dialogs.messages.first().endsWith("\n" + QFile::decodeName(raw)),
                 qPrintable(dialogs.messages.first()));
    }
};

QTEST_MAIN(TestFaultsTree)
#include "test_faults_tree.moc"
