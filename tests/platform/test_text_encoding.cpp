#include "platform/text_encoding.h"

#include <QTest>

using namespace zento;

Q_DECLARE_METATYPE(zento::TextEncoding)

namespace {
QString U(const char *utf8)
{
    return QString::fromUtf8(utf8);
}
constexpr auto sjis = TextEncoding::ShiftJis;
constexpr auto utf8 = TextEncoding::Utf8;
} // namespace

class TestTextEncoding : public QObject {
    Q_OBJECT
private slots:
    void decode_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<zento::TextEncoding>("encoding");
        QTest::addColumn<bool>("byteOrderMark");
        QTest::addColumn<QString>("text");
        QTest::newRow("empty") << QByteArray() << sjis << false << QString();
        QTest::newRow("utf-8") << QByteArray("\xe6\x89\x8b\xe5\x8b\x95") << utf8 << false << U("手動");
        QTest::newRow("utf-8, mark alone") << QByteArray("\xef\xbb\xbf") << utf8 << true << QString();
        // Two-byte UTF-8 alone is taken for Shift-JIS when it is Shift-JIS too.
        QTest::newRow("katakana pair that is also utf-8") << QByteArray("\xc3\xbd,AVI") << sjis << false << U("ﾃｽ,AVI");
        QTest::newRow("two-byte utf-8 that is also shift-jis")
            << QByteArray("caf\xc3\xa9") << sjis << false << U("cafﾃｩ");
        QTest::newRow("two-byte utf-8 with mark") << QByteArray("\xef\xbb\xbf\xc3\xbd") << utf8 << true << U("ý");
        QTest::newRow("two-byte utf-8, not shift-jis (0x80)") << QByteArray("\xc3\x80") << utf8 << false << U("À");
        QTest::newRow("two-byte utf-8, not shift-jis (lead at end)")
            << QByteArray("\xc3\xbd\xc2\x81") << utf8 << false << U("ý\u0081");
        QTest::newRow("kana pair beside japanese utf-8")
            << QByteArray("\xc3\xbd\xe6\x89\x8b") << utf8 << false << U("ý手");
        // The rule's price: a kanji led by E0 or above before a katakana can be three-byte UTF-8.
        QTest::newRow("shift-jis that is three-byte utf-8") << QByteArray("\xe1\x83\xb1") << utf8 << false << U("ჱ");
        QTest::newRow("four-byte utf-8") << QByteArray("\xf0\x9f\x98\x80") << utf8 << false << U("😀");
        QTest::newRow("truncated utf-8 is shift-jis") << QByteArray("a\xe3\x81") << sjis << false << U("a縺");
        QTest::newRow("half-width katakana") << QByteArray("\xbe\xb6\xde") << sjis << false << U("ｾｶﾞ");
        QTest::newRow("trail byte 0x5c") << QByteArray("\x95\x5c\x8e\xa6") << sjis << false << U("表示");
        QTest::newRow("nec and ibm codes") << QByteArray("\x87\x40\xfa\x5c\xed\x40") << sjis << false << U("①纊纊");
        QTest::newRow("control characters, nul")
            << QByteArray("\x01\x1a\x7f\0", 4) << sjis << false << QString::fromUtf16(u"\u0001\u001a\u007f\u0000", 4);
        QTest::newRow("invalid bytes") << QByteArray("\x80\xfd\x85\x40"
                                                     "a\x82")
                                       << sjis << false
                                       << U("\ufffd\ufffd\ufffd"
                                            "a\ufffd");
    }
    void decode()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(zento::TextEncoding, encoding);
        QFETCH(bool, byteOrderMark);
        QFETCH(QString, text);
        const DecodedText decoded = DecodeText(bytes);
        QCOMPARE(decoded.encoding, encoding);
        QCOMPARE(decoded.byteOrderMark, byteOrderMark);
        QCOMPARE(decoded.text, text);
        QCOMPARE(DecodeAs(bytes.mid(byteOrderMark ? 3 : 0), encoding), text);
    }

    void validShiftJis_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("valid");
        QTest::newRow("empty") << QByteArray() << true;
        QTest::newRow("ascii and control codes") << QByteArray("a,\x01\x7f") << true;
        QTest::newRow("hiragana and katakana") << QByteArray("\x82\xa0\xb1\xdf") << true;
        QTest::newRow("trail byte 0x5c") << QByteArray("\x95\x5c") << true;
        QTest::newRow("katakana pair that is also utf-8") << QByteArray("\xc3\xbd") << true;
        QTest::newRow("0x80") << QByteArray("\x80") << false;
        QTest::newRow("0xa0") << QByteArray("\xa0") << false;
        QTest::newRow("0xfd") << QByteArray("\xfd") << false;
        QTest::newRow("lead byte at the end") << QByteArray("a\x82") << false;
        QTest::newRow("lead byte before a line break") << QByteArray("\x82\r\n") << false;
        QTest::newRow("pair with no character") << QByteArray("\x85\x40") << false;
    }
    void validShiftJis()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, valid);
        QCOMPARE(IsValidShiftJis(bytes), valid);
    }

    void shiftJisRoundTripOfEveryCode()
    {
        // Every character a byte or byte pair decodes to encodes back to bytes that decode to it.
        int characters = 0;
        for (int code = 0; code < 0x10000; code = code == 0xFF ? 0x8140 : code + 1) {
            QByteArray bytes(1, char(code));
            if (code > 0xFF)
                bytes = QByteArray(1, char(code >> 8)) + bytes;
            const QString text = FromShiftJis(bytes);
            if (text.size() != 1 || text == QString(QChar(0xFFFD)))
                continue;
            QVERIFY2(FitsShiftJis(text), bytes.toHex().constData());
            QCOMPARE(FromShiftJis(ToShiftJis(text)), text);
            if (code < 0x100) // ASCII and the katakana keep their byte
                QCOMPARE(ToShiftJis(text), bytes);
            ++characters;
        }
        QVERIFY(characters > 7000);
    }

    void encode_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<zento::TextEncoding>("encoding");
        QTest::addColumn<bool>("byteOrderMark");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<zento::TextEncoding>("encodingAfter");
        QTest::newRow("japanese, no mark in shift-jis")
            << U("一発設定") << sjis << true << QByteArray("\x88\xea\x94\xad\x90\xdd\x92\xe8") << sjis;
        QTest::newRow("linux spellings mapped")
            << U("〜−‖¢£¬") << sjis << false << QByteArray("\x81\x60\x81\x7c\x81\x61\x81\x91\x81\x92\x81\xca") << sjis;
        QTest::newRow("emoji goes utf-8") << U("手😀") << sjis << false << U("手😀").toUtf8() << utf8;
        // The system converter writes these as the backslash, a dash and the
        // tilde, which would read back as other characters.
        QTest::newRow("yen sign, em dash, overline go utf-8") << U("¥—‾") << sjis << false << U("¥—‾").toUtf8() << utf8;
        QTest::newRow("hangul goes utf-8") << U("한") << sjis << false << QByteArray("\xed\x95\x9c") << utf8;
        QTest::newRow("utf-8 with mark") << U("a") << utf8 << true
                                         << QByteArray("\xef\xbb\xbf"
                                                       "a")
                                         << utf8;
    }
    void encode()
    {
        QFETCH(QString, text);
        QFETCH(zento::TextEncoding, encoding);
        QFETCH(bool, byteOrderMark);
        QFETCH(QByteArray, bytes);
        QFETCH(zento::TextEncoding, encodingAfter);
        if (encoding == sjis)
            QCOMPARE(FitsShiftJis(text), encodingAfter == sjis);
        QCOMPARE(EncodeText(text, encoding, byteOrderMark), bytes);
        QCOMPARE(encoding, encodingAfter);
    }

    void truncate()
    {
        // Never half a character (nor a surrogate pair); half-width katakana are one byte in Shift-JIS.
        const struct {
            const char *text;
            TextEncoding encoding;
            int maxBytes;
            const char *front;
        } cases[] = {{"ab手動cd", sjis, 5, "ab手"},
                     {"ｱｲｳ", sjis, 2, "ｱｲ"},
                     {"あいう", utf8, 5, "あ"},
                     {"a😀b", utf8, 4, "a"},
                     {"abc", utf8, 0, ""}};
        for (const auto &c : cases) {
            QCOMPARE(TruncateToBytes(U(c.text), c.maxBytes, c.encoding), U(c.front));
            QVERIFY(EncodedLength(U(c.front), c.encoding) <= c.maxBytes);
        }
        // The counted length is the written one, characters without a form
        // (and a lone half of a pair) included.
        for (const char *text : {"ab手動cd", "ｱｲｳ~\\", "¥—‾〜−", "手😀b", "\x1a\x7f\xc2\x80"})
            QCOMPARE(EncodedLength(U(text), sjis), ToShiftJis(U(text)).size());
        const QString lone = QString(QChar(0xD83D)) + QStringLiteral("a");
        QCOMPARE(EncodedLength(lone, sjis), ToShiftJis(lone).size());
    }
};

QTEST_GUILESS_MAIN(TestTextEncoding)
#include "test_text_encoding.moc"
