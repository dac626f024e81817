// A folder on disk as the source (a copied VIDEO_TS, a mounted image), kept
// through the settings file; and the warning about a read-only program folder.
#include "app/main_form.h"
#include "platform/dialogs.h"
#include "platform/folder_access.h"
#include "support/test_support.h"
#include "widgets/check_list_box.h"
#include "widgets/color_button.h"
#include "widgets/drive_combo_box.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include <memory>
#include <optional>
#include <unistd.h>

using namespace zento;
using namespace zento::test;

class TestFolderSource : public QObject {
    Q_OBJECT

    std::optional<ProgramFolder> program_;
    std::optional<DialogRecorder> dialogs_;
    QStringList chooserAnswers_; // one per opening of the chooser; none left cancels

    std::unique_ptr<TMainForm1> MakeWindow() { return std::make_unique<TMainForm1>(program_->Executable()); }
    QString Path(const QString &relative) const { return program_->File(relative); }
    QString IniPath() const { return program_->File("DVD_zento.ini"); }
    void MakeFiles(const QString &files)
    {
        for (const QString &file : files.split(' ', Qt::SkipEmptyParts))
            QVERIFY(WriteFile(Path(file), "x"));
    }
    // The user picks "フォルダを選択…" and chooses `folder` (empty: cancels).
    static void Choose(TMainForm1 &window, const QString &folder, QStringList &answers)
    {
        answers << folder;
        window.DriveComboBox1->PickFolder();
    }
    static QStringList SortedItems(const TCheckListBox *list)
    {
        QStringList items = list->Items();
        items.sort();
        return items;
    }
    static QStringList Ticks(const TCheckListBox *list)
    {
        QStringList ticks;
        for (int i = 0; i < list->Count(); ++i)
            ticks << (list->IsItemChecked(i) ? "1" : "0");
        return ticks;
    }

private slots:
    void init()
    {
        program_.emplace();
        QVERIFY(program_->IsValid());
        dialogs_.emplace();
        chooserAnswers_.clear();
        SetFolderChooserHook([this](const QString &, const QString &) {
            return chooserAnswers_.isEmpty() ? QString() : chooserAnswers_.takeFirst();
        });
    }
    void cleanup()
    {
        SetFolderChooserHook(nullptr);
        SetFolderWriteProbe(nullptr);
        dialogs_.reset();
    }

    void listsChosenFolder_data()
    {
        QTest::addColumn<QString>("files");  // below the program folder
        QTest::addColumn<QString>("chosen"); // the folder the user chooses
        QTest::addColumn<QString>("titles"); // the folder searched
        QTest::addColumn<QString>("listed"); // display texts, sorted
        QTest::newRow("VIDEO_TS below") << "disc/VIDEO_TS/VIDEO_TS.VOB disc/VIDEO_TS/VTS_01_1.VOB "
                                           "disc/VIDEO_TS/VTS_01_2.VOB disc/VTS_09_1.VOB"
                                        << "disc"
                                        << "disc/VIDEO_TS"
                                        << "01_1 01_2";
        QTest::newRow("lower-case video_ts below") << "disc/video_ts/vts_02_1.vob"
                                                   << "disc"
                                                   << "disc/video_ts"
                                                   << "02_1";
        QTest::newRow("the folder itself is VIDEO_TS") << "copy/VIDEO_TS/VTS_01_1.VOB copy/VTS_05_1.VOB"
                                                       << "copy/VIDEO_TS"
                                                       << "copy/VIDEO_TS"
                                                       << "01_1";
        QTest::newRow("the folder itself is video_ts") << "copy/video_ts/vts_03_1.vob"
                                                       << "copy/video_ts"
                                                       << "copy/video_ts"
                                                       << "03_1";
        QTest::newRow("Video_Ts is searched with its subfolders")
            << "x/Video_Ts/VTS_01_1.VOB x/Video_Ts/VIDEO_TS/VTS_02_1.VOB"
            << "x/Video_Ts"
            << "x/Video_Ts"
            << "01_1 02_1";
        QTest::newRow("a folder without titles") << "empty/notes.txt empty/AUDIO_TS/VTS_01_1.VOB"
                                                 << "empty"
                                                 << "empty/VIDEO_TS"
                                                 << "";
    }
    void listsChosenFolder()
    {
        QFETCH(QString, files);
        QFETCH(QString, chosen);
        QFETCH(QString, titles);
        QFETCH(QString, listed);
        MakeFiles(files);
        const auto window = MakeWindow();
        Choose(*window, Path(chosen), chooserAnswers_);

        TDriveComboBox *box = window->DriveComboBox1;
        QCOMPARE(box->Drive(), Path(chosen));
        QCOMPARE(box->currentText(), Path(chosen));
        QCOMPARE(box->itemText(box->count() - 1), "フォルダを選択…");
        QCOMPARE(SortedItems(window->CheckListBox2).join(' '), listed);
        for (const QString &path : window->CheckListBox1->Items())
            QVERIFY2(path.startsWith(Path(titles) + "/"), qPrintable(path));
        QCOMPARE(Ticks(window->CheckListBox2), QStringList(window->CheckListBox2->Count(), "1"));
        QCOMPARE(window->CButton10->isEnabled(), !listed.isEmpty());
        QCOMPARE(dialogs_->messages, QStringList());
    }

