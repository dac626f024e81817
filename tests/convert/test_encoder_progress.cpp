// How far an encoder run has come, read from its own output.
#include "convert/encoder_progress.h"

#include <QtTest>

using namespace zento;

namespace {

const QByteArray kHead = "Input #0, mpeg, from 'VTS_01_1.VOB':\n"
                         "  Duration: 00:01:40.00, start: 0.280633, bitrate: 6000 kb/s\n"
                         "  Stream #0:0[0x1e0]: Video: mpeg2video (Main), yuv420p, 720x480\n";

QByteArray Line(const char *time)
{
    return QByteArray("frame=  100 fps= 50 q=2.0 size=    256kB time=") + time + " bitrate= 800.0kbits/s speed=2x\r";
}

} // namespace

class TestEncoderProgress : public QObject {
    Q_OBJECT
private slots:
    void readsDurationAndPosition_data()
    {
        QTest::addColumn<QByteArray>("output");
        QTest::addColumn<qint64>("duration");
        QTest::addColumn<qint64>("position");
        QTest::addColumn<int>("percent"); // -1: none
        QTest::newRow("duration and two progress lines")
            << kHead + Line("00:00:10.00") + Line("00:00:25.50") << qint64(100000) << qint64(25500) << 25;
        QTest::newRow("the unfinished last line does not count yet")
            << kHead + Line("00:00:10.00") + "frame= 200 time=00:00:50.00" << qint64(100000) << qint64(10000) << 10;
        QTest::newRow("no duration: no percentage") << Line("00:00:10.00") << qint64(-1) << qint64(10000) << -1;
        QTest::newRow("duration N/A, a later input's counts")
            << QByteArray("Input #0, mpeg, from 'pipe:':\n  Duration: N/A, bitrate: N/A\n"
                          "Input #1, mpeg, from 'b.vob':\n  Duration: 00:00:20.00, start\n") +
                   Line("00:00:05.00")
            << qint64(20000) << qint64(5000) << 25;
        QTest::newRow("only the first duration counts")
            << kHead + "  Duration: 00:00:01.00\n" + Line("00:00:50.00") << qint64(100000) << qint64(50000) << 50;
        QTest::newRow("past the end: 100, not more")
            << kHead + Line("00:02:00.00") << qint64(100000) << qint64(120000) << 100;
        QTest::newRow("before the start: 0") << kHead + Line("-00:00:00.03") << qint64(100000) << qint64(0) << 0;
        QTest::newRow("time=N/A keeps the last position")
            << kHead + Line("00:00:30.00") + Line("N/A") << qint64(100000) << qint64(30000) << 30;
        QTest::newRow("hours, a fraction of one digit")
            << QByteArray("Input #0, mpeg, from 'a.vob':\n  Duration: 02:00:00.00\n") + Line("01:30:00.5")
            << qint64(7200000) << qint64(5400500) << 75;
        // The user's names come back in the encoder's words: a path, a title.
        QTest::newRow("a folder named like the key, in the input line")
            << "Input #0, mpeg, from '/dvd/Note Duration: 10:00:00/VTS_01_1.VOB':\n" +
                   kHead.mid(kHead.indexOf('\n') + 1) + Line("00:00:10.00")
            << qint64(100000) << qint64(10000) << 10;
        QTest::newRow("a folder named like the key, in an error line")
            << QByteArray("/dvd/Note Duration: 10:00:00/VTS_01_1.VOB: No such file or directory\n") << qint64(-1)
            << qint64(-1) << -1;
        QTest::newRow("a title like the key, in the input's metadata")
            << QByteArray("Input #0, matroska,webm, from 'a.mkv':\n  Metadata:\n    title           : "
                          "Duration: 10:00:00, start\n  Duration: 00:01:40.00, start: 0.000000\n") +
                   Line("00:00:50.00")
            << qint64(100000) << qint64(50000) << 50;
        QTest::newRow("a duration line outside the input's block")
            << QByteArray("Input #0, mpeg, from 'a.vob':\n  Duration: N/A, bitrate: N/A\nOutput #0, avi, to 'b.avi':\n"
                          "  Duration: 10:00:00.00, start\n") +
                   Line("00:00:10.00")
            << qint64(-1) << qint64(10000) << -1;
        QTest::newRow("a key inside a word is no key")
            << kHead + "  creation_time=00:00:90.00\r  xtime=00:00:40.00\r" << qint64(100000) << qint64(-1) << 0;
        QTest::newRow("an overlong line is skipped whole")
            << kHead + QByteArray(2000, 'x') + " time=00:00:40.00\r" + Line("00:00:20.00") << qint64(100000)
            << qint64(20000) << 20;
    }
    void readsDurationAndPosition()
    {
        QFETCH(QByteArray, output);
        QFETCH(qint64, duration);
        QFETCH(qint64, position);
        QFETCH(int, percent);
        // at once, and cut after every byte
        const EncoderProgress whole = ReadEncoderProgress({}, output);
        EncoderProgress pieces;
        for (char c : output)
            pieces = ReadEncoderProgress(std::move(pieces), QByteArrayView(&c, 1));
        for (const EncoderProgress &progress : {whole, pieces}) {
            QCOMPARE(progress.durationMs, duration);
            QCOMPARE(progress.positionMs, position);
            QCOMPARE(ProgressPercent(progress).value_or(-1), percent);
        }
    }

