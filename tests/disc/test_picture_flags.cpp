// Film found from the pictures' own flags, without decoding them.
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