    void cancelLeavesEverything()
    {
        MakeFiles("disc/VIDEO_TS/VTS_01_1.VOB disc/VIDEO_TS/VTS_01_2.VOB");
        const auto window = MakeWindow();
        Choose(*window, Path("disc"), chooserAnswers_);
        window->CheckListBox2->SetItemChecked(0, false);
        const QStringList items = window->CheckListBox2->Items();
        const QStringList rows = [&] {
            QStringList texts;
            for (int i = 0; i < window->DriveComboBox1->count(); ++i)
                texts << window->DriveComboBox1->itemText(i);
            return texts;
        }();
        Choose(*window, QString(), chooserAnswers_);
        QCOMPARE(window->DriveComboBox1->Drive(), Path("disc"));
        QCOMPARE(window->DriveComboBox1->currentText(), Path("disc"));
        QCOMPARE(window->DriveComboBox1->count(), rows.size());
        QCOMPARE(SortedItems(window->CheckListBox2), (QStringList{"01_1", "01_2"}));
        QCOMPARE(window->CheckListBox2->Items(), items);
        QCOMPARE(Ticks(window->CheckListBox2), (QStringList{"0", "1"})); // not listed again
    }

    void vanishedFolder()
    {
        MakeFiles("disc/VIDEO_TS/VTS_01_1.VOB");
        const auto window = MakeWindow();
        Choose(*window, Path("disc"), chooserAnswers_);
        QCOMPARE(window->CheckListBox2->Count(), 1);
        QVERIFY(QDir(Path("disc")).removeRecursively());
        window->CButton12Click();
        QCOMPARE(window->CheckListBox1->Count(), 0);
        QCOMPARE(window->CheckListBox2->Count(), 0);
        QVERIFY(!window->CButton10->isEnabled());
        QCOMPARE(window->DriveComboBox1->Folders(), QStringList{Path("disc")}); // the row stays
        QCOMPARE(dialogs_->messages, QStringList());
        // Back again, the refresh finds it.
        MakeFiles("disc/VIDEO_TS/VTS_01_1.VOB");
        window->CButton12Click();
        QCOMPARE(window->CheckListBox2->Items(), QStringList{"01_1"});
    }

