// Nothing a user made is lost through the window, with the real encoder: an
// earlier output is neither replaced nor removed, and an image cut short is
// converted as far as it goes.
#include "support/test_disc.h"
#include "support/test_support.h"
#include "support/title_window.h"
#include "widgets/color_button.h"

#include <QtTest>

using namespace zento;

class TestNothingLostE2e : public QObject {
    Q_OBJECT
    QTemporaryDir root_;
    const QString image_ = root_.filePath("disc.iso");
    test::ProgramFolder program_;

    // Converts the image's one title into `out`; the messages shown.
    QStringList Convert(const QString &source, const QString &out, const std::function<void()> &beforeRun = {})
    {
        test::DialogRecorder dialogs;
        auto w = test::TitleModeWindow(program_, source, out);
        if (beforeRun)
            beforeRun();
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

    // An image cut short by an interrupted copy: what it holds is converted
    // and kept, and the report says how far it goes.
    void cutImageConvertsWhatIsThere()
    {
        const QString cut = root_.filePath("cut.iso"), out = root_.filePath("cut-out");
        QVERIFY(QFile::copy(image_, cut));
        QVERIFY(QFile::resize(cut, QFileInfo(image_).size() * 55 / 100));
        const QStringList said = Convert(cut, out);
        const QString file = out + "/MYDISC_01.avi";
        const double seconds = test::MediaDuration(file);
        QVERIFY2(seconds > 3 && seconds < 10, qPrintable(QString::number(seconds)));
        QCOMPARE(said.size(), 1);
        QVERIFY2(said.first().contains(QRegularExpression("T01: イメージが途中で終わっています（12 秒のうち "
                                                          "[3-9]\\.[0-9] 秒まで）")),
                 qPrintable(said.first()));
        QVERIFY2(!said.first().contains("入力元を読めなくなりました"), qPrintable(said.first()));
    }
};

QTEST_MAIN(TestNothingLostE2e)
#include "test_nothing_lost_e2e.moc"
