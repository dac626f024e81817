// The program started with a source, as the desktop starts it for an inserted
// disc or an image: a disc image is listed by title at once and "変換！" alone
// converts it by the real encoder; a source that cannot be taken is refused
// with the reason and the stored one stays; the usage needs no display.
#include "app/ini_file.h"
#include "app/main_form.h"
#include "app/start_arguments.h"
#include "app/start_source_gui.h"
#include "options/catalogue.h"
#include "support/test_disc.h"
#include "support/test_support.h"
#include "widgets/browse_edit.h"
#include "widgets/check_list_box.h"
#include "widgets/color_button.h"
#include "widgets/drive_combo_box.h"
#include "widgets/multi_col_combo_box.h"
#include "widgets/spin_edit.h"

#include <QCheckBox>
#include <QtTest>

#include <sys/stat.h>

using namespace zento;
using test::RowWithId;

class TestOpenedFromDesktopE2e : public QObject {
    Q_OBJECT
    QTemporaryDir root_;
    test::ProgramFolder program_;

    QString Path(const QString &name) const { return root_.filePath(name); }
    QString Ini() const { return program_.File("DVD_zento.ini"); }
    // After a run that kept the folder "stored" as the current source, with
    // title mode off; started in the temporary folder with `argument`, as
    // main() starts the window.
    void Start(TMainForm1 &window, const QString &argument)
    {
        QVERIFY(test::WriteFile(Ini(), "[SET5]\r\nC5_C1=0\r\n[SOURCE]\r\nFOLDER=" + Path("stored").toUtf8() +
                                           "\r\nCURRENT=1\r\n"));
        window.show();
        OpenStartSource(window, StartSource({"dvd-zento", argument}, root_.path()));
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(test::EncoderToolsOnPath(), "the encoder ffmpeg (with ffprobe) must be on PATH");
        QVERIFY(root_.isValid() && program_.IsValid());
        QVERIFY(test::WriteFile(Path("stored/VIDEO_TS/VTS_05_1.VOB"), "x"));
        QVERIFY(test::WriteFile(Path("photos/notes.iso"), QByteArray(64 * 1024, 'n')));
        QCOMPARE(::mkfifo(QFile::encodeName(Path("pipe.iso")).constData(), 0600), 0);
        QVERIFY(QFile::link("/dev/null", Path("null")));
    }

    void imageConvertedAndKept()
    {
        QString said;
        QVERIFY2(test::MakeTestDisc(Path("disc"), {"--titles", "10", "--audio", "ja:440:2", "--label", "OPENED"},
                                    Path("opened.iso"), &said),
                 qPrintable(said));
        test::DialogRecorder dialogs;
        {
            TMainForm1 window(program_.Executable());
            window.C1_03->SetText(Path("out"));
            window.C2_01->SetItemIndex(RowWithId(Catalogue::Containers, "AVI"));
            window.C2_04->SetItemIndex(RowWithId(Catalogue::VideoCodecs, "MPEG4"));
            window.C3_01->SetItemIndex(RowWithId(Catalogue::AudioCodecs, "LIBMP3LAME"));
            window.C2_02_01->SetValue(176);
            window.C2_02_02->SetValue(120);
            Start(window, "opened.iso");
            QVERIFY(window.CheckBox2->isChecked()); // an image is read by title
            QCOMPARE(window.CheckListBox2->Items(), QStringList{"T01 0:00:10 日本語 AC3 2ch"});
            window.CButton10->click();
            window.close();
        }
        QVERIFY2(dialogs.messages.isEmpty(), qPrintable(dialogs.messages.join('\n')));
        QCOMPARE(QDir(Path("out")).entryList(QDir::Files), QStringList{"OPENED_01.avi"});
        const double seconds = test::MediaDuration(Path("out/OPENED_01.avi"));
        QVERIFY2(qAbs(seconds - 10.0) < 0.5, qPrintable(QString::number(seconds)));
        // Kept as the source, with the user's own title mode choice.
        QCOMPARE(IniFile(Ini()).ReadString("SOURCE", "FOLDER", QString()), Path("opened.iso"));
        QCOMPARE(IniFile(Ini()).ReadInteger("SET5", "C5_C1", -1), 0);
    }