    void restartThroughSettingsFile_data()
    {
        QTest::addColumn<bool>("driveAfterwards"); // another drive was current at the close
        QTest::addColumn<bool>("vanished");        // the folder is gone at the next start
        QTest::newRow("folder current at the close") << false << false;
        QTest::newRow("another drive current at the close") << true << false;
        QTest::newRow("folder gone by the next start") << false << true;
    }
    void restartThroughSettingsFile()
    {
        QFETCH(bool, driveAfterwards);
        QFETCH(bool, vanished);
        MakeFiles("first/VIDEO_TS/VTS_01_1.VOB disc/VIDEO_TS/VTS_02_1.VOB disc/VIDEO_TS/VTS_02_2.VOB");
        const QString other = Path("elsewhere");
        {
            const auto window = MakeWindow();
            window->FormActivate();
            Choose(*window, Path("first"), chooserAnswers_);
            Choose(*window, Path("disc"), chooserAnswers_);
            if (driveAfterwards)
                window->DriveComboBox1->SetDrive(other);
            window->FormClose();
        }
        // Only the folder chosen last is kept, after every other key.
        const QByteArray ini = ReadFile(IniPath());
        QVERIFY2(ini.endsWith("[SET4]\r\nC4_C1=0\r\n[SOURCE]\r\nFOLDER=" + Path("disc").toUtf8() +
                              "\r\nCURRENT=" + (driveAfterwards ? "0" : "1") + "\r\n"),
                 ini.constData());
        if (vanished)
            QVERIFY(QDir(Path("disc")).removeRecursively());

        const auto window = MakeWindow();
        window->FormActivate();
        TDriveComboBox *box = window->DriveComboBox1;
        QCOMPARE(box->Folders(), QStringList{Path("disc")});
        QCOMPARE(box->itemText(box->count() - 2), Path("disc"));
        QCOMPARE(box->Drive() == Path("disc"), !driveAfterwards);
        QCOMPARE(window->CheckListBox2->Count(), 0); // nothing is listed at start-up
        window->CButton12Click();
        const QStringList listed = driveAfterwards || vanished ? QStringList() : QStringList{"02_1", "02_2"};
        QCOMPARE(window->CheckListBox2->Items(), listed);
        // Closing again keeps the folder, also when it was not there.
        window->FormClose();
        QVERIFY(ReadFile(IniPath()).contains("FOLDER=" + Path("disc").toUtf8() + "\r\n"));
        QCOMPARE(dialogs_->messages, QStringList());
    }

