// Feeding the encoder's standard input: the bytes arrive whole and in order,
// and a reader that stops reading or goes away never holds up or ends the
// program.
#include "convert/pipe_feed.h"
#include "support/test_support.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

using namespace zento;

class TestPipeFeed : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;

    QStringList Parts(const QList<int> &sizes)
    {
        QStringList parts;
        for (int i = 0; i < sizes.size(); ++i) {
            const QString path = dir_.filePath(QString("VTS_01_%1.VOB").arg(i + 1));
            test::WriteFile(path, QByteArray(sizes[i], char('a' + i)));
            parts << path;
        }
        return parts;
    }

    static QByteArray ReadToEnd(int fd)
    {
        QByteArray all;
        char buffer[65536];
        for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) != 0;)
            if (n > 0)
                all.append(buffer, n);
        return all;
    }

private slots:
    void feedsThePartsInOrder_data()
    {
        QTest::addColumn<QList<int>>("sizes");
        QTest::addColumn<qint64>("limit");
        QTest::newRow("three parts, larger than a pipe") << QList<int>{700000, 3, 300000} << qint64(-1);
        QTest::newRow("an empty part between") << QList<int>{5000, 0, 5000} << qint64(-1);
        QTest::newRow("the head only") << QList<int>{700000, 300000} << qint64(800000);
    }
    void feedsThePartsInOrder()
    {
        QFETCH(QList<int>, sizes);
        QFETCH(qint64, limit);
        const QStringList parts = Parts(sizes);
        QByteArray expected;
        for (const QString &part : parts)
            expected += test::ReadFile(part);
        if (limit >= 0)
            expected.truncate(limit);
        PipeFeeder feeder(FilePartsFeed(parts), limit);
        QCOMPARE(feeder.TotalBytes(), qint64(expected.size()));
        QVERIFY(feeder.Start());
        const int fd = ::dup(feeder.ChildFd());
        feeder.ChildStarted();
        QCOMPARE(ReadToEnd(fd), expected);
        ::close(fd);
        feeder.Stop();
        QVERIFY(feeder.Complete());
        QVERIFY(!feeder.SourceFailed());
        QCOMPARE(feeder.FedBytes(), qint64(expected.size()));
    }

    // The reader stops reading (a hung encoder, a cancel under way) or goes
    // (an encoder that ended early): the feeding stops at once, and the
    // broken pipe ends neither the feeding's thread nor the program.
    void readerThatStopsOrGoes_data()
    {
        QTest::addColumn<bool>("closes");
        QTest::newRow("stops reading") << false;
        QTest::newRow("goes away") << true;
    }
    void readerThatStopsOrGoes()
    {
        QFETCH(bool, closes);
        PipeFeeder feeder(FilePartsFeed(Parts({4000000})));
        QVERIFY(feeder.Start());
        int fd = ::dup(feeder.ChildFd());
        feeder.ChildStarted();
        char head[1000];
        QVERIFY(::read(fd, head, sizeof head) > 0);
        if (closes)
            ::close(fd);
        QTest::qWait(200);
        QElapsedTimer clock;
        clock.start();
        feeder.Stop();
        QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(!feeder.Complete());
        QVERIFY(feeder.FedBytes() < 4000000);
        if (!closes)
            ::close(fd);
    }

    void missingPartFailsTheSource()
    {
        PipeFeeder feeder(FilePartsFeed({dir_.filePath("gone.VOB")}));
        QVERIFY(feeder.Start());
        const int fd = ::dup(feeder.ChildFd());
        feeder.ChildStarted();
        QCOMPARE(ReadToEnd(fd), QByteArray());
        ::close(fd);
        feeder.Stop();
        QVERIFY(feeder.SourceFailed());
    }
};

QTEST_GUILESS_MAIN(TestPipeFeed)
#include "test_pipe_feed.moc"
