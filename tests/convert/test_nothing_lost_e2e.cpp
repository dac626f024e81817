// Nothing a user made is lost through the window, with the real encoder: an
// earlier output is neither replaced nor removed, and an image cut short is
// converted as far as it goes.
#include "convert/progress_form.h"
#include "support/test_disc.h"
#include "support/test_support.h"
#include "support/title_window.h"
#include "widgets/color_button.h"

#include <QCheckBox>
#include <QProgressBar>
#include <QtTest>

using namespace zento;

class TestNothingLostE2e : public QObject {
    Q_OBJECT
    QTemporaryDir root_;
    const QString image_ = root_.filePath("disc.iso");
    test::ProgramFolder program_;
    double barPeak_ = 0; // the fullest the last run's bar was, 0 to 1

    // Converts the image's one title into `out`; the messages shown.
    QStringList Convert(const QString &source, const QString &out, const std::function<void()> &beforeRun = {})
    {
        test::DialogRecorder dialogs;
        auto w = test::TitleModeWindow(program_, source, out);
        if (beforeRun)
            beforeRun();
        barPeak_ = 0;
        // Every value the bar takes once the progress window is there, not
        // what a timer happens to see: the last ones come just before the end.
        QTimer finder;
        QObject::connect(&finder, &QTimer::timeout, [&] {
            TProgressForm1 *form = w->ProgressForm1;
            if (!form)
                return;
            finder.stop();
            QProgressBar *bar = form->ProgressBar1;
            QObject::connect(bar, &QProgressBar::valueChanged, bar,
                             [this, bar](int value) { barPeak_ = qMax(barPeak_, double(value) / bar->maximum()); });
        });
        finder.start(5);
        w->CButton10->click();
        return dialogs.messages;
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(test::EncoderToolsOnPath(), "the encoder ffmpeg (with ffprobe) must be on PATH");
        QString said;
        QVERIFY2(test::MakeTestDisc(root_.filePath("disc"),
                                    {"--titles", "12", "--chapter", "0", "--audio", "ja:440:2", "--label", "MYDISC"},
                                    image_, &said),
                 qPrintable(said));
    }

    // A second disc of the same label writes beside the first one's file,
    // and says so; a source gone by the press of 変換！ touches neither.
    void earlierOutputsStay()
    {
        const QString out = root_.filePath("out");
        QCOMPARE(Convert(image_, out), QStringList());
        // the bar of a title run fills with the bytes of its titles
        QVERIFY2(barPeak_ >= 0.9, qPrintable(QString::number(barPeak_)));
        const QByteArray first = test::ReadFile(out + "/MYDISC_01.avi");
        QVERIFY(first.size() > 10000);

        const QStringList said = Convert(image_, out);
        QCOMPARE(said.size(), 1);
        QVERIFY2(said.first().contains("MYDISC_01.avi -> MYDISC_01 (2).avi"), qPrintable(said.first()));
        QCOMPARE(test::ReadFile(out + "/MYDISC_01.avi"), first);
        QVERIFY(qAbs(test::MediaDuration(out + "/MYDISC_01 (2).avi") - 12.0) < 0.5);

        // listed, then the image emptied before the run
        const QString moved = root_.filePath("moved.iso");
        QVERIFY(QFile::copy(image_, moved));
        const QStringList gone = Convert(moved, out, [&] { QVERIFY(QFile::resize(moved, 0)); });
        QCOMPARE(gone.size(), 1);
        QVERIFY2(gone.first().startsWith("変換できなかったファイルがあります。"), qPrintable(gone.first()));
        QCOMPARE(test::ReadFile(out + "/MYDISC_01.avi"), first);
        QVERIFY(QFileInfo::exists(out + "/MYDISC_01 (2).avi"));
        QCOMPARE(QDir(out).entryList(QDir::Files).size(), 2);
    }

