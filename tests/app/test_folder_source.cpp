// A folder on disk as the source (a copied VIDEO_TS, a mounted image), kept
// through the settings file; and a read-only program folder, which is no
// reason for a warning.
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
    QString chooserAnswer_; // empty cancels

    std::unique_ptr<TMainForm1> MakeWindow() { return std::make_unique<TMainForm1>(program_->Executable()); }
    QString Path(const QString &relative) const { return program_->File(relative); }
    QString IniPath() const { return program_->File("DVD_zento.ini"); }
    void MakeFiles(const QString &files)
    {
        for (const QString &file : files.split(' ', Qt::SkipEmptyParts))
            QVERIFY(WriteFile(Path(file), "x"));
    }
    // The user picks "フォルダを選択…" and chooses `folder` (empty: cancels).
    void Choose(TMainForm1 &window, const QString &folder)
    {
        chooserAnswer_ = folder;
        window.DriveComboBox1->PickFolder();
    }
    // The display texts, sorted, each with "+" when ticked, "-" when not.
    static QString Listed(const TCheckListBox *list)
    {
        QStringList items;
        for (int i = 0; i < list->Count(); ++i)
            items << list->Items().at(i) + (list->IsItemChecked(i) ? "+" : "-");
        items.sort();
        return items.join(' ');
    }

