#include "options/comma_text.h"

#include <QTest>

using zento::SplitCommaText;

class TestCommaText : public QObject {
    Q_OBJECT
private slots:
    void split_data();
    void split();
    void longLine();
};

void TestCommaText::split_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("parts");

    // Plain rows of the catalogues and presets.
    QTest::newRow("id and label") << "AVI,XviD/MS-MPEG4/etc..." << QStringList{"AVI", "XviD/MS-MPEG4/etc..."};
    QTest::newRow("preset") << "DVD,AVI,640x480,LIBXVID,30fps,1000kbps,LIBMP3LAME,44100Hz,128kbps"
                            << QStringList{"DVD",      "AVI",        "640x480", "LIBXVID", "30fps",
                                           "1000kbps", "LIBMP3LAME", "44100Hz", "128kbps"};

    // Empty texts and empty parts.
    QTest::newRow("empty text") << "" << QStringList{};
    QTest::newRow("separators only") << " \t \x01" << QStringList{};
    QTest::newRow("trailing comma") << "a," << QStringList{"a", ""};
    QTest::newRow("adjacent commas") << "a,,b" << QStringList{"a", "", "b"};
    QTest::newRow("leading comma") << ",a" << QStringList{"", "a"};
    QTest::newRow("blank between commas") << "a, ,b" << QStringList{"a", "", "b"};
    QTest::newRow("comma then blank at end") << "a, " << QStringList{"a"};

    // Blanks and control characters separate like commas and are skipped around them.
    QTest::newRow("unquoted blank") << "a b,c" << QStringList{"a", "b", "c"};
    QTest::newRow("blanks around comma") << "  a  ,  b  " << QStringList{"a", "b"};
    QTest::newRow("control characters") << QString::fromUtf8("a\x01\x1f"
                                                             "b\x7f"
                                                             "c")
                                        << QStringList{"a", QString::fromUtf8("b\x7f"
                                                                              "c")};
    QTest::newRow("line break") << "a\r\nb" << QStringList{"a", "b"};
    QTest::newRow("nul is text") << QString::fromUtf16(u"a\u0000b", 3)
                                 << QStringList{QString::fromUtf16(u"a\u0000b", 3)};

    // Double quotes.
    QTest::newRow("quoted blank") << "\"a b\",c" << QStringList{"a b", "c"};
    QTest::newRow("quoted comma") << "\"a,b\",c" << QStringList{"a,b", "c"};
    QTest::newRow("doubled quotes") << "\"say \"\"hi\"\"\",x" << QStringList{"say \"hi\"", "x"};
    QTest::newRow("only a quote inside") << "\"\"\"\"" << QStringList{"\""};
    QTest::newRow("text after closing quote") << "\"a\"b,c" << QStringList{"a", "b", "c"};
    QTest::newRow("quote inside a plain part") << "a\"b,c" << QStringList{"a\"b", "c"};
    QTest::newRow("unterminated quote") << "x,\"abc def" << QStringList{"x", "abc def"};
    QTest::newRow("lone quote") << "\"" << QStringList{""};

    // Japanese text: full-width comma and space are ordinary characters.
    QTest::newRow("full-width comma and space")
        << QString::fromUtf8("私の，設定　その1,AVI") << QStringList{QString::fromUtf8("私の，設定　その1"), "AVI"};
}

void TestCommaText::split()
{
    QFETCH(QString, text);
    QFETCH(QStringList, parts);
    QCOMPARE(SplitCommaText(text), parts);
}

void TestCommaText::longLine()
{
    // A line of many long parts, beyond what the preset box shows.
    QStringList expected;
    for (int i = 0; i < 500; ++i)
        expected.append(QString(40, QChar(u'A' + i % 26)));
    const QString line = expected.join(u',');
    QCOMPARE(SplitCommaText(line), expected);
    QCOMPARE(SplitCommaText(line + u','), expected + QStringList{QString()});
}

QTEST_GUILESS_MAIN(TestCommaText)
#include "test_comma_text.moc"
