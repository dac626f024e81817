#include "disc/continuous_times.h"
#include "disc/disc_tables.h"
#include "disc/dvd_disc.h"
#include "disc/nav_pack.h"
#include "support/test_disc.h"
#include "support/test_support.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <cstring>

using namespace zento;

namespace {

struct ReadResult {
    QByteArray bytes;
    qint64 blocks = 0;
    int last = 0; // the last Read's answer: 0 at the end, -1 when the source went
};

ReadResult ReadTitle(DiscTitleReader &reader)
{
    ReadResult result;
    QByteArray buffer(64 * DiscTitleReader::kBlockSize, 0);
    auto *data = reinterpret_cast<unsigned char *>(buffer.data());
    while ((result.last = reader.Read(data, 64)) > 0) {
        result.blocks += result.last;
        result.bytes.append(buffer.constData(), qsizetype(result.last) * DiscTitleReader::kBlockSize);
    }
    return result;
}

// The length in seconds ffmpeg finds in a program stream fed to it on stdin.
double StreamSeconds(const QByteArray &stream)
{
    QProcess ffmpeg;
    ffmpeg.setProcessChannelMode(QProcess::MergedChannels);
    ffmpeg.start(QStringLiteral("ffmpeg"),
                 {"-nostdin", "-hide_banner", "-f", "mpeg", "-i", "-", "-map", "0:v", "-c", "copy", "-f", "null", "-"});
    if (!ffmpeg.waitForStarted())
        return -1;
    ffmpeg.write(stream);
    ffmpeg.closeWriteChannel();
    if (!ffmpeg.waitForFinished(60000))
        return -1;
    const QString output = QString::fromUtf8(ffmpeg.readAll());
    QRegularExpressionMatch last;
    auto matches = QRegularExpression(QStringLiteral("time=(\\d+):(\\d+):([\\d.]+)")).globalMatch(output);
    while (matches.hasNext())
        last = matches.next();
    if (!last.hasMatch())
        return -1;
    return last.captured(1).toInt() * 3600 + last.captured(2).toInt() * 60 + last.captured(3).toDouble();
}

// A real image cut off where its partition begins, the partition as long as
// a block number reaches: the library would look for the partition's first
// table in each of four thousand million blocks past the end.
QByteArray PartitionBeyondImage(const QString &iso)
{
    QFile file(iso);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QByteArray image = file.readAll();
    quint32 start = 0;
    for (qsizetype block = 16; (block + 1) * 2048 <= image.size() && block < 256; ++block) {
        const qsizetype at = block * 2048;
        // a partition descriptor (main and reserve): tag 5, naming its own block
        char *descriptor = image.data() + at;
        if (qFromLittleEndian<quint16>(descriptor) != 5 ||
            qFromLittleEndian<quint32>(descriptor + 12) != quint32(block))
            continue;
        start = qFromLittleEndian<quint32>(descriptor + 188);
        qToLittleEndian<quint32>(0xffffffffu - start, descriptor + 192);
    }
    if (start <= 256 || qsizetype(start) * 2048 > image.size())
        return {};
    image.truncate(qsizetype(start) * 2048);
    return image;
}

// An image that cannot be read from `from` on, and that raises `stop` at
// the third failed read counted in `failures`.
class StoppingImage : public test::FaultyImage {
public:
    StoppingImage(std::unique_ptr<DiscImageStream> image, quint64 from, std::atomic<int> *failures,
                  std::atomic<bool> *stop)
        : FaultyImage(std::move(image), from, quint64(1) << 50), failures_(failures), stop_(stop)
    {
    }
    int Read(void *buffer, int size) override
    {
        const int count = FaultyImage::Read(buffer, size);
        if (count < 0 && ++*failures_ == 3)
            *stop_ = true;
        return count;
    }

private:
    std::atomic<int> *failures_;
    std::atomic<bool> *stop_;
};

} // namespace

class TestDvdDisc : public QObject {
    Q_OBJECT
private:
    QTemporaryDir dir_;
    QString disc_, iso_; // the default disc: titles of 30 and 8 s, chapters every 10 s
    QString angles_;     // an image of one title with two interleaved angles

