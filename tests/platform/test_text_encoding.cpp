#include "platform/text_encoding.h"

#include <QTest>

using namespace zento;

Q_DECLARE_METATYPE(zento::TextEncoding)

namespace {

QString U(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

} // namespace

class TestTextEncoding : public QObject {
    Q_OBJECT
private slots:
    void decodeText_data();
    void decodeText();
    void fromShiftJis_data();
    void fromShiftJis();
    void shiftJisRoundTripOfEveryCode();
    void mapping_data();
    void mapping();
    void encodeText_data();
    void encodeText();
    void truncate_data();
    void truncate();
};

void TestTextEncoding::decodeText_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<zento::TextEncoding>("encoding");
    QTest::addColumn<bool>("byteOrderMark");
    QTest::addColumn<QString>("text");

    const auto sjis = TextEncoding::ShiftJis;
    const auto utf8 = TextEncoding::Utf8;
    QTest::newRow("empty") << QByteArray() << sjis << false << QString();
    QTest::newRow("ascii") << QByteArray("DVD,AVI\r\n") << sjis << false << "DVD,AVI\r\n";
    QTest::newRow("utf-8 japanese") << QByteArray("\xe6\x89\x8b\xe5\x8b\x95") << utf8 << false << U("手動");
    QTest::newRow("utf-8 with mark") << QByteArray("\xef\xbb\xbf" "a") << utf8 << true << "a";
    QTest::newRow("mark alone") << QByteArray("\xef\xbb\xbf") << utf8 << true << QString();
    QTest::newRow("two marks keep one") << QByteArray("\xef\xbb\xbf\xef\xbb\xbf" "a") << utf8 << true
                                        << QString(QChar(0xFEFF)) + u'a';
    QTest::newRow("shift-jis japanese") << QByteArray("\x8e\xe8\x93\xae") << sjis << false << U("手動");
    QTest::newRow("truncated utf-8") << QByteArray("a\xe3\x81") << sjis << false << U("a縺");
    QTest::newRow("overlong utf-8") << QByteArray("\xc0\xaf") << sjis << false << U("ﾀｯ");
    QTest::newRow("utf-8 surrogate") << QByteArray("\xed\xa0\x80") << sjis << false << U("恝\xef\xbf\xbd");
}

void TestTextEncoding::decodeText()
{
    QFETCH(QByteArray, bytes);
    QFETCH(zento::TextEncoding, encoding);
    QFETCH(bool, byteOrderMark);
    QFETCH(QString, text);
    const DecodedText decoded = DecodeText(bytes);
    QCOMPARE(decoded.encoding, encoding);
    QCOMPARE(decoded.byteOrderMark, byteOrderMark);
    QCOMPARE(decoded.text, text);
}

void TestTextEncoding::fromShiftJis_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");

    // ASCII, control characters included, is itself in both directions.
    QTest::newRow("control characters") << QByteArray("\x01\x1a\x1c\x1f\x7f", 5)
                                        << QString::fromUtf16(u"\u0001\u001a\u001c\u001f\u007f", 5);
    QTest::newRow("backslash and tilde") << QByteArray("C:\\~") << "C:\\~";
    QTest::newRow("nul") << QByteArray("a\0b", 3) << QString::fromUtf16(u"a\u0000b", 3);
    QTest::newRow("half-width katakana") << QByteArray("\xbe\xb6\xde") << U("ｾｶﾞ");
    QTest::newRow("wave dash") << QByteArray("\x81\x60") << U("～");
    QTest::newRow("full-width comma and space") << QByteArray("\x81\x43\x81\x40") << U("，　");
    QTest::newRow("trail byte 0x5c") << QByteArray("\x95\x5c\x8e\xa6") << U("表示");
    QTest::newRow("nec circled one") << QByteArray("\x87\x40") << U("①");
    QTest::newRow("ibm extension") << QByteArray("\xfa\x5c") << U("纊");
    QTest::newRow("nec-selected ibm extension") << QByteArray("\xed\x40") << U("纊");
    QTest::newRow("invalid single bytes") << QByteArray("\x80\xa0\xfd") << U("\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd");
    QTest::newRow("lead byte at end") << QByteArray("a\x82") << U("a\xef\xbf\xbd");
    QTest::newRow("lead byte before a control") << QByteArray("\x82\x0d") << U("\xef\xbf\xbd\r");
    QTest::newRow("unassigned pair") << QByteArray("\x85\x40" "a") << U("\xef\xbf\xbd" "a");
}

void TestTextEncoding::fromShiftJis()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(FromShiftJis(bytes), text);
    QCOMPARE(DecodeAs(bytes, TextEncoding::ShiftJis), text);
}