    void storedFolderRead_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<QStringList>("folders");
        QTest::addColumn<bool>("current");
        const QByteArray set = "[SET]\r\nM_LEFT=30\r\n";
        QTest::newRow("empty folder") << set + "[SOURCE]\r\nFOLDER=\r\nCURRENT=1\r\n" << QStringList() << false;
        QTest::newRow("without CURRENT, only the row") << set + "[source]\r\nfolder=/srv/dvd/\r\n"
                                                       << QStringList{"/srv/dvd"} << false;
        QTest::newRow("current") << set + "[SOURCE]\r\nFOLDER=/srv/dvd\r\nCURRENT=1\r\n"
                                 << QStringList{"/srv/dvd"} << true;
    }
    void storedFolderRead()
    {
        QFETCH(QByteArray, ini);
        QFETCH(QStringList, folders);
        QFETCH(bool, current);
        QVERIFY(WriteFile(IniPath(), ini));
        const auto window = MakeWindow();
        const QString drive = window->DriveComboBox1->Drive();
        window->FormActivate();
        QCOMPARE(window->pos(), QPoint(30, 20)); // the other keys are read as ever
        QCOMPARE(window->DriveComboBox1->Folders(), folders);
        QCOMPARE(window->DriveComboBox1->Drive(), current ? folders.value(0) : drive);
    }

    void readOnlyProgramFolderWarning_data()
    {
        QTest::addColumn<bool>("writable");
        QTest::newRow("writable: nothing said") << true;
        QTest::newRow("read-only: told once") << false;
    }
    void readOnlyProgramFolderWarning()
    {
        QFETCH(bool, writable);
        QStringList asked;
        SetFolderWriteProbe([&](const QString &folder) {
            asked << folder;
            return writable;
        });
        const auto window = MakeWindow();
        window->show();
        QTRY_COMPARE(asked.size(), 1);
        QTest::qWait(20);
        window->hide();
        window->show();
        QTest::qWait(50);
        QCOMPARE(asked, QStringList{program_->Path()});
        const QString text =
            "プログラムのフォルダ " + program_->Path() + " に書き込めません。設定と一発設定は保存されません。";
        QCOMPARE(dialogs_->messages, writable ? QStringList() : QStringList{text});
        QCOMPARE(dialogs_->beeps, writable ? 0 : 1);
    }

    void folderWritable_data()
    {
        QTest::addColumn<QString>("folder");   // below the program folder, "." for itself
        QTest::addColumn<QString>("readOnly"); // made read-only first: "." the folder, or a file in it
        QTest::addColumn<bool>("writable");
        QTest::newRow("plain folder") << "."
                                      << "" << true;
        QTest::newRow("missing folder") << "missing"
                                        << "" << false;
        QTest::newRow("below a regular file") << "profile.txt/sub"
                                              << "" << false;
        QTest::newRow("read-only preset file") << "."
                                               << "profile.txt" << false;
        QTest::newRow("read-only folder") << "."
                                          << "." << false;
    }
    void folderWritable()
    {
        QFETCH(QString, folder);
        QFETCH(QString, readOnly);
        QFETCH(bool, writable);
        const QString path = folder == "." ? program_->Path() : Path(folder);
        if (!readOnly.isEmpty()) {
            if (geteuid() == 0)
                QSKIP("permission bits do not bind the administrator");
            const QString target = readOnly == "." ? program_->Path() : Path(readOnly);
            QVERIFY(QFile::setPermissions(target, QFile::ReadOwner | QFile::ExeOwner));
        }
        const QStringList before = QDir(program_->Path()).entryList(QDir::AllEntries | QDir::Hidden);
        const bool result = FolderWritable(path, ProgramFolderFiles());
        if (!readOnly.isEmpty())
            QFile::setPermissions(readOnly == "." ? program_->Path() : Path(readOnly),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(result, writable);
        // The check leaves nothing behind.
        QCOMPARE(QDir(program_->Path()).entryList(QDir::AllEntries | QDir::Hidden), before);
    }

    // A folder on a medium mounted read-only, which binds the administrator too:
    // the test runs itself again inside a mount namespace of its own.
    void readOnlyMount()
    {
        const QString inside = qEnvironmentVariable("ZENTO_READ_ONLY_FOLDER");
        if (!inside.isEmpty()) {
            QVERIFY(QFileInfo(inside + "/profile.txt").isFile());
            QVERIFY(!FolderWritable(inside, ProgramFolderFiles()));
            return;
        }
        const QString unshare = QStandardPaths::findExecutable("unshare");
        if (geteuid() != 0 || unshare.isEmpty())
            QSKIP("needs the administrator and unshare for a mount of its own");
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("ZENTO_READ_ONLY_FOLDER", program_->Path());
        child.setProcessEnvironment(env);
        child.setStandardInputFile(QProcess::nullDevice());
        child.start(unshare,
                    {"-m", "sh", "-c", "mount --bind -o ro \"$1\" \"$1\" || exit 77; exec \"$2\" readOnlyMount", "sh",
                     program_->Path(), QCoreApplication::applicationFilePath()});
        QVERIFY(child.waitForFinished(60000));
        if (child.exitCode() == 77)
            QSKIP("no read-only mount can be made here");
        QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0,
                 child.readAllStandardOutput() + child.readAllStandardError());
        QVERIFY(FolderWritable(program_->Path(), ProgramFolderFiles())); // out here it is writable
    }
};

QTEST_MAIN(TestFolderSource)
#include "test_folder_source.moc"
