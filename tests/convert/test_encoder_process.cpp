#include "convert/encoder_process.h"
#include "convert/file_size.h"
#include "support/test_support.h"

#include <QtTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace zento;

class TestEncoderProcess : public QObject {
    Q_OBJECT
private slots:
    void tailKeepsLastLines_data()
    {
        QTest::addColumn<QList<QByteArray>>("chunks");
        QTest::addColumn<QStringList>("expected"); // the last two lines
        QTest::newRow("progress lines end with CR") << QList<QByteArray>{"frame=1\rframe=2\r", "Error opening output\n"}
                                                    << QStringList{"frame=2", "Error opening output"};
        QTest::newRow("line split across reads, CRLF")
            << QList<QByteArray>{"a\r\nUnknown enc", "oder 'x'\r\n"} << QStringList{"a", "Unknown encoder 'x'"};
        QTest::newRow("unfinished last line") << QList<QByteArray>{"one\ntwo\nthree"} << QStringList{"two", "three"};
        QTest::newRow("blank lines dropped") << QList<QByteArray>{"x\n\n  \r\n\n"} << QStringList{"x"};
        // an overlong line keeps its end, from a word on: what went wrong is said last
        const QByteArray path = "/o/" + QByteArray(400, 'a') + ".mp4";
        QTest::newRow("overlong line") << QList<QByteArray>{path + ": File name too long\n"}
                                       << QStringList{QString::fromUtf8("…File name too long")};
        QTest::newRow("overlong without blanks, Japanese")
            << QList<QByteArray>{QString(200, QChar(0x30c7)).toUtf8() + "\n", "ok"}
            << QStringList{QString::fromUtf8("…") + QString(99, QChar(0x30c7)), "ok"};
        QTest::newRow("overlong unfinished line")
            << QList<QByteArray>{"x\n" + QByteArray(5000, 'b') + " Conversion failed!"}
            << QStringList{"x", QString::fromUtf8("…Conversion failed!")};
    }
    void tailKeepsLastLines()
    {
        QFETCH(QList<QByteArray>, chunks);
        QFETCH(QStringList, expected);
        OutputTail tail(2);
        for (const QByteArray &chunk : chunks)
            tail.Append(chunk);
        QCOMPARE(tail.Lines(), expected);
    }

    // What went wrong stays known after the encoder's statistics (ffmpeg's own words).
    void tailKeepsWhatWentWrong_data()
    {
        QTest::addColumn<QByteArray>("output");
        QTest::addColumn<QStringList>("errors");
        QTest::addColumn<bool>("noSpace");
        QTest::addColumn<bool>("unfinished");
        const QByteArray stats = "[libx264 @ 0x5] kb/s:1461.21\n[aac @ 0x6] Qavg: 331.318\n"
                                 "1 frames left in the queue on closing\n";
        QTest::newRow("disk full as the file is closed")
            << "frame=   50 fps=0.0 q=28.0 size=      0kB time=00:00:01.00 speed=2x\r"
               "Error writing trailer of /o/x.mp4: No space left on device\n"
               "video:90kB audio:0kB subtitle:0kB other streams:0kB global headers:0kB muxing overhead: unknown\n"
               "Error closing file /o/x.mp4: No space left on device\n" +
                   stats
            << QStringList{"Error writing trailer of /o/x.mp4: No space left on device",
                           "Error closing file /o/x.mp4: No space left on device"}
            << true << true;
        QTest::newRow("two passes without a bit rate")
            << "[libx264 @ 0x5] using cpu capabilities: MMX2 SSE2Fast\n"
               "[libx264 @ 0x5] CRF/CQP is incompatible with 2pass.\n"
               "Error initializing output stream 0:0 -- Error while opening encoder for output stream #0:0\n" +
                   stats + "Conversion failed!\n"
            << QStringList{"[libx264 @ 0x5] CRF/CQP is incompatible with 2pass.",
                           "Error initializing output stream 0:0 -- Error while opening encoder for output stream #0:0"}
            << false << false;
        QTest::newRow("a size the codec refuses, in two lines")
            << "[h263 @ 0x5] The specified picture size of 640x360 is not valid for the H.263 codec.\n"
               "Valid sizes are 128x96, 176x144, 352x288, 704x576, and 1408x1152. Try H.263+.\n"
               "Error initializing output stream 0:0 -- Error while opening encoder for output stream #0:0\n" +
                   stats + "Conversion failed!\n"
            << QStringList{"[h263 @ 0x5] The specified picture size of 640x360 is not valid for the H.263 codec.",
                           "Valid sizes are 128x96, 176x144, 352x288, 704x576, and 1408x1152. Try H.263+.",
                           "Error initializing output stream 0:0 -- Error while opening encoder for output stream #0:0"}
            << false << false;
        QTest::newRow("one error said again and again, once")
            << "[ac3 @ 0x7] frame sync error\n" + QByteArray("av_interleaved_write_frame(): No space left on device\n").repeated(4) +
                   stats
            << QStringList{"[ac3 @ 0x7] frame sync error", "av_interleaved_write_frame(): No space left on device"}
            << true << false;
        QTest::newRow("an error among the last lines is not told twice")
            << "Stream mapping:\n/o/x.avi: Permission denied\n" + stats.left(stats.indexOf('\n') + 1)
            << QStringList() << false << false;
        QTest::newRow("a run that went well")
            << "Press [q] to stop, [?] for help\nframe=  100 fps=50 q=2.0 Lsize=    1024kB time=00:00:04.00\r" + stats
            << QStringList() << false << false;
        QTest::newRow("cut off while closing the file")
            << QByteArray("Error closing file /o/x.avi: No space left on device") << QStringList() << true << true;
    }
    void tailKeepsWhatWentWrong()
    {
        QFETCH(QByteArray, output);
        QFETCH(QStringList, errors);
        QFETCH(bool, noSpace);
        QFETCH(bool, unfinished);
        OutputTail tail;
        // however the output comes in pieces
        for (qsizetype at = 0; at < output.size(); at += 7)
            tail.Append(output.mid(at, 7));
        QCOMPARE(tail.Errors(), errors);
        QCOMPARE(tail.NoSpaceLeft(), noSpace);
        QCOMPARE(tail.OutputUnfinished(), unfinished);
        tail.Clear();
        QCOMPARE(tail.Errors(), QStringList());
        QVERIFY(!tail.NoSpaceLeft() && !tail.OutputUnfinished());
    }