private slots:
    void init()
    {
        program_.emplace();
        QVERIFY(program_->IsValid());
        dialogs_.emplace();
        SetFolderChooserHook([this](const QString &, const QString &) { return chooserAnswer_; });
    }
    void cleanup()
    {
        SetFolderChooserHook(nullptr);
        SetFolderWriteProbe(nullptr);
        dialogs_.reset();
    }

    void chosenFolderListedKeptAndRefreshed_data()
    {
        QTest::addColumn<QString>("files");  // below the program folder
        QTest::addColumn<QString>("chosen"); // the folder the user chooses
        QTest::addColumn<QString>("listed"); // display texts, sorted, "+" for ticked
        QTest::newRow("VIDEO_TS below")
            << "d/VIDEO_TS/VIDEO_TS.VOB d/VIDEO_TS/VTS_01_1.VOB d/VIDEO_TS/VTS_01_2.VOB d/VTS_09_1.VOB"
            << "d"
            << "01_1+ 01_2+";
        QTest::newRow("Video_Ts below, lower-case names") << "d/Video_Ts/vts_02_1.vob"
                                                          << "d"
                                                          << "02_1+";
        QTest::newRow("the folder itself is video_ts, subfolders searched")
            << "x/video_ts/VTS_01_1.VOB x/video_ts/VIDEO_TS/VTS_02_1.VOB x/VTS_05_1.VOB"
            << "x/video_ts"
            << "01_1+ 02_1+";
        QTest::newRow("a folder without titles") << "e/notes.txt e/AUDIO_TS/VTS_01_1.VOB"
                                                 << "e"
                                                 << "";
    }
    void chosenFolderListedKeptAndRefreshed()
    {
        QFETCH(QString, files);
        QFETCH(QString, chosen);
        QFETCH(QString, listed);
        MakeFiles(files);
        const auto window = MakeWindow();
        TDriveComboBox *box = window->DriveComboBox1;
        Choose(*window, Path(chosen));
        QCOMPARE(box->Drive(), Path(chosen));
        QCOMPARE(box->currentText(), Path(chosen));
        QCOMPARE(box->itemText(box->count() - 2), "フォルダを選択…");
        QCOMPARE(Listed(window->CheckListBox2), listed);
        QCOMPARE(window->CButton10->isEnabled(), !listed.isEmpty());

        // Cancelled the next time: the folder, its row and the list (not listed again) stay.
        if (window->CheckListBox2->Count() > 0)
            window->CheckListBox2->SetItemChecked(0, false);
        const QString before = Listed(window->CheckListBox2);
        const int rows = box->count();
        Choose(*window, QString());
        QCOMPARE(box->Drive(), Path(chosen));
        QCOMPARE(box->currentText(), Path(chosen));
        QCOMPARE(box->count(), rows);
        QCOMPARE(Listed(window->CheckListBox2), before);

        // Gone: the refresh empties the list and says so, and the row stays;
        // back again, the refresh finds it.
        QVERIFY(QDir(Path(chosen)).removeRecursively());
        window->CButton12Click();
        QCOMPARE(window->CheckListBox1->Count() + window->CheckListBox2->Count(), 0);
        QVERIFY(!window->CButton10->isEnabled());
        QCOMPARE(box->Folders(), QStringList{Path(chosen)});
        QCOMPARE(dialogs_->messages, QStringList{Path(chosen) + " は見つかりません。"});
        dialogs_->messages.clear();
        MakeFiles(files);
        window->CButton12Click();
        QCOMPARE(Listed(window->CheckListBox2), listed);
        QCOMPARE(dialogs_->messages, QStringList());
    }

    // A copy of a disc lists its chapters as the disc would, whatever order
    // the copy was written in.
    void folderCopyListedInTheOrderOfTheDisc()
    {
        MakeFiles("c/VIDEO_TS/VTS_01_2.VOB c/VIDEO_TS/VTS_02_1.VOB c/VIDEO_TS/VIDEO_TS.VOB c/VIDEO_TS/vts_01_3.vob "
                  "c/VIDEO_TS/VTS_01_0.VOB c/VIDEO_TS/VTS_01_1.VOB");
        const auto window = MakeWindow();
        Choose(*window, Path("c"));
        QCOMPARE(window->CheckListBox2->Items(), (QStringList{"01_0", "01_1", "01_2", "01_3", "02_1"}));
        QCOMPARE(window->CheckListBox1->Items().last(), Path("c/VIDEO_TS/VTS_02_1.VOB"));
    }

    void restartThroughSettingsFile_data()
    {
        QTest::addColumn<int>("mode");
        QTest::newRow("folder current at the close") << 0;
        QTest::newRow("another drive current at the close") << 1;
        QTest::newRow("folder gone by the next start") << 2;
        QTest::newRow("edited by hand: lower case, a slash, no CURRENT") << 3;
    }
    void restartThroughSettingsFile()
    {
        QFETCH(int, mode);
        MakeFiles("first/VIDEO_TS/VTS_01_1.VOB disc/VIDEO_TS/VTS_02_1.VOB disc/VIDEO_TS/VTS_02_2.VOB");
        {
            const auto window = MakeWindow();
            window->FormActivate();
            Choose(*window, Path("first"));
            Choose(*window, Path("disc"));
            if (mode == 1)
                window->DriveComboBox1->SetDrive(Path("elsewhere"));
            window->FormClose();
        }
        // Only the folder chosen last is kept, after every other key.
        const QByteArray ini = ReadFile(IniPath()), folder = Path("disc").toUtf8();
        const QByteArray kept = "[SOURCE]\r\nFOLDER=" + folder + "\r\nCURRENT=" + (mode == 1 ? "0" : "1") + "\r\n";
        QVERIFY2(ini.endsWith("[SET4]\r\nC4_C1=0\r\n" + kept), ini.constData());
        if (mode == 2)
            QVERIFY(QDir(Path("disc")).removeRecursively());
        if (mode == 3)
            QVERIFY(WriteFile(IniPath(), QByteArray(ini).replace(kept, "[source]\r\nfolder=" + folder + "/\r\n")));

        const auto window = MakeWindow();
        window->FormActivate();
        TDriveComboBox *box = window->DriveComboBox1;
        QCOMPARE(box->Folders(), QStringList{Path("disc")});
        QCOMPARE(box->itemText(box->count() - 3), Path("disc"));
        QCOMPARE(box->Drive() == Path("disc"), mode == 0 || mode == 2);
        QCOMPARE(window->CheckListBox2->Count(), 0); // nothing is listed at start-up
        window->CButton12Click();
        QCOMPARE(Listed(window->CheckListBox2), mode == 0 ? "02_1+ 02_2+" : "");
        // Closing again keeps the folder, also when it was not there.
        window->FormClose();
        QVERIFY(ReadFile(IniPath()).toUpper().contains(("FOLDER=" + folder + "\r\n").toUpper()));
        QCOMPARE(dialogs_->messages, mode == 2 ? QStringList{Path("disc") + " は見つかりません。"} : QStringList());
    }

    // The program folder is looked at once, when the window is made; a
    // read-only one makes an installed copy that keeps its files in the
    // user's folders, so nothing is lost and nothing is said.
    void readOnlyProgramFolderNoWarning()
    {
        for (const bool writable : {true, false}) {
            DialogRecorder dialogs;
            QStringList asked;
            SetFolderWriteProbe([&](const QString &folder) {
                asked << folder;
                return writable;
            });
            const auto window = MakeWindow();
            QCOMPARE(window->Places().Mode(), writable ? RunMode::Portable : RunMode::Installed);
            window->show();
            QTest::qWait(50);
            window->hide();
            window->show();
            QTest::qWait(50);
            QCOMPARE(asked, QStringList{program_->Path()});
            QCOMPARE(dialogs.messages, QStringList());
            QCOMPARE(dialogs.beeps, 0);
            window->hide();
        }
    }

    void folderWritable()
    {
        // Writable, and the check leaves nothing behind; with a read-only preset file or folder it is not.
        const auto entries = [this] { return QDir(program_->Path()).entryList(QDir::AllEntries | QDir::Hidden); };
        const QStringList before = entries();
        QVERIFY(FolderWritable(program_->Path(), ProgramFolderFiles()));
        QCOMPARE(entries(), before);
        if (geteuid() == 0)
            QSKIP("permission bits do not bind the administrator");
        for (const QString &target : {Path("profile.txt"), program_->Path()}) {
            QVERIFY(QFile::setPermissions(target, QFile::ReadOwner | QFile::ExeOwner));
            const bool writable = FolderWritable(program_->Path(), ProgramFolderFiles());
            QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            QVERIFY2(!writable, qPrintable(target));
            QCOMPARE(entries(), before);
        }
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
