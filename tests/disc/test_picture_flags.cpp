// Film found from the pictures' own flags, without decoding them.
#include "disc/dvd_disc.h"
#include "disc/picture_flags.h"

#include <QTest>

using namespace zento;

namespace {

// A picture coding extension: repeat_first_field and progressive_frame as given.
QByteArray Picture(bool repeat, bool progressive)
{
    QByteArray ext("\x00\x00\x01\xb5\x8f\xff\xf3", 7);
    ext += char(0x80 | (repeat ? 0x02 : 0)); // top field first
    ext += char(progressive ? 0x80 : 0);
    return ext + QByteArray(8, '\x11'); // picture data after it
}

// 2048-byte packs holding `payload` in packets of `stream` (0xe0 video),
// each pack with its header and one packet, padded.
QByteArray Packs(const QByteArray &payload, int stream = 0xe0, int perPack = 1000)
{
    QByteArray packs;
    for (qsizetype at = 0; at < payload.size(); at += perPack) {
        const QByteArray part = payload.mid(at, perPack);
        QByteArray pack("\x00\x00\x01\xba\x44\x00\x04\x00\x04\x01\x01\x89\xc3\xf8", 14);
        QByteArray pes("\x00\x00\x01", 3);
        pes += char(stream);
        const int length = int(part.size()) + 3;
        pes += char(length >> 8);
        pes += char(length & 0xff);
        pes += QByteArray("\x81\x00\x00", 3) + part;
        pack += pes;
        const int left = 2048 - int(pack.size()) - 6;
        pack += QByteArray("\x00\x00\x01\xbe", 4) + char(left >> 8) + char(left & 0xff) + QByteArray(left, '\xff');
        packs += pack;
    }
    return packs;
}

// Film by 3:2 pulldown: every other picture repeats its first field.
QByteArray Pulldown(int pictures)
{
    QByteArray video;
    for (int i = 0; i < pictures; ++i)
        video += Picture(i % 2 == 0, true);
    return video;
}

QByteArray Pictures(int count, bool repeat, bool progressive)
{
    QByteArray video;
    for (int i = 0; i < count; ++i)
        video += Picture(repeat, progressive);
    return video;
}

const QByteArray kSequenceHeader("\x00\x00\x01\xb3\x16\x00\xf0\x13\xff\xff\xe0\x18", 12); // 352x240

// A title of 1000 blocks: a sequence header where `headers` says, else an
// interlaced picture in the even blocks and AC3 sound in the odd ones, of
// stream 0x80 and, from block `late` on, 0x81.
class BlocksReader : public DiscTitleReader {
public:
    BlocksReader(const QList<int> &headers, int late)
    {
        for (int block = 0; block < 1000; ++block) {
            if (headers.contains(block))
                blocks_ += Packs(kSequenceHeader);
            else if (block % 2 == 0)
                blocks_ += Packs(Pictures(1, false, false));
            else
                blocks_ += Packs(QByteArray(1, char(block >= late ? 0x81 : 0x80)) + QByteArray(12, '\0'), 0xbd);
        }
    }
    int Read(unsigned char *buffer, int maxBlocks) override
    {
        const int count = int(qMin<qint64>(maxBlocks, TotalBlocks() - at_));
        memcpy(buffer, blocks_.constData() + at_ * kBlockSize, size_t(count) * kBlockSize);
        at_ += count;
        return count;
    }
    qint64 TotalBlocks() const override { return blocks_.size() / kBlockSize; }
    qint64 SkippedBlocks() const override { return 0; }
    bool SeekBlock(qint64 block) override
    {
        at_ = block;
        return block >= 0 && block < TotalBlocks();
    }

private:
    QByteArray blocks_;
    qint64 at_ = 0;
};

} // namespace