    QString Path(const QString &name) const { return dir_.filePath(name); }

    // The first title of the default image, through the opener the test set.
    std::unique_ptr<DiscTitleReader> FirstTitle() const
    {
        auto disc = DvdDisc::Open(iso_);
        DiscInfo info;
        if (!disc || !disc->ReadInfo(info) || info.titles.isEmpty())
            return nullptr;
        return disc->OpenTitle(info.titles[0]);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir_.isValid());
        disc_ = Path("Alien");
        iso_ = Path("Alien.iso");
        QString output;
        QVERIFY2(test::MakeTestDisc(disc_, {"--label", "MOVIE_LBL"}, iso_, &output), qPrintable(output));
        angles_ = Path("angles.iso");
        QVERIFY2(test::MakeAngleTestDisc(Path("angles"), angles_, &output), qPrintable(output));
        // The same folder reached through a lower-case title folder.
        QVERIFY(QDir().mkpath(Path("lower")));
        QVERIFY(QFile::link(disc_ + "/VIDEO_TS", Path("lower/video_ts")));
    }
    void cleanup() { DvdDisc::SetImageOpenerForTesting(nullptr); }

    void info_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("name"); // DiscName
        QTest::newRow("folder") << "Alien"
                                << ""
                                << "Alien";
        QTest::newRow("VIDEO_TS folder") << "Alien/VIDEO_TS"
                                         << ""
                                         << "Alien";
        QTest::newRow("video_ts folder") << "lower/video_ts"
                                         << ""
                                         << "lower";
        QTest::newRow("image with label") << "Alien.iso"
                                          << "MOVIE_LBL"
                                          << "MOVIE_LBL";
    }
    void info()
    {
        QFETCH(QString, source);
        QFETCH(QString, label);
        QFETCH(QString, name);
        QString error;
        auto disc = DvdDisc::Open(Path(source), &error);
        QVERIFY2(disc, qPrintable(error));
        DiscInfo info;
        QVERIFY2(disc->ReadInfo(info, &error), qPrintable(error));
        QCOMPARE(info.volumeLabel, label);
        QCOMPARE(info.titles.size(), 2);
        const qint64 lengths[] = {30000, 8000};
        for (int i = 0; i < 2; ++i) {
            const DiscTitle &title = info.titles.at(i);
            QCOMPARE(title.number, i + 1);
            QCOMPARE(title.titleSet, 1);
            QCOMPARE(title.titleInSet, i + 1);
            QVERIFY2(qAbs(title.durationMs - lengths[i]) <= 100, qPrintable(QString::number(title.durationMs)));
            QCOMPARE(title.audio.size(), 2);
            QCOMPARE(title.audio[0].language, "en");
            QCOMPARE(title.audio[0].codec, "AC3");
            QCOMPARE(title.audio[0].channels, 6);
            QCOMPARE(title.audio[0].streamId, 0x80);
            QCOMPARE(title.audio[1].language, "ja");
            QCOMPARE(title.audio[1].codec, "AC3");
            QCOMPARE(title.audio[1].channels, 2);
            QCOMPARE(title.audio[1].streamId, 0x81);
            QVERIFY(title.subtitles.isEmpty());
            QVERIFY(!title.cells.isEmpty());
            QVERIFY(title.BlockCount() > 0);
        }
        // dvdauthor puts a chapter on the picture group nearest to its mark:
        // groups of 18 frames, so up to 9 frames (0.3 s) away.
        const QList<qint64> starts = info.titles[0].chapterStartsMs;
        QCOMPARE(starts.size(), 3);
        QCOMPARE(starts[0], 0);
        for (int i = 1; i < 3; ++i)
            QVERIFY2(qAbs(starts[i] - i * 10000) <= 300, qPrintable(QString::number(starts[i])));
        QCOMPARE(info.titles[1].chapterStartsMs.first(), 0);
        QCOMPARE(DiscName(Path(source), info.volumeLabel), name);
    }

    // A chapter starts where its cell's picture does: the disc's times of
    // NTSC count 30 frames to the second, so the second chapter of a 2 min
    // title begins 60.06 s in (before, at 60.00, and an hour's 3.6 s early).
    void chapterWhereItsCellStarts()
    {
        const QString folder = Path("MINUTES");
        QString output;
        QVERIFY2(test::MakeTestDisc(folder, {"--titles", "120", "--chapter", "60", "--audio", "ja:440:2", "--bitrate", "500"},
                                    {}, &output),
                 qPrintable(output));
        auto disc = DvdDisc::Open(folder);
        DiscInfo info;
        QVERIFY(disc && disc->ReadInfo(info));
        const DiscTitle &title = info.titles.at(0);
        QCOMPARE(title.chapterStartsMs.size(), 2);
        QVERIFY2(qAbs(title.durationMs - 120000) <= 34, qPrintable(QString::number(title.durationMs)));
        QFile vob(folder + "/VIDEO_TS/VTS_01_1.VOB");
        QVERIFY(vob.open(QIODevice::ReadOnly));
        const auto cellTime = [&vob](const DiscCell &cell) {
            vob.seek(qint64(cell.firstSector) * 2048);
            const QByteArray block = vob.read(2048);
            return NavPackStartTime(reinterpret_cast<const unsigned char *>(block.constData()), block.size());
        };
        const auto first = cellTime(title.cells.constFirst());
        QVERIFY(first);
        qint64 nearest = -1;
        for (const DiscCell &cell : title.cells) {
            const auto time = cellTime(cell);
            QVERIFY(time);
            const qint64 ms = qint64(*time - *first) / 90;
            if (nearest < 0 || qAbs(ms - title.chapterStartsMs[1]) < qAbs(nearest - title.chapterStartsMs[1]))
                nearest = ms;
        }
        QVERIFY2(qAbs(nearest - title.chapterStartsMs[1]) <= 17, // half a frame
                 qPrintable(QString("chapter at %1 ms, its cell at %2 ms").arg(title.chapterStartsMs[1]).arg(nearest)));
    }

    void readsTitleInPlayOrder()
    {
        auto disc = DvdDisc::Open(iso_);
        QVERIFY(disc);
        DiscInfo info;
        QVERIFY(disc->ReadInfo(info));
        auto reader = disc->OpenTitle(info.titles[0]);
        QVERIFY(reader);
        QCOMPARE(reader->TotalBlocks(), info.titles[0].BlockCount());
        const ReadResult read = ReadTitle(*reader);
        QCOMPARE(read.last, 0);
        QCOMPARE(read.blocks, reader->TotalBlocks());
        QCOMPARE(reader->SkippedBlocks(), 0);
        QVERIFY(test::EncoderToolsOnPath());
        const double seconds = StreamSeconds(read.bytes);
        QVERIFY2(qAbs(seconds - 30) <= 0.25, qPrintable(QString::number(seconds)));
    }

    void faults_data()
    {
        QTest::addColumn<qint64>("failFrom"); // blocks of the image counted from its middle
        QTest::addColumn<qint64>("failTo");   // -1: to the end, the source goes
        QTest::addColumn<qint64>("skipped");
        QTest::newRow("a few bad blocks") << qint64(0) << qint64(10) << qint64(10);
        QTest::newRow("one bad block") << qint64(5) << qint64(6) << qint64(1);
        QTest::newRow("the source goes") << qint64(0) << qint64(-1) << qint64(DiscTitleReader::kGoneAfterBlocks);
    }
    void faults()
    {
        QFETCH(qint64, failFrom);
        QFETCH(qint64, failTo);
        QFETCH(qint64, skipped);
        const qint64 middle = QFileInfo(iso_).size() / 2048 / 2;
        const qint64 to = failTo < 0 ? Q_INT64_C(1) << 40 : middle + failTo;
        DvdDisc::SetImageOpenerForTesting([&](const QString &path) -> std::unique_ptr<DiscImageStream> {
            // the blocks [middle + failFrom, to) of the image cannot be read
            return std::make_unique<test::FaultyImage>(OpenImageFile(path), quint64(middle + failFrom) * 2048,
                                                       quint64(to) * 2048);
        });
        auto reader = FirstTitle();
        QVERIFY(reader);
        const ReadResult read = ReadTitle(*reader);
        QCOMPARE(reader->SkippedBlocks(), skipped);
        if (failTo < 0) {
            QCOMPARE(read.last, -1);
            QVERIFY(read.blocks > 0);
            unsigned char block[DiscTitleReader::kBlockSize];
            QCOMPARE(reader->Read(block, 1), -1); // gone stays gone
        } else {
            QCOMPARE(read.last, 0);
            QCOMPARE(read.blocks, reader->TotalBlocks() - skipped);
        }
    }

    void stopAmongUnreadableBlocks()
    {
        // From the middle on nothing can be read; on the third failed read
        // the feeding is stopped, as a cancel does.
        std::atomic<bool> stop{false};
        std::atomic<int> failures{0};
        const qint64 middle = QFileInfo(iso_).size() / 2048 / 2;
        DvdDisc::SetImageOpenerForTesting([&](const QString &path) -> std::unique_ptr<DiscImageStream> {
            return std::make_unique<StoppingImage>(OpenImageFile(path), quint64(middle) * 2048, &failures, &stop);
        });
        auto reader = FirstTitle();
        QVERIFY(reader);
        reader->StopWhen(&stop);
        failures = 0; // the tables' reads are not counted
        stop = false;
        const ReadResult read = ReadTitle(*reader);
        // Given back at once: not a thousand more tries, nor the source
        // taken for gone.
        QVERIFY2(reader->SkippedBlocks() <= 3, qPrintable(QString::number(reader->SkippedBlocks())));
        QCOMPARE(read.last, 0);
        QVERIFY(read.blocks > 0);
    }

    void anglesSizedAndSoughtByTheirOwnBlocks()
    {
        // Angle 1's units take three times the blocks of angle 2's: each is
        // counted as its own, and half way is half way through its own.
        auto disc = DvdDisc::Open(angles_);
        DiscInfo info;
        QVERIFY(disc && disc->ReadInfo(info));
        const DiscTitle title = info.titles.value(0);
        for (int angle : {1, 2}) {
            auto reader = disc->OpenTitle(title, angle);
            QCOMPARE(ReadTitle(*reader).blocks, title.BlockCount(angle));
            auto half = disc->OpenTitle(title, angle);
            QVERIFY(half->SeekBlock(title.BlockCount(angle) / 2));
            const qint64 rest = ReadTitle(*half).blocks, due = title.BlockCount(angle) - title.BlockCount(angle) / 2;
            QVERIFY2(qAbs(rest - due) <= 200, qPrintable(QString("%1 of %2").arg(rest).arg(due))); // a unit's run
        }
        QVERIFY(title.BlockCount(1) > 2 * title.BlockCount(2));
    }

    void unreadablePackKeepsTheAngle()
    {
        const QString iso = angles_;
        auto disc = DvdDisc::Open(iso);
        DiscInfo info;
        QVERIFY(disc && disc->ReadInfo(info));
        const DiscTitle title = info.titles.value(0);
        const int own = title.Cells(1).constLast().vobId, other = title.Cells(2).constLast().vobId;
        QVERIFY(own != other);
        auto vobOf = [](const QByteArray &data, qint64 n) {
            const auto unit = NavPackUnit(reinterpret_cast<const unsigned char *>(data.constData()) + n * 2048, 2048);
            return unit ? std::pair(unit->vobId, qint64(unit->lastBlock)) : std::pair(0, qint64(-1));
        };
        // The pack of the last unit of a run of angle 1's units, the other
        // angle's next: unreadable.
        const QByteArray image = test::ReadFile(iso);
        qint64 lost = 0;
        while (lost < image.size() / 2048 - 1 &&
               !(vobOf(image, lost).first == own && vobOf(image, lost + vobOf(image, lost).second + 1).first == other))
            ++lost;
        const qint64 wholeBlocks = ReadTitle(*disc->OpenTitle(title, 1)).blocks;
        DvdDisc::SetImageOpenerForTesting([&](const QString &path) -> std::unique_ptr<DiscImageStream> {
            return std::make_unique<test::FaultyImage>(OpenImageFile(path), quint64(lost) * 2048,
                                                       quint64(lost + 1) * 2048);
        });
        auto reader = DvdDisc::Open(iso)->OpenTitle(title, 1);
        const ReadResult read = ReadTitle(*reader);
        QCOMPARE(reader->SkippedBlocks(), 1);
        // the rest of the cell still angle 1's, nothing of angle 2
        QCOMPARE(read.blocks, wholeBlocks - 1);
        for (qint64 n = 0; n < read.blocks; ++n)
            QVERIFY2(vobOf(read.bytes, n).first != other, qPrintable(QString::number(n)));
    }

    void notDvd_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QByteArray>("bytes"); // written to the source (a file), or its VIDEO_TS.IFO
        QByteArray random(600 * 1024, 0);
        for (qsizetype i = 0; i < random.size(); ++i)
            random[i] = char((i * 7919 + (i >> 11) * 104729) % 251);
        QTest::newRow("random bytes image") << "random.iso" << random;
        QTest::newRow("partition running far past the image") << "beyond.iso" << PartitionBeyondImage(iso_);
        QTest::newRow("empty image") << "empty.iso" << QByteArray();
        QTest::newRow("empty folder") << "empty" << QByteArray();
        QTest::newRow("damaged VIDEO_TS.IFO") << "damaged" << QByteArray(12288, 'x');
        QTest::newRow("missing") << "missing" << QByteArray();
        QTest::newRow("missing image") << "missing.iso" << QByteArray();
    }
    void notDvd()
    {
        QFETCH(QString, source);
        QFETCH(QByteArray, bytes);
        const QString path = Path(source);
        if (source == "beyond.iso")
            QVERIFY2(!bytes.isEmpty(), "the test image has no partition descriptor");
        if (source.endsWith(".iso") && !source.startsWith("missing"))
            QVERIFY(test::WriteFile(path, bytes));
        else if (source == "empty")
            QVERIFY(QDir().mkpath(path));
        else if (!bytes.isEmpty())
            QVERIFY(test::WriteFile(path + "/VIDEO_TS/VIDEO_TS.IFO", bytes));
        QString error;
        QVERIFY(!DvdDisc::Open(path, &error));
        QVERIFY(!error.isEmpty());
    }

    void titleSetMissing()
    {
        // A disc whose only title set lost its tables: no titles, no failure.
        const QString folder = Path("noset");
        QVERIFY(QDir().mkpath(folder + "/VIDEO_TS"));
        for (const char *name : {"VIDEO_TS.IFO", "VIDEO_TS.BUP"})
            QVERIFY(QFile::copy(disc_ + "/VIDEO_TS/" + name, folder + "/VIDEO_TS/" + name));
        QString error;
        auto disc = DvdDisc::Open(folder, &error);
        QVERIFY2(disc, qPrintable(error));
        DiscInfo info;
        QVERIFY(disc->ReadInfo(info, &error));
        QCOMPARE(info.titles.size(), 0);
        QCOMPARE(info.unreadTitles, (QList<int>{1, 2})); // told of, not passed over
    }

    void subtitles()
    {
        const QString folder = Path("subs");
        QString output;
        QVERIFY2(test::MakeTestDisc(folder, {"--titles", "8", "--subs", "ja:5,en:6", "--aspect", "16:9"}, {}, &output),
                 qPrintable(output));
        auto disc = DvdDisc::Open(folder);
        QVERIFY(disc);
        DiscInfo info;
        QVERIFY(disc->ReadInfo(info));
        QCOMPARE(info.titles.size(), 1);
        const QList<DiscSubtitleTrack> &subs = info.titles[0].subtitles;
        QCOMPARE(subs.size(), 2);
        QCOMPARE(subs[0].language, "ja");
        QCOMPARE(subs[0].streamId, 0x20);
        QCOMPARE(subs[1].language, "en");
        QCOMPARE(subs[1].streamId, 0x21);
        // spumux's palette: not all black.
        QVERIFY(std::any_of(info.titles[0].palette.begin(), info.titles[0].palette.end(), [](quint32 c) { return c; }));
    }

    void discName_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("expected");
        QTest::newRow("label wins") << "/media/x/MOVIE"
                                    << "MOVIE_LBL"
                                    << "MOVIE_LBL";
        QTest::newRow("folder") << "/home/u/Films/Alien"
                                << ""
                                << "Alien";
        QTest::newRow("folder, trailing slash") << "/home/u/Films/Alien/"
                                                << ""
                                                << "Alien";
        QTest::newRow("VIDEO_TS") << "/home/u/Films/Alien/VIDEO_TS"
                                  << ""
                                  << "Alien";
        QTest::newRow("video_ts") << "/home/u/Films/Alien/video_ts"
                                  << ""
                                  << "Alien";
        QTest::newRow("image") << "/home/u/img/Alien.iso"
                               << ""
                               << "Alien";
        QTest::newRow("image, upper case") << "/home/u/img/My.Film.ISO"
                                           << ""
                                           << "My.Film";
        QTest::newRow("label with slash") << "/x"
                                          << "A/B\x01"
                                          << "A_B_";
        QTest::newRow("blank label") << "/home/u/Alien"
                                     << "   "
                                     << "Alien";
        QTest::newRow("root") << "/"
                              << ""
                              << "DVD";
        QTest::newRow("empty") << ""
                               << ""
                               << "DVD";
        QTest::newRow("dots") << "/x"
                              << ".."
                              << "DVD";
        QTest::newRow("a leading dot: no hidden files") << "/x"
                                                        << ".SECRET"
                                                        << "_SECRET";
    }
    void discName()
    {
        QFETCH(QString, source);
        QFETCH(QString, label);
        QFETCH(QString, expected);
        QCOMPARE(DiscName(source, label), expected);
    }

    void timeCodes_data()
    {
        QTest::addColumn<int>("hour");
        QTest::addColumn<int>("minute");
        QTest::addColumn<int>("second");
        QTest::addColumn<int>("frames"); // the rate in the two high bits, BCD below
        QTest::addColumn<qint64>("ms");
        QTest::newRow("29.97 fps") << 0x00 << 0x00 << 0x29 << 0xe9 << qint64(29996); // 29 s + 29 frames: 899 frames
        QTest::newRow("29.97 fps, an hour") << 0x01 << 0x00 << 0x00 << 0xc0 << qint64(3603600); // 108,000 frames
        QTest::newRow("25 fps") << 0x01 << 0x02 << 0x03 << 0x64 << qint64(3723960);  // 1:02:03 + 24 frames
        QTest::newRow("no rate: no frames") << 0x00 << 0x00 << 0x10 << 0x15 << qint64(10000);
        QTest::newRow("BCD") << 0x00 << 0x59 << 0x59 << 0x40 << qint64(3599000);
    }
    void timeCodes()
    {
        QFETCH(int, hour);
        QFETCH(int, minute);
        QFETCH(int, second);
        QFETCH(int, frames);
        QFETCH(qint64, ms);
        const dvd_time_t time{uint8_t(hour), uint8_t(minute), uint8_t(second), uint8_t(frames)};
        QCOMPARE(TicksToMs(DiscTimeTicks(time)), ms);
    }

    // Where a title's next cell does not start where the one before ended
    // (an angle block authored after its lead-in, a play-all title's
    // episodes each timed from nought), its times are moved on to there:
    // as ffprobe reads the stream, no stream's times go back across the
    // join and the whole spans what is played. Cells that run on in time
    // are handed on byte for byte as read.
    void timesRunOnAcrossCells_data()
    {
        QTest::addColumn<QString>("source"); // "series": a play-all title of two 3 s episodes
        QTest::addColumn<int>("angle");
        QTest::addColumn<double>("seconds");
        QTest::newRow("three chapters that run on") << "default" << 1 << 30.0;
        QTest::newRow("angle 1 after the lead-in") << "angles" << 1 << 12.0;
        QTest::newRow("angle 2 after the lead-in") << "angles" << 2 << 12.0;
        QTest::newRow("play-all episodes") << "series" << 1 << 6.0;
        // the second episode's first unit, 0.6 s, passed over
        QTest::newRow("its first pack damaged") << "series, second episode's first pack zeroed" << 1 << 5.4;
        // cells that run on keep their times: the unit passed over is a gap
        QTest::newRow("chapters, one's first pack damaged") << "chapters, second's first pack zeroed" << 1 << 12.0;
    }
    void timesRunOnAcrossCells()
    {
        QFETCH(QString, source);
        QFETCH(int, angle);
        QFETCH(double, seconds);
        QString path = source == "default" ? iso_ : angles_, output;
        if (source.startsWith("series")) {
            path = Path(source.size() > 6 ? "series-zeroed" : "series");
            QVERIFY2(test::MakeTestDisc(path, {"--titles", "3,3", "--play-all", "--chapter", "0", "--audio", "ja:440:2"},
                                        {}, &output),
                     qPrintable(output));
        }
        if (source.startsWith("chapters")) {
            path = Path("chapters-zeroed");
            QVERIFY2(test::MakeTestDisc(path, {"--titles", "12", "--chapter", "4", "--audio", "ja:440:2"}, {}, &output),
                     qPrintable(output));
        }
        auto disc = DvdDisc::Open(path);
        DiscInfo info;
        QVERIFY(disc && disc->ReadInfo(info));
        if (source.endsWith("zeroed")) {
            QFile vob(path + "/VIDEO_TS/VTS_01_1.VOB");
            QVERIFY(vob.open(QIODevice::ReadWrite) && vob.seek(qint64(info.titles.value(0).cells.value(1).firstSector) * 2048));
            QVERIFY(vob.write(QByteArray(2048, '\0')) == 2048);
        }
        const QByteArray read = ReadTitle(*disc->OpenTitle(info.titles.value(0), angle)).bytes;
        QByteArray stream = read;
        ContinuousTimes().Apply(reinterpret_cast<unsigned char *>(stream.data()), stream.size());
        QCOMPARE(stream == read, source == "default" || source.startsWith("chapters"));
        const QString file = Path("joined.mpg");
        QVERIFY(test::WriteFile(file, stream));
        const QString csv = test::Run("ffprobe", {"-v", "error", "-show_entries", "packet=stream_index,pts_time",
                                                  "-of", "csv=p=0", file});
        QMap<QString, QList<double>> times;
        for (const QString &line : csv.split('\n')) {
            const QStringList field = line.split(',');
            if (field.size() == 2 && field[1] != "N/A")
                times[field[0]] << field[1].toDouble();
        }
        QVERIFY2(times.size() >= 2, qPrintable(csv.left(300)));
        for (auto it = times.cbegin(); it != times.cend(); ++it) {
            double latest = it->value(0), back = 0;
            for (const double t : *it) {
                back = qMax(back, latest - t);
                latest = qMax(latest, t);
            }
            const double span = latest - *std::min_element(it->begin(), it->end());
            const QString said = QString("stream %1: back %2 s, spans %3 s").arg(it.key()).arg(back).arg(span);
            // Pictures go back by a few frames where they are reordered.
            QVERIFY2(back <= 0.15 && qAbs(span - seconds) <= 0.6, qPrintable(said));
        }
    }

    void imagePath()
    {
        QVERIFY(IsDiscImagePath("/a/b.iso"));
        QVERIFY(IsDiscImagePath("B.IsO"));
        QVERIFY(!IsDiscImagePath("/a/iso"));
        QVERIFY(!IsDiscImagePath("/a/b.iso/VIDEO_TS"));
    }
};

QTEST_GUILESS_MAIN(TestDvdDisc)
#include "test_dvd_disc.moc"
