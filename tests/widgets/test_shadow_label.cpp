#include "widgets/shadow_label.h"
#include "widgets/ui_font.h"

#include <QImage>
#include <QTest>

using namespace zento;

namespace {

// A background no look of the label uses, so that untouched pixels are known.
const QColor kBackground(0, 0, 160);

QImage Render(TShadowLabel &label)
{
    QImage image(label.size(), QImage::Format_RGB32);
    image.fill(kBackground);
    label.render(&image);
    return image;
}

bool IsBackground(const QImage &image, int x, int y)
{
    return image.pixelColor(x, y) == kBackground;
}

// Whether the glyphs cover any pixel of the 3 x 3 block around (x, y).
bool NearGlyph(const QImage &plain, int x, int y)
{
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
            if (plain.rect().contains(x + dx, y + dy) && !IsBackground(plain, x + dx, y + dy))
                return true;
    return false;
}

} // namespace

class TestShadowLabel : public QObject {
    Q_OBJECT
private slots:
    void outlineOnePixel_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("preset heading") << QStringLiteral("一発設定 ：");
        QTest::newRow("source heading") << QStringLiteral("入力元 (DVD) - DVDドライブとチャプターを選択");
        QTest::newRow("output heading") << QStringLiteral("出力先 (動画ファイル)");
        QTest::newRow("small kana and marks") << QStringLiteral("ャィュョッ ぱぴ ドブ");
        QTest::newRow("latin") << QStringLiteral("DVD変換Zento : ;");
        QTest::newRow("cut off by the label's right edge") << QStringLiteral("出力先 (動画ファイル) 出力先 (動画ファイル) 出力先 (動画ファイル)");
    }
    void outlineOnePixel()
    {
        // The edge hugs the glyphs: it lies only next to them (so no gap of
        // three pixels closes), and every pixel beside a glyph pixel that is
        // at least half covered carries it at least half strong.
        QFETCH(QString, text);
        TShadowLabel label(text, nullptr, TShadowLabel::Look::Outline);
        label.setFont(UiFont(12));
        label.setGeometry(0, 0, 300, 19);
        const QColor edge = label.EdgeColor();
        label.SetEdgeColor(kBackground);
        const QImage plain = Render(label);
        label.SetEdgeColor(edge);
        const QImage outlined = Render(label);

        // With the edge as dark as (64, 64, 64) and the text white, red tells
        // the glyph's cover in the plain picture and the edge's strength where
        // the glyph does not cover.
        QCOMPARE(edge, QColor(64, 64, 64));
        const auto red = [](const QImage &image, int x, int y) { return image.pixelColor(x, y).red(); };
        int edgePixels = 0;
        for (int y = 0; y < plain.height(); ++y) {
            for (int x = 0; x < plain.width(); ++x) {
                if (!NearGlyph(plain, x, y)) {
                    QVERIFY2(IsBackground(outlined, x, y), qPrintable(QStringLiteral("edge at %1,%2").arg(x).arg(y)));
                    continue;
                }
                if (!IsBackground(plain, x, y))
                    continue;
                bool besideCovered = false; // a neighbour at least half covered
                for (const QPoint d : {QPoint(1, 0), QPoint(-1, 0), QPoint(0, 1), QPoint(0, -1)})
                    besideCovered = besideCovered || (plain.rect().contains(x + d.x(), y + d.y()) &&
                                                      red(plain, x + d.x(), y + d.y()) >= 128);
                if (besideCovered) {
                    QVERIFY2(red(outlined, x, y) >= 32, qPrintable(QStringLiteral("no edge at %1,%2").arg(x).arg(y)));
                    ++edgePixels;
                }
            }
        }
        QVERIFY(edgePixels > 10);
    }
};

QTEST_MAIN(TestShadowLabel)
#include "test_shadow_label.moc"