    void labelText_data()
    {
        QTest::addColumn<QByteArray>("output");
        QTest::addColumn<qint64>("elapsedMs");
        QTest::addColumn<int>("pass");
        QTest::addColumn<int>("passCount");
        QTest::addColumn<QString>("text");
        QTest::newRow("no duration: empty") << Line("00:00:10.00") << qint64(5000) << 1 << 1 << QString();
        QTest::newRow("no position yet: no estimate") << kHead << qint64(5000) << 1 << 1 << "0 %";
        QTest::newRow("under one per cent: no estimate yet")
            << kHead + Line("00:00:00.99") << qint64(5000) << 1 << 1 << "0 %";
        QTest::newRow("one per cent: an estimate")
            << kHead + Line("00:00:01.00") << qint64(1000) << 1 << 1 << "1 %  残り 約2分"; // 99 s
        QTest::newRow("seconds left") << kHead + Line("00:01:00.00") << qint64(30000) << 1 << 1 << "60 %  残り 約20秒";
        QTest::newRow("minutes left, rounded")
            << kHead + Line("00:00:10.00") << qint64(10000) << 1 << 1 << "10 %  残り 約2分"; // 90 s
        QTest::newRow("59.6 s is about a minute")
            << kHead + Line("00:00:50.00") << qint64(59600) << 1 << 1 << "50 %  残り 約1分";
        QTest::newRow("pass 1 of 2") << kHead + Line("00:00:50.00") << qint64(5000) << 1 << 2
                                     << "1/2パス 50 %  残り 約5秒";
        QTest::newRow("pass 2 of 2, done")
            << kHead + Line("00:01:40.00") << qint64(5000) << 2 << 2 << "2/2パス 100 %  残り 約0秒";
        QTest::newRow("past the end: nothing left")
            << kHead + Line("00:03:00.00") << qint64(5000) << 1 << 1 << "100 %  残り 約0秒";
    }
    void labelText()
    {
        QFETCH(QByteArray, output);
        QFETCH(qint64, elapsedMs);
        QFETCH(int, pass);
        QFETCH(int, passCount);
        QFETCH(QString, text);
        QCOMPARE(ProgressLabelText(ReadEncoderProgress({}, output), elapsedMs, pass, passCount), text);
    }
};

QTEST_GUILESS_MAIN(TestEncoderProgress)
#include "test_encoder_progress.moc"
