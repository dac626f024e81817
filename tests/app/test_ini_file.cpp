#include "app/ini_file.h"
#include "platform/error.h"
#include "platform/text_encoding.h"
#include "support/test_support.h"

#include <QTest>

#include <climits>
#include <thread>
#include <unistd.h>
#include <utility>

using namespace zento;
using namespace zento::test;

class TestIniFile : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QString Path() const { return dir_.filePath(QStringLiteral("DVD_zento.ini")); }

private slots:
    void init() { QFile::remove(Path()); }

    void readInteger_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<int>("expected");
        const std::pair<const char *, int> rows[] = {{"100", 100},
                                                     {"  42  ", 42},
                                                     {"-5", -5},
                                                     {"+8", 8},
                                                     {"0x64", 100},
                                                     {"0X1F", 31},
                                                     {"$64", 100},
                                                     {"-$10", -16},
                                                     {"007", 7},
                                                     {"2147483647", INT_MAX},
                                                     {"-2147483648", INT_MIN},
                                                     {"0x", -77},
                                                     {"$", -77},
                                                     {"1f", -77},
                                                     {"abc", -77},
                                                     {"12a", -77},
                                                     {"1.5", -77},
                                                     {"", -77},
                                                     {"-", -77},
                                                     {"1 2", -77},
                                                     {"2147483648", -77},
                                                     {"0x100000000", -77}};
        for (const auto &[value, expected] : rows)
            QTest::addRow("[%s]", value) << QByteArray(value) << expected;
    }
    void readInteger()
    {
        QFETCH(QByteArray, value);
        QFETCH(int, expected);
        QVERIFY(WriteFile(Path(), "[SET]\r\nM_LEFT=" + value + "\r\n"));
        QCOMPARE(IniFile(Path()).ReadInteger("SET", "M_LEFT", -77), expected);
    }

    void defaultsAndCase()
    {
        IniFile ini(Path());
        QCOMPARE(ini.ReadInteger("SET", "M_LEFT", 20), 20);
        QVERIFY(!QFile::exists(Path())); // reading never creates the file
        QVERIFY(WriteFile(Path(), "T=5\r\n[set]\r\nm_left=100\r\njunk\r\n [ s1 ] \r\n c1 = /x \r\n"));
        QCOMPARE(ini.ReadInteger("SET", "T", 3), 3); // before any section
        QCOMPARE(ini.ReadString("SET", "junk", "d"), QStringLiteral("d"));
        QCOMPARE(ini.ReadInteger("SET", "M_LEFT", 0), 100);
        QCOMPARE(ini.ReadString("S1", "C1", QString()), QStringLiteral("/x"));
        // Other spellings replace the same keys in place; unknown lines stay.
        ini.WriteInteger("SET", "M_LEFT", 7);
        // Line breaks in a value are left out, so it cannot open a section or key.
        ini.WriteString("S1", "C1", "/y\r\n[SET]\nM_LEFT=5\r");
        QCOMPARE(ReadFile(Path()), "T=5\r\n[set]\r\nm_left=7\r\njunk\r\n [ s1 ] \r\nc1=/y[SET]M_LEFT=5\r\n");
        QCOMPARE(ini.ReadInteger("SET", "M_LEFT", 0), 7);
    }

    void edits_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QByteArray>("after");
        struct Row {
            const char *name, *before, *section, *key, *after;
        };
        const Row rows[] = {
            {"new file", "", "SET", "A", "[SET]\r\nA=new\r\n"},
            {"replaced in place", "; c\r\n[SET]\r\nA=1\r\nB=2\r\n[X]\r\nB=9\r\n", "SET", "B",
             "; c\r\n[SET]\r\nA=1\r\nB=new\r\n[X]\r\nB=9\r\n"},
            {"new key at section end", "[SET]\r\nA=1\r\n\r\n[X]\r\nY=2\r\n", "SET", "B",
             "[SET]\r\nA=1\r\nB=new\r\n\r\n[X]\r\nY=2\r\n"},
            {"new key, no final break", "[SET]\r\nA=1", "SET", "B", "[SET]\r\nA=1\r\nB=new\r\n"},
            {"new section at file end", "junk\r\n[SET]\r\nA=1", "SET4", "C4_C1",
             "junk\r\n[SET]\r\nA=1\r\n[SET4]\r\nC4_C1=new\r\n"},
            {"LF breaks stay", "[SET]\nA=1\nB=2\n", "SET", "A", "[SET]\nA=new\nB=2\n"},
            {"empty section", "[SET]\r\n[S2]\r\nZ=0\r\n", "set", "K", "[SET]\r\nK=new\r\n[S2]\r\nZ=0\r\n"},
        };
        for (const Row &r : rows)
            QTest::newRow(r.name) << QByteArray(r.before) << QString(r.section) << QString(r.key)
                                  << QByteArray(r.after);
    }
    void edits()
    {
        QFETCH(QByteArray, before);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QByteArray, after);
        if (!before.isEmpty())
            QVERIFY(WriteFile(Path(), before));
        IniFile ini(Path());
        ini.WriteString(section, key, "new");
        QCOMPARE(ReadFile(Path()), after);
        QCOMPARE(ini.ReadString(section, key, QString()), QStringLiteral("new"));
        // Nothing is cached: a change made by someone else in between stays.
        QVERIFY(WriteFile(Path(), ReadFile(Path()) + "Z=9\n"));
        ini.WriteString(section, key, "again");
        QVERIFY(ReadFile(Path()).endsWith("Z=9\n"));
    }

    // A folder is read back as the one written, blanks and quotes at its
    // ends too (before, "/out " came back as "/out", another folder); other
    // values are written as they are.
    void valuesReadBackAsWritten_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("plain") << "/動画/out" << ToShiftJis("C1_03=/動画/out");
        QTest::newRow("blank inside") << "/a b" << QByteArray("C1_03=/a b");
        QTest::newRow("blank at the end") << "/out " << QByteArray("C1_03=\"/out \"");
        QTest::newRow("blank at the start") << " out" << QByteArray("C1_03=\" out\"");
        QTest::newRow("only blanks") << "  " << QByteArray("C1_03=\"  \"");
        QTest::newRow("enclosed in double quotes") << "\"x\"" << QByteArray("C1_03=\"\"x\"\"");
        QTest::newRow("a quote at one end") << "\"x" << QByteArray("C1_03=\"x");
    }
    void valuesReadBackAsWritten()
    {
        QFETCH(QString, value);
        QFETCH(QByteArray, line);
        IniFile ini(Path());
        ini.WriteString("SET1", "C1_03", value);
        QCOMPARE(ReadFile(Path()), "[SET1]\r\n" + line + "\r\n");
        QCOMPARE(IniFile(Path()).ReadString("SET1", "C1_03", "default"), value);
    }

    void textLimit_data()
    {
        QTest::addColumn<bool>("utf8File");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("expected");
        const QString a2046(2046, QLatin1Char('a')), a2045(2045, QLatin1Char('a'));
        QTest::newRow("exactly 2047") << false << a2046 + "b" << a2046 + "b";
        QTest::newRow("ascii cut") << false << QString(3000, 'b') << QString(2047, 'b');
        QTest::newRow("shift-jis char not cut") << false << a2046 + "あい" << a2046;
        QTest::newRow("shift-jis char fits") << false << a2045 + "あい" << a2045 + "あ";
        QTest::newRow("utf-8 three bytes each") << true << QString(700, u'あ') << QString(682, u'あ');
    }
    void textLimit()
    {
        QFETCH(bool, utf8File);
        QFETCH(QString, value);
        QFETCH(QString, expected);
        const QString text = "[SET1]\r\nC1_03=" + value + "\r\n";
        QVERIFY(WriteFile(Path(), utf8File ? text.toUtf8() : ToShiftJis(text)));
        QCOMPARE(IniFile(Path()).ReadString("SET1", "C1_03", QString()), expected);
    }

    void encodingKept()
    {
        QVERIFY(WriteFile(Path(), ToShiftJis("[SET1]\r\nC1_03=/動画\r\n; メモ\r\n")));
        IniFile ini(Path());
        QCOMPARE(ini.ReadString("SET1", "C1_03", QString()), QStringLiteral("/動画"));
        ini.WriteString("SET1", "C1_03", "/出力");
        QCOMPARE(ReadFile(Path()), ToShiftJis("[SET1]\r\nC1_03=/出力\r\n; メモ\r\n"));

        const QByteArray bom("\xEF\xBB\xBF");
        QVERIFY(WriteFile(Path(), bom + QStringLiteral("[SET1]\r\nC1_03=/動画\r\n").toUtf8()));
        ini.WriteInteger("SET", "M_LEFT", 1);
        QCOMPARE(ReadFile(Path()), bom + QString("[SET1]\r\nC1_03=/動画\r\n[SET]\r\nM_LEFT=1\r\n").toUtf8());

        // A new file is Shift-JIS unless a value needs more than it holds;
        // a folder named with 〜 stays that folder (～ would name another).
        QFile::remove(Path());
        ini.WriteString("SET1", "C1_03", "/ビデオ");
        QCOMPARE(ReadFile(Path()), ToShiftJis("[SET1]\r\nC1_03=/ビデオ\r\n"));
        ini.WriteString("SET1", "C1_03", "/ビデオ〜");
        QCOMPARE(ReadFile(Path()), QStringLiteral("[SET1]\r\nC1_03=/ビデオ〜\r\n").toUtf8());
        QCOMPARE(ini.ReadString("SET1", "C1_03", QString()), QStringLiteral("/ビデオ〜"));
        ini.WriteString("SET1", "C1_03", "/한국");
        QCOMPARE(ReadFile(Path()), QStringLiteral("[SET1]\r\nC1_03=/한국\r\n").toUtf8());
        QCOMPARE(ini.ReadString("SET1", "C1_03", QString()), QStringLiteral("/한국"));

        // Shift-JIS bytes that are also valid UTF-8 ("ﾃｽ" is C3 BD, "ý") stay
        // Shift-JIS and read back as written.
        QVERIFY(WriteFile(Path(), "[SET]\r\nM_LEFT=20\r\n"));
        ini.WriteString("SET1", "C1_03", "/ﾃｽ");
        QCOMPARE(ReadFile(Path()), QByteArray("[SET]\r\nM_LEFT=20\r\n[SET1]\r\nC1_03=/\xc3\xbd\r\n"));
        QCOMPARE(ini.ReadString("SET1", "C1_03", QString()), QStringLiteral("/ﾃｽ"));
        ini.WriteInteger("SET", "M_LEFT", 5);
        QCOMPARE(ReadFile(Path()), QByteArray("[SET]\r\nM_LEFT=5\r\n[SET1]\r\nC1_03=/\xc3\xbd\r\n"));

        // A folder Shift-JIS cannot hold whose UTF-8 is two-byte only ("é" is
        // C3 A9, also "ﾃｩ") makes a UTF-8 file with the mark, so it reads back.
        const QString folder = QString::fromUtf8("/home/josé");
        ini.WriteString("SET1", "C1_03", folder);
        QCOMPARE(ReadFile(Path()), bom + "[SET]\r\nM_LEFT=5\r\n[SET1]\r\nC1_03=" + folder.toUtf8() + "\r\n");
        QCOMPARE(ini.ReadString("SET1", "C1_03", QString()), folder);
        ini.WriteInteger("SET", "M_LEFT", 6);
        QCOMPARE(ReadFile(Path()), bom + "[SET]\r\nM_LEFT=6\r\n[SET1]\r\nC1_03=" + folder.toUtf8() + "\r\n");

        // Shift-JIS that would read as three-byte UTF-8 ("痺ｱ" is E1 83 B1) is written as UTF-8.
        QFile::remove(Path());
        ini.WriteString("SET1", "C1_03", "/痺ｱ");
        QCOMPARE(ReadFile(Path()), QStringLiteral("[SET1]\r\nC1_03=/痺ｱ\r\n").toUtf8());
        QCOMPARE(ini.ReadString("SET1", "C1_03", QString()), QStringLiteral("/痺ｱ"));
    }

    void failedWrite()
    {
        // The parent "folder" is a file, so nothing can be created there.
        const QString blocker = dir_.filePath(QStringLiteral("blocker"));
        QVERIFY(WriteFile(blocker, "x"));
        IniFile ini(blocker + "/DVD_zento.ini");
        try {
            ini.WriteInteger("SET", "M_LEFT", 1);
            QFAIL("the write did not fail");
        } catch (const Error &e) {
            QCOMPARE(e.message(), ini.Path() + " に書き込めません");
        }
    }
    void failedWriteKeepsTheFile()
    {
        if (geteuid() == 0)
            QSKIP("permissions do not bind the superuser");
        QVERIFY(WriteFile(Path(), "[SET]\r\nM_LEFT=5\r\n"));
        QVERIFY(QFile::setPermissions(Path(), QFile::ReadOwner));
        QVERIFY_THROWS_EXCEPTION(Error, IniFile(Path()).WriteInteger("SET", "M_LEFT", 6));
        QFile::setPermissions(Path(), QFile::ReadOwner | QFile::WriteOwner);
        QCOMPARE(ReadFile(Path()), QByteArray("[SET]\r\nM_LEFT=5\r\n"));
    }
    void wideTextLeftAlone_data()
    {
        QTest::addColumn<QByteArray>("file");
        const char raw[] = "[\0S\0E\0T\0]\0\r\0\n\0M\0_\0L\0E\0F\0T\0=\0\x35\0";
        const QByteArray text(raw, sizeof raw - 1);
        QTest::newRow("utf-16le with its mark") << "\xFF\xFE" + text;
        QTest::newRow("utf-16be with its mark") << "\xFE\xFF" + text.mid(1) + '\0';
    }
    void wideTextLeftAlone()
    {
        // A settings file an editor saved as "Unicode": read as no file,
        // never written over with single-byte lines.
        QFETCH(QByteArray, file);
        QVERIFY(WriteFile(Path(), file));
        IniFile ini(Path());
        QCOMPARE(ini.ReadInteger("SET", "M_LEFT", -1), -1);
        QVERIFY_THROWS_EXCEPTION(Error, ini.WriteInteger("SET", "M_LEFT", 6));
        QCOMPARE(ReadFile(Path()), file);
    }
    void windowsClosingTogetherKeepEveryKey()
    {
        // Two windows of the program store their settings at the same time,
        // each key by reading the file and putting it back whole.
        constexpr int kKeys = 40;
        const auto store = [this](const QString &section) {
            IniFile ini(Path());
            for (int i = 0; i < kKeys; ++i)
                ini.WriteInteger(section, QStringLiteral("K%1").arg(i), i);
        };
        std::thread first(store, QStringLiteral("SET1"));
        std::thread second(store, QStringLiteral("SET2"));
        first.join();
        second.join();
        IniFile ini(Path());
        int kept = 0;
        for (int i = 0; i < kKeys; ++i)
            kept += int(ini.ReadInteger("SET1", QStringLiteral("K%1").arg(i), -1) == i) +
                    int(ini.ReadInteger("SET2", QStringLiteral("K%1").arg(i), -1) == i);
        QCOMPARE(kept, 2 * kKeys);
    }

    // Two windows closing at once store the same keys, each its own values:
    // the file ends with one window's set whole, never a mix of both.
    void closingTogetherLeavesOneWindowsSet()
    {
        constexpr int kKeys = 18;
        const auto set = [](int window) {
            QList<IniFile::Value> values;
            for (int i = 0; i < kKeys; ++i)
                values.append({QStringLiteral("SET%1").arg(i % 4), QStringLiteral("K%1").arg(i),
                               QString::number(window * 100 + i)});
            return values;
        };
        for (int round = 0; round < 20; ++round) {
            QFile::remove(Path());
            std::thread first([&] { IniFile(Path()).WriteValues(set(1)); });
            std::thread second([&] { IniFile(Path()).WriteValues(set(2)); });
            first.join();
            second.join();
            const IniFile ini(Path());
            const int window = ini.ReadInteger("SET0", "K0", -1) / 100;
            for (int i = 0; i < kKeys; ++i)
                QCOMPARE(ini.ReadInteger(QStringLiteral("SET%1").arg(i % 4), QStringLiteral("K%1").arg(i), -1),
                         window * 100 + i);
        }
    }
};

QTEST_GUILESS_MAIN(TestIniFile)
#include "test_ini_file.moc"