    // Another disc put in the listed one's place before 変換！: nothing is
    // read from the listed titles' cells; the list is read anew and says so.
    void anotherDiscInItsPlace()
    {
        const QString source = root_.filePath("changing.iso"), out = root_.filePath("changed-out");
        const QString other = root_.filePath("other.iso");
        QString said;
        QVERIFY2(test::MakeTestDisc(root_.filePath("other"), {"--titles", "5,20", "--chapter", "0", "--label", "MYDISC"},
                                    other, &said),
                 qPrintable(said));
        QVERIFY(QFile::copy(image_, source));
        test::DialogRecorder dialogs;
        auto w = test::TitleModeWindow(program_, source, out);
        QCOMPARE(w->CheckListBox2->count(), 1);
        QVERIFY(QFile::remove(source) && QFile::copy(other, source));
        w->CButton10->click();
        QCOMPARE(dialogs.messages.size(), 1);
        QVERIFY2(dialogs.messages.first().contains("入れ替わっています"), qPrintable(dialogs.messages.first()));
        QVERIFY(QDir(out).isEmpty());
        QCOMPARE(w->CheckListBox2->count(), 2);
    }

    // 更新→ on the same disc keeps the rows' ticks and tracks; an image
    // forces title mode only while it is the source, and the settings file
    // keeps the user's own choice.
    void choicesKept()
    {
        const QString disc = root_.filePath("two"), out = root_.filePath("unused");
        QString said;
        QVERIFY2(test::MakeTestDisc(disc, {"--titles", "3,3", "--chapter", "0"}, {}, &said), qPrintable(said));
        {
            auto w = test::TitleModeWindow(program_, disc, out);
            w->SetTitleAudio(0, 0);
            w->CheckListBox2->SetItemChecked(1, true);
            const QStringList rows = w->CheckListBox2->Items();
            QCOMPARE(rows.first(), "T01 0:00:03 英語 AC3 5.1ch");
            w->CButton12Click();
            QCOMPARE(w->CheckListBox2->Items(), rows);
            QVERIFY(w->CheckListBox2->IsItemChecked(1));
            QCOMPARE(w->Titles().rows.at(0).audioTrack, 0);

            // the user's choice is off; an image turns the box on for the while
            w->CheckBox2->setChecked(false);
            w->DriveComboBox1->AddFolder(image_);
            w->DriveComboBox1->SetDrive(image_);
            QVERIFY(w->CheckBox2->isChecked() && !w->CheckBox2->isEnabled());
            w->close();
        }
        const QByteArray ini = test::ReadFile(program_.File("DVD_zento.ini"));
        QVERIFY(ini.contains("[SOURCE]")); // written on close, the image's folder row in it
        QVERIFY(!ini.contains("C5_C1=1"));
        auto w = test::TitleModeWindow(program_, disc, out);
        w->CheckBox2->setChecked(false);
        w->DriveComboBox1->AddFolder(image_);
        w->DriveComboBox1->SetDrive(image_);
        w->DriveComboBox1->SetDrive(disc);
        QVERIFY(!w->CheckBox2->isChecked() && w->CheckBox2->isEnabled());
    }

    // An image or a disc's folder cut short by an interrupted copy: what it
    // holds is converted and kept, and the report says how far it goes.
    void cutCopyConvertsWhatIsThere_data()
    {
        QTest::addColumn<bool>("image");
        QTest::addColumn<QString>("what");
        QTest::newRow("image") << true << "イメージ";
        QTest::newRow("folder") << false << "タイトルのファイル";
    }
    void cutCopyConvertsWhatIsThere()
    {
        QFETCH(bool, image);
        QFETCH(QString, what);
        QString cut = root_.filePath("cut.iso"), cutFile = cut;
        if (!image) {
            cut = root_.filePath("copied/MYDISC");
            QVERIFY(QDir().mkpath(cut + "/VIDEO_TS"));
            for (const QString &name : QDir(root_.filePath("disc/VIDEO_TS")).entryList(QDir::Files))
                QVERIFY(QFile::copy(root_.filePath("disc/VIDEO_TS/") + name, cut + "/VIDEO_TS/" + name));
            cutFile = cut + "/VIDEO_TS/VTS_01_1.VOB";
        } else {
            QVERIFY(QFile::copy(image_, cut));
        }
        QVERIFY(QFile::resize(cutFile, QFileInfo(cutFile).size() * 55 / 100));
        const QString out = root_.filePath(image ? "cut-out" : "cut-folder-out");
        const QStringList said = Convert(cut, out);
        const QString file = out + "/MYDISC_01.avi";
        const double seconds = test::MediaDuration(file);
        QVERIFY2(seconds > 3 && seconds < 10, qPrintable(QString::number(seconds)));
        QCOMPARE(said.size(), 1);
        QVERIFY2(said.first().contains(QRegularExpression("T01: " + what + "が途中で終わっています（12 秒のうち "
                                                          "[3-9]\\.[0-9] 秒まで）")),
                 qPrintable(said.first()));
        QVERIFY2(!said.first().contains("入力元を読めなくなりました"), qPrintable(said.first()));
    }

