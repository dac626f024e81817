// An encoder that is missing, cannot run, crashes, fails, writes nothing or
// hangs: each run ends with the windows usable, the kept files whole and no
// encoder process left, and the next run works.
#include "support/fake_encoder.h"

#include "convert/progress_form.h"
#include "widgets/color_button.h"

#include <QCheckBox>
#include <QProcess>
#include <QTimer>
#include <QtTest>

using namespace zento;
using test::ConvertsAgain;
using test::ExpectedCalls;
using test::FaultBench;
using test::ReadFile;
using test::WriteFile;

namespace {

const char kNotFound[] = "エンコーダ ffmpeg が見つかりませんでした。処理を中止します。";

} // namespace

class TestFaultsEncoder : public QObject {
    Q_OBJECT
    const QByteArray path_ = qgetenv("PATH");

private slots:
    void cleanup() { qputenv("PATH", path_); }

    void encoderFaults_data()
    {
        QTest::addColumn<QString>("encoder"); // fake, missing, not executable, folder
        QTest::addColumn<QByteArray>("conf");
        QTest::addColumn<int>("entries");
        QTest::addColumn<bool>("twoPass");
        QTest::addColumn<bool>("cancelFirst"); // cancel entry 1 once it runs
        QTest::addColumn<QStringList>("calls");
        QTest::addColumn<QStringList>("report"); // parts of the one message; none: no message
        QTest::addColumn<QStringList>("outputs");
        QTest::addColumn<QString>("absent"); // what the message must not hold
        const QStringList notFound{kNotFound, "/program/ffmpeg"};
        const QString failed = "変換できなかったファイルがあります。";
        QTest::newRow("missing") << "missing" << QByteArray() << 1 << false << false << QStringList() << notFound
                                 << QStringList{QString()} << "起動";
        QTest::newRow("not executable") << "not executable" << QByteArray() << 1 << false << false << QStringList()
                                        << notFound << QStringList{QString()} << "起動";
        QTest::newRow("a folder of that name") << "folder" << QByteArray() << 1 << false << false << QStringList()
                                               << notFound << QStringList{QString()} << "起動";
        QTest::newRow("crash in pass 1 of two")
            << "fake" << QByteArray("END=crash1\n") << 1 << true << false << ExpectedCalls(1, true)
            << QStringList{failed, "VTS_01_1.VOB -> VTS_01_1.avi (1パス目)\n  エンコーダが異常終了しました。"}
            << QStringList{"complete"} << "(2パス目)"; // pass 2 still ran, and went well
        QTest::newRow("exit 1 for every file")
            << "fake" << QByteArray("END=fail\n") << 2 << false << false << ExpectedCalls(2, false)
            << QStringList{failed, "VTS_01_1.VOB -> VTS_01_1.avi\n  エンコーダの終了コード: 1\n  frame=",
                           "VTS_01_2.VOB -> VTS_01_2.avi\n  エンコーダの終了コード: 1", "Conversion failed!"}
            << QStringList{"partial", "partial"} << "パス目";
        QTest::newRow("writing nothing")
            << "fake" << QByteArray("END=nothing\n") << 1 << false << false << ExpectedCalls(1, false)
            << QStringList{failed, "VTS_01_1.VOB -> VTS_01_1.avi\n  エンコーダは出力ファイルを書きませんでした。"}
            << QStringList{QString()} << "終了コード";
        QTest::newRow("writing nothing in pass 2") // pass 1's output stays as it was
            << "fake" << QByteArray("[ \"$pass\" = 2 ] && END=nothing\n") << 1 << true << false
            << ExpectedCalls(1, true)
            << QStringList{"VTS_01_1.VOB -> VTS_01_1.avi (2パス目)\n  エンコーダは出力ファイルを書きませんでした。"}
            << QStringList{"complete"} << "(1パス目)";
        QTest::newRow("hanging until cancelled")
            << "fake" << QByteArray("END_1=hang\n") << 2 << false << true << ExpectedCalls(2, false) << QStringList()
            << QStringList{QString(), "complete"} << QString();
        // an encoder that is a script around the real one: the cancel ends both
        QTest::newRow("hanging in a child of its own until cancelled")
            << "fake" << QByteArray("END_1=hangchild\n") << 2 << false << true << ExpectedCalls(2, false)
            << QStringList() << QStringList{QString(), "complete"} << QString();
        // the disc taken out in the middle of the first file: the encoder ends
        // with 0; that file's cut-short output goes, its second pass is not run
        QStringList gone = ExpectedCalls(2, true);
        gone.removeAt(2);
        gone.removeAt(2);
        QTest::newRow("the source gone in the middle")
            << "fake" << QByteArray("END_1=inputgone\n") << 2 << true << false << gone
            << QStringList{failed, "VTS_01_1.VOB -> VTS_01_1.avi (1パス目)\n  入力元を読めなくなりました。\n  /",
                           "/VTS_01_1.VOB: Transport endpoint is not connected"}
            << QStringList{QString(), "complete"} << "2_1.avi (2パス目)";
        // ended with 0, the file unfinished: told, with the cause the statistics followed
        QTest::newRow("disk full as the file is closed")
            << "fake" << QByteArray("END=unfinished\n") << 1 << false << false << ExpectedCalls(1, false)
            << QStringList{failed,
                           "VTS_01_1.VOB -> VTS_01_1.avi\n  エンコーダは出力ファイルを最後まで書けませんでした。\n"
                           "  出力先の空き容量が足りません: ",
                           "\n  Error writing trailer of ", "\n  Error closing file ", "\n  1 frames left in the queue"}
            << QStringList{"partial"} << "終了コード";
    }
    void encoderFaults()
    {
        QFETCH(QString, encoder);
        QFETCH(QByteArray, conf);
        QFETCH(int, entries);
        QFETCH(bool, twoPass);
        QFETCH(bool, cancelFirst);
        QFETCH(QStringList, calls);
        QFETCH(QStringList, report);
        QFETCH(QStringList, outputs);
        QFETCH(QString, absent);

        FaultBench b(entries);
        b.w->CheckBox1->setChecked(twoPass);
        b.Fake(conf);
        if (encoder != "fake") {
            if (encoder == "missing")
                b.SetEncoder(QByteArray());
            else if (encoder == "not executable")
                b.SetEncoder(test::kFaultEncoder, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);
            else
                QVERIFY(QFile::remove(b.program + "/ffmpeg") && QDir().mkdir(b.program + "/ffmpeg"));
            qputenv("PATH", QFile::encodeName(b.root.filePath("empty")).constData());
        }
        bool cancelled = false;
        QTimer canceller;
        QObject::connect(&canceller, &QTimer::timeout, [&] {
            QProcess *process = b.w->EncoderProcess;
            if (cancelFirst && !cancelled && b.w->ProgressForm1 && process && process->state() == QProcess::Running &&
                ReadFile(b.Output(0)) == "partial") {
                cancelled = true;
                b.w->ProgressForm1->CButton1Click(b.w->ProgressForm1->CButton1);
            }
        });
        canceller.start(50);
        const QDeadlineTimer deadline(15000);
        b.Run();
        canceller.stop();
        QVERIFY2(!deadline.hasExpired(), "the run did not end");
        QCOMPARE(cancelled, cancelFirst);

        QCOMPARE(b.Calls(), calls);
        QCOMPARE(b.messages.size(), report.isEmpty() ? 1 : 2);
        QCOMPARE(b.messages[0], QString()); // the beep, first
        for (const QString &part : report)
            QVERIFY2(b.messages[1].contains(part), qPrintable(b.messages[1]));
        if (!report.isEmpty())
            QVERIFY2(!b.messages[1].contains(absent), qPrintable(b.messages[1]));
        if (encoder == "fake" && !report.isEmpty())
            QVERIFY(b.mainEnabled[1]); // the report comes after the closing steps
        for (int i = 0; i < outputs.size(); ++i)
            QCOMPARE(ReadFile(b.Output(i)), outputs[i].toUtf8());
        QVERIFY(!QFile::exists(b.program + "/_thumb.jpg"));
        QString why;
        QVERIFY2(b.Settled(why), qPrintable(why));
        // what the encoder started in turn has gone too (or waits only to be collected)
        if (const QByteArray grandchild = ReadFile(b.program + "/grandchild").trimmed(); !grandchild.isEmpty()) {
            const QByteArray stat = ReadFile(QString("/proc/%1/stat").arg(QString::fromLatin1(grandchild)));
            const qsizetype close = stat.lastIndexOf(')');
            QVERIFY2(close < 0 || QByteArray("ZX").contains(stat.at(close + 2)), stat.constData());
        }
        qputenv("PATH", path_);
        if (encoder == "folder")
            QDir(b.program + "/ffmpeg").removeRecursively();
        ConvertsAgain(b);
    }
};

QTEST_MAIN(TestFaultsEncoder)
#include "test_faults_encoder.moc"
