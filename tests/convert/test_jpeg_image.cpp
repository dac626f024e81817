#include "convert/jpeg_image.h"
#include "platform/error.h"
#include "support/test_support.h"

#include <QBuffer>
#include <QImage>
#include <QtTest>

using namespace zento;

// Red on the left half, blue on the right.
static QByteArray TwoColourJpeg(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(QColor(220, 30, 30));
    for (int y = 0; y < height; ++y)
        for (int x = width / 2; x < width; ++x)
            image.setPixelColor(x, y, QColor(20, 40, 230));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    return buffer.open(QIODevice::WriteOnly) && image.save(&buffer, "JPG", 95) ? bytes : QByteArray();
}

class TestJpegImage : public QObject {
    Q_OBJECT
private slots:
    void decodes()
    {
        const RgbImage image = DecodeJpeg(TwoColourJpeg(33, 17)); // odd sizes: no row padding
        QCOMPARE(QSize(image.width, image.height), QSize(33, 17));
        QCOMPARE(image.rgb.size(), qsizetype(33 * 17 * 3));
        const auto at = [&](int x, int y, int c) { return quint8(image.rgb.at((y * 33 + x) * 3 + c)); };
        QVERIFY(at(0, 16, 0) > 150 && at(0, 16, 2) < 100);   // red, bottom left (JPEG is lossy)
        QVERIFY(at(32, 16, 2) > 150 && at(32, 16, 0) < 100); // blue, bottom right
        // a file cut short (still being written) decodes, the missing part filled in
        const QByteArray big = TwoColourJpeg(320, 240);
        QCOMPARE(DecodeJpeg(big.left(big.size() - 200)).width, 320);
    }

    void unreadableRaises()
    {
        const QByteArray good = TwoColourJpeg(80, 60);
        QByteArray scrambled = good;
        scrambled.replace(2, 200, QByteArray(200, char(0xFF)));
        for (const QByteArray &data : {QByteArray(), QByteArray("not a picture"), good.left(2), scrambled})
            QVERIFY_THROWS_EXCEPTION(Error, DecodeJpeg(data));
        QTemporaryDir dir;
        QVERIFY(test::WriteFile(dir.filePath("_thumb.jpg"), good));
        QCOMPARE(DecodeJpegFile(dir.filePath("_thumb.jpg")).width, 80);
        QVERIFY_THROWS_EXCEPTION(Error, DecodeJpegFile(dir.filePath("missing.jpg")));
        QVERIFY_THROWS_EXCEPTION(Error, DecodeJpegFile(dir.path())); // a folder
    }
};

QTEST_GUILESS_MAIN(TestJpegImage)
#include "test_jpeg_image.moc"
