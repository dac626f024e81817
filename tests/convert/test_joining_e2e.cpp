// A title stored in three parts, as a disc stores it, converted with the real
// encoder: joined into one file, or part by part; and the progress of the
// encoder run in the progress window.
#include "app/main_form.h"
#include "convert/progress_form.h"
#include "options/catalogue.h"
#include "support/test_support.h"
#include "widgets/browse_edit.h"
#include "widgets/check_list_box.h"
#include "widgets/color_button.h"
#include "widgets/multi_col_combo_box.h"
#include "widgets/spin_edit.h"

#include <QCheckBox>
#include <QLabel>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

using namespace zento;
using test::ReadFile;
using test::RowWithId;
using test::Run;
using test::WriteFile;

class TestJoiningE2e : public QObject {
    Q_OBJECT
    QTemporaryDir root_;
    const QString disc_ = root_.filePath("disc");
    const QString whole_ = root_.filePath("whole.VOB");
    test::ProgramFolder program_;

private slots:
    void initTestCase()
    {
        QVERIFY2(test::EncoderToolsOnPath(), "the encoder ffmpeg (with ffprobe) must be on PATH");
        QVERIFY(program_.IsValid() && QDir().mkpath(disc_ + "/VIDEO_TS"));
        // One continuous program stream, cut into three parts at sector
        // boundaries as a disc cuts a title; and a short menu of its own.
        QCOMPARE(test::MakeDvdTitle(whole_, 9, 440, {"-b:v", "1500k"}), QString());
        QCOMPARE(test::MakeDvdTitle(disc_ + "/VIDEO_TS/VTS_01_0.VOB", 1, 880, {"-b:v", "1500k"}), QString());
        const QByteArray stream = ReadFile(whole_);
        const qsizetype cut = stream.size() / 3 / 2048 * 2048;
        QVERIFY(cut > 0);
        for (int n = 1; n <= 3; ++n)
            QVERIFY(WriteFile(disc_ + QString("/VIDEO_TS/VTS_01_%1.VOB").arg(n),
                              stream.mid((n - 1) * cut, n < 3 ? cut : -1)));
    }

    void convertsATitleInParts_data()
    {
        QTest::addColumn<bool>("join");
        QTest::addColumn<bool>("twoPass");
        QTest::addColumn<QStringList>("files");
        const QStringList joined{"VTS_01_0.avi", "VTS_01_1.avi"};
        QTest::newRow("joined") << true << false << joined;
        QTest::newRow("joined, two passes") << true << true << joined;
        QTest::newRow("part by part") << false << false
                                      << QStringList{"VTS_01_0.avi", "VTS_01_1.avi", "VTS_01_2.avi", "VTS_01_3.avi"};
    }
    void convertsATitleInParts()
    {
        QFETCH(bool, join);
        QFETCH(bool, twoPass);
        QFETCH(QStringList, files);
        test::DialogRecorder dialogs;
        const QString out = root_.filePath(QString("out/%1").arg(QTest::currentDataTag()).replace(' ', '_'));
        QStringList progress; // Label3, refreshed while the encoder runs
        {
            TMainForm1 w(program_.Executable());
            // The parts in name order, as the listing shows them.
            for (int n = 0; n <= 3; ++n) {
                const QString path = disc_ + QString("/VIDEO_TS/VTS_01_%1.VOB").arg(n);
                w.CheckListBox1->SetItemChecked(w.CheckListBox1->AddItem(path), true);
                w.CheckListBox2->SetItemChecked(w.CheckListBox2->AddItem(QString("01_%1").arg(n)), true);
            }
            w.CButton10->setEnabled(true);
            w.C1_03->SetText(out);
            w.C2_01->SetItemIndex(RowWithId(Catalogue::Containers, "AVI"));
            w.C2_04->SetItemIndex(RowWithId(Catalogue::VideoCodecs, "MPEG4"));
            w.C3_01->SetItemIndex(RowWithId(Catalogue::AudioCodecs, "LIBMP3LAME"));
            // The joined run is made to last long enough for progress lines.
            w.C2_02_01->SetValue(join && !twoPass ? 1280 : 176);
            w.C2_02_02->SetValue(join && !twoPass ? 960 : 120);
            w.C2_06->SetValue(join && !twoPass ? 120 : 0);
            w.C2_05->SetValue(300);
            w.C3_02->SetValue(64);
            w.C3_03->SetValue(44100);
            w.CheckBox1->setChecked(twoPass);
            w.CheckBox2->setChecked(join);
            QTimer sampler;
            QObject::connect(&sampler, &QTimer::timeout, [&] {
                if (TProgressForm1 *form = w.ProgressForm1) {
                    form->Timer1Timer();
                    if (progress.isEmpty() || progress.last() != form->Label3->text())
                        progress << form->Label3->text();
                }
            });
            sampler.start(50);
            w.CButton10->click();
            QCOMPARE(dialogs.messages, QStringList());
            QCOMPARE(dialogs.beeps, 1);
        }
        QCOMPARE(QDir(out).entryList(QDir::Files, QDir::Name), files);
        const double whole = test::MediaDuration(whole_);
        const double title = test::MediaDuration(out + "/VTS_01_1.avi");
        QVERIFY(whole > 8.5);
        if (join)
            QVERIFY2(qAbs(title - whole) <= 0.5, qPrintable(QString("%1 against %2").arg(title).arg(whole)));
        else
            QVERIFY2(title < whole / 2, qPrintable(QString::number(title)));
        if (join && !twoPass)
            QVERIFY2(progress.indexOf(QRegularExpression("([1-9][0-9]?|100) %.*")) >= 0,
                     qPrintable(progress.join(" | ")));
    }
};

QTEST_MAIN(TestJoiningE2e)
#include "test_joining_e2e.moc"