    // The encoder's input file that stopped answering, told apart from its
    // warnings about what it read, which name the file the same way.
    void inputFailure_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<bool>("failed");
        QTest::newRow("disc taken out") << QByteArray("/m/VTS_01_1.VOB: Transport endpoint is not connected") << true;
        QTest::newRow("scratch") << QByteArray("/m/VTS_01_1.VOB: Input/output error") << true;
        QTest::newRow("a damaged frame") << QByteArray("/m/VTS_01_1.VOB: corrupt decoded frame in stream 1") << false;
        QTest::newRow("another file") << QByteArray("/m/VTS_01_2.VOB: Input/output error") << false;
    }
    void inputFailure()
    {
        QFETCH(QByteArray, line);
        QFETCH(bool, failed);
        OutputTail tail;
        tail.WatchInput("/m/VTS_01_1.VOB");
        tail.Append("frame=  100 fps=50 q=2.0 size=1kB time=00:00:04.00\r" + line + "\nConversion ended\n");
        QCOMPARE(tail.InputFailure(), failed ? QString::fromUtf8(line) : QString());
    }

    void outputFolderTyped_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("folder");
        const QString home = QDir::homePath();
        const QString here = QDir::currentPath();
        QTest::newRow("home") << "~" << home;
        QTest::newRow("in home") << "~/動画/dvd/" << home + "/動画/dvd";
        QTest::newRow("relative") << "out/../vids" << here + "/vids";
        QTest::newRow("a name starting with ~") << "~old" << here + "/~old";
        QTest::newRow("absolute") << "/srv/~/x" << "/srv/~/x";
        QTest::newRow("empty") << "" << "";
    }
    void outputFolderTyped()
    {
        QFETCH(QString, typed);
        QFETCH(QString, folder);
        QCOMPARE(AbsoluteFolder(typed), folder);
    }

    void files()
    {
        QTemporaryDir dir;
        const QString source = dir.filePath("VTS_01_1.VOB"), other = dir.filePath("other.VOB");
        QVERIFY(test::WriteFile(source, "vob") && test::WriteFile(other, "vob"));
        QVERIFY(QFile::link(source, dir.filePath("link.VOB")));
        // the same file however spelled; not another one, nor one not there yet
        QVERIFY(IsSameFile(source, dir.path() + "//./VTS_01_1.VOB"));
        QVERIFY(IsSameFile(source, dir.filePath("link.VOB")));
        QVERIFY(!IsSameFile(source, other));
        QVERIFY(!IsSameFile(source, dir.filePath("VTS_01_1.avi")));
        QCOMPARE(FileSize(dir.filePath("missing")), qint64(-1));
        QCOMPARE(FileSize(dir.path()), qint64(-1)); // a folder
        // a named pipe is never opened (it could wait for a writer forever); the pipe
        // is held open here, so that a wrong open returns at once
        const QByteArray fifo = QFile::encodeName(dir.filePath("VTS_01_2.VOB"));
        QCOMPARE(::mkfifo(fifo.constData(), 0600), 0);
        const int held = ::open(fifo.constData(), O_RDWR | O_NONBLOCK);
        QVERIFY(held >= 0);
        const qint64 fifoSize = FileSize(QFile::decodeName(fifo));
        ::close(held);
        QCOMPARE(fifoSize, qint64(-1));
        QFile big(other); // past 2 GB, the true size (a sparse file takes no room)
        QVERIFY(big.open(QIODevice::ReadWrite) && big.resize(qint64(5) << 30));
        QCOMPARE(FileSize(other), qint64(5) << 30);

        // the encoder: a runnable one in the program folder, else the first on PATH
        QTemporaryDir program, onPath;
        const QString local = program.filePath("ffmpeg"), found = onPath.filePath("ffmpeg");
        const QFile::Permissions runnable = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
        QVERIFY(test::WriteFile(found, "#!/bin/sh\n") && QFile::setPermissions(found, runnable));
        QVERIFY(test::WriteFile(local, "#!/bin/sh\n")); // not runnable: does not count
        const QByteArray oldPath = qgetenv("PATH");
        qputenv("PATH", QFile::encodeName(onPath.path()));
        const QString beforeRunnable = FindEncoder(program.path());
        QFile::setPermissions(local, runnable);
        const QString afterRunnable = FindEncoder(program.path());
        qputenv("PATH", oldPath);
        QCOMPARE(beforeRunnable, found);
        QCOMPARE(afterRunnable, local);
    }
};

QTEST_GUILESS_MAIN(TestEncoderProcess)
#include "test_encoder_process.moc"
