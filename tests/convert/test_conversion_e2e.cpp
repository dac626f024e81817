// From the listing of a small VIDEO_TS to playable files, with the real encoder.
#include "app/main_form.h"
#include "convert/file_size.h"
#include "convert/progress_form.h"
#include "options/catalogue.h"
#include "support/test_support.h"
#include "widgets/browse_edit.h"
#include "widgets/check_list_box.h"
#include "widgets/color_button.h"
#include "widgets/drive_combo_box.h"
#include "widgets/multi_col_combo_box.h"
#include "widgets/spin_edit.h"

#include <QCheckBox>
#include <QLabel>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

using namespace zento;
using test::RowWithId;
using test::Run;

namespace {

// The codecs of the streams and then the container, e.g. "mpeg4,mp3,avi".
QString Probe(const QString &file)
{
    return Run("ffprobe", {"-v", "error", "-show_entries", "format=format_name:stream=codec_name", "-of",
                           "default=nw=1:nk=1", file})
        .replace('\n', ',');
}

} // namespace

class TestConversionE2e : public QObject {
    Q_OBJECT
    QTemporaryDir root_;
    const QString disc_ = root_.filePath("disc");
    test::ProgramFolder program_;

private slots:
    void initTestCase()
    {
        QVERIFY2(test::EncoderToolsOnPath(), "the encoder ffmpeg (with ffprobe) must be on PATH");
        QVERIFY(program_.IsValid() && QDir().mkpath(disc_ + "/VIDEO_TS"));
        // A little over 5 s each: the thumbnail is taken 5 s in. The second
        // has 5.1 sound, as most discs have.
        for (int n = 1; n <= 2; ++n)
            QCOMPARE(test::MakeDvdTitle(disc_ + QString("/VIDEO_TS/VTS_01_%1.VOB").arg(n), 5.6, 440 * n,
                                        {"-ac", QString::number(n == 1 ? 2 : 6)}),
                     QString());
    }