    // A copy holding nothing of the title: it failed, with why, and is not
    // told as converted part of the way; no file is left.
    void copyWithNothingOfTheTitle()
    {
        const QString cut = root_.filePath("empty/MYDISC");
        QVERIFY(QDir().mkpath(cut + "/VIDEO_TS"));
        for (const QString &name : QDir(root_.filePath("disc/VIDEO_TS")).entryList(QDir::Files))
            QVERIFY(QFile::copy(root_.filePath("disc/VIDEO_TS/") + name, cut + "/VIDEO_TS/" + name));
        QVERIFY(QFile::resize(cut + "/VIDEO_TS/VTS_01_1.VOB", 0));
        const QString out = root_.filePath("empty-out");
        const QStringList said = Convert(cut, out);
        QCOMPARE(said.size(), 1);
        QVERIFY2(said.first().startsWith("変換できなかったファイルがあります。") &&
                     !said.first().contains("途中までを変換") &&
                     said.first().contains("タイトルのファイルが途中で終わっています（12 秒のうち 0.0 秒まで）"),
                 qPrintable(said.first()));
        QCOMPARE(QDir(out).entryList(QDir::Files | QDir::Hidden), QStringList());
    }

    // Cut short into a container that holds chapters: those past the end go,
    // and the file is as long as what it holds, not the whole title.
    void cutImageChaptersEndWithIt()
    {
        const QString disc = root_.filePath("chapters"), image = root_.filePath("chapters.iso");
        QString made;
        QVERIFY2(test::MakeTestDisc(disc, {"--titles", "12", "--chapter", "4", "--audio", "ja:440:2", "--label", "CHAPTERS"},
                                    image, &made),
                 qPrintable(made));
        QVERIFY(QFile::resize(image, QFileInfo(image).size() * 55 / 100));
        const QString out = root_.filePath("chapters-out");
        test::DialogRecorder dialogs;
        {
            auto w = test::TitleModeWindow(program_, image, out, "MP4");
            w->CButton10->click();
        }
        QCOMPARE(dialogs.messages.size(), 1);
        QCOMPARE(QDir(out).entryList(QDir::Files | QDir::Hidden), QStringList{"CHAPTERS_01.mp4"});
        const QString file = out + "/CHAPTERS_01.mp4";
        const QString said = test::Run("ffprobe", {"-v", "error", "-show_entries",
                                                   "format=duration:stream=duration:chapter=start_time", "-of",
                                                   "csv=p=0", file});
        const double length = test::MediaDuration(file);
        QVERIFY2(length > 3 && length < 10, qPrintable(said));
        const QStringList lines = said.split('\n', Qt::SkipEmptyParts);
        QVERIFY2(lines.size() >= 4, qPrintable(said)); // two streams, a chapter at least, the file
        for (const QString &line : lines)
            QVERIFY2(line.split(',').value(0).toDouble() <= length + 0.3, qPrintable(said));
    }
};

QTEST_MAIN(TestNothingLostE2e)
#include "test_nothing_lost_e2e.moc"