void TestTextEncoding::shiftJisRoundTripOfEveryCode()
{
    // Every character that decodes from a byte or a byte pair encodes to bytes
    // that decode to it again, and fits; ASCII and the katakana keep their byte.
    int characters = 0;
    for (int b = 0; b < 0x100; ++b) {
        const QByteArray one(1, static_cast<char>(b));
        const QString text = FromShiftJis(one);
        if (text == QString(QChar(0xFFFD)))
            continue;
        QVERIFY2(FitsShiftJis(text), qPrintable(QString::number(b, 16)));
        QCOMPARE(ToShiftJis(text), one);
        ++characters;
    }
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            QByteArray pair;
            pair.append(static_cast<char>(lead));
            pair.append(static_cast<char>(trail));
            const QString text = FromShiftJis(pair);
            if (text.size() != 1 || text.at(0) == QChar(0xFFFD))
                continue;
            QVERIFY2(FitsShiftJis(text), pair.toHex().constData());
            QCOMPARE(FromShiftJis(ToShiftJis(text)), text);
            ++characters;
        }
    }
    QVERIFY(characters > 7000); // CP932 has well over 7000 characters
}

void TestTextEncoding::mapping_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("fits");
    QTest::addColumn<QByteArray>("shiftJis");

    QTest::newRow("ascii") << "abc" << true << QByteArray("abc");
    QTest::newRow("japanese") << U("一発設定") << true << QByteArray("\x88\xea\x94\xad\x90\xdd\x92\xe8");
    QTest::newRow("wave dash as typed on linux") << U("〜") << true << QByteArray("\x81\x60");
    QTest::newRow("minus, double line, cent, pound, not") << U("−‖¢£¬") << true
                                                          << QByteArray("\x81\x7c\x81\x61\x81\x91\x81\x92\x81\xca");
    QTest::newRow("control characters") << QString::fromUtf16(u"\u001a\u001c\u007f", 3) << true
                                        << QByteArray("\x1a\x1c\x7f");
    QTest::newRow("emoji") << U("a😀") << false << QByteArray();
    QTest::newRow("hangul") << U("한") << false << QByteArray();
    QTest::newRow("yen sign") << U("¥") << false << QByteArray();
}

void TestTextEncoding::mapping()
{
    QFETCH(QString, text);
    QFETCH(bool, fits);
    QFETCH(QByteArray, shiftJis);
    QCOMPARE(FitsShiftJis(text), fits);
    if (fits)
        QCOMPARE(ToShiftJis(text), shiftJis);
}

void TestTextEncoding::encodeText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<zento::TextEncoding>("encoding");
    QTest::addColumn<bool>("byteOrderMark");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<zento::TextEncoding>("encodingAfter");

    const auto sjis = TextEncoding::ShiftJis;
    const auto utf8 = TextEncoding::Utf8;
    QTest::newRow("shift-jis holds it") << U("手動") << sjis << false << QByteArray("\x8e\xe8\x93\xae") << sjis;
    QTest::newRow("no mark in shift-jis") << U("手動") << sjis << true << QByteArray("\x8e\xe8\x93\xae") << sjis;
    QTest::newRow("shift-jis lacks it") << U("手動😀") << sjis << false
                                        << QByteArray("\xe6\x89\x8b\xe5\x8b\x95\xf0\x9f\x98\x80") << utf8;
    QTest::newRow("utf-8 stays") << U("手") << utf8 << false << QByteArray("\xe6\x89\x8b") << utf8;
    QTest::newRow("utf-8 with mark") << U("a") << utf8 << true << QByteArray("\xef\xbb\xbf" "a") << utf8;
}

void TestTextEncoding::encodeText()
{
    QFETCH(QString, text);
    QFETCH(zento::TextEncoding, encoding);
    QFETCH(bool, byteOrderMark);
    QFETCH(QByteArray, bytes);
    QFETCH(zento::TextEncoding, encodingAfter);
    QCOMPARE(EncodeText(text, encoding, byteOrderMark), bytes);
    QCOMPARE(encoding, encodingAfter);
}

void TestTextEncoding::truncate_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<zento::TextEncoding>("encoding");
    QTest::addColumn<int>("maxBytes");
    QTest::addColumn<QString>("front");

    const auto sjis = TextEncoding::ShiftJis;
    const auto utf8 = TextEncoding::Utf8;
    QTest::newRow("fits whole") << U("あいう") << sjis << 6 << U("あいう");
    QTest::newRow("sjis never half a character") << U("あいう") << sjis << 5 << U("あい");
    QTest::newRow("sjis katakana is one byte") << U("ｱｲｳ") << sjis << 2 << U("ｱｲ");
    QTest::newRow("utf-8 never half a character") << U("あいう") << utf8 << 5 << U("あ");
    QTest::newRow("surrogate pair kept whole") << U("a😀b") << utf8 << 4 << U("a");
    QTest::newRow("surrogate pair fits") << U("a😀b") << utf8 << 5 << U("a😀");
    QTest::newRow("zero bytes") << U("abc") << utf8 << 0 << QString();
    QTest::newRow("mixed ascii") << U("ab手動cd") << sjis << 5 << U("ab手");
}

void TestTextEncoding::truncate()
{
    QFETCH(QString, text);
    QFETCH(zento::TextEncoding, encoding);
    QFETCH(int, maxBytes);
    QFETCH(QString, front);
    const QString cut = TruncateToBytes(text, maxBytes, encoding);
    QCOMPARE(cut, front);
    QVERIFY(EncodedLength(cut, encoding) <= maxBytes);
}

QTEST_GUILESS_MAIN(TestTextEncoding)
#include "test_text_encoding.moc"