    void convertsListedTitles_data()
    {
        QTest::addColumn<int>("container");
        QTest::addColumn<int>("video");
        QTest::addColumn<int>("audio");
        QTest::addColumn<bool>("twoPass");
        QTest::addColumn<QString>("extension");
        QTest::addColumn<QString>("probe");
        // The thumbnail run decodes 5 s of picture. An encoder that decodes
        // the whole title ends after it; one that only copies streams may
        // end first on a busy machine, and its thumbnail is then dropped.
        QTest::addColumn<bool>("pictureSure");
        const int avi = RowWithId(Catalogue::Containers, "AVI");
        const int mpeg4 = RowWithId(Catalogue::VideoCodecs, "MPEG4");
        const int mp3 = RowWithId(Catalogue::AudioCodecs, "LIBMP3LAME");
        QTest::newRow("AVI MPEG4 MP3 one pass") << avi << mpeg4 << mp3 << false << "avi"
                                                << "mpeg4,mp3,avi" << true;
        QTest::newRow("AVI MPEG4 MP3 two passes") << avi << mpeg4 << mp3 << true << "avi"
                                                  << "mpeg4,mp3,avi" << true;
        QTest::newRow("source container, streams copied") << 0 << 0 << 0 << false << "VOB"
                                                          << "mpeg2video,ac3,mpeg" << false;
        // the sound encoder takes two channels at most
        QTest::newRow("WMV WMV2 WMAV2 from 5.1 sound")
            << RowWithId(Catalogue::Containers, "WMV") << RowWithId(Catalogue::VideoCodecs, "WMV2")
            << RowWithId(Catalogue::AudioCodecs, "WMAV2") << false << "wmv"
            << "wmv2,wmav2,asf" << true;
    }
    void convertsListedTitles()
    {
        QFETCH(int, container);
        QFETCH(int, video);
        QFETCH(int, audio);
        QFETCH(bool, twoPass);
        QFETCH(QString, extension);
        QFETCH(QString, probe);
        QFETCH(bool, pictureSure);

        test::DialogRecorder dialogs;
        const QString out = root_.filePath(QString("out/%1").arg(QTest::currentDataTag()).replace(' ', '_'));
        QTemporaryDir current; // the program's current folder: nothing may land there
        const QString oldCurrent = QDir::currentPath();
        QDir::setCurrent(current.path());

        {
            TMainForm1 w(program_.Executable());
            w.DriveComboBox1->SetDrive(disc_);
            w.CButton12Click();
            QCOMPARE(w.CheckListBox1->Count(), 2);
            QVERIFY(w.CButton10->isEnabled());
            w.C1_03->SetText(out);
            w.C2_01->SetItemIndex(container);
            w.C2_04->SetItemIndex(video);
            w.C3_01->SetItemIndex(audio);
            if (video > 0) {
                w.C2_02_01->SetValue(176);
                w.C2_02_02->SetValue(120);
                w.C2_05->SetValue(300);
                w.C3_02->SetValue(64);
                w.C3_03->SetValue(44100);
            }
            w.CheckBox1->setChecked(twoPass);

            // what the progress window shows while the encoder works
            bool picture = false;
            bool thumbnailLeft = false;
            QStringList sizes;
            QTimer sampler;
            QObject::connect(&sampler, &QTimer::timeout, [&] {
                if (TProgressForm1 *form = w.ProgressForm1) {
                    picture = picture || form->HasPicture();
                    sizes << form->Label2->text();
                }
                thumbnailLeft = thumbnailLeft || QFile::exists(program_.File("_thumb.jpg"));
            });
            sampler.start(40);
            w.CButton10->click();
            sampler.stop();

            QCOMPARE(dialogs.messages, QStringList());
            QCOMPARE(dialogs.beeps, 1);
            QVERIFY(w.isEnabled());
            QVERIFY(w.ProgressForm1.isNull());
            QVERIFY(picture || !pictureSure);
            QVERIFY(!thumbnailLeft);
            QVERIFY(!QFile::exists(program_.File("_thumb.jpg")));
            const QString sourceKb = QString::number(FileSize(w.CheckListBox1->ItemText(0)) / 1000);
            // (a run that only copies streams may end before the window's
            // once-a-second refresh, as it may before its thumbnail)
            QVERIFY2(!pictureSure || sizes.contains(QRegularExpression(QString("^%1KB -> \\d+KB$").arg(sourceKb))),
                     qPrintable(sizes.join(QLatin1Char('|'))));
            for (int i = 0; i < 2; ++i)
                QVERIFY(w.CheckListBox2->IsItemChecked(i));
        }
        QDir::setCurrent(oldCurrent);

        QStringList expected;
        for (int n = 1; n <= 2; ++n) {
            const QString file = out + QString("/VTS_01_%1.%2").arg(n).arg(extension);
            expected << QFileInfo(file).fileName();
            QCOMPARE(Probe(file), probe);
        }
        // the outputs and nothing else: the pass logs stayed in the run's own folder
        QCOMPARE(QDir(out).entryList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name), expected);
        QCOMPARE(QDir(current.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
    }

    // Pass 1 of a two-pass entry cancelled: pass 2 still runs and, lacking
    // the first pass's log, fails. The user asked for that, so nothing is
    // reported and the cut-off output goes; the next entry converts as ever.
    void cancelledFirstPassIsNoFailure()
    {
        test::DialogRecorder dialogs;
        const QString out = root_.filePath("out/cancelled");
        TMainForm1 w(program_.Executable());
        w.DriveComboBox1->SetDrive(disc_);
        w.CButton12Click();
        QCOMPARE(w.CheckListBox1->Count(), 2);
        w.C1_03->SetText(out);
        w.C2_01->SetItemIndex(RowWithId(Catalogue::Containers, "AVI"));
        w.C2_04->SetItemIndex(RowWithId(Catalogue::VideoCodecs, "MPEG4"));
        w.C3_01->SetItemIndex(RowWithId(Catalogue::AudioCodecs, "LIBMP3LAME"));
        w.CheckBox1->setChecked(true);
        int starts = 0;
        QProcess *seen = nullptr;
        QTimer canceller;
        QObject::connect(&canceller, &QTimer::timeout, [&] {
            QProcess *process = w.EncoderProcess.data();
            if (!process || process == seen || process->state() != QProcess::Running)
                return;
            seen = process;
            if (++starts == 1) // pass 1 of the first entry
                w.ProgressForm1->CButton1Click(w.ProgressForm1->CButton1);
        });
        canceller.start(10);
        w.CButton10->click();
        canceller.stop();

        QCOMPARE(dialogs.messages, QStringList());
        QCOMPARE(dialogs.beeps, 1);
        const auto output = [&](int i) {
            return out + '/' + QFileInfo(w.CheckListBox1->ItemText(i)).completeBaseName() + ".avi";
        };
        QVERIFY(!QFile::exists(output(0)));
        QCOMPARE(Probe(output(1)), QString("mpeg4,mp3,avi"));
    }
};

QTEST_MAIN(TestConversionE2e)
#include "test_conversion_e2e.moc"
