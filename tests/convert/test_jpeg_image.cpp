#include "convert/jpeg_image.h"
#include "platform/error.h"

#include <QBuffer>
#include <QImage>
#include <QTemporaryDir>
#include <QtTest>

using namespace zento;

namespace
{

QByteArray EncodeJpeg(const QImage &image, int quality = 95)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "JPG", quality))
        qFatal("the test cannot write a JPEG");
    return bytes;
}

QImage TwoColourPicture(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(QColor(220, 30, 30));
    for (int y = 0; y < height; ++y)
        for (int x = width / 2; x < width; ++x)
            image.setPixelColor(x, y, QColor(20, 40, 230));
    return image;
}

} // namespace

class TestJpegImage : public QObject
{
    Q_OBJECT
  private slots:
    void decodesSizeAndColours_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::newRow("thumbnail 80x60") << 80 << 60;
        QTest::newRow("odd size 33x17") << 33 << 17;
        QTest::newRow("one pixel") << 1 << 1;
    }
    void decodesSizeAndColours()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        const RgbImage image = DecodeJpeg(EncodeJpeg(TwoColourPicture(width, height)));
        QCOMPARE(image.width, width);
        QCOMPARE(image.height, height);
        QCOMPARE(image.rgb.size(), qsizetype(width) * height * 3);
        // the left edge is red, the right edge blue (JPEG is lossy: loose bounds)
        const auto at = [&](int x, int y, int c) {
            return quint8(image.rgb.at((qsizetype(y) * width + x) * 3 + c));
        };
        if (width > 1) {
            QVERIFY(at(0, 0, 0) > 150 && at(0, 0, 2) < 100);
            QVERIFY(at(width - 1, height - 1, 2) > 150);
            QVERIFY(at(width - 1, height - 1, 0) < 100);
        }
    }

    void greyPictureBecomesRgb()
    {
        QImage grey(16, 8, QImage::Format_Grayscale8);
        grey.fill(200);
        const RgbImage image = DecodeJpeg(EncodeJpeg(grey));
        QCOMPARE(image.width, 16);
        QCOMPARE(image.rgb.size(), qsizetype(16 * 8 * 3));
        QVERIFY(qAbs(int(quint8(image.rgb.at(0))) - 200) < 8);
        QCOMPARE(image.rgb.at(0), image.rgb.at(2)); // grey: red equals blue
    }

    void unreadableDataRaises_data()
    {
        QTest::addColumn<QByteArray>("data");
        const QByteArray good = EncodeJpeg(TwoColourPicture(80, 60));
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("text") << QByteArray("not a picture at all");
        QTest::newRow("header only") << good.left(2);
        QTest::newRow("png signature") << QByteArray("\x89PNG\r\n\x1a\n0000000000000000", 24);
        QByteArray scrambled = good;
        for (qsizetype i = 2; i < 200 && i < scrambled.size(); ++i)
            scrambled[i] = char(0xFF);
        QTest::newRow("scrambled header") << scrambled;
    }
    void unreadableDataRaises()
    {
        QFETCH(QByteArray, data);
        QVERIFY_THROWS_EXCEPTION(Error, DecodeJpeg(data));
    }

    void cutOffPictureStillDecodes()
    {
        // A file cut short (still being written) gives a picture, the missing
        // part filled in, rather than a failure.
        const QByteArray good = EncodeJpeg(TwoColourPicture(320, 240));
        const RgbImage image = DecodeJpeg(good.left(good.size() - 200));
        QCOMPARE(image.width, 320);
        QCOMPARE(image.height, 240);
    }

    void fileVariants()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("_thumb.jpg"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(EncodeJpeg(TwoColourPicture(80, 60)));
        file.close();
        QCOMPARE(DecodeJpegFile(path).width, 80);
        QVERIFY_THROWS_EXCEPTION(Error, DecodeJpegFile(dir.filePath(QStringLiteral("missing.jpg"))));
        QVERIFY_THROWS_EXCEPTION(Error, DecodeJpegFile(dir.path())); // a folder
    }
};

QTEST_GUILESS_MAIN(TestJpegImage)
#include "test_jpeg_image.moc"