    void refusedKeepsStoredSource_data()
    {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<QString>("said");
        QTest::newRow("not there") << "gone.iso"
                                   << "gone.iso は見つかりません。";
        QTest::newRow("a folder without VIDEO_TS") << "photos"
                                                   << "photos には DVD-Video のフォルダ VIDEO_TS がありません。";
        QTest::newRow("no disc image") << "photos/notes.iso"
                                       << "photos/notes.iso は DVD-Video のイメージとして読めません。";
        QTest::newRow("a named pipe") << "pipe.iso"
                                      << "pipe.iso は DVD-Video のフォルダでもイメージでもありません。";
        QTest::newRow("a character device") << "null"
                                            << "null は DVD-Video のフォルダでもイメージでもありません。";
    }
    void refusedKeepsStoredSource()
    {
        QFETCH(QString, argument);
        QFETCH(QString, said);
        test::DialogRecorder dialogs;
        TMainForm1 window(program_.Executable());
        Start(window, argument);
        QCOMPARE(dialogs.messages.size(), 1);
        QVERIFY2(dialogs.messages.first().startsWith(Path(said)), qPrintable(dialogs.messages.first()));
        QCOMPARE(window.DriveComboBox1->Drive(), Path("stored"));
        QCOMPARE(window.DriveComboBox1->Folders(), QStringList{Path("stored")});
        QVERIFY(!window.CheckBox2->isChecked());
        QCOMPARE(window.CheckListBox2->Count(), 0);
        window.close();
        QCOMPARE(IniFile(Ini()).ReadString("SOURCE", "FOLDER", QString()), Path("stored"));
    }

    // A drive's device is read as an image, as a disc in it would be: one
    // without a DVD-Video is refused, never listed as an empty folder.
    void deviceReadAsImage()
    {
        QString device;
        for (const QFileInfo &entry : QDir("/dev").entryInfoList(QDir::System)) {
            struct stat st {};
            if (::stat(QFile::encodeName(entry.filePath()).constData(), &st) == 0 && S_ISBLK(st.st_mode)) {
                device = entry.filePath();
                break;
            }
        }
        if (device.isEmpty())
            QSKIP("no block device on this machine");
        test::DialogRecorder dialogs;
        TMainForm1 window(program_.Executable());
        Start(window, device);
        QCOMPARE(dialogs.messages.size(), 1);
        QVERIFY2(dialogs.messages.first().startsWith(device + " は DVD-Video のイメージとして読めません。"),
                 qPrintable(dialogs.messages.first()));
        QCOMPARE(window.DriveComboBox1->Drive(), Path("stored"));
        window.close();
        QCOMPARE(IniFile(Ini()).ReadString("SOURCE", "FOLDER", QString()), Path("stored"));
    }

    void startArgument_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("source");
        QTest::newRow("relative") << QStringList{"dvd-zento", "discs/../映画.iso"} << "/home/u/映画.iso";
        QTest::newRow("after --") << QStringList{"dvd-zento", "--", "-x"} << "/home/u/-x";
        QTest::newRow("file address") << QStringList{"dvd-zento", "file:///media/u/%E6%98%A0%E7%94%BB%20A.iso"}
                                      << "/media/u/映画 A.iso";
        QTest::newRow("none") << QStringList{"dvd-zento"} << "";
    }
    void startArgument()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, source);
        QCOMPARE(StartSource(arguments, "/home/u"), source);
    }

    // xcb with no display to connect to would end the program with an error.
    void usageWithoutDisplay()
    {
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove("DISPLAY");
        environment.remove("WAYLAND_DISPLAY");
        environment.insert("QT_QPA_PLATFORM", "xcb");
        program.setProcessEnvironment(environment);
        program.start(ZENTO_PROGRAM_DIR "/DVD_zento", {"opened.iso", "--help"});
        QVERIFY(program.waitForFinished(30000));
        const QString said = QString::fromUtf8(program.readAllStandardOutput());
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
        QVERIFY2(said.startsWith("使い方: dvd-zento [入力元]") && said.contains("Usage: dvd-zento [SOURCE]"),
                 qPrintable(said));
    }
};

QTEST_MAIN(TestOpenedFromDesktopE2e)
#include "test_opened_from_desktop_e2e.moc"
