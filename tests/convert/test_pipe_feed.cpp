// Feeding the encoder's standard input: the bytes arrive whole and in order,
// and a reader that stops reading or goes away never holds up or ends the
// program.
#include "convert/pipe_feed.h"
#include "convert/title_streams.h"
#include "support/test_disc.h"
#include "support/test_support.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>

#include <condition_variable>
#include <future>
#include <mutex>
#include <thread>

#include <fcntl.h>
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

    // What an open descriptor refers to ("pipe:[inode]"), "" for none.
    static QByteArray Target(int fd)
    {
        char target[64];
        const QByteArray link = "/proc/self/fd/" + QByteArray::number(fd);
        const ssize_t n = ::readlink(link.constData(), target, sizeof target);
        return n > 0 ? QByteArray(target, int(n)) : QByteArray();
    }
    // The other descriptor of the pipe that fd reads, -1 when none is open.
    static int WriteEnd(int fd)
    {
        const QByteArray pipe = Target(fd);
        for (const QString &n : QDir("/proc/self/fd").entryList(QDir::NoDotAndDotDot | QDir::System))
            if (n.toInt() != fd && Target(n.toInt()) == pipe)
                return n.toInt();
        return -1;
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

    // What a test feed went through, kept outside it: the feeding's thread
    // lets go of the feed when it ends.
    struct Seen {
        std::atomic<bool> reading{false}, interrupted{false};
    };

    // A source whose read waits until it is interrupted (at most a minute).
    class WaitingFeed : public InputFeed {
    public:
        explicit WaitingFeed(Seen &seen) : seen_(seen) {}
        qint64 TotalBytes() const override { return 1 << 20; }
        bool Open(QString &) override { return true; }
        qint64 Read(char *, qint64) override
        {
            std::unique_lock lock(mutex_);
            seen_.reading = true;
            woken_.wait_for(lock, std::chrono::minutes(1), [this] { return interrupted_; });
            return interrupted_ ? 0 : -1;
        }
        void Interrupt() override
        {
            std::lock_guard lock(mutex_);
            interrupted_ = seen_.interrupted = true;
            woken_.notify_all();
        }

    private:
        Seen &seen_;
        std::mutex mutex_;
        std::condition_variable woken_;
        bool interrupted_ = false;
    };

    // A read the system does not return from until the drive gives up: an
    // interrupt does not reach it. Its end is told when it is let go.
    class StuckFeed : public InputFeed {
    public:
        StuckFeed(Seen &seen, std::shared_future<void> release, std::shared_ptr<std::promise<void>> gone)
            : seen_(seen), release_(std::move(release)), gone_(std::move(gone))
        {
        }
        ~StuckFeed() override { gone_->set_value(); }
        qint64 TotalBytes() const override { return 1 << 20; }
        bool Open(QString &) override { return true; }
        qint64 Read(char *, qint64) override
        {
            seen_.reading = true;
            release_.wait();
            return -1;
        }

    private:
        Seen &seen_;
        std::shared_future<void> release_;
        std::shared_ptr<std::promise<void>> gone_; // shared: told on the feeding's thread
    };

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
        const QByteArray pipe = Target(feeder.ChildFd());
        const int writeEnd = WriteEnd(feeder.ChildFd());
        QVERIFY(writeEnd >= 0);
        int fd = ::dup(feeder.ChildFd());
        const int room = ::fcntl(fd, F_GETPIPE_SZ);
        feeder.ChildStarted();
        // The pipe is full: the feeding waits for room.
        QTRY_COMPARE_WITH_TIMEOUT(feeder.FedBytes(), qint64(room), 5000);
        char head[1000];
        QVERIFY(::read(fd, head, sizeof head) > 0);
        if (closes) {
            // The reader went: the feeding ends by itself and closes its end.
            ::close(fd);
            QTRY_VERIFY_WITH_TIMEOUT(Target(writeEnd) != pipe, 1000);
        }
        QElapsedTimer clock;
        clock.start();
        feeder.Stop();
        QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(!feeder.Complete());
        QCOMPARE(feeder.FedBytes(), qint64(room));
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

    void stopInterruptsAReadInProgress()
    {
        // A read stuck on a damaged disc: the stop does not wait it out, and
        // the stopped feeding tells of neither a failure nor an end.
        Seen seen;
        PipeFeeder feeder(std::make_unique<WaitingFeed>(seen));
        QVERIFY(feeder.Start());
        QTRY_VERIFY(seen.reading);
        feeder.Stop();
        QVERIFY(seen.interrupted);
        QVERIFY(!feeder.SourceFailed());
        QVERIFY(!feeder.Complete());
    }

    void stopDoesNotWaitOutAStuckRead()
    {
        // 中止 while the drive retries a damaged block: the window does not
        // freeze for the minutes that takes; the feeding's thread lets go of
        // the source and the pipe once the read comes back.
        Seen seen;
        std::promise<void> release;
        const auto let = std::make_shared<std::promise<void>>();
        std::future<void> gone = let->get_future();
        auto feeder =
            std::make_unique<PipeFeeder>(std::make_unique<StuckFeed>(seen, release.get_future().share(), let));
        QVERIFY(feeder->Start());
        const int fd = ::dup(feeder->ChildFd());
        feeder->ChildStarted();
        QTRY_VERIFY(seen.reading);
        std::promise<void> stopped;
        std::thread stopping([&] {
            feeder->Stop();
            stopped.set_value();
        });
        const bool returned = stopped.get_future().wait_for(std::chrono::seconds(20)) == std::future_status::ready;
        release.set_value();
        stopping.join();
        QVERIFY2(returned, "the stop waited for the stuck read");
        QVERIFY(!feeder->SourceFailed());
        feeder.reset();
        QCOMPARE(gone.wait_for(std::chrono::seconds(20)), std::future_status::ready);
        QCOMPARE(ReadToEnd(fd), QByteArray());
        ::close(fd);
    }

    void titleWithSubtitlesFedWhole()
    {
        // Every block of the title once: its subpicture packs handed on
        // ahead of the picture around them, never later, the rest in the
        // disc's order; an empty subpicture first for each stream.
        const QString disc = dir_.filePath("subs");
        QString said;
        QVERIFY2(test::MakeTestDisc(disc, {"--titles", "8", "--subs", "ja:5,en:6", "--chapter", "0"}, {}, &said),
                 qPrintable(said));
        auto opened = DvdDisc::Open(disc);
        DiscInfo info;
        QVERIFY(opened && opened->ReadInfo(info));
        const DiscTitle title = info.titles.value(0);
        auto reader = opened->OpenTitle(title);
        QByteArray raw(int(reader->TotalBlocks() + 1) * 2048, 0);
        qint64 rawBlocks = 0;
        for (int n; (n = reader->Read(reinterpret_cast<unsigned char *>(raw.data()) + rawBlocks * 2048, 1)) > 0;)
            rawBlocks += n;
        raw.truncate(rawBlocks * 2048);

        PipeFeeder feeder(DiscTitleFeed(disc, title));
        QVERIFY(feeder.Start());
        const int fd = ::dup(feeder.ChildFd());
        feeder.ChildStarted();
        const QByteArray fed = ReadToEnd(fd);
        ::close(fd);
        feeder.Stop();
        QVERIFY(feeder.Complete());
        QCOMPARE(fed.size(), raw.size() + 2 * 2048);
        QVERIFY(IsSubpicturePack(fed.constData()) && IsSubpicturePack(fed.constData() + 2048));
        // each kind of block on its own, in order; where the first subtitle is
        const auto split = [](const QByteArray &bytes, qsizetype from) {
            QByteArray subpictures, rest;
            qsizetype first = -1;
            for (qsizetype at = from; at < bytes.size(); at += 2048) {
                const bool subpicture = IsSubpicturePack(bytes.constData() + at);
                (subpicture ? subpictures : rest) += bytes.mid(at, 2048);
                first = first < 0 && subpicture ? (at - from) / 2048 : first;
            }
            return std::tuple(subpictures, rest, first);
        };
        const auto [rawSubpictures, rawRest, rawFirst] = split(raw, 0);
        const auto [fedSubpictures, fedRest, fedFirst] = split(fed, 2 * 2048);
        QVERIFY(rawSubpictures == fedSubpictures && rawRest == fedRest);
        QVERIFY2(rawFirst > 256 && fedFirst <= rawFirst - 256, qPrintable(QString("%1, %2").arg(rawFirst).arg(fedFirst)));
    }
};

QTEST_GUILESS_MAIN(TestPipeFeed)
#include "test_pipe_feed.moc"
