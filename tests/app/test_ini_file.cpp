#include "app/ini_file.h"
#include "platform/error.h"
#include "platform/text_encoding.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <climits>
#include <unistd.h>

using namespace zento;

namespace {

QByteArray ReadBytes(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    return f.readAll();
}

void WriteBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
}

} // namespace

class TestIniFile : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    QString Path(const QString &name = QStringLiteral("DVD_zento.ini")) const { return dir_.filePath(name); }

private slots:
    void init()
    {
        QFile::remove(Path());
    }

    void readInteger_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<int>("expected");
        QTest::newRow("decimal") << QByteArray("100") << 100;
        QTest::newRow("leading blanks") << QByteArray("   42") << 42;
        QTest::newRow("blanks around") << QByteArray("  42  ") << 42;
        QTest::newRow("negative") << QByteArray("-5") << -5;
        QTest::newRow("plus sign") << QByteArray("+8") << 8;
        QTest::newRow("0x hex") << QByteArray("0x64") << 100;
        QTest::newRow("0X hex capitals") << QByteArray("0X1F") << 31;
        QTest::newRow("dollar hex") << QByteArray("$64") << 100;
        QTest::newRow("negative dollar hex") << QByteArray("-$10") << -16;
        QTest::newRow("0x alone") << QByteArray("0x") << -77;
        QTest::newRow("dollar alone") << QByteArray("$") << -77;
        QTest::newRow("hex digit in decimal") << QByteArray("1f") << -77;
        QTest::newRow("letters") << QByteArray("abc") << -77;
        QTest::newRow("trailing letter") << QByteArray("12a") << -77;
        QTest::newRow("decimal point") << QByteArray("1.5") << -77;
        QTest::newRow("empty") << QByteArray("") << -77;
        QTest::newRow("sign alone") << QByteArray("-") << -77;
        QTest::newRow("blank inside") << QByteArray("1 2") << -77;
        QTest::newRow("int max") << QByteArray("2147483647") << INT_MAX;
        QTest::newRow("int min") << QByteArray("-2147483648") << INT_MIN;
        QTest::newRow("too large") << QByteArray("2147483648") << -77;
        QTest::newRow("hex too large") << QByteArray("0x100000000") << -77;
        QTest::newRow("leading zeros") << QByteArray("007") << 7;
    }

    void readInteger()
    {
        QFETCH(QByteArray, value);
        QFETCH(int, expected);
        WriteBytes(Path(), "[SET]\r\nM_LEFT=" + value + "\r\n");
        QCOMPARE(IniFile(Path()).ReadInteger(QStringLiteral("SET"), QStringLiteral("M_LEFT"), -77), expected);
    }

    void missingGivesDefault()
    {
        IniFile ini(Path());
        QCOMPARE(ini.ReadInteger(QStringLiteral("SET"), QStringLiteral("M_LEFT"), 20), 20);
        QCOMPARE(ini.ReadString(QStringLiteral("SET1"), QStringLiteral("C1_03"), QStringLiteral("d")), QStringLiteral("d"));
        QVERIFY(!QFile::exists(Path())); // reading never creates the file

        WriteBytes(Path(), "[SET]\r\nM_LEFT=100\r\nOTHER\r\n[SET1]\r\n");
        QCOMPARE(ini.ReadInteger(QStringLiteral("SET"), QStringLiteral("M_TOP"), 20), 20);
        QCOMPARE(ini.ReadInteger(QStringLiteral("SET2"), QStringLiteral("M_LEFT"), 3), 3);
        QCOMPARE(ini.ReadString(QStringLiteral("SET1"), QStringLiteral("C1_03"), QStringLiteral("d")), QStringLiteral("d"));
        // An unknown line is no key even when it carries the key's name.
        QCOMPARE(ini.ReadString(QStringLiteral("SET"), QStringLiteral("OTHER"), QStringLiteral("d")), QStringLiteral("d"));
    }

    void keysBeforeAnySectionAreNotInOne()
    {
        WriteBytes(Path(), "M_LEFT=5\r\n[SET]\r\nM_TOP=6\r\n");
        IniFile ini(Path());
        QCOMPARE(ini.ReadInteger(QStringLiteral("SET"), QStringLiteral("M_LEFT"), 1), 1);
        QCOMPARE(ini.ReadInteger(QStringLiteral("SET"), QStringLiteral("M_TOP"), 1), 6);
    }

    void namesIgnoreCase()
    {
        WriteBytes(Path(), "[set]\r\nm_left=100\r\n [ Set1 ] \r\n  c1_03 = /tmp/x \r\n");
        IniFile ini(Path());
        QCOMPARE(ini.ReadInteger(QStringLiteral("SET"), QStringLiteral("M_LEFT"), 0), 100);
        QCOMPARE(ini.ReadString(QStringLiteral("SET1"), QStringLiteral("C1_03"), QString()), QStringLiteral("/tmp/x"));

        // Writing under other spellings replaces the same keys where they stand.
        ini.WriteInteger(QStringLiteral("SET"), QStringLiteral("M_LEFT"), 7);
        ini.WriteString(QStringLiteral("SET1"), QStringLiteral("C1_03"), QStringLiteral("/y"));
        QCOMPARE(ReadBytes(Path()), QByteArray("[set]\r\nm_left=7\r\n [ Set1 ] \r\nc1_03=/y\r\n"));
    }

    void newFileOrder()
    {
        IniFile ini(Path());
        ini.WriteInteger(QStringLiteral("SET"), QStringLiteral("M_LEFT"), 20);
        ini.WriteInteger(QStringLiteral("SET"), QStringLiteral("M_TOP"), -3);
        ini.WriteString(QStringLiteral("SET1"), QStringLiteral("C1_03"), QStringLiteral("/out"));
        ini.WriteInteger(QStringLiteral("SET2"), QStringLiteral("C2_00"), -1);
        QCOMPARE(ReadBytes(Path()),
                 QByteArray("[SET]\r\nM_LEFT=20\r\nM_TOP=-3\r\n[SET1]\r\nC1_03=/out\r\n[SET2]\r\nC2_00=-1\r\n"));
    }

    void existingFileEdits_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QByteArray>("after");
        QTest::newRow("replaced where it stands")
            << QByteArray("; note\r\n[SET]\r\nA=1\r\nB=2\r\nC=3\r\n[X]\r\nB=9\r\n") << "SET" << "B"
            << QByteArray("; note\r\n[SET]\r\nA=1\r\nB=new\r\nC=3\r\n[X]\r\nB=9\r\n");
        QTest::newRow("new key at the end of its section, before the gap")
            << QByteArray("[SET]\r\nA=1\r\n\r\n[X]\r\nY=2\r\n") << "SET" << "B"
            << QByteArray("[SET]\r\nA=1\r\nB=new\r\n\r\n[X]\r\nY=2\r\n");
        QTest::newRow("new key in the last section without a final break")
            << QByteArray("[SET]\r\nA=1") << "SET" << "B"
            << QByteArray("[SET]\r\nA=1\r\nB=new\r\n");
        QTest::newRow("new section at the end")
            << QByteArray("junk line\r\n[SET]\r\nA=1\r\n") << "SET4" << "C4_C1"
            << QByteArray("junk line\r\n[SET]\r\nA=1\r\n[SET4]\r\nC4_C1=new\r\n");
        QTest::newRow("new section after a last line without break")
            << QByteArray("[SET]\r\nA=1") << "SET1" << "K"
            << QByteArray("[SET]\r\nA=1\r\n[SET1]\r\nK=new\r\n");
        QTest::newRow("LF line breaks stay")
            << QByteArray("[SET]\nA=1\nB=2\n") << "SET" << "A"
            << QByteArray("[SET]\nA=new\nB=2\n");
        QTest::newRow("first of duplicate keys")
            << QByteArray("[SET]\r\nA=1\r\nA=2\r\n") << "SET" << "A"
            << QByteArray("[SET]\r\nA=new\r\nA=2\r\n");
        QTest::newRow("key in an empty section")
            << QByteArray("[SET]\r\n[SET2]\r\nZ=0\r\n") << "set" << "K"
            << QByteArray("[SET]\r\nK=new\r\n[SET2]\r\nZ=0\r\n");
    }

    void existingFileEdits()
    {
        QFETCH(QByteArray, before);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QByteArray, after);
        WriteBytes(Path(), before);
        IniFile ini(Path());
        ini.WriteString(section, key, QStringLiteral("new"));
        QCOMPARE(ReadBytes(Path()), after);
        QCOMPARE(ini.ReadString(section, key, QString()), QStringLiteral("new"));
    }

    void lineBreaksLeftOut()
    {
        IniFile ini(Path());
        ini.WriteString(QStringLiteral("SET1"), QStringLiteral("C1_03"), QStringLiteral("/a\r\n[SET]\nM_LEFT=5\r"));
        QCOMPARE(ReadBytes(Path()), QByteArray("[SET1]\r\nC1_03=/a[SET]M_LEFT=5\r\n"));
        QCOMPARE(ini.ReadInteger(QStringLiteral("SET"), QStringLiteral("M_LEFT"), 1), 1);
        QCOMPARE(ini.ReadString(QStringLiteral("SET1"), QStringLiteral("C1_03"), QString()),
                 QStringLiteral("/a[SET]M_LEFT=5"));
    }

    void textLimit_data()
    {
        QTest::addColumn<bool>("utf8File");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("expected");
        const QString a2047(2047, QLatin1Char('a'));
        QTest::newRow("exactly 2047") << false << a2047 << a2047;
        QTest::newRow("ascii cut") << false << QString(3000, QLatin1Char('b')) << QString(2047, QLatin1Char('b'));
        // 2046 bytes of ASCII and a two-byte character: the character would
        // straddle the limit and is left out whole.
        const QString a2046(2046, QLatin1Char('a'));
        QTest::newRow("shift-jis character not cut") << false << a2046 + QStringLiteral("あい") << a2046;
        QTest::newRow("shift-jis character fits") << false << QString(2045, QLatin1Char('a')) + QStringLiteral("あい")
                                                   << QString(2045, QLatin1Char('a')) + QStringLiteral("あ");
        // In a UTF-8 file a Japanese character takes three bytes: 682 of them fit.
        QTest::newRow("utf-8 counts its own bytes") << true << QString(700, QChar(0x3042)) << QString(682, QChar(0x3042));
    }

    void textLimit()
    {
        QFETCH(bool, utf8File);
        QFETCH(QString, value);
        QFETCH(QString, expected);
        QString text = QStringLiteral("[SET1]\r\nC1_03=") + value + QStringLiteral("\r\n");
        WriteBytes(Path(), utf8File ? text.toUtf8() : ToShiftJis(text));
        IniFile ini(Path());
        QCOMPARE(DecodeText(ReadBytes(Path())).encoding, utf8File ? TextEncoding::Utf8 : TextEncoding::ShiftJis);
        QCOMPARE(ini.ReadString(QStringLiteral("SET1"), QStringLiteral("C1_03"), QString()), expected);
    }

    void encodings()
    {
        // A Shift-JIS file stays Shift-JIS.
        WriteBytes(Path(), ToShiftJis(QStringLiteral("[SET1]\r\nC1_03=/動画\r\n; メモ\r\n")));
        IniFile ini(Path());
        QCOMPARE(ini.ReadString(QStringLiteral("SET1"), QStringLiteral("C1_03"), QString()), QStringLiteral("/動画"));
        ini.WriteString(QStringLiteral("SET1"), QStringLiteral("C1_03"), QStringLiteral("/出力"));
        QCOMPARE(ReadBytes(Path()), ToShiftJis(QStringLiteral("[SET1]\r\nC1_03=/出力\r\n; メモ\r\n")));

        // A UTF-8 file with a byte-order mark stays UTF-8 with the mark.
        WriteBytes(Path(), QByteArray("\xEF\xBB\xBF") + QStringLiteral("[SET1]\r\nC1_03=/動画\r\n").toUtf8());
        QCOMPARE(ini.ReadString(QStringLiteral("set1"), QStringLiteral("C1_03"), QString()), QStringLiteral("/動画"));
        ini.WriteInteger(QStringLiteral("SET"), QStringLiteral("M_LEFT"), 1);
        QCOMPARE(ReadBytes(Path()), QByteArray("\xEF\xBB\xBF")
                                       + QStringLiteral("[SET1]\r\nC1_03=/動画\r\n[SET]\r\nM_LEFT=1\r\n").toUtf8());

        // A new file is Shift-JIS, unless a value needs more than Shift-JIS holds.
        QFile::remove(Path());
        ini.WriteString(QStringLiteral("SET1"), QStringLiteral("C1_03"), QStringLiteral("/ビデオ〜"));
        QCOMPARE(ReadBytes(Path()), ToShiftJis(QStringLiteral("[SET1]\r\nC1_03=/ビデオ～\r\n")));
        ini.WriteString(QStringLiteral("SET1"), QStringLiteral("C1_03"), QStringLiteral("/한국"));
        QCOMPARE(ReadBytes(Path()), QStringLiteral("[SET1]\r\nC1_03=/한국\r\n").toUtf8());
        QCOMPARE(ini.ReadString(QStringLiteral("SET1"), QStringLiteral("C1_03"), QString()), QStringLiteral("/한국"));
    }

    void failedWriteThrows()
    {
        // The parent "folder" is a file, so nothing can be created there.
        const QString blocker = Path(QStringLiteral("blocker"));
        WriteBytes(blocker, "x");
        const QString path = blocker + QStringLiteral("/DVD_zento.ini");
        IniFile ini(path);
        try {
            ini.WriteInteger(QStringLiteral("SET"), QStringLiteral("M_LEFT"), 1);
            QFAIL("the write did not fail");
        } catch (const Error &e) {
            QCOMPARE(e.message(), path + QStringLiteral(" に書き込めません"));
        }
        QCOMPARE(ini.ReadInteger(QStringLiteral("SET"), QStringLiteral("M_LEFT"), 9), 9);
    }

    void readOnlyFileIsNotReplaced()
    {
        if (geteuid() == 0)
            QSKIP("permissions do not bind the superuser");
        WriteBytes(Path(), "[SET]\r\nM_LEFT=5\r\n");
        QVERIFY(QFile::setPermissions(Path(), QFile::ReadOwner));
        IniFile ini(Path());
        QVERIFY_THROWS_EXCEPTION(Error, ini.WriteInteger(QStringLiteral("SET"), QStringLiteral("M_LEFT"), 6));
        QFile::setPermissions(Path(), QFile::ReadOwner | QFile::WriteOwner);
        QCOMPARE(ReadBytes(Path()), QByteArray("[SET]\r\nM_LEFT=5\r\n"));
    }

    void eachWriteSeesTheDisk()
    {
        IniFile ini(Path());
        ini.WriteInteger(QStringLiteral("SET"), QStringLiteral("M_LEFT"), 1);
        // Someone else changes the file between two writes: both changes stay.
        WriteBytes(Path(), ReadBytes(Path()) + "Z=9\r\n");
        ini.WriteInteger(QStringLiteral("SET"), QStringLiteral("M_TOP"), 2);
        QCOMPARE(ReadBytes(Path()), QByteArray("[SET]\r\nM_LEFT=1\r\nZ=9\r\nM_TOP=2\r\n"));
    }
};

QTEST_GUILESS_MAIN(TestIniFile)
#include "test_ini_file.moc"