class TestPictureFlags : public QObject {
    Q_OBJECT
private slots:
    void flags_data()
    {
        QTest::addColumn<QByteArray>("blocks");
        QTest::addColumn<QString>("counts"); // pictures, repeating, progressive; the size when read
        QTest::addColumn<bool>("film");
        QTest::newRow("3:2 pulldown") << Packs(Pulldown(16)) << "16 8 16" << true;
        QTest::newRow("interlaced video") << Packs(Pictures(16, false, false)) << "16 0 0" << false;
        QTest::newRow("progressive, no pulldown (PAL film)") << Packs(Pictures(16, false, true)) << "16 0 16" << false;
        QTest::newRow("a sequence header's size")
            << Packs(QByteArray("\x00\x00\x01\xb3\x16\x00\xf0\x13\xff\xff\xe0\x18", 12) + Pulldown(16))
            << "16 8 16 352x240" << true;
        QTest::newRow("too few pictures to tell") << Packs(Pulldown(6)) << "6 3 6" << false;
        QTest::newRow("a quarter repeating is enough")
            << Packs(Pictures(3, true, true) + Pictures(9, false, true)) << "12 3 12" << true;
        QTest::newRow("less than a quarter")
            << Packs(Pictures(2, true, true) + Pictures(10, false, true)) << "12 2 12" << false;
        // an extension split between two packs' packets is found whole
        QTest::newRow("split across packs") << Packs(Pulldown(16), 0xe0, 37) << "16 8 16" << true;
        QTest::newRow("the same bytes in audio") << Packs(Pulldown(16), 0xc0) << "0 0 0" << false;
        QTest::newRow("a sequence extension") << Packs(QByteArray("\x00\x00\x01\xb5\x14\x8a\x00\x01", 8)) << "0 0 0"
                                              << false;
        QTest::newRow("no pack header") << Pulldown(16).leftJustified(4096, '\0') << "0 0 0" << false;
        QTest::newRow("a packet longer than its pack")
            << [] {
                   QByteArray p = Packs(Pulldown(16));
                   p[14 + 4] = char(0x7f);
                   return p;
               }()
            << "0 0 0" << false;
        QTest::newRow("less than a pack") << Packs(Pulldown(16)).left(2000) << "0 0 0" << false;
    }
    // The size comes from a sequence header, once a unit: units longer than
    // the stretches looked at may put none in them. The sound met reaches
    // the title's last tenth, where a late track may start.
    void sampledTitle_data()
    {
        QTest::addColumn<QList<int>>("headers");
        QTest::addColumn<int>("late");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("pictures"); // the even blocks of five stretches, less the headers among them
        QTest::addColumn<QList<int>>("sound");
        QTest::newRow("in a stretch") << QList<int>{0, 120, 330} << 1000 << QSize(352, 240) << 158 << QList<int>{0x80};
        QTest::newRow("units falling between the stretches, a track from 88 %")
            << QList<int>{0, 170, 370, 570, 770, 970} << 880 << QSize(352, 240) << 160 << QList<int>{0x80, 0x81};
        QTest::newRow("none") << QList<int>{} << 0 << QSize(0, 0) << 160 << QList<int>{0x81};
    }
    void sampledTitle()
    {
        QFETCH(QList<int>, headers);
        QFETCH(int, late);
        QFETCH(QSize, size);
        QFETCH(int, pictures);
        QFETCH(QList<int>, sound);
        BlocksReader reader(headers, late);
        const PictureFlags flags = SampleTitlePictures(reader);
        QCOMPARE(QSize(flags.width, flags.height), size);
        QCOMPARE(flags.pictures, pictures);
        QCOMPARE(flags.audioStreams, sound);
    }

    void flags()
    {
        QFETCH(QByteArray, blocks);
        QFETCH(QString, counts);
        QFETCH(bool, film);
        PictureFlags flags;
        ReadPictureFlags(reinterpret_cast<const unsigned char *>(blocks.constData()), blocks.size(), flags);
        QString seen = QString("%1 %2 %3").arg(flags.pictures).arg(flags.repeatFirstField).arg(flags.progressive);
        if (flags.width > 0)
            seen += QString(" %1x%2").arg(flags.width).arg(flags.height);
        QCOMPARE(seen, counts);
        QCOMPARE(IsSoftTelecine(flags), film);
    }
};

QTEST_GUILESS_MAIN(TestPictureFlags)
#include "test_picture_flags.moc"
